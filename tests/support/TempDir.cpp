#include "TempDir.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir(std::string_view prefix, const fs::path& base) {
  const fs::path parent = base.empty() ? fs::temp_directory_path() : base;
  // mkdtemp picks a name no other process or test holds.
  std::string name = (parent / (std::string(prefix) + "XXXXXX")).native();
  if (::mkdtemp(name.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + name);
  }
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path TempDir::operator/(std::string_view name) const {
  return path_ / fs::path(std::string(name));
}

fs::path MemoryTempBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec)) return "/dev/shm";
  return fs::temp_directory_path();
}

}  // namespace testing_support
