// Finding a place in the merged bytes among the merged lines.
#include "RunStages.h"

#include <utility>

// The error check cut the lines file by file; only the bytes are still to
// be handed over.
MergedLines MergedLines::Load(SourceBytes sources) {
  MergedLines merged;
  merged.bytes = sources.bytes.view();
  merged.lines = std::move(sources.lines);
  merged.lines.KeepBytes(std::move(sources.bytes));
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
