#include "quenFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace quenFile {
namespace {

std::string Reason(int errorNumber) { return std::system_category().message(errorNumber); }

std::string Message(FileError::Kind kind, const std::filesystem::path& path, int errorNumber) {
  const std::string name = "\"" + path.string() + "\"";
  switch (kind) {
    case FileError::Kind::kOpen:
      return "ファイル " + name + " を開けません。" + Reason(errorNumber);
    case FileError::Kind::kRead:
      return "ファイル " + name + " の読み込みエラーです。" + Reason(errorNumber);
    case FileError::Kind::kCreate:
      return "ファイル " + name + " を作成できません。" + Reason(errorNumber);
    case FileError::Kind::kWrite:
      return "ストリームの書き込みエラーです。" + name + " " + Reason(errorNumber);
    case FileError::Kind::kInputOutput:
      return "入出力エラーです。" + name + " " + Reason(errorNumber);
  }
  return name;
}

// Closes a descriptor on every path out of a routine.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) System().Close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Appends up to maxBytes of the file to out. The size from fstat only sizes
// the buffer: the file may grow or shrink while it is read.
std::size_t AppendUpTo(const std::filesystem::path& path, std::size_t maxBytes, std::string& out) {
  Fd fd(System().Open(path.c_str(), O_RDONLY, 0));
  if (fd.get() < 0) throw FileError(FileError::Kind::kOpen, path, errno);
  struct stat st {};
  std::size_t expected = 0;
  if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
    expected = std::min<std::size_t>(maxBytes, static_cast<std::size_t>(st.st_size));
  }
  const std::size_t start = out.size();
  out.resize(start + expected);
  std::size_t filled = 0;
  char probe[1 << 16];
  while (filled < maxBytes) {
    const bool direct = filled < expected;
    char* dest = direct ? out.data() + start + filled : probe;
    const std::size_t want = direct ? expected - filled : std::min(sizeof probe, maxBytes - filled);
    const ssize_t n = System().Read(fd.get(), dest, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      out.resize(start);
      throw FileError(FileError::Kind::kRead, path, e);
    }
    if (n == 0) break;
    if (!direct) {
      out.resize(start + filled);
      out.append(probe, static_cast<std::size_t>(n));
      expected = filled + static_cast<std::size_t>(n);
    }
    filled += static_cast<std::size_t>(n);
  }
  out.resize(start + filled);
  return filled;
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

std::filesystem::path TempPathFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++);
  return target.parent_path() / name;
}

constexpr std::size_t kWriteBuffer = 1 << 20;

}  // namespace

FileError::FileError(Kind kind, const std::filesystem::path& path, int errorNumber)
    : std::runtime_error(Message(kind, path, errorNumber)),
      kind_(kind),
      path_(path),
      errno_(errorNumber) {}

std::string ReadAll(const std::filesystem::path& path) {
  std::string out;
  AppendUpTo(path, SIZE_MAX, out);
  return out;
}

std::string ReadHead(const std::filesystem::path& path, std::size_t maxBytes) {
  std::string out;
  AppendUpTo(path, maxBytes, out);
  return out;
}

std::size_t AppendAll(const std::filesystem::path& path, std::string& out) {
  return AppendUpTo(path, SIZE_MAX, out);
}

AtomicWriter::AtomicWriter(std::filesystem::path target) : target_(std::move(target)) {
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temp_ = TempPathFor(target_);
    // 0666 so that the umask decides the final mode, as for any new file.
    fd_ = System().Open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt > 100)) {
      throw FileError(FileError::Kind::kCreate, target_, errno);
    }
  }
  buffer_.reserve(kWriteBuffer);
}

AtomicWriter::~AtomicWriter() {
  if (fd_ >= 0) {
    System().Close(fd_);
    System().Unlink(temp_.c_str());
  }
}

void AtomicWriter::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kWriteBuffer) {
    Flush();
    if (bytes.size() >= kWriteBuffer) {
      WriteFully(fd_, bytes, target_);
      return;
    }
  }
  buffer_.append(bytes);
}

void AtomicWriter::Flush() {
  WriteFully(fd_, buffer_, target_);
  buffer_.clear();
}

void AtomicWriter::Commit() {
  Flush();
  if (System().Sync(fd_) != 0) throw FileError(FileError::Kind::kWrite, target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (System().Close(fd) != 0) {
    const int e = errno;
    System().Unlink(temp_.c_str());
    throw FileError(FileError::Kind::kWrite, target_, e);
  }
  if (System().Rename(temp_.c_str(), target_.c_str()) != 0) {
    const int e = errno;
    System().Unlink(temp_.c_str());
    throw FileError(FileError::Kind::kCreate, target_, e);
  }
}

bool RemoveFile(const std::filesystem::path& path) { return System().Unlink(path.c_str()) == 0; }

bool Exists(const std::filesystem::path& path, bool follow) {
  struct stat st {};
  if (System().Status(path.c_str(), &st, follow) == 0) return true;
  // Only "no such file" means absent: taking an I/O error for absence would
  // make the run skip work and report success.
  if (errno == ENOENT || errno == ENOTDIR) return false;
  throw FileError(FileError::Kind::kInputOutput, path, errno);
}

bool IsDirectory(const std::filesystem::path& path) {
  struct stat st {};
  return System().Status(path.c_str(), &st, true) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::filesystem::path& path) {
  return System().MakeDirectory(path.c_str(), 0777) == 0;
}

long long FileSize(const std::filesystem::path& path) {
  struct stat st {};
  if (System().Status(path.c_str(), &st, true) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

std::vector<DirEntry> ListFolder(const std::filesystem::path& folder) {
  std::vector<DirEntry> entries;
  if (const int e = System().List(folder.c_str(), entries); e != 0) {
    throw FileError(FileError::Kind::kInputOutput, folder, e);
  }
  return entries;
}

void WriteAll(const std::filesystem::path& path, std::string_view bytes) {
  AtomicWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

}  // namespace quenFile
