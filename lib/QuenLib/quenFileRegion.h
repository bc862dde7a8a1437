// quenFileRegion: whole files laid out in one reserved range of addresses,
// each at a page boundary, so that a place in any of them is one offset in
// the range. Large files are mapped (never copied; read in by ReadIn or as
// they are read); small ones, and any that cannot be mapped, are read into
// fresh pages at their place. Between two files lie at least kGap bytes that
// read as NUL and belong to neither.
//
// A mapped file is the file itself: should another program change it, the
// bytes change under the reader. Each mapped file's status is taken after
// mapping, and CheckUnchanged compares it again; a page lost to a file cut
// short under the run reads as zeros (no SIGBUS ends the process) and marks
// the range as bad. Either way CheckUnchanged throws FileChangedError.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "quenFileSystem.h"

namespace quenFile {

// A file that changed while the program was still using its bytes. what()
// is UTF-8 and names the file.
class FileChangedError : public std::runtime_error {
 public:
  FileChangedError(const std::filesystem::path& path, int errorNumber = 0);
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class FileRegion {
 public:
  static constexpr std::size_t kGap = 2;

  FileRegion() = default;
  // Reserves room for files of about expected bytes in all (FootprintOf
  // of each), and more. Throws std::bad_alloc when no room can be had.
  explicit FileRegion(std::size_t expected);
  ~FileRegion();
  FileRegion(FileRegion&& other) noexcept;
  FileRegion& operator=(FileRegion&& other) noexcept;
  FileRegion(const FileRegion&) = delete;
  FileRegion& operator=(const FileRegion&) = delete;

  // What a file of size bytes takes of the range, gap included.
  static std::size_t FootprintOf(std::size_t size);

  // Lays the whole file out at end() and returns its size. Throws FileError
  // as AppendAll does (an open failure for anything but a regular file on
  // a disk), FileChangedError when it grew past the room left.
  std::size_t Add(const std::filesystem::path& path);
  // Reads the pages of the file laid out at start in now, on the calling
  // thread, when it is mapped: whoever reads a file next asks for it, so
  // that files read on two threads are read in on both. Otherwise its pages
  // fault in as they are read. Safe beside other threads' ReadIn and
  // reading; not beside Add.
  void ReadIn(std::size_t start) const;
  // Writes bytes, at most kGap of them, into the gap at offset at, right
  // after the last file added.
  void WriteGap(std::size_t at, std::string_view bytes);

  // Where the next file goes: the end of the last one's gap.
  std::size_t end() const { return end_; }
  // The range up to end(), gaps included.
  std::string_view view() const { return {base_, end_}; }
  std::size_t size() const { return end_; }

  // Throws FileChangedError naming the first mapped file found changed
  // since it was mapped, or whose page was lost; a file that can no longer
  // be examined counts as changed.
  void CheckUnchanged() const;

 private:
  struct Mapped {
    std::filesystem::path path;
    std::size_t start;
    std::size_t size;
    struct stat status;
  };
  bool TryMap(int fd, const std::filesystem::path& path, std::size_t size);
  std::size_t ReadInto(int fd, const std::filesystem::path& path, std::size_t expected);
  void Free() noexcept;

  char* base_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t end_ = 0;
  int guard_ = -1;  // the SIGBUS guard's slot for the range
  std::vector<Mapped> mapped_;
};

// The smallest file mapped rather than read; returns the previous one.
// Tests lower it to map small files.
std::size_t SetMapAtLeast(std::size_t bytes);

}  // namespace quenFile
