#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "platform/files.h"

namespace vstest {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "vstest-" << stamp << "-" << counter++;
    const fs::path candidate = fs::temp_directory_path(error) / name.str();
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) fs::remove_all(path_, error);
}

std::string TempDir::File(const std::string& name) const { return platform::JoinPath(path_, name); }

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::Exists(const std::string& name) const {
  std::error_code error;
  return fs::exists(File(name), error);
}

}  // namespace vstest
