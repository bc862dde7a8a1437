// The file-system seam's real calls on POSIX; what only some systems have
// is chosen by quenConfig.h, the kernel-file check by CMake
// (quenKernelFilesLinux.cpp or quenKernelFilesPosix.cpp).
#include <dirent.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>

#include "quenConfig.h"
#include "quenFileSystem.h"

namespace quenFile {
namespace {

// Reads the folder open as fd, which it takes over and closes.
int ListOpened(int fd, std::vector<DirEntry>& entries) {
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int e = errno;
    ::close(fd);
    return e;
  }
  int result = 0;
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir);
    if (d == nullptr) {
      result = errno;
      break;
    }
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    struct stat st {};
    // Follows links: a link to a file counts as a file; a broken link, a
    // FIFO or a socket does not.
    const bool known = ::fstatat(fd, d->d_name, &st, 0) == 0;
    // A folder whose entries cannot be examined (no search permission) is a
    // folder that cannot be read, not a folder without files.
    if (!known && errno != ENOENT && errno != ENOTDIR && errno != ELOOP) {
      result = errno;
      break;
    }
    entries.push_back(DirEntry{d->d_name, known && S_ISREG(st.st_mode), d->d_name[0] == '.'});
  }
  ::closedir(dir);
  return result;
}

}  // namespace

int FileSystem::Open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags | O_CLOEXEC, mode);
}
ssize_t FileSystem::Read(int fd, void* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}
ssize_t FileSystem::Write(int fd, const void* buffer, std::size_t size) {
  return ::write(fd, buffer, size);
}
// The file's bytes on the disk; its times need not be.
int FileSystem::Sync(int fd) {
#if defined(HAVE_FDATASYNC)
  return ::fdatasync(fd);
#elif defined(HAVE_F_FULLFSYNC)
  // fsync there leaves the bytes in the drive's cache; not every file system
  // takes the full flush.
  if (::fcntl(fd, F_FULLFSYNC) == 0) return 0;
  return ::fsync(fd);
#else
  return ::fsync(fd);
#endif
}
int FileSystem::StartWriteBack(int fd, long long offset, long long length) {
#if defined(HAVE_SYNC_FILE_RANGE)
  if (::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE) == 0) return 0;
  // A file system without it is not a failure: Sync still does the work.
  if (errno == EINVAL || errno == ENOSYS || errno == ESPIPE || errno == EOPNOTSUPP) return 0;
  return -1;
#else
  (void)fd;
  (void)offset;
  (void)length;
  return 0;
#endif
}
int FileSystem::SyncFolder(int dirFd) { return ::fsync(dirFd); }
int FileSystem::Close(int fd) { return ::close(fd); }
int FileSystem::Rename(const char* from, const char* to) { return ::rename(from, to); }
int FileSystem::Unlink(const char* path) { return ::unlink(path); }
int FileSystem::MakeDirectory(const char* path, mode_t mode) { return ::mkdir(path, mode); }
int FileSystem::Status(const char* path, struct stat* st, bool follow) {
  return follow ? ::stat(path, st) : ::lstat(path, st);
}

int FileSystem::List(const char* path, std::vector<DirEntry>& entries) {
  entries.clear();
  const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  return ListOpened(fd, entries);
}

int FileSystem::OpenAt(int dirFd, const char* name, int flags, mode_t mode) {
  return ::openat(dirFd, name, flags | O_CLOEXEC, mode);
}
int FileSystem::RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) {
  return ::renameat(fromDirFd, from, toDirFd, to);
}
int FileSystem::LinkAt(int fromDirFd, const char* from, int toDirFd, const char* to) {
  return ::linkat(fromDirFd, from, toDirFd, to, 0);
}
int FileSystem::UnlinkAt(int dirFd, const char* name, int flags) {
  return ::unlinkat(dirFd, name, flags);
}
int FileSystem::StatusAt(int dirFd, const char* name, struct stat* st, bool follow) {
  return ::fstatat(dirFd, name, st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
}
int FileSystem::AccessAt(int dirFd, const char* name, int mode) {
  return ::faccessat(dirFd, name, mode, AT_EACCESS);
}
int FileSystem::ListAt(int dirFd, std::vector<DirEntry>& entries) {
  entries.clear();
  // A descriptor of its own: reading moves the position of the one it reads.
  const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  return ListOpened(fd, entries);
}
int FileSystem::FileStatus(int fd, struct stat* st) { return ::fstat(fd, st); }
int FileSystem::ChangeMode(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileSystem::Lock(int fd, int operation) { return ::flock(fd, operation); }
int FileSystem::Control(int fd, int command, int argument) {
  return ::fcntl(fd, command, argument);
}

#if defined(HAVE_O_TMPFILE)
int FileSystem::OpenUnnamed(const char* folder, mode_t mode) {
  return ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}
int FileSystem::LinkUnnamed(int fd, const char* path) {
  // Through /proc needs no privilege; AT_EMPTY_PATH does where /proc is not
  // mounted.
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, self, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return -1;
  return ::linkat(fd, "", AT_FDCWD, path, AT_EMPTY_PATH);
}
#else
// No files without a name: writers fall back to a hidden temporary.
int FileSystem::OpenUnnamed(const char*, mode_t) { return errno = EOPNOTSUPP, -1; }
int FileSystem::LinkUnnamed(int, const char*) { return errno = EOPNOTSUPP, -1; }
#endif
int FileSystem::ReadLink(const char* path, std::string& target) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(path, buffer, sizeof buffer);
  if (n < 0) return -1;
  if (static_cast<std::size_t>(n) == sizeof buffer) return errno = ENAMETOOLONG, -1;
  target.assign(buffer, static_cast<std::size_t>(n));
  return 0;
}
int FileSystem::Map(int fd, void* at, std::size_t length) {
  // Not populated here: FileRegion::ReadIn reads the pages in on the thread
  // that reads them, so that two threads share the work.
  constexpr int kFlags = MAP_PRIVATE | MAP_FIXED;
  return ::mmap(at, length, PROT_READ, kFlags, fd, 0) == MAP_FAILED ? -1 : 0;
}

}  // namespace quenFile
