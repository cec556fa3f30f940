// The count of logged-in sessions against MaxUsers. A login holds a ticket; the slot is free
// again when the ticket is destroyed (logout, a second login, or the end of the session).
#pragma once

#include <memory>
#include <mutex>

namespace tavrik::server {

class TUserSlots {
 public:
  class TTicket {
   public:
    explicit TTicket(TUserSlots& slots) : slots_(slots) {}
    ~TTicket() { slots_.Release(); }
    TTicket(const TTicket&) = delete;
    TTicket& operator=(const TTicket&) = delete;

   private:
    TUserSlots& slots_;
  };

  explicit TUserSlots(int max) : max_(max) {}

  // A ticket, or nothing when MaxUsers are logged in. The slots must outlive every ticket.
  std::unique_ptr<TTicket> TryTake() {
    std::lock_guard lock(mutex_);
    if (in_use_ >= max_) return nullptr;
    ++in_use_;
    return std::make_unique<TTicket>(*this);
  }
  int InUse() const {
    std::lock_guard lock(mutex_);
    return in_use_;
  }

 private:
  void Release() {
    std::lock_guard lock(mutex_);
    --in_use_;
  }

  mutable std::mutex mutex_;
  int max_;
  int in_use_ = 0;
};

}  // namespace tavrik::server
