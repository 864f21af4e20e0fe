// The scratch folder of the service tests: the shared temporary folder with byte-exact file
// helpers named by file (CP932 text stays CP932).
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "support/test_files.h"

namespace vstest {

class TempDir : public testsupport::TempDir {
 public:
  void Write(const std::string& name, const std::string& bytes) const {
    testsupport::WriteBytes(File(name), bytes);
  }
  std::string Read(const std::string& name) const { return testsupport::ReadBytes(File(name)); }
  bool Exists(const std::string& name) const {
    std::error_code error;
    return std::filesystem::exists(File(name), error);
  }
};

}  // namespace vstest
