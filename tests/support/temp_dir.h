// A fresh directory under the system's temporary directory, removed with everything in it.
#pragma once

#include <string>

namespace vstest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path + the system's separator + name.
  std::string File(const std::string& name) const;
  // Writes bytes exactly as given (CP932 text stays CP932).
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace vstest
