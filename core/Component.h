// The component base class: a named object with an owner, the components it owns, and
// notification of other components when it goes away, so that references to it are cleared.
//
// Ownership: a component created with an owner is destroyed by that owner (it must live on the
// heap). A component created without an owner belongs to whoever created it. Destroying a
// component first destroys the components it owns, then tells every component that asked for
// it (FreeNotification) and its owner that it is being removed.
#pragma once

#include <string>
#include <vector>

namespace tavrik {

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
  csLoading = 1,     // being read from its stored description
  csDesigning = 2,   // being edited in a designer
  csDestroying = 4,  // its destructor is running
};

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }
  unsigned ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }
  bool IsDesigning() const { return (state_ & csDesigning) != 0; }
  bool IsDestroying() const { return (state_ & csDestroying) != 0; }

  // Loading from a stored description: BeginLoading sets csLoading, EndLoading clears it and
  // calls Loaded().
  void BeginLoading() { state_ |= csLoading; }
  void EndLoading();
  void SetDesigning(bool on);

  // `other` is told (Notification with opRemove) when this component is destroyed.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

 protected:
  // Called when `component` is inserted into or removed from this one, or when a component
  // this one asked to be notified about is destroyed.
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void Loaded() {}

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  std::string name_;
  TComponent* owner_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  unsigned state_ = 0;
};

}  // namespace tavrik
