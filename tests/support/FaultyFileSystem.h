// FaultyFileSystem: a quenFile::FileSystem that counts the calls of each kind
// and can make chosen ones fail with a real error number, as a failing disk,
// a full disk or another program touching the folder would. A call in a
// folder descriptor (openat, renameat...) counts as its kind (open, rename...),
// a status query of an open file or of a link as a stat, opening a file
// without a name as an open and linking it in as a rename.
#pragma once

#include "quenOs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "quenFile.h"
#include "quenFileSystem.h"

namespace faulty {

enum class Op {
  kOpen,
  kRead,
  kWrite,
  kSync,
  kClose,
  kRename,
  kUnlink,
  kMkdir,
  kList,
  kStat,
  kAccess,
  kChmod,
  kLock,
  kSyncFolder,
  kWriteBack,
  kMap
};
constexpr std::size_t kOpCount = 16;
inline const char* OpName(Op op) {
  static const char* const names[kOpCount] = {
      "open", "read", "write",  "sync",  "close", "rename",     "unlink",   "mkdir",
      "list", "stat", "access", "chmod", "lock",  "syncfolder", "writeback", "map"};
  return names[static_cast<std::size_t>(op)];
}

class FaultyFileSystem : public quenFile::FileSystem {
 public:
  // The n-th call (from 1) of kind op fails with errorNumber; 0 picks EIO,
  // or ENOSPC for writes. A failing close still closes, as Linux does.
  void FailNth(Op op, long n, int errorNumber = 0) {
    failOp_ = op;
    failAt_ = n;
    failErrno_ = errorNumber != 0 ? errorNumber : op == Op::kWrite ? ENOSPC : EIO;
  }
  // A full disk: writes succeed for bytes bytes in all, the last one
  // possibly in part, then fail with ENOSPC.
  void StopWritesAfter(long long bytes) { writeBudget_ = bytes; }
  // The file is deleted right before its first open.
  void VanishBeforeOpen(std::string path) { vanish_ = std::move(path); }
  // Opening the file fails with EACCES.
  void MakeUnreadable(std::string path) { unreadable_ = std::move(path); }
  // The n-th call (from 1) of kind op on the file fails with errorNumber (0:
  // EIO): an open of path, or a read or stat of a descriptor opened from it.
  void FailOnFile(std::string path, Op op, long n, int errorNumber = EIO) {
    std::lock_guard lock(mutex_);
    onFile_ = FileFault{std::move(path), op, n, errorNumber, 0};
  }
  // Every open, mkdir or unlink (op) of a file named fileName, in any
  // folder, fails with errorNumber: a file another program holds, a folder
  // that may not be made.
  void FailOnName(Op op, std::string fileName, int errorNumber) {
    std::lock_guard lock(mutex_);
    onName_ = NameFault{op, std::move(fileName), errorNumber};
  }

  long Count(Op op) const {
    std::lock_guard lock(mutex_);
    return counts_[static_cast<std::size_t>(op)];
  }
  long long BytesWritten() const { return bytesWritten_; }
  // Whether a fault was injected (an n-th call, a refused write or open).
  bool Injected() const { return injected_; }
  int InjectedErrno() const { return injectedErrno_; }
  // Every version renamed into place, by target path, in order.
  const std::map<std::string, std::vector<std::string>>& Committed() const { return committed_; }

  int Open(const char* path, int flags, mode_t mode) override {
    if (int e = EnterOpen(path)) return Fail(e);
    const int fd = FileOpened(path, FileSystem::Open(path, flags, mode));
    // Kept, so that a name in the folder can be told by its path.
    if (fd >= 0 && (flags & O_DIRECTORY)) {
      std::lock_guard lock(foldersMutex_);
      folders_[fd] = path;
    }
    return fd;
  }
  int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override {
    const std::string path = PathAt(dirFd, name);
    if (int e = EnterOpen(path)) return Fail(e);
    return FileOpened(path, FileSystem::OpenAt(dirFd, name, flags, mode));
  }
  ssize_t Read(int fd, void* buffer, std::size_t size) override {
    if (int e = Enter(Op::kRead, fd)) return Fail(e);
    return FileSystem::Read(fd, buffer, size);
  }
  ssize_t Write(int fd, const void* buffer, std::size_t size) override {
    if (int e = Enter(Op::kWrite)) return Fail(e);
    if (Allowance(size) == 0 && size > 0) return Fail(ENOSPC);
    return Wrote(FileSystem::Write(fd, buffer, Allowance(size)));
  }
  int Sync(int fd) override {
    if (int e = Enter(Op::kSync)) return Fail(e);
    return FileSystem::Sync(fd);
  }
  int StartWriteBack(int fd, long long offset, long long length) override {
    if (int e = Enter(Op::kWriteBack)) return Fail(e);
    return FileSystem::StartWriteBack(fd, offset, length);
  }
  int SyncFolder(int dirFd) override {
    if (int e = Enter(Op::kSyncFolder)) return Fail(e);
    return FileSystem::SyncFolder(dirFd);
  }
  int Close(int fd) override {
    {
      std::lock_guard lock(foldersMutex_);
      folders_.erase(fd);
    }
    {
      std::lock_guard lock(mutex_);
      onFile_.fds.erase(fd);
    }
    const int e = Enter(Op::kClose);
    const int result = FileSystem::Close(fd);
    return e != 0 ? Fail(e) : result;
  }
  int Rename(const char* from, const char* to) override {
    if (int e = Enter(Op::kRename)) return Fail(e);
    const int result = FileSystem::Rename(from, to);
    if (result == 0) RecordCommit(to);
    return result;
  }
  int RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) override {
    if (int e = Enter(Op::kRename)) return Fail(e);
    const int result = FileSystem::RenameAt(fromDirFd, from, toDirFd, to);
    if (result == 0) RecordCommit(PathAt(toDirFd, to));
    return result;
  }
  int Unlink(const char* path) override {
    if (int e = Enter(Op::kUnlink, -1, path)) return Fail(e);
    return FileSystem::Unlink(path);
  }
  int UnlinkAt(int dirFd, const char* name, int flags) override {
    if (int e = Enter(Op::kUnlink, -1, name)) return Fail(e);
    return FileSystem::UnlinkAt(dirFd, name, flags);
  }
  int MakeDirectory(const char* path, mode_t mode) override {
    if (int e = Enter(Op::kMkdir, -1, path)) return Fail(e);
    return FileSystem::MakeDirectory(path, mode);
  }
  int Status(const char* path, struct stat* st, bool follow) override {
    if (int e = Enter(Op::kStat)) return Fail(e);
    return FileSystem::Status(path, st, follow);
  }
  int StatusAt(int dirFd, const char* name, struct stat* st, bool follow) override {
    if (int e = Enter(Op::kStat)) return Fail(e);
    return FileSystem::StatusAt(dirFd, name, st, follow);
  }
  int FileStatus(int fd, struct stat* st) override {
    if (int e = Enter(Op::kStat, fd)) return Fail(e);
    return FileSystem::FileStatus(fd, st);
  }
  int IsKernelFile(int fd) override {
    if (int e = Enter(Op::kStat, fd)) return Fail(e);
    return FileSystem::IsKernelFile(fd);
  }
  int AccessAt(int dirFd, const char* name, int mode) override {
    if (int e = Enter(Op::kAccess)) return Fail(e);
    return FileSystem::AccessAt(dirFd, name, mode);
  }
  int ChangeMode(int fd, mode_t mode) override {
    if (int e = Enter(Op::kChmod)) return Fail(e);
    return FileSystem::ChangeMode(fd, mode);
  }
  int Lock(int fd, int operation) override {
    if (int e = Enter(Op::kLock)) return Fail(e);
    return FileSystem::Lock(fd, operation);
  }
  int OpenUnnamed(const char* folder, mode_t mode) override {
    if (int e = EnterOpen(folder)) return Fail(e);
    return FileSystem::OpenUnnamed(folder, mode);
  }
  // Putting a file in place, as a rename does.
  int LinkUnnamed(int fd, const char* path) override {
    if (int e = Enter(Op::kRename)) return Fail(e);
    const int result = FileSystem::LinkUnnamed(fd, path);
    if (result == 0) RecordCommit(path);
    return result;
  }
  int ReadLink(const char* path, std::string& target) override {
    if (int e = Enter(Op::kStat)) return Fail(e);
    return FileSystem::ReadLink(path, target);
  }
  int Map(int fd, void* at, std::size_t length) override {
    if (int e = Enter(Op::kMap, fd)) return Fail(e);
    return FileSystem::Map(fd, at, length);
  }
  int List(const char* path, std::vector<quenFile::DirEntry>& entries) override {
    if (int e = Enter(Op::kList)) {
      Fail(e);
      return e;
    }
    return FileSystem::List(path, entries);
  }
  int ListAt(int dirFd, std::vector<quenFile::DirEntry>& entries) override {
    if (int e = Enter(Op::kList)) {
      Fail(e);
      return e;
    }
    return FileSystem::ListAt(dirFd, entries);
  }

 private:
  struct FileFault {
    std::string path;
    Op op = Op::kOpen;
    long n = 0;
    int errorNumber = EIO;
    long seen = 0;        // calls of kind op on the file so far
    std::set<int> fds{};  // open descriptors of the file
  };
  struct NameFault {
    Op op = Op::kOpen;
    std::string fileName;  // empty: none
    int errorNumber = 0;
  };

  // Counts the call, on descriptor fd or on path when it has one; the error
  // number to fail it with, or 0.
  int Enter(Op op, int fd = -1, std::string_view path = {}) {
    std::lock_guard lock(mutex_);
    const long n = ++counts_[static_cast<std::size_t>(op)];
    if (op == onName_.op && !onName_.fileName.empty() && FileName(path) == onName_.fileName) {
      return onName_.errorNumber;
    }
    if (fd >= 0 && op == onFile_.op && onFile_.fds.contains(fd) && ++onFile_.seen == onFile_.n) {
      return onFile_.errorNumber;
    }
    return op == failOp_ && n == failAt_ ? failErrno_ : 0;
  }
  int FileOpened(const std::string& path, int fd) {
    std::lock_guard lock(mutex_);
    if (fd >= 0 && path == onFile_.path) onFile_.fds.insert(fd);
    return fd;
  }
  // Counts an open of path; the error number to fail it with, or 0.
  int EnterOpen(const std::string& path) {
    {
      std::lock_guard lock(mutex_);
      if (onFile_.op == Op::kOpen && path == onFile_.path && ++onFile_.seen == onFile_.n) {
        ++counts_[static_cast<std::size_t>(Op::kOpen)];
        return onFile_.errorNumber;
      }
    }
    if (int e = Enter(Op::kOpen, -1, path)) return e;
    if (!unreadable_.empty() && unreadable_ == path) return EACCES;
    if (!vanish_.empty() && vanish_ == path) {
      ::unlink(path.c_str());
      vanish_.clear();
    }
    return 0;
  }
  static std::string_view FileName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
  }
  // The path of name in the folder open as dirFd.
  std::string PathAt(int dirFd, const char* name) {
    std::lock_guard lock(foldersMutex_);
    const auto folder = folders_.find(dirFd);
    if (dirFd == AT_FDCWD || folder == folders_.end()) return name;
    return folder->second + "/" + name;
  }
  void RecordCommit(const std::string& target) {
    std::ifstream in(quenFile::PathFromBytes(target), std::ios::binary);
    committed_[target].emplace_back(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
  }
  int Fail(int e) {
    injected_ = true;
    injectedErrno_ = e;
    errno = e;
    return -1;
  }
  std::size_t Allowance(std::size_t size) const {
    if (writeBudget_ < 0) return size;
    return static_cast<std::size_t>(
        std::min<long long>(writeBudget_, static_cast<long long>(size)));
  }
  ssize_t Wrote(ssize_t n) {
    if (n > 0) {
      bytesWritten_ += n;
      if (writeBudget_ >= 0) writeBudget_ -= n;
    }
    return n;
  }

  mutable std::mutex mutex_;
  std::array<long, kOpCount> counts_{};
  Op failOp_ = Op::kOpen;
  long failAt_ = 0;
  int failErrno_ = EIO;
  long long writeBudget_ = -1;
  long long bytesWritten_ = 0;
  std::string vanish_;
  std::string unreadable_;
  FileFault onFile_;
  NameFault onName_;
  bool injected_ = false;
  int injectedErrno_ = 0;
  std::map<std::string, std::vector<std::string>> committed_;
  std::mutex foldersMutex_;
  std::map<int, std::string> folders_;
};

// Installs a file system for the life of the object.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(quenFile::FileSystem* fs) : previous_(quenFile::SetSystem(fs)) {}
  ~ScopedFileSystem() { quenFile::SetSystem(previous_); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  quenFile::FileSystem* previous_;
};

}  // namespace faulty
