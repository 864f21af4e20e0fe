// The reading, rewriting and replacing of record files on Windows.
#include "platform/record_file.h"
#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class HandleReader : public RecordReader {
 public:
  explicit HandleReader(win32::UniqueHandle file) : file_(std::move(file)) {}
  std::int64_t Read(unsigned char* data, std::size_t length) override {
    DWORD read = 0;
    const DWORD want = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    if (!ReadFile(file_.Get(), data, want, &read, nullptr)) return -1;
    return static_cast<std::int64_t>(read);
  }
  bool Seek(std::int64_t offset) override {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    return SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN) != 0;
  }
  std::int64_t Size() override {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file_.Get(), &size) ? static_cast<std::int64_t>(size.QuadPart) : -1;
  }

 private:
  win32::UniqueHandle file_;
};

class HandleWriter : public RecordWriter {
 public:
  explicit HandleWriter(win32::UniqueHandle file) : file_(std::move(file)) {}
  bool Write(const unsigned char* data, std::size_t length) override {
    while (length > 0) {
      const DWORD want = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
      DWORD written = 0;
      if (!WriteFile(file_.Get(), data, want, &written, nullptr) || written == 0) return false;
      data += written;
      length -= written;
    }
    return true;
  }
  bool Sync() override { return FlushFileBuffers(file_.Get()) != 0; }
  bool Close() override { return file_.Reset(); }

 private:
  win32::UniqueHandle file_;
};

}  // namespace

std::unique_ptr<RecordReader> OpenRecordReader(const std::string& path, bool* missing) {
  // Every share mode: the poll thread keeps appending while the log is read.
  win32::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD error = GetLastError();
    *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  *missing = false;
  return std::make_unique<HandleReader>(std::move(file));
}

std::unique_ptr<RecordWriter> CreateRecordWriter(const std::string& path) {
  win32::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return nullptr;
  return std::make_unique<HandleWriter>(std::move(file));
}

bool ReplaceByRename(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveRecordFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace platform
