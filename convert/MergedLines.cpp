// Finding a place in the merged bytes among the merged lines.
#include "RunStages.h"

#include <utility>

// Each file is cut on its own, so no line runs into the gap after it; but a
// CR ending one file and an LF starting the next make one break, as they
// did when the files' bytes were run together.
MergedLines MergedLines::Load(SourceBytes sources) {
  MergedLines merged;
  merged.bytes = sources.bytes.view();
  std::size_t count = 0;
  for (const SourceFile& file : sources.files) count += file.lines;
  merged.lines.Reserve(count);
  const uint64_t base = merged.lines.AdoptRegion(std::move(sources.bytes));
  bool afterCr = false;
  for (const SourceFile& file : sources.files) {
    if (file.size == 0) continue;
    const std::string_view own = merged.bytes.substr(file.start, file.size);
    const std::size_t skip = afterCr && own.front() == '\n' ? 1 : 0;
    merged.lines.AddAdoptedLines(base + file.start + skip, file.size - skip);
    afterCr = own.back() == '\r';
  }
  merged.files = std::move(sources.files);
  return merged;
}

// The lines lie in the files' range, so a line's place in it is its
// distance from the range's start.
std::size_t MergedLines::OffsetOf(std::string_view line) const {
  return static_cast<std::size_t>(line.data() - bytes.data());
}

std::size_t MergedLines::FirstLineFrom(std::size_t offset) const {
  std::size_t low = 0;
  std::size_t high = lines.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (OffsetOf(lines[mid]) < offset) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}
