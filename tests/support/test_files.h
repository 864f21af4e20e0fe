// Scratch files for tests: a private temporary folder removed at the end of the test, and whole
// file reads and writes in bytes (profile and log files hold CP932 bytes, never text-mode
// translated).
#pragma once

#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + the system's separator + name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Writes bytes to path exactly (binary); false on failure.
bool WriteBytes(const std::string& path, const std::string& bytes);
// The whole file; *exists (when given) tells a missing file from an empty one.
std::string ReadBytes(const std::string& path, bool* exists = nullptr);

}  // namespace testsupport
