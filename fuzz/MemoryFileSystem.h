// MemoryFileSystem: a quenFile::FileSystem held in memory, so that a fuzz
// target can run the program on files many thousand times a second without
// touching the disk. Folders and files by path, descriptors with positions
// and flags; no symbolic links, no owners but the process, locks that always
// succeed and a file system that says it is an ordinary disk. Errors are the
// ones Linux gives for the same calls.
#pragma once

#include "quenOs.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "quenFileSystem.h"

namespace fuzz {

class MemoryFileSystem : public quenFile::FileSystem {
 public:
  MemoryFileSystem();

  // The program's view.
  int Open(const char* path, int flags, mode_t mode) override;
  ssize_t Read(int fd, void* buffer, std::size_t size) override;
  ssize_t Write(int fd, const void* buffer, std::size_t size) override;
  int Sync(int fd) override;
  int StartWriteBack(int fd, long long offset, long long length) override;
  int SyncFolder(int dirFd) override;
  int Close(int fd) override;
  int Rename(const char* from, const char* to) override;
  int Unlink(const char* path) override;
  int MakeDirectory(const char* path, mode_t mode) override;
  int Status(const char* path, struct stat* st, bool follow) override;
  int List(const char* path, std::vector<quenFile::DirEntry>& entries) override;
  int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override;
  int RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) override;
  int UnlinkAt(int dirFd, const char* name, int flags) override;
  int StatusAt(int dirFd, const char* name, struct stat* st, bool follow) override;
  int AccessAt(int dirFd, const char* name, int mode) override;
  int ListAt(int dirFd, std::vector<quenFile::DirEntry>& entries) override;
  int FileStatus(int fd, struct stat* st) override;
  int IsKernelFile(int fd) override;
  int ChangeMode(int fd, mode_t mode) override;
  int Lock(int fd, int operation) override;
  int Control(int fd, int command, int argument) override;

  // The target's view, for setting up and checking a run (paths absolute).
  // Everything goes but the root folder; open descriptors stay open.
  void Clear();
  // Creates the folder and those above it.
  void MakeFolders(const std::string& path);
  // Creates or replaces a file; its folder must be there.
  void PutFile(const std::string& path, std::string_view bytes);
  // The file's bytes, or null when there is no file at path.
  const std::string* File(const std::string& path) const;
  bool Exists(const std::string& path) const;
  // The names in the folder, sorted; empty when there is no such folder.
  std::vector<std::string> Names(const std::string& folder) const;
  std::size_t OpenDescriptors() const;

 private:
  struct Node {
    bool folder = false;
    mode_t mode = 0;  // permission bits
    ino_t inode = 0;
    std::string bytes;
  };
  struct Descriptor {
    std::shared_ptr<Node> node;
    std::string path;  // where a folder is, for the *At calls
    int flags = 0;
    std::size_t position = 0;
  };

  // The path of name in the folder open as dirFd, normalized; empty with
  // errno set when dirFd is no folder descriptor.
  std::string PathAt(int dirFd, const char* name) const;
  static std::string Normalize(std::string_view path);
  static std::string ParentOf(const std::string& path);
  std::shared_ptr<Node> Find(const std::string& path) const;
  // 0, or the error for a path whose folder is missing or is a file.
  int CheckParent(const std::string& path) const;
  std::shared_ptr<Node> NewNode(bool folder, mode_t mode);
  bool HasChildren(const std::string& folder) const;
  int OpenPath(const std::string& path, int flags, mode_t mode);
  int RenamePaths(const std::string& from, const std::string& to);
  int UnlinkPath(const std::string& path, bool folder);
  int StatusPath(const std::string& path, struct stat* st) const;
  int ListPath(const std::string& path, std::vector<quenFile::DirEntry>& entries) const;
  static void Fill(const Node& node, struct stat* st);
  Descriptor* Get(int fd);

  mutable std::recursive_mutex mutex_;
  std::map<std::string, std::shared_ptr<Node>> nodes_;  // by normalized path
  std::map<int, Descriptor> descriptors_;
  int nextFd_;
  ino_t nextInode_ = 1;
};

}  // namespace fuzz
