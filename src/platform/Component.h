#pragma once
// Owned components with names and removal notices: an owner frees what it owns, and a
// component can ask to be told when another one is destroyed (a pipeline stage forgets an
// input that is freed under it).
#include <string>
#include <vector>

enum class TOperation { opInsert, opRemove };

class TComponent {
public:
  explicit TComponent(TComponent *owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent &) = delete;
  TComponent &operator=(const TComponent &) = delete;

  TComponent *Owner() const { return FOwner; }
  const std::string &Name() const { return FName; }
  void SetName(const std::string &name) { FName = name; }
  const std::vector<TComponent *> &Components() const { return FComponents; }

  // Ask for Notification(component, opRemove) when component is destroyed; both directions.
  void FreeNotification(TComponent *component);
  void RemoveFreeNotification(TComponent *component);

protected:
  virtual void Notification(TComponent *component, TOperation operation) {}

private:
  void InsertComponent(TComponent *component);
  void RemoveComponent(TComponent *component);

  TComponent *FOwner;
  std::string FName;
  std::vector<TComponent *> FComponents;
  std::vector<TComponent *> FFreeNotifies;
};
