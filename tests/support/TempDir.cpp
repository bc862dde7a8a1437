#include "TempDir.h"

#include <random>
#include <string>
#include <system_error>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir(std::string_view prefix, const fs::path& base) {
  const fs::path parent = base.empty() ? fs::temp_directory_path() : base;
  // Creating a folder fails when the name is taken, so a random name that
  // could be created is one no other process or test holds.
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0;; ++attempt) {
    const fs::path candidate = parent / (std::string(prefix) + std::to_string(random()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
    if (ec || attempt > 100) throw std::system_error(ec, "create_directory " + candidate.string());
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path TempDir::operator/(std::string_view name) const {
  return path_ / fs::path(std::u8string(name.begin(), name.end()));
}

fs::path MemoryTempBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec)) return "/dev/shm";
  return fs::temp_directory_path();
}

}  // namespace testing_support
