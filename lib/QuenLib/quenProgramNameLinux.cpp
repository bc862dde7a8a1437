// The running program's file name on Linux, from /proc.
#include <filesystem>
#include <system_error>

#include "quenPlatform.h"

namespace quenPlatform {

std::string ProgramFileName() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.filename().string();
}

}  // namespace quenPlatform
