#include "service/events/session_ring.h"

namespace wardend {

bool SessionRing::Push(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  const int next = (write_ + 1) % kSlots;
  if (next == read_) return false;
  slots_[write_] = text;
  write_ = next;
  return true;
}

bool SessionRing::Pop(std::string* text) {
  std::lock_guard<std::mutex> guard(lock_);
  if (read_ == write_) return false;
  text->swap(slots_[read_]);
  slots_[read_].clear();
  read_ = (read_ + 1) % kSlots;
  return true;
}

bool SessionRing::Empty() const {
  std::lock_guard<std::mutex> guard(lock_);
  return read_ == write_;
}

int SessionRing::Waiting() const {
  std::lock_guard<std::mutex> guard(lock_);
  return (write_ - read_ + kSlots) % kSlots;
}

}  // namespace wardend
