#include "quenFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "quenFileInternal.h"
#include "quenOutputFolder.h"
#include "quenShow.h"

namespace quenFile {
namespace {

using internal::Fd;

std::string Message(FileError::Kind kind, const std::filesystem::path& path, int errorNumber) {
  const std::string name = "\"" + quenShow::ForDisplay(PathBytes(path)) + "\"";
  // Only a folder is missing where a folder was read or resolved.
  const bool folderGone = errorNumber == ENOENT && (kind == FileError::Kind::kInputOutput ||
                                                    kind == FileError::Kind::kFolderRead);
  const std::string reason = ReasonText(folderGone ? kFolderNotFound : errorNumber);
  switch (kind) {
    case FileError::Kind::kOpen:
      return "ファイル " + name + " を開けません。" + reason;
    case FileError::Kind::kRead:
      return "ファイル " + name + " の読み込みエラーです。" + reason;
    case FileError::Kind::kCreate:
      return "ファイル " + name + " を作成できません。" + reason;
    case FileError::Kind::kWrite:
      return "ストリームの書き込みエラーです。" + name + " " + reason;
    case FileError::Kind::kInputOutput:
      return "入出力エラーです。" + name + " " + reason;
    case FileError::Kind::kFolderRead:
      return "フォルダー " + name + " を読み込めません。" + reason;
  }
  return name;
}

// Opens a file without waiting, should it be a FIFO without writer or a
// device, and makes sure it is a regular file on a disk before any read can
// block; then lets reads wait for the disk as usual. Sets size to its size.
int OpenForReading(int dirFd, const char* name, const std::filesystem::path& shown,
                   std::size_t& size) {
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
  Fd fd(dirFd == AT_FDCWD ? System().Open(name, kFlags, 0)
                          : System().OpenAt(dirFd, name, kFlags | O_NOFOLLOW, 0));
  if (fd.get() < 0) throw FileError(FileError::Kind::kOpen, shown, errno);
  struct stat st {};
  if (System().FileStatus(fd.get(), &st) != 0) {
    throw FileError(FileError::Kind::kOpen, shown, errno);
  }
  if (S_ISDIR(st.st_mode)) throw FileError(FileError::Kind::kOpen, shown, EISDIR);
  if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::kOpen, shown, kNotRegularFile);
  const int kernel = System().IsKernelFile(fd.get());
  if (kernel < 0) throw FileError(FileError::Kind::kOpen, shown, errno);
  if (kernel > 0) throw FileError(FileError::Kind::kOpen, shown, kNotRegularFile);
  const int flags = System().Control(fd.get(), F_GETFL, 0);
  if (flags < 0 || System().Control(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    throw FileError(FileError::Kind::kOpen, shown, errno);
  }
  size = static_cast<std::size_t>(st.st_size);
  return fd.release();
}

// A name in a folder descriptor, or a path with AT_FDCWD: a path is touched
// by the path calls, as it always was; a name in a folder is never followed
// when it is a symbolic link.
int OpenIn(int dirFd, const std::string& name, int flags, mode_t mode) {
  return dirFd == AT_FDCWD ? System().Open(name.c_str(), flags, mode)
                           : System().OpenAt(dirFd, name.c_str(), flags | O_NOFOLLOW, mode);
}
int RenameIn(int dirFd, const std::string& from, const std::string& to) {
  return dirFd == AT_FDCWD ? System().Rename(from.c_str(), to.c_str())
                           : System().RenameAt(dirFd, from.c_str(), dirFd, to.c_str());
}
int UnlinkIn(int dirFd, const std::string& name) {
  return dirFd == AT_FDCWD ? System().Unlink(name.c_str())
                           : System().UnlinkAt(dirFd, name.c_str(), 0);
}
int StatusIn(int dirFd, const std::string& name, struct stat* st) {
  return dirFd == AT_FDCWD ? System().Status(name.c_str(), st, true)
                           : System().StatusAt(dirFd, name.c_str(), st, true);
}

constexpr mode_t kNoFile = static_cast<mode_t>(-1);

// The permission bits of the file a writer replaces, or kNoFile. A file that
// exists but could not be opened for writing is refused, as creating it over
// would be refused.
mode_t ModeToKeep(int dirFd, const std::string& name, const std::filesystem::path& shown) {
  if (System().AccessAt(dirFd, name.c_str(), W_OK) != 0) {
    if (errno == ENOENT) return kNoFile;
    throw FileError(FileError::Kind::kCreate, shown, errno);
  }
  struct stat st {};
  if (StatusIn(dirFd, name, &st) != 0) {
    if (errno == ENOENT) return kNoFile;
    throw FileError(FileError::Kind::kCreate, shown, errno);
  }
  return st.st_mode & 0777;
}

constexpr std::size_t kWriteBuffer = 1 << 20;
// The disk is set to work every this many bytes while the file is still
// being written, so that the sync before its rename has little left to wait
// for; the page cache holds far more, so the writer is not slowed.
constexpr long long kWriteBackBytes = 8 << 20;

}  // namespace

FileError::FileError(Kind kind, const std::filesystem::path& path, int errorNumber)
    : std::runtime_error(Message(kind, path, errorNumber)),
      kind_(kind),
      path_(path),
      errno_(errorNumber) {}

std::string PathBytes(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path PathFromBytes(std::string_view bytes) {
  return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
}

namespace internal {

int OpenRegularFile(int dirFd, const char* name, const std::filesystem::path& shown,
                    std::size_t& size) {
  return OpenForReading(dirFd, name, shown, size);
}

void WriteFully(int fd, std::string_view bytes, const std::filesystem::path& path) {
  while (!bytes.empty()) {
    const ssize_t n = System().Write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(FileError::Kind::kWrite, path, errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

namespace {

void GrowForRead(std::string& out, std::size_t n) { out.resize(n); }
void GrowForRead(ByteBuffer& out, std::size_t n) { out.resize_for_overwrite(n); }

// The size from fstat only sizes the buffer: the file may grow or shrink
// while it is read.
template <typename Out>
std::size_t AppendTo(int dirFd, const char* name, const std::filesystem::path& shown,
                     std::size_t maxBytes, Out& out) {
  std::size_t size = 0;
  Fd fd(OpenForReading(dirFd, name, shown, size));
  std::size_t expected = std::min(maxBytes, size);
  const std::size_t start = out.size();
  GrowForRead(out, start + expected);
  std::size_t filled = 0;
  // Past the size fstat gave, reads go to a probe first. On the heap, and
  // only once needed: a reading thread's stack may be small.
  constexpr std::size_t kProbe = 1 << 16;
  std::unique_ptr<char[]> probe;
  while (filled < maxBytes) {
    const bool direct = filled < expected;
    if (!direct && !probe) probe = std::make_unique_for_overwrite<char[]>(kProbe);
    char* dest = direct ? out.data() + start + filled : probe.get();
    const std::size_t want = direct ? expected - filled : std::min(kProbe, maxBytes - filled);
    const ssize_t n = System().Read(fd.get(), dest, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      GrowForRead(out, start);
      throw FileError(FileError::Kind::kRead, shown, e);
    }
    if (n == 0) break;
    if (!direct) {
      GrowForRead(out, start + filled);
      out.append(probe.get(), static_cast<std::size_t>(n));
      expected = filled + static_cast<std::size_t>(n);
    }
    filled += static_cast<std::size_t>(n);
  }
  GrowForRead(out, start + filled);
  return filled;
}

}  // namespace

std::size_t AppendUpTo(int dirFd, const char* name, const std::filesystem::path& shown,
                       std::size_t maxBytes, std::string& out) {
  return AppendTo(dirFd, name, shown, maxBytes, out);
}

std::size_t AppendUpTo(int dirFd, const char* name, const std::filesystem::path& shown,
                       std::size_t maxBytes, ByteBuffer& out) {
  return AppendTo(dirFd, name, shown, maxBytes, out);
}

std::string TemporaryStemFor(std::string_view fileName) {
  // Room for ".", ".tmp-", a process id and a counter of ten digits each.
  constexpr std::size_t kLongest = 255 - 1 - 5 - 21;
  if (fileName.size() <= kLongest) return "." + std::string(fileName) + ".tmp-";
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : fileName) hash = (hash ^ c) * 1099511628211ull;
  char mark[18];
  std::snprintf(mark, sizeof mark, "~%016llx", static_cast<unsigned long long>(hash));
  std::size_t keep = kLongest - 17;
  // Never half a UTF-8 character: Windows names are UTF-8.
  while (keep > 0 && (static_cast<unsigned char>(fileName[keep]) & 0xC0) == 0x80) --keep;
  return "." + std::string(fileName.substr(0, keep)) + mark + ".tmp-";
}

std::string TemporaryNameFor(std::string_view fileName) {
  static std::atomic<unsigned> counter{0};
  return TemporaryStemFor(fileName) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

bool IsTemporaryName(std::string_view name) {
  const auto digits = [](std::string_view part) {
    return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  const std::size_t marker = name.rfind(".tmp-");
  if (!name.starts_with('.') || marker == std::string_view::npos || marker < 2) return false;
  const std::string_view numbers = name.substr(marker + 5);
  const std::size_t dash = numbers.find('-');
  return dash != std::string_view::npos && digits(numbers.substr(0, dash)) &&
         digits(numbers.substr(dash + 1));
}

}  // namespace internal

std::string ReadAll(const std::filesystem::path& path) {
  std::string out;
  internal::AppendUpTo(AT_FDCWD, PathBytes(path).c_str(), path, SIZE_MAX, out);
  return out;
}

std::string ReadHead(const std::filesystem::path& path, std::size_t maxBytes) {
  std::string out;
  internal::AppendUpTo(AT_FDCWD, PathBytes(path).c_str(), path, maxBytes, out);
  return out;
}

std::size_t AppendAll(const std::filesystem::path& path, ByteBuffer& out) {
  return internal::AppendUpTo(AT_FDCWD, PathBytes(path).c_str(), path, SIZE_MAX, out);
}

void ByteBuffer::Free::operator()(char* p) const { std::free(p); }

void ByteBuffer::reserve(std::size_t n) {
  if (n <= capacity_) return;
  // realloc leaves new room unwritten, and moves a large block by remapping
  // its pages rather than copying them.
  void* grown = std::realloc(data_.get(), n);
  if (grown == nullptr) throw std::bad_alloc();
  (void)data_.release();
  data_.reset(static_cast<char*>(grown));
  capacity_ = n;
}

void ByteBuffer::resize_for_overwrite(std::size_t n) {
  if (n > capacity_) reserve(std::max(n, capacity_ + capacity_ / 2));
  size_ = n;
}

void ByteBuffer::append(const char* bytes, std::size_t n) {
  const std::size_t at = size_;
  resize_for_overwrite(at + n);
  if (n != 0) std::memcpy(data_.get() + at, bytes, n);
}

AtomicWriter::AtomicWriter(std::filesystem::path target)
    : target_(std::move(target)), name_(PathBytes(target_)) {
  Create();
}

AtomicWriter::AtomicWriter(const OutputFolder& folder, std::string_view name)
    : target_(folder.PathOf(name)), dirFd_(folder.fd()), name_(name) {
  Create();
}

void AtomicWriter::Create() {
  const mode_t keep = ModeToKeep(dirFd_, name_, target_);
  const std::filesystem::path folder = dirFd_ == AT_FDCWD ? target_.parent_path() : "";
  for (int attempt = 0; fd_ < 0; ++attempt) {
    const std::string name = internal::TemporaryNameFor(PathBytes(target_.filename()));
    tempName_ = folder.empty() ? name : PathBytes(folder / PathFromBytes(name));
    // Remembered before it exists: a signal between the two would leave it.
    slot_ = internal::RememberTemporary(dirFd_, tempName_.c_str());
    // 0666 so that the umask decides the mode of a new file, as for any.
    fd_ = OpenIn(dirFd_, tempName_, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd_ < 0) {
      const int e = errno;
      internal::ForgetTemporary(slot_);
      slot_ = -1;
      if (e != EEXIST || attempt > 100) throw FileError(FileError::Kind::kCreate, target_, e);
    }
  }
  if (keep != kNoFile && System().ChangeMode(fd_, keep) != 0) {
    const int e = errno;
    System().Close(fd_);
    fd_ = -1;
    RemoveTemporary();
    throw FileError(FileError::Kind::kCreate, target_, e);
  }
  // The buffer grows with what is written: most files a run writes are
  // small, and a megabyte for each costs more than the few regrowths.
}

void AtomicWriter::RemoveTemporary() {
  UnlinkIn(dirFd_, tempName_);
  internal::ForgetTemporary(slot_);
  slot_ = -1;
}

AtomicWriter::~AtomicWriter() {
  if (fd_ >= 0) {
    System().Close(fd_);
    RemoveTemporary();
  }
}

void AtomicWriter::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kWriteBuffer) {
    Flush();
    if (bytes.size() >= kWriteBuffer) {
      WriteOut(bytes);
      return;
    }
  }
  buffer_.append(bytes);
}

void AtomicWriter::WriteUnbuffered(std::string_view bytes) {
  if (!buffer_.empty()) Flush();
  WriteOut(bytes);
}

void AtomicWriter::Flush() {
  WriteOut(buffer_);
  buffer_.clear();
}

void AtomicWriter::WriteOut(std::string_view bytes) {
  internal::WriteFully(fd_, bytes, target_);
  written_ += static_cast<long long>(bytes.size());
  if (written_ - writeBackFrom_ >= kWriteBackBytes) StartWriteBack();
}

void AtomicWriter::StartWriteBack() {
  if (System().StartWriteBack(fd_, writeBackFrom_, written_ - writeBackFrom_) != 0) {
    throw FileError(FileError::Kind::kWrite, target_, errno);
  }
  writeBackFrom_ = written_;
}

void AtomicWriter::Commit() {
  Flush();
  // The tail too, small files as well: every file takes the one road to
  // the disk.
  StartWriteBack();
  if (System().Sync(fd_) != 0) throw FileError(FileError::Kind::kWrite, target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (System().Close(fd) != 0) {
    const int e = errno;
    RemoveTemporary();
    throw FileError(FileError::Kind::kWrite, target_, e);
  }
  if (RenameIn(dirFd_, tempName_, name_) != 0) {
    const int e = errno;
    RemoveTemporary();
    throw FileError(FileError::Kind::kCreate, target_, e);
  }
  internal::ForgetTemporary(slot_);
  slot_ = -1;
}

bool Exists(const std::filesystem::path& path, bool follow) {
  struct stat st {};
  if (System().Status(PathBytes(path).c_str(), &st, follow) == 0) return true;
  // Only "no such file" means absent: taking an I/O error for absence would
  // make the run skip work and report success.
  if (errno == ENOENT || errno == ENOTDIR) return false;
  throw FileError(FileError::Kind::kInputOutput, path, errno);
}

bool IsDirectory(const std::filesystem::path& path) {
  struct stat st {};
  return System().Status(PathBytes(path).c_str(), &st, true) == 0 && S_ISDIR(st.st_mode);
}

bool MakePrivateDirectory(const std::filesystem::path& path) {
  return System().MakeDirectory(PathBytes(path).c_str(), 0700) == 0;
}

long long FileSize(const std::filesystem::path& path) {
  struct stat st {};
  if (System().Status(PathBytes(path).c_str(), &st, true) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

std::vector<DirEntry> ListFolder(const std::filesystem::path& folder) {
  std::vector<DirEntry> entries;
  if (const int e = System().List(PathBytes(folder).c_str(), entries); e != 0) {
    // A folder that is gone is the input/output failure a run has always
    // met; one that is there but cannot be read says so.
    const bool gone = e == ENOENT || e == ENOTDIR;
    throw FileError(gone ? FileError::Kind::kInputOutput : FileError::Kind::kFolderRead, folder, e);
  }
  return entries;
}

void WriteAll(const std::filesystem::path& path, std::string_view bytes) {
  AtomicWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

}  // namespace quenFile
