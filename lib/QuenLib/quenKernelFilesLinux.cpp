// Kernel interfaces dressed as files on Linux, told by their file system's
// magic number.
#include <linux/magic.h>
#include <sys/statfs.h>

#include "quenFileSystem.h"

namespace quenFile {
namespace {

bool IsKernelFileSystem(unsigned long type) {
  switch (type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case SELINUX_MAGIC:
    case BINFMTFS_MAGIC:
      return true;
    default:
      return false;
  }
}

}  // namespace

int FileSystem::IsKernelFile(int fd) {
  struct statfs st {};
  if (::fstatfs(fd, &st) != 0) return -1;
  return IsKernelFileSystem(static_cast<unsigned long>(st.f_type)) ? 1 : 0;
}

}  // namespace quenFile
