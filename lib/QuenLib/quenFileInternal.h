// quenFileInternal: what the file modules share among themselves and callers
// do not use: a descriptor owner, the one reading routine, the names of the
// writer's temporary files and the list of those a termination signal removes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "quenFile.h"
#include "quenFileSystem.h"

namespace quenFile::internal {

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
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Appends up to maxBytes of the file name in the folder open as dirFd (or of
// the path name with AT_FDCWD; a name in a folder is never followed when it
// is a symbolic link). Failures throw FileError naming shown; anything but a
// regular file on a disk is refused as an open failure.
std::size_t AppendUpTo(int dirFd, const char* name, const std::filesystem::path& shown,
                       std::size_t maxBytes, std::string& out);
std::size_t AppendUpTo(int dirFd, const char* name, const std::filesystem::path& shown,
                       std::size_t maxBytes, ByteBuffer& out);

// Opens a file to read as AppendUpTo does, refusing anything but a regular
// file on a disk, and sets size to its size; the descriptor is the caller's.
int OpenRegularFile(int dirFd, const char* name, const std::filesystem::path& shown,
                    std::size_t& size);

// Writes all of bytes to fd, again after an interruption; FileError (write)
// naming path otherwise.
void WriteFully(int fd, std::string_view bytes, const std::filesystem::path& path);

// ".<fileName>.tmp-<pid>-<n>", unique within the process; a name too long
// for that to fit in NAME_MAX bytes is cut and a hash of it added.
std::string TemporaryNameFor(std::string_view fileName);
// What every such name for fileName starts with: ".<fileName>.tmp-".
std::string TemporaryStemFor(std::string_view fileName);
// Whether name has that form.
bool IsTemporaryName(std::string_view name);

// Notes a temporary file (name in dirFd, or a path with AT_FDCWD) for
// removal when a termination signal ends the process; the slot, or -1 when
// it cannot be noted. Forget(-1) does nothing.
int RememberTemporary(int dirFd, const char* name);
void ForgetTemporary(int slot);
// Hands every noted temporary file to remove, for good: for a process about
// to end. Safe in a signal handler when remove is.
void RemoveRememberedTemporaries(void (*remove)(int dirFd, const char* name));
// The text SetTerminationNotice asks for, or nullptr; safe in a signal
// handler when the notice is.
const char* TerminationNoticeText();

}  // namespace quenFile::internal
