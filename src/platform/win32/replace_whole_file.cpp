#include "platform/replace_whole_file.h"

#include "platform/win32/windows_support.h"

namespace platform {

bool ReplaceWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".new";
  win32::UniqueHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                            nullptr);
  const bool closed = file.Reset();
  if (!ok || written != bytes.size() || !closed ||
      !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
