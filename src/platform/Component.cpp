#include "Component.h"

#include <algorithm>

TComponent::TComponent(TComponent *owner) : FOwner(nullptr) {
  if (owner)
    owner->InsertComponent(this);
}

TComponent::~TComponent() {
  // Tell the watchers first, while the owner still holds us, as the removal notice promises.
  auto watchers = std::move(FFreeNotifies);
  for (TComponent *w : watchers) {
    w->Notification(this, TOperation::opRemove);
    std::erase(w->FFreeNotifies, this);
  }
  while (!FComponents.empty()) {
    TComponent *c = FComponents.back();
    RemoveComponent(c);
    delete c;
  }
  if (FOwner)
    FOwner->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent *component) {
  if (!component || component == this)
    return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  if (std::find(component->FFreeNotifies.begin(), component->FFreeNotifies.end(), this) ==
      component->FFreeNotifies.end())
    component->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent *component) {
  if (!component)
    return;
  std::erase(FFreeNotifies, component);
  std::erase(component->FFreeNotifies, this);
}

void TComponent::InsertComponent(TComponent *component) {
  FComponents.push_back(component);
  component->FOwner = this;
}

void TComponent::RemoveComponent(TComponent *component) {
  std::erase(FComponents, component);
  component->FOwner = nullptr;
}
