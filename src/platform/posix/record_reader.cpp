// The reading, rewriting and replacing of record files on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/unique_fd.h"
#include "platform/record_file.h"

namespace platform {

namespace {

class FdReader : public RecordReader {
 public:
  explicit FdReader(posix::UniqueFd fd) : fd_(std::move(fd)) {}
  std::int64_t Read(unsigned char* data, std::size_t length) override {
    for (;;) {
      const ssize_t n = ::read(fd_.Get(), data, length);
      if (n < 0 && errno == EINTR) continue;
      return n;
    }
  }
  bool Seek(std::int64_t offset) override {
    return ::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) == offset;
  }
  std::int64_t Size() override {
    struct stat info {};
    return ::fstat(fd_.Get(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
  }

 private:
  posix::UniqueFd fd_;
};

class FdWriter : public RecordWriter {
 public:
  explicit FdWriter(posix::UniqueFd fd) : fd_(std::move(fd)) {}
  bool Write(const unsigned char* data, std::size_t length) override {
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::write(fd_.Get(), data + done, length - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Sync() override { return ::fsync(fd_.Get()) == 0; }
  bool Close() override { return fd_.Reset(); }

 private:
  posix::UniqueFd fd_;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::unique_ptr<RecordReader> OpenRecordReader(const std::string& path, bool* missing) {
  posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  *missing = !fd.Valid() && errno == ENOENT;
  if (!fd.Valid()) return nullptr;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || S_ISDIR(info.st_mode)) return nullptr;
  return std::make_unique<FdReader>(std::move(fd));
}

std::unique_ptr<RecordWriter> CreateRecordWriter(const std::string& path) {
  posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.Valid()) return nullptr;
  return std::make_unique<FdWriter>(std::move(fd));
}

bool ReplaceByRename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  // The rename itself is an entry of the folder: without this a crash may bring the old name back.
  posix::UniqueFd folder(::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid() && ::fsync(folder.Get()) != 0) {
    // The new log is in place either way; only its survival of a power cut is less sure.
  }
  return true;
}

bool RemoveRecordFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace platform
