// Where no kernel interface is known to pass for disk files, none is one;
// the descriptor is still checked, as the Linux call checks it.
#include "quenFileSystem.h"

namespace quenFile {

int FileSystem::IsKernelFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? 0 : -1;
}

}  // namespace quenFile
