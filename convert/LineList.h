// LineList: an ordered list of lines, each the raw CP932 bytes of one line of
// a text file. Lines are views into shared, never-modified storage, so a list
// can hand lines to another list without copying the bytes.
//
// Loading: a line ends at CR LF, a lone LF or a lone CR (after the text one CR
// is skipped if present, then one LF if present, so CR CR LF and LF CR leave
// an empty line). A final line without a break is kept; a break at the very
// end adds no empty line. NUL is an ordinary byte.
// Saving: every line followed by CR LF, written atomically.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LineList {
 public:
  using const_iterator = std::vector<std::string_view>::const_iterator;

  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  std::string_view operator[](std::size_t i) const { return lines_[i]; }
  const_iterator begin() const { return lines_.begin(); }
  const_iterator end() const { return lines_.end(); }

  void Clear();
  void Reserve(std::size_t n) { lines_.reserve(n); }

  // Appends a copy of line.
  void Add(std::string_view line);
  // Appends line i of from, sharing its bytes.
  void AddFrom(const LineList& from, std::size_t i);

  // Replaces the contents with the lines of a whole file's bytes.
  void LoadFromBytes(std::string bytes);
  // Replaces the contents with the lines of the file. Throws
  // quenFile::FileError when it cannot be opened or read.
  void LoadFromFile(const std::filesystem::path& path);
  // Writes every line followed by CR LF; the target is replaced whole or not
  // at all. Throws quenFile::FileError.
  void SaveToFile(const std::filesystem::path& path) const;

  // The number of lines the bytes would load as, without keeping them.
  static std::size_t CountLines(std::string_view bytes);

 private:
  using Storage = std::shared_ptr<const std::string>;
  void Share(const Storage& storage);

  std::vector<std::string_view> lines_;
  std::vector<Storage> storage_;
  // Block that Add copies into; never grows past its capacity, so views
  // into it stay valid.
  std::shared_ptr<std::string> arena_;
};
