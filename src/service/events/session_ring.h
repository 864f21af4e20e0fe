// The session-message ring: 128 text slots between the threads that raise events and the one
// thread that delivers them. Empty when read = write; full when read = write + 1 (modulo 128),
// so at most 127 texts wait.
#pragma once

#include <array>
#include <mutex>
#include <string>

namespace wardend {

class SessionRing {
 public:
  static constexpr int kSlots = 128;

  // Stores the text and advances the write index; false (nothing stored) when full.
  bool Push(const std::string& text);
  // Takes the oldest text and advances the read index; false when empty.
  bool Pop(std::string* text);
  bool Empty() const;
  int Waiting() const;

 private:
  // Producers on several threads would otherwise fill the same slot and lose a text.
  mutable std::mutex lock_;
  std::array<std::string, kSlots> slots_;
  int read_ = 0;
  int write_ = 0;
};

}  // namespace wardend
