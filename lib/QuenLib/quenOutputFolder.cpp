#include "quenOutputFolder.h"

#include <cerrno>
#include <utility>
#include <vector>

#include "quenFileInternal.h"
#include "quenReason.h"

namespace quenFile {
namespace {

// Without trailing delimiters: "folder/" would follow a link at "folder".
std::filesystem::path WithoutTrailingDelimiter(std::filesystem::path path) {
  while (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  return path;
}

int OpenFolder(const std::filesystem::path& path) {
  return System().Open(PathBytes(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
}

// Why the folder at path could not be made or opened, in the operator's
// terms: what is in its way, or that the folder around it is gone.
int WhyNoFolder(const std::filesystem::path& path, int error) {
  if (error == ENOENT) return kFolderNotFound;
  if (error != ENOTDIR && error != ELOOP) return error;
  struct stat st {};
  if (System().Status(PathBytes(path).c_str(), &st, false) != 0) return error;
  if (S_ISLNK(st.st_mode)) return kSymbolicLink;
  return S_ISDIR(st.st_mode) ? error : kFileInTheWay;
}

}  // namespace

OutputFolder::OutputFolder(std::filesystem::path path)
    : path_(WithoutTrailingDelimiter(std::move(path))) {
  fd_ = OpenFolder(path_);
  if (fd_ < 0 && errno == ENOENT) {
    if (System().MakeDirectory(PathBytes(path_).c_str(), 0777) != 0 && errno != EEXIST) {
      throw FileError(FileError::Kind::kCreate, path_, WhyNoFolder(path_, errno));
    }
    fd_ = OpenFolder(path_);
  }
  if (fd_ < 0) throw FileError(FileError::Kind::kCreate, path_, WhyNoFolder(path_, errno));
}

OutputFolder::~OutputFolder() {
  if (fd_ >= 0) System().Close(fd_);
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

std::filesystem::path OutputFolder::PathOf(std::string_view name) const {
  return path_ / PathFromBytes(name);
}

bool OutputFolder::TryLock() {
  for (;;) {
    if (System().Lock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    switch (errno) {
      case EINTR:
        continue;
      case EWOULDBLOCK:
        return false;
      // The file system has no locks (an NFS share emulates them with
      // write locks, which a folder opened for reading cannot take).
      case EBADF:
      case ENOLCK:
      case EOPNOTSUPP:
      case EINVAL:
        return true;
      default:
        throw FileError(FileError::Kind::kInputOutput, path_, errno);
    }
  }
}

bool OutputFolder::Status(std::string_view name, struct stat& st) const {
  if (System().StatusAt(fd_, std::string(name).c_str(), &st, false) == 0) return true;
  // Only "no such file" means absent, as for Exists(path).
  if (errno == ENOENT || errno == ENOTDIR) return false;
  throw FileError(FileError::Kind::kInputOutput, PathOf(name), errno);
}

bool OutputFolder::Exists(std::string_view name) const {
  struct stat st {};
  return Status(name, st);
}

bool OutputFolder::IsSymlink(std::string_view name) const {
  struct stat st {};
  return Status(name, st) && S_ISLNK(st.st_mode);
}

bool OutputFolder::Remove(std::string_view name) const {
  return System().UnlinkAt(fd_, std::string(name).c_str(), 0) == 0;
}

bool OutputFolder::RemoveLater(std::string_view name, std::string& aside) const {
  aside = internal::TemporaryNameFor(name);
  if (System().LinkAt(fd_, std::string(name).c_str(), fd_, aside.c_str()) != 0) aside.clear();
  if (Remove(name)) return true;
  const int e = errno;  // the reason the caller shows
  if (!aside.empty()) Remove(aside);
  aside.clear();
  errno = e;
  return false;
}

std::string OutputFolder::ReadAll(std::string_view name) const {
  std::string out;
  internal::AppendUpTo(fd_, std::string(name).c_str(), PathOf(name), SIZE_MAX, out);
  return out;
}

void OutputFolder::Sync() const {
  for (;;) {
    if (System().SyncFolder(fd_) == 0) return;
    switch (errno) {
      case EINTR:
        continue;
      // Folders that take no sync (some network and FUSE file systems).
      case EINVAL:
      case EOPNOTSUPP:
        return;
      default:
        throw FileError(FileError::Kind::kWrite, path_, errno);
    }
  }
}

void WriteAll(const OutputFolder& folder, std::string_view name, std::string_view bytes) {
  AtomicWriter writer(folder, name);
  writer.Write(bytes);
  writer.Commit();
}

void RemoveStaleTemporaries(const OutputFolder& folder) {
  std::vector<DirEntry> entries;
  if (const int e = System().ListAt(folder.fd(), entries); e != 0) {
    throw FileError(FileError::Kind::kInputOutput, folder.path(), e);
  }
  for (const DirEntry& entry : entries) {
    if (internal::IsTemporaryName(entry.name)) {
      System().UnlinkAt(folder.fd(), entry.name.c_str(), 0);
    }
  }
}

}  // namespace quenFile
