#include "support/test_files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<std::uint64_t>(
                             std::chrono::steady_clock::now().time_since_epoch().count()));
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("vs-test-" + std::to_string(random() % 1000000000));
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code error;
  fs::remove_all(fs::path(path_), error);
}

std::string TempDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path, bool* exists) {
  std::ifstream in(path, std::ios::binary);
  if (exists) *exists = static_cast<bool>(in);
  if (!in) return std::string();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
