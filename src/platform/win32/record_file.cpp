#include "platform/record_file.h"

#include "platform/win32/windows_support.h"

namespace platform {

AppendResult AppendRecord(const std::string& path, const unsigned char* data, std::size_t length) {
  win32::UniqueHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA | GENERIC_WRITE,
                                       FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return AppendResult::OpenFailed;
  LARGE_INTEGER before{};
  const bool sized = GetFileSizeEx(file.Get(), &before) != 0;
  LARGE_INTEGER end{};
  if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_END)) return AppendResult::WriteFailed;
  DWORD written = 0;
  const BOOL ok = WriteFile(file.Get(), data, static_cast<DWORD>(length), &written, nullptr);
  if (!ok || written != length) {
    // A part of a record would shift every later record: the file is cut back to its old end.
    if (sized && SetFilePointerEx(file.Get(), before, nullptr, FILE_BEGIN)) {
      if (!SetEndOfFile(file.Get())) {
        // Nothing more can be done; the caller reports the failed write.
      }
    }
    return AppendResult::WriteFailed;
  }
  return file.Reset() ? AppendResult::Appended : AppendResult::CloseFailed;
}

}  // namespace platform
