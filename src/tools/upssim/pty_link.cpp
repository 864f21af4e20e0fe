#include "tools/upssim/pty_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace upssim {

bool PublishLink(const std::string& path, const std::string& target, std::string* error) {
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  static_cast<void>(::unlink(temp.c_str()));  // left behind by a killed run with our pid
  if (::symlink(target.c_str(), temp.c_str()) != 0) {
    *error = temp + ": " + std::strerror(errno);
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = path + ": " + std::strerror(errno);
    static_cast<void>(::unlink(temp.c_str()));
    return false;
  }
  return true;
}

void WithdrawLink(const std::string& path, const std::string& target) {
  std::vector<char> buffer(target.size() + 2);
  const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (n < 0 || static_cast<std::size_t>(n) != target.size()) return;
  if (target.compare(0, target.size(), buffer.data(), static_cast<std::size_t>(n)) != 0) return;
  static_cast<void>(::unlink(path.c_str()));
}

}  // namespace upssim
