#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/unique_fd.h"

namespace platform {

// Linux has no share modes: the check is that the file opens for reading. A folder is refused,
// as CreateFileA refuses it.
bool CanOpenForReadDenyWrite(const std::string& path) {
  posix::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return false;
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) return false;
  return !S_ISDIR(info.st_mode);
}

const char* PathSeparator() { return "/"; }

}  // namespace platform
