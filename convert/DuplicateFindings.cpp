// Where each copy of a repeated key stands: its source file and its line
// number within that file, found from the merged lines without reading
// anything again.
#include <algorithm>

#include "ConversionRun.h"
#include "quenFile.h"

void ConversionRun::AddDuplicateFindings(const KeyIndexList& index, std::size_t begin,
                                         std::size_t end, const MergedLines& merged) {
  const std::size_t group = data_.RunFindings.empty() ? 1 : data_.RunFindings.back().group + 1;
  for (std::size_t i = begin; i < end; ++i) {
    Finding f{FindingKind::kDuplicateKey,
              std::string(index.Key(i)),
              {},
              0,
              std::string(index.Line(i)),
              group,
              end - begin};
    const std::size_t offset = merged.OffsetOf(index.Line(i));
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
      f.line = merged.FirstLineFrom(offset) - merged.FirstLineFrom(file->start) + 1;
    }
    data_.RunFindings.push_back(std::move(f));
  }
}
