#include "Component.h"

#include <gtest/gtest.h>

namespace {

struct TProbe : TComponent {
  using TComponent::TComponent;
  TComponent *Linked = nullptr;
  int *Destroyed = nullptr;
  ~TProbe() override {
    if (Destroyed)
      ++*Destroyed;
  }
  void Link(TComponent *c) {
    Linked = c;
    FreeNotification(c);
  }
  void Notification(TComponent *c, TOperation op) override {
    if (op == TOperation::opRemove && c == Linked)
      Linked = nullptr;
  }
};

TEST(Component, OwnerFreesWhatItOwns) {
  int destroyed = 0;
  auto *owner = new TProbe(nullptr);
  auto *a = new TProbe(owner);
  auto *b = new TProbe(owner);
  a->Destroyed = b->Destroyed = &destroyed;
  EXPECT_EQ(owner->Components().size(), 2u);
  delete b; // freed early: the owner forgets it
  EXPECT_EQ(owner->Components().size(), 1u);
  delete owner;
  EXPECT_EQ(destroyed, 2);
}

TEST(Component, LinkedComponentIsToldOfRemovalAndStopsListening) {
  TProbe consumer;
  {
    TProbe source;
    consumer.Link(&source);
    EXPECT_EQ(consumer.Linked, &source);
  }
  EXPECT_EQ(consumer.Linked, nullptr);
  // The other direction: a destroyed consumer leaves no dangling watcher behind.
  TProbe source;
  {
    TProbe shortLived;
    shortLived.Link(&source);
  }
  TProbe watcher;
  watcher.Link(&source);
} // source dies last and must only notify live watchers

} // namespace
