// quenFile: the few file operations the program needs, with failures as
// exceptions whose Japanese message names the file and the system's reason.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenFileSystem.h"
#include "quenReason.h"

namespace quenFile {

class OutputFolder;

// A path's bytes as the file-system seam and the messages take them, and
// back: the native bytes on POSIX; UTF-8 on Windows, where a path built from
// a narrow string would pass through the ANSI code page and lose Japanese
// names.
std::string PathBytes(const std::filesystem::path& path);
std::filesystem::path PathFromBytes(std::string_view bytes);

// A file operation that failed. what() is UTF-8, its reason Japanese
// (ReasonText). errorNumber() is an errno value or kNotRegularFile.
class FileError : public std::runtime_error {
 public:
  enum class Kind { kOpen, kRead, kCreate, kWrite, kInputOutput, kFolderRead };
  FileError(Kind kind, const std::filesystem::path& path, int errorNumber);
  Kind kind() const { return kind_; }
  const std::filesystem::path& path() const { return path_; }
  int errorNumber() const { return errno_; }

 private:
  Kind kind_;
  std::filesystem::path path_;
  int errno_;
};

// Bytes read from files, in storage that is never zero-filled first: a read
// writes every byte kept, so filling hundreds of megabytes with zeros just
// before would double the work. Growing past the capacity may move them.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(ByteBuffer&& other) noexcept
      : data_(std::move(other.data_)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ByteBuffer& operator=(ByteBuffer&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  char back() const { return data_.get()[size_ - 1]; }
  std::string_view view() const { return {data_.get(), size_}; }

  void reserve(std::size_t n);
  // Sets the size; bytes past the old size are left for the caller to write.
  void resize_for_overwrite(std::size_t n);
  void append(const char* bytes, std::size_t n);
  void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }

 private:
  struct Free {
    void operator()(char* p) const;
  };
  std::unique_ptr<char[], Free> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// The whole file, or its first maxBytes bytes. Throws FileError. Reading
// never waits on a FIFO or a device: anything but a regular file on a disk
// (a FIFO, a device, a socket, a folder, a kernel file such as /proc/kmsg)
// is refused as an open failure.
std::string ReadAll(const std::filesystem::path& path);
std::string ReadHead(const std::filesystem::path& path, std::size_t maxBytes);
// Appends the whole file to out; returns the number of bytes appended.
std::size_t AppendAll(const std::filesystem::path& path, ByteBuffer& out);

// Writes a file so that the target is either untouched or complete: the bytes
// go to a hidden temporary file beside it, which is flushed to disk and then
// renamed over the target. Dropped without Commit(), the
// temporary file is removed and the target stays as it was. An existing
// target is honoured as creating it over would: one that is not writable is
// refused, and the new file keeps its permission bits.
class AtomicWriter {
 public:
  // Throws FileError (create).
  explicit AtomicWriter(std::filesystem::path target);
  // The file name in folder, which must outlive the writer; every call goes
  // through the folder's descriptor. Errors name folder.PathOf(name).
  AtomicWriter(const OutputFolder& folder, std::string_view name);
  ~AtomicWriter();
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  void Write(std::string_view bytes);  // throws FileError (write)
  void Commit();                       // throws FileError (write, create)
  // Writes bytes now, after what the buffer holds: for a caller that
  // buffers them itself (ThreadedWriter). Throws FileError (write).
  void WriteUnbuffered(std::string_view bytes);

 private:
  void Create();
  void RemoveTemporary();
  void Flush();
  void WriteOut(std::string_view bytes);
  // Starts the disk on what was written since the last start.
  void StartWriteBack();
  std::filesystem::path target_;  // the full path, for messages
  int dirFd_ = AT_FDCWD;          // the folder, or AT_FDCWD when names are paths
  std::string name_;              // the target in dirFd_
  std::string tempName_;
  int fd_ = -1;
  int slot_ = -1;  // where a termination signal finds the temporary file
  std::string buffer_;
  long long written_ = 0;
  long long writeBackFrom_ = 0;  // bytes before it are on their way to the disk
};

// Runs read, which reads a file. False when it failed because the file
// could not be opened, an expected problem callers report and go past; any
// other failure propagates.
template <typename Read>
bool ReadIfOpens(Read&& read) {
  try {
    read();
    return true;
  } catch (const FileError& e) {
    if (e.kind() != FileError::Kind::kOpen) throw;
    return false;
  }
}

// Whether something (with follow, after symbolic links) is at path. Throws
// FileError (input/output) when the answer cannot be had.
bool Exists(const std::filesystem::path& path, bool follow = true);
bool IsDirectory(const std::filesystem::path& path);
// Creates one folder level that only this user can enter; false (errno set)
// when it cannot.
bool MakePrivateDirectory(const std::filesystem::path& path);
// The size of a regular file, or -1.
long long FileSize(const std::filesystem::path& path);

// The names of the entries of a folder, with whether each is a regular
// file. Throws FileError (input/output) when the folder cannot be read.
std::vector<DirEntry> ListFolder(const std::filesystem::path& folder);

// Writes bytes as one atomic replacement of path.
void WriteAll(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quenFile
