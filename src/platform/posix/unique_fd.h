// Owner of a file descriptor for the POSIX backends.
#pragma once

#include <unistd.h>

namespace platform {
namespace posix {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  bool Valid() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the held descriptor; false when close reported an error (the descriptor is gone
  // either way on Linux).
  bool Reset(int fd = -1) {
    bool ok = true;
    if (fd_ >= 0) ok = close(fd_) == 0;
    fd_ = fd;
    return ok;
  }

 private:
  int fd_ = -1;
};

}  // namespace posix
}  // namespace platform
