// What the program asks of a POSIX system; its own name comes from a file per
// system (quenProgramNameLinux.cpp, quenProgramNamePosix.cpp).
#include <signal.h>

#include <cerrno>
#include <cstdlib>

#include "quenPlatform.h"

namespace quenPlatform {

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

std::string CLibraryPath(const std::filesystem::path& path) { return path.native(); }

}  // namespace quenPlatform
