// quenFileSystem: the one door through which the program touches the file
// system. Every open, read, write, flush, folder flush, rename, delete, directory creation,
// status query, access check, mode change, lock, descriptor flag change,
// mapping and listing goes through the installed FileSystem, so tests can make any single
// call fail with a real system error.
//
// The calls mirror the POSIX ones: they return -1 (or an error number) and
// set errno; they never throw. The *At calls take a folder descriptor (or
// AT_FDCWD) and a name inside it, as openat(2) and its kin do. Paths and
// names are the bytes of PathBytes (quenFile.h): native bytes on POSIX,
// UTF-8 on Windows, where the real calls are the Win32 ones behind the same
// shapes (quenFileSystemWin32.cpp).
#pragma once

#include <cerrno>
#include <string>
#include <vector>

#include "quenOs.h"

namespace quenFile {

struct DirEntry {
  std::string name;
  bool regularFile;  // following a symbolic link
  // Left out of folder listings: a name starting with "." on POSIX, the
  // hidden or system attribute on Windows.
  bool hidden = false;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int Open(const char* path, int flags, mode_t mode);
  virtual ssize_t Read(int fd, void* buffer, std::size_t size);
  virtual ssize_t Write(int fd, const void* buffer, std::size_t size);
  virtual int Sync(int fd);
  // Starts writing the given bytes of the file to the disk without waiting
  // for them (sync_file_range(2)), so that a later Sync finds little left.
  // Where the system has no such call it does nothing and returns 0.
  virtual int StartWriteBack(int fd, long long offset, long long length);
  // fsync(2) of a folder open as dirFd: makes the renames and deletions in
  // it durable, as Sync makes a file's bytes.
  virtual int SyncFolder(int dirFd);
  virtual int Close(int fd);
  virtual int Rename(const char* from, const char* to);
  virtual int Unlink(const char* path);
  virtual int MakeDirectory(const char* path, mode_t mode);
  // stat(2) when follow, else lstat(2).
  virtual int Status(const char* path, struct stat* st, bool follow);
  // Fills entries with the folder's entries but "." and ".."; returns 0 or
  // an error number.
  virtual int List(const char* path, std::vector<DirEntry>& entries);

  virtual int OpenAt(int dirFd, const char* name, int flags, mode_t mode);
  virtual int RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to);
  // linkat(2), never following a symbolic link.
  virtual int LinkAt(int fromDirFd, const char* from, int toDirFd, const char* to);
  // unlinkat(2); flags 0 never removes a folder.
  virtual int UnlinkAt(int dirFd, const char* name, int flags);
  // fstatat(2), following a symbolic link only when follow.
  virtual int StatusAt(int dirFd, const char* name, struct stat* st, bool follow);
  // faccessat(2) with the effective ids, as open(2) judges access.
  virtual int AccessAt(int dirFd, const char* name, int mode);
  // List of the folder open as dirFd; returns 0 or an error number.
  virtual int ListAt(int dirFd, std::vector<DirEntry>& entries);
  // fstat(2) of an open file.
  virtual int FileStatus(int fd, struct stat* st);
  // Whether the open file lies on a kernel interface dressed as files, whose
  // "regular" files may block or use up what is read: 1 if so, 0 if not, -1
  // with errno when the system cannot tell.
  virtual int IsKernelFile(int fd);
  // fchmod(2).
  virtual int ChangeMode(int fd, mode_t mode);
  // flock(2).
  virtual int Lock(int fd, int operation);
  // fcntl(2) with an int argument (F_GETFL, F_SETFL).
  virtual int Control(int fd, int command, int argument);

  // A file without a name in folder, open for writing (open(2) with
  // O_TMPFILE): nothing is left of it should the process die. -1 with
  // EOPNOTSUPP, EISDIR or EINVAL where the system or file system has none,
  // and writers fall back to a hidden temporary.
  virtual int OpenUnnamed(const char* folder, mode_t mode);
  // Gives the unnamed file open as fd the name path (linkat(2)); EEXIST when
  // something is there already.
  virtual int LinkUnnamed(int fd, const char* path);
  // readlink(2): what the symbolic link at path holds; EINVAL for anything
  // but a link.
  virtual int ReadLink(const char* path, std::string& target);
  // Maps the first length bytes of the open file read-only and private over
  // the pages at at (mmap(2) with MAP_FIXED; pages are read in as they are
  // first read, or by FileRegion::ReadIn). -1 with ENOSYS
  // where the system has no such call; the caller then reads the file.
  virtual int Map(int fd, void* at, std::size_t length);
};

// The file system in use: the real one unless a test installed another.
FileSystem& System();
// Installs fs (nullptr: the real one) and returns the previous one.
FileSystem* SetSystem(FileSystem* fs);

}  // namespace quenFile
