#include "platform/files.h"

#include <sys/stat.h>

#include <cerrno>

#include "common/cp932.h"

namespace platform {

std::string JoinPath(const std::string& dir, const std::string& name) {
  return dir + PathSeparator() + name;
}

// The run-time library's stat, which both systems have. Windows' stat refuses a folder written
// with a separator at its end, so one is taken off first (a CP932 trail byte 0x5C is a character
// of its own, not a separator).
bool IsMissingFolder(const std::string& path) {
  // Where the last character begins.
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size();) {
    last = i;
    i += common::IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size() ? 2 : 1;
  }
  if (last == std::string::npos) return true;
  std::string folder = path;
  // "/" and "C:\" keep their separator: without it they would name something else.
  if (path[last] == PathSeparator()[0] && last > 0 && path[last - 1] != ':') folder.erase(last);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR;
  return (info.st_mode & S_IFMT) != S_IFDIR;
}

}  // namespace platform
