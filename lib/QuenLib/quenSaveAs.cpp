#include "quenSaveAs.h"

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "quenFile.h"
#include "quenFileInternal.h"
#include "quenPlatform.h"

namespace quenFile {
namespace {

using internal::Fd;
using internal::WriteFully;
using Kind = FileError::Kind;

constexpr int kMostLinks = 40;  // as the kernel follows
constexpr mode_t kNoFile = static_cast<mode_t>(-1);

// The path a chain of symbolic links at path ends in; path itself when it
// is none. A link whose target does not exist yet leads to that target.
std::string FollowLinks(std::string path, const std::filesystem::path& shown) {
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (System().Status(path.c_str(), &st, false) != 0) {
      if (errno == ENOENT) return path;
      throw FileError(Kind::kCreate, shown, errno);
    }
    if (!S_ISLNK(st.st_mode)) return path;
    if (hops == kMostLinks) throw FileError(Kind::kCreate, shown, ELOOP);
    std::string target;
    if (System().ReadLink(path.c_str(), target) != 0) throw FileError(Kind::kCreate, shown, errno);
    const std::filesystem::path next = PathFromBytes(target);
    path = PathBytes(next.is_absolute() ? next : PathFromBytes(path).parent_path() / next);
  }
}

// Writes into a device, FIFO or terminal as it is; false, having written
// nothing, when a regular file turned up at target after all.
bool WriteInPlace(const std::string& target, std::string_view bytes,
                  const std::filesystem::path& shown) {
  Fd fd(System().Open(target.c_str(), O_WRONLY | O_NOCTTY, 0));
  if (fd.get() < 0) throw FileError(Kind::kCreate, shown, errno);
  struct stat st {};
  if (System().FileStatus(fd.get(), &st) != 0) throw FileError(Kind::kCreate, shown, errno);
  if (S_ISREG(st.st_mode)) return false;
  WriteFully(fd.get(), bytes, shown);
  if (System().Close(fd.release()) != 0) throw FileError(Kind::kWrite, shown, errno);
  return true;
}

// The permission bits of the regular file to replace, or kNoFile.
mode_t ModeToKeep(const std::string& target, const std::filesystem::path& shown) {
  struct stat st {};
  if (System().Status(target.c_str(), &st, true) != 0) {
    if (errno == ENOENT) return kNoFile;
    throw FileError(Kind::kCreate, shown, errno);
  }
  // Replacing a file the user may not write would be refused by ">".
  if (System().AccessAt(AT_FDCWD, target.c_str(), W_OK) != 0) {
    throw FileError(Kind::kCreate, shown, errno);
  }
  return st.st_mode & 0777;
}

// Removes the temporaries an earlier save of the same name left when its
// process died; those of a running process stay.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& name) {
  const std::string stem = internal::TemporaryStemFor(name);
  std::vector<DirEntry> entries;
  if (System().List(PathBytes(folder).c_str(), entries) != 0) return;
  for (const DirEntry& entry : entries) {
    // Only "<stem><pid>-<n>": a longer name is another file's temporary.
    if (!entry.name.starts_with(stem)) continue;
    const std::string_view rest = std::string_view(entry.name).substr(stem.size());
    long owner = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), owner);
    const std::string_view counter = rest.substr(static_cast<std::size_t>(end - rest.data()));
    if (error != std::errc() || counter.size() < 2 || counter[0] != '-' ||
        counter.find_first_not_of("0123456789", 1) != std::string_view::npos) {
      continue;
    }
    if (owner == static_cast<long>(::getpid()) || quenPlatform::ProcessExists(owner)) continue;
    System().Unlink(PathBytes(folder / PathFromBytes(entry.name)).c_str());
  }
}

// Puts the written unnamed file open as fd in place of target.
void PlaceUnnamed(int fd, const std::string& target, bool replacing,
                  const std::filesystem::path& shown) {
  if (!replacing && System().LinkUnnamed(fd, target.c_str()) == 0) return;
  if (!replacing && errno != EEXIST) throw FileError(Kind::kCreate, shown, errno);
  // A name cannot be linked over: the file gets a hidden one, for as long
  // as the rename takes.
  const std::filesystem::path path = PathFromBytes(target);
  const std::string temporary = PathBytes(
      path.parent_path() / PathFromBytes(internal::TemporaryNameFor(PathBytes(path.filename()))));
  if (System().LinkUnnamed(fd, temporary.c_str()) != 0)
    throw FileError(Kind::kCreate, shown, errno);
  const int slot = internal::RememberTemporary(AT_FDCWD, temporary.c_str());
  const int renamed = System().Rename(temporary.c_str(), target.c_str());
  const int e = errno;
  if (renamed != 0) System().Unlink(temporary.c_str());
  internal::ForgetTemporary(slot);
  if (renamed != 0) throw FileError(Kind::kCreate, shown, e);
}

// Replaces target through a file without a name; false where the system or
// the file system has none.
bool ReplaceUnnamed(const std::string& target, mode_t keep, std::string_view bytes,
                    const std::filesystem::path& shown) {
  std::string folder = PathBytes(PathFromBytes(target).parent_path());
  if (folder.empty()) folder = ".";
  Fd fd(System().OpenUnnamed(folder.c_str(), 0666));
  if (fd.get() < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return false;
    throw FileError(Kind::kCreate, shown, errno);
  }
  if (keep != kNoFile && System().ChangeMode(fd.get(), keep) != 0) {
    throw FileError(Kind::kCreate, shown, errno);
  }
  WriteFully(fd.get(), bytes, shown);
  if (System().Sync(fd.get()) != 0) throw FileError(Kind::kWrite, shown, errno);
  PlaceUnnamed(fd.get(), target, keep != kNoFile, shown);
  if (System().Close(fd.release()) != 0) throw FileError(Kind::kWrite, shown, errno);
  return true;
}

}  // namespace

void SaveAs(const std::filesystem::path& path, std::string_view bytes) {
  // What the links lead to, as the kernel sees it: /dev/stdout is a link
  // whose text ("pipe:[…]") names nothing one could follow by hand.
  struct stat st {};
  if (System().Status(PathBytes(path).c_str(), &st, true) == 0) {
    if (S_ISDIR(st.st_mode)) throw FileError(Kind::kCreate, path, EISDIR);
    if (!S_ISREG(st.st_mode) && WriteInPlace(PathBytes(path), bytes, path)) return;
  } else if (errno != ENOENT) {
    throw FileError(Kind::kCreate, path, errno);
  }
  // A regular file, or none: replaced where the links end.
  const std::string target = FollowLinks(PathBytes(path), path);
  const std::filesystem::path file = PathFromBytes(target);
  RemoveStaleTemporaries(file.parent_path().empty() ? "." : file.parent_path(),
                         PathBytes(file.filename()));
  if (ReplaceUnnamed(target, ModeToKeep(target, path), bytes, path)) return;
  AtomicWriter writer(file);
  writer.Write(bytes);
  writer.Commit();
}

}  // namespace quenFile
