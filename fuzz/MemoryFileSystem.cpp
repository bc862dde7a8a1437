#include "MemoryFileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace fuzz {
namespace {

// Far above the real descriptors, so that one of ours handed to a real call
// by mistake fails instead of touching a real file.
constexpr int kFirstFd = 1 << 20;
constexpr mode_t kUmask = 022;

int Fail(int error) {
  errno = error;
  return -1;
}

bool Writable(int flags) { return (flags & O_ACCMODE) != O_RDONLY; }
bool Readable(int flags) { return (flags & O_ACCMODE) != O_WRONLY; }

}  // namespace

MemoryFileSystem::MemoryFileSystem() : nextFd_(kFirstFd) { nodes_["/"] = NewNode(true, 0755); }

std::string MemoryFileSystem::Normalize(std::string_view path) {
  // Most paths come normalized already.
  if (path.starts_with('/') && (path.size() == 1 || !path.ends_with('/')) &&
      path.find("//") == std::string_view::npos && path.find("/./") == std::string_view::npos &&
      path.find("/../") == std::string_view::npos && !path.ends_with("/.") &&
      !path.ends_with("/..")) {
    return std::string(path);
  }
  // Lexical: without symbolic links ".." is the folder above.
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    std::size_t end = i;
    while (end < path.size() && path[end] != '/') ++end;
    const std::string_view part = path.substr(i, end - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = end;
  }
  std::string out;
  for (std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

std::string MemoryFileSystem::ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::Find(const std::string& path) const {
  const auto it = nodes_.find(path);
  return it == nodes_.end() ? nullptr : it->second;
}

int MemoryFileSystem::CheckParent(const std::string& path) const {
  if (path == "/") return 0;
  // The nearest folder above that is there decides between ENOENT and
  // ENOTDIR, as the kernel's walk does.
  std::string above = ParentOf(path);
  for (;;) {
    if (const auto node = Find(above)) {
      if (!node->folder) return ENOTDIR;
      return above == ParentOf(path) ? 0 : ENOENT;
    }
    above = ParentOf(above);
  }
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::NewNode(bool folder, mode_t mode) {
  auto node = std::make_shared<Node>();
  node->folder = folder;
  node->mode = mode & 07777;
  node->inode = nextInode_++;
  return node;
}

bool MemoryFileSystem::HasChildren(const std::string& folder) const {
  const std::string prefix = folder == "/" ? "/" : folder + "/";
  const auto it = nodes_.upper_bound(prefix);
  return it != nodes_.end() && it->first.starts_with(prefix) && it->first != prefix;
}

std::string MemoryFileSystem::PathAt(int dirFd, const char* name) const {
  if (dirFd == AT_FDCWD || name[0] == '/') return Normalize(name);
  const auto it = descriptors_.find(dirFd);
  if (it == descriptors_.end()) {
    errno = EBADF;
    return {};
  }
  if (!it->second.node->folder) {
    errno = ENOTDIR;
    return {};
  }
  return Normalize(it->second.path + "/" + name);
}

MemoryFileSystem::Descriptor* MemoryFileSystem::Get(int fd) {
  const auto it = descriptors_.find(fd);
  return it == descriptors_.end() ? nullptr : &it->second;
}

void MemoryFileSystem::Fill(const Node& node, struct stat* st) {
  std::memset(st, 0, sizeof *st);
  st->st_dev = 1;
  st->st_ino = node.inode;
  st->st_mode = (node.folder ? S_IFDIR : S_IFREG) | node.mode;
  st->st_nlink = node.folder ? 2 : 1;
  st->st_uid = ::geteuid();
  st->st_gid = ::getegid();
  st->st_size = node.folder ? 4096 : static_cast<off_t>(node.bytes.size());
  st->st_blksize = 4096;
  st->st_blocks = (st->st_size + 511) / 512;
}

int MemoryFileSystem::OpenPath(const std::string& path, int flags, mode_t mode) {
  std::shared_ptr<Node> node = Find(path);
  if (node) {
    if ((flags & O_CREAT) && (flags & O_EXCL)) return Fail(EEXIST);
    if ((flags & O_DIRECTORY) && !node->folder) return Fail(ENOTDIR);
    if (node->folder && (Writable(flags) || (flags & O_CREAT))) return Fail(EISDIR);
    if (Writable(flags) && !(node->mode & S_IWUSR)) return Fail(EACCES);
    if (Readable(flags) && !(node->mode & S_IRUSR)) return Fail(EACCES);
    if ((flags & O_TRUNC) && Writable(flags)) node->bytes.clear();
  } else {
    if (const int e = CheckParent(path)) return Fail(e);
    if (!(flags & O_CREAT)) return Fail(ENOENT);
    if (flags & O_DIRECTORY) return Fail(EINVAL);
    node = NewNode(false, mode & ~kUmask);
    nodes_[path] = node;
  }
  int fd = nextFd_;
  while (descriptors_.contains(fd)) ++fd;
  // What F_GETFL reports: the access mode and the status flags.
  constexpr int kOpenOnly =
      O_CREAT | O_EXCL | O_TRUNC | O_NOCTTY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC;
  descriptors_[fd] = Descriptor{node, path, flags & ~kOpenOnly, 0};
  return fd;
}

int MemoryFileSystem::Open(const char* path, int flags, mode_t mode) {
  std::lock_guard lock(mutex_);
  return OpenPath(Normalize(path), flags, mode);
}

int MemoryFileSystem::OpenAt(int dirFd, const char* name, int flags, mode_t mode) {
  std::lock_guard lock(mutex_);
  const std::string path = PathAt(dirFd, name);
  if (path.empty()) return -1;
  return OpenPath(path, flags, mode);
}

ssize_t MemoryFileSystem::Read(int fd, void* buffer, std::size_t size) {
  std::lock_guard lock(mutex_);
  Descriptor* d = Get(fd);
  if (d == nullptr || !Readable(d->flags)) return Fail(EBADF);
  if (d->node->folder) return Fail(EISDIR);
  const std::string& bytes = d->node->bytes;
  if (d->position >= bytes.size()) return 0;
  const std::size_t n = std::min(size, bytes.size() - d->position);
  std::memcpy(buffer, bytes.data() + d->position, n);
  d->position += n;
  return static_cast<ssize_t>(n);
}

ssize_t MemoryFileSystem::Write(int fd, const void* buffer, std::size_t size) {
  std::lock_guard lock(mutex_);
  Descriptor* d = Get(fd);
  if (d == nullptr || !Writable(d->flags)) return Fail(EBADF);
  std::string& bytes = d->node->bytes;
  if (d->flags & O_APPEND) d->position = bytes.size();
  if (bytes.size() < d->position + size) bytes.resize(d->position + size);
  std::memcpy(bytes.data() + d->position, buffer, size);
  d->position += size;
  return static_cast<ssize_t>(size);
}

int MemoryFileSystem::Sync(int fd) {
  std::lock_guard lock(mutex_);
  return Get(fd) == nullptr ? Fail(EBADF) : 0;
}

int MemoryFileSystem::StartWriteBack(int fd, long long, long long) { return Sync(fd); }

int MemoryFileSystem::SyncFolder(int dirFd) {
  std::lock_guard lock(mutex_);
  const Descriptor* d = Get(dirFd);
  if (d == nullptr) return Fail(EBADF);
  return d->node->folder ? 0 : Fail(ENOTDIR);
}

int MemoryFileSystem::Close(int fd) {
  std::lock_guard lock(mutex_);
  return descriptors_.erase(fd) == 0 ? Fail(EBADF) : 0;
}

int MemoryFileSystem::RenamePaths(const std::string& from, const std::string& to) {
  const std::shared_ptr<Node> source = Find(from);
  if (!source) return Fail(CheckParent(from) ? CheckParent(from) : ENOENT);
  if (const int e = CheckParent(to)) return Fail(e);
  if (from == to) return 0;
  if (source->folder && to.starts_with(from + "/")) return Fail(EINVAL);
  if (const std::shared_ptr<Node> target = Find(to)) {
    if (target == source) return 0;
    if (source->folder && !target->folder) return Fail(ENOTDIR);
    if (!source->folder && target->folder) return Fail(EISDIR);
    if (target->folder && HasChildren(to)) return Fail(ENOTEMPTY);
  }
  nodes_[to] = source;
  nodes_.erase(from);
  if (source->folder) {
    // The folder's contents move with it, and so do folders open inside it.
    const std::string prefix = from + "/";
    std::vector<std::pair<std::string, std::shared_ptr<Node>>> moved;
    for (auto it = nodes_.lower_bound(prefix);
         it != nodes_.end() && it->first.starts_with(prefix);) {
      moved.emplace_back(to + "/" + it->first.substr(prefix.size()), it->second);
      it = nodes_.erase(it);
    }
    for (auto& [path, node] : moved) nodes_[path] = std::move(node);
    for (auto& [fd, d] : descriptors_) {
      if (d.path == from) {
        d.path = to;
      } else if (d.path.starts_with(prefix)) {
        d.path = to + "/" + d.path.substr(prefix.size());
      }
    }
  }
  return 0;
}

int MemoryFileSystem::Rename(const char* from, const char* to) {
  std::lock_guard lock(mutex_);
  return RenamePaths(Normalize(from), Normalize(to));
}

int MemoryFileSystem::RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) {
  std::lock_guard lock(mutex_);
  const std::string source = PathAt(fromDirFd, from);
  if (source.empty()) return -1;
  const std::string target = PathAt(toDirFd, to);
  if (target.empty()) return -1;
  return RenamePaths(source, target);
}

int MemoryFileSystem::UnlinkPath(const std::string& path, bool folder) {
  const std::shared_ptr<Node> node = Find(path);
  if (!node) return Fail(CheckParent(path) ? CheckParent(path) : ENOENT);
  if (path == "/") return Fail(EBUSY);
  if (node->folder != folder) return Fail(folder ? ENOTDIR : EISDIR);
  if (folder && HasChildren(path)) return Fail(ENOTEMPTY);
  nodes_.erase(path);
  return 0;
}

int MemoryFileSystem::Unlink(const char* path) {
  std::lock_guard lock(mutex_);
  return UnlinkPath(Normalize(path), false);
}

int MemoryFileSystem::UnlinkAt(int dirFd, const char* name, int flags) {
  std::lock_guard lock(mutex_);
  if (flags & ~AT_REMOVEDIR) return Fail(EINVAL);
  const std::string path = PathAt(dirFd, name);
  if (path.empty()) return -1;
  return UnlinkPath(path, (flags & AT_REMOVEDIR) != 0);
}

int MemoryFileSystem::MakeDirectory(const char* path, mode_t mode) {
  std::lock_guard lock(mutex_);
  const std::string where = Normalize(path);
  if (Find(where)) return Fail(EEXIST);
  if (const int e = CheckParent(where)) return Fail(e);
  nodes_[where] = NewNode(true, mode & ~kUmask);
  return 0;
}

int MemoryFileSystem::StatusPath(const std::string& path, struct stat* st) const {
  const std::shared_ptr<Node> node = Find(path);
  if (!node) return Fail(CheckParent(path) ? CheckParent(path) : ENOENT);
  Fill(*node, st);
  return 0;
}

int MemoryFileSystem::Status(const char* path, struct stat* st, bool) {
  std::lock_guard lock(mutex_);
  return StatusPath(Normalize(path), st);
}

int MemoryFileSystem::StatusAt(int dirFd, const char* name, struct stat* st, bool) {
  std::lock_guard lock(mutex_);
  const std::string path = PathAt(dirFd, name);
  if (path.empty()) return -1;
  return StatusPath(path, st);
}

int MemoryFileSystem::AccessAt(int dirFd, const char* name, int mode) {
  std::lock_guard lock(mutex_);
  const std::string path = PathAt(dirFd, name);
  if (path.empty()) return -1;
  const std::shared_ptr<Node> node = Find(path);
  if (!node) return Fail(CheckParent(path) ? CheckParent(path) : ENOENT);
  if (((mode & R_OK) && !(node->mode & S_IRUSR)) || ((mode & W_OK) && !(node->mode & S_IWUSR)) ||
      ((mode & X_OK) && !(node->mode & S_IXUSR))) {
    return Fail(EACCES);
  }
  return 0;
}

int MemoryFileSystem::ListPath(const std::string& path,
                               std::vector<quenFile::DirEntry>& entries) const {
  entries.clear();
  const std::shared_ptr<Node> node = Find(path);
  if (!node) return CheckParent(path) ? CheckParent(path) : ENOENT;
  if (!node->folder) return ENOTDIR;
  const std::string prefix = path == "/" ? "/" : path + "/";
  for (auto it = nodes_.upper_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix);
       ++it) {
    const std::string_view name = std::string_view(it->first).substr(prefix.size());
    if (name.find('/') != std::string_view::npos) continue;
    entries.push_back(
        quenFile::DirEntry{std::string(name), !it->second->folder, name.starts_with('.')});
  }
  return 0;
}

int MemoryFileSystem::List(const char* path, std::vector<quenFile::DirEntry>& entries) {
  std::lock_guard lock(mutex_);
  return ListPath(Normalize(path), entries);
}

int MemoryFileSystem::ListAt(int dirFd, std::vector<quenFile::DirEntry>& entries) {
  std::lock_guard lock(mutex_);
  entries.clear();
  const std::string path = PathAt(dirFd, ".");
  if (path.empty()) return errno;
  return ListPath(path, entries);
}

int MemoryFileSystem::FileStatus(int fd, struct stat* st) {
  std::lock_guard lock(mutex_);
  const Descriptor* d = Get(fd);
  if (d == nullptr) return Fail(EBADF);
  Fill(*d->node, st);
  return 0;
}

// Every file here is an ordinary one on a disk.
int MemoryFileSystem::IsKernelFile(int fd) {
  std::lock_guard lock(mutex_);
  if (Get(fd) == nullptr) return Fail(EBADF);
  return 0;
}

int MemoryFileSystem::ChangeMode(int fd, mode_t mode) {
  std::lock_guard lock(mutex_);
  Descriptor* d = Get(fd);
  if (d == nullptr) return Fail(EBADF);
  d->node->mode = mode & 07777;
  return 0;
}

int MemoryFileSystem::Lock(int fd, int) {
  std::lock_guard lock(mutex_);
  return Get(fd) == nullptr ? Fail(EBADF) : 0;
}

int MemoryFileSystem::Control(int fd, int command, int argument) {
  std::lock_guard lock(mutex_);
  Descriptor* d = Get(fd);
  if (d == nullptr) return Fail(EBADF);
  switch (command) {
    case F_GETFL:
      return d->flags;
    case F_SETFL: {
      // Only these flags can change on an open file.
      constexpr int kSettable = O_APPEND | O_NONBLOCK;
      d->flags = (d->flags & ~kSettable) | (argument & kSettable);
      return 0;
    }
    default:
      return Fail(EINVAL);
  }
}

void MemoryFileSystem::Clear() {
  std::lock_guard lock(mutex_);
  nodes_.erase(nodes_.upper_bound("/"), nodes_.end());
}

void MemoryFileSystem::MakeFolders(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string where = Normalize(path);
  if (where == "/") return;
  MakeFolders(ParentOf(where));
  const std::shared_ptr<Node> node = Find(where);
  if (node && !node->folder) throw std::runtime_error("not a folder: " + where);
  if (!node) nodes_[where] = NewNode(true, 0755);
}

void MemoryFileSystem::PutFile(const std::string& path, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  const std::string where = Normalize(path);
  if (CheckParent(where) != 0) throw std::runtime_error("no folder for " + where);
  std::shared_ptr<Node> node = Find(where);
  if (node && node->folder) throw std::runtime_error("a folder: " + where);
  if (!node) nodes_[where] = node = NewNode(false, 0644);
  node->bytes.assign(bytes);
}

const std::string* MemoryFileSystem::File(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const std::shared_ptr<Node> node = Find(Normalize(path));
  return node && !node->folder ? &node->bytes : nullptr;
}

bool MemoryFileSystem::Exists(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return Find(Normalize(path)) != nullptr;
}

std::vector<std::string> MemoryFileSystem::Names(const std::string& folder) const {
  std::lock_guard lock(mutex_);
  std::vector<quenFile::DirEntry> entries;
  std::vector<std::string> names;
  if (ListPath(Normalize(folder), entries) != 0) return names;
  for (quenFile::DirEntry& e : entries) names.push_back(std::move(e.name));
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t MemoryFileSystem::OpenDescriptors() const {
  std::lock_guard lock(mutex_);
  return descriptors_.size();
}

}  // namespace fuzz
