#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "quenPlatform.h"

namespace quenPlatform {

std::string ProgramFileName() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.filename().string();
}

std::string UserLocaleName() {
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool ProcessExists(long id) {
  if (id <= 0) return true;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
}

}  // namespace quenPlatform
