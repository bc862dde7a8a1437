// Where each copy of a repeated key stands: its source file and its line
// number within that file, found from the merged lines without reading
// anything again.
#include <algorithm>

#include "ConversionRun.h"
#include "quenFile.h"

namespace {

// The merged lines were loaded from one block of bytes, so a line's place
// in that block is its distance from the first line.
std::size_t OffsetOf(const LineList& lines, std::string_view line) {
  return static_cast<std::size_t>(line.data() - lines[0].data());
}

// The index of the first merged line at or after offset.
std::size_t FirstLineFrom(const LineList& lines, std::size_t offset) {
  std::size_t low = 0;
  std::size_t high = lines.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (OffsetOf(lines, lines[mid]) < offset) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

}  // namespace

void ConversionRun::AddDuplicateFindings(const KeyIndexList& index, std::size_t begin,
                                         std::size_t end, const LineList& lines,
                                         const SourceBytes& merged) {
  const std::size_t group = data_.RunFindings.empty() ? 1 : data_.RunFindings.back().group + 1;
  for (std::size_t i = begin; i < end; ++i) {
    Finding f{FindingKind::kDuplicateKey,
              std::string(index.Key(i)),
              {},
              0,
              std::string(index.Line(i)),
              group,
              end - begin};
    const std::size_t offset = OffsetOf(lines, index.Line(i));
    // The file whose bytes hold the line: the last one that starts at or
    // before it and has bytes at all.
    auto file = std::upper_bound(merged.files.begin(), merged.files.end(), offset,
                                 [](std::size_t at, const SourceFile& s) { return at < s.start; });
    while (file != merged.files.begin() && (file - 1)->size == 0) --file;
    if (file != merged.files.begin()) {
      --file;
      // A record file never starts with an empty line, so its first line
      // starts where its bytes do.
      f.file = quenFile::PathBytes(file->path.filename());
      f.line = FirstLineFrom(lines, offset) - FirstLineFrom(lines, file->start) + 1;
    }
    data_.RunFindings.push_back(std::move(f));
  }
}
