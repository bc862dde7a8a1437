// The running program's file name where there is no /proc: getprogname(3)
// where the C library keeps it, else none (the boxes then have no caption).
#include <cstdlib>

#include "quenConfig.h"
#include "quenPlatform.h"

namespace quenPlatform {

std::string ProgramFileName() {
#if defined(HAVE_GETPROGNAME)
  const char* name = ::getprogname();
  return name != nullptr ? std::string(name) : std::string();
#else
  return {};
#endif
}

}  // namespace quenPlatform
