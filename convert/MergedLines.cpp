// Finding a place in the merged bytes among the merged lines.
#include "RunStages.h"

// The lines were loaded from one block of bytes, so a line's place in that
// block is its distance from the first line.
std::size_t MergedLines::OffsetOf(std::string_view line) const {
  return static_cast<std::size_t>(line.data() - lines[0].data());
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
