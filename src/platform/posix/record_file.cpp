#include "platform/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

AppendResult AppendRecord(const std::string& path, const unsigned char* data, std::size_t length) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return AppendResult::OpenFailed;
  struct stat before {};
  const bool sized = ::fstat(fd, &before) == 0;
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd, data + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done < length) {
    // A part of a record would shift every later record: the file is cut back to its old end.
    if (sized && ::ftruncate(fd, before.st_size) != 0) {
      // Nothing more can be done; the caller reports the failed write.
    }
    ::close(fd);
    return AppendResult::WriteFailed;
  }
  return ::close(fd) == 0 ? AppendResult::Appended : AppendResult::CloseFailed;
}

}  // namespace platform
