// The duplicate check's walk of the key index: the lines of unique keys are
// kept, every copy of a repeated key becomes a finding. Where each copy
// stands (its source file and its line number within that file) is found
// from the merged lines without reading anything again.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "ConversionRun.h"
#include "StepClock.h"
#include "quenFile.h"

namespace {

// The record files among the merged lines, found by line index: for each
// file with bytes, the index of its first line and its number in the
// findings.
class FilePlaces {
 public:
  FilePlaces(const MergedLines& merged, Findings& findings) : merged_(merged) {
    for (const SourceFile& file : merged.files) {
      // Every file gets its number, in order, as it always has.
      const std::size_t number = findings.FileNumber(quenFile::PathBytes(file.path.filename()));
      // A file without bytes holds no line; the lines from its start on
      // are the next file's.
      if (file.size == 0) continue;
      numbers_.push_back(number);
      // A record file never starts with an empty line, so its first line
      // starts where its bytes do.
      firstLines_.push_back(merged.FirstLineFrom(file.start));
    }
  }

  // Adds the finding of merged line at, one of a group of copies.
  void Add(Findings& findings, std::size_t at, std::size_t copies) {
    const std::size_t offset = merged_.OffsetOf(merged_.lines[at]);
    // The file that holds the line: the last whose first line is at or
    // before it. A line's place grows with its index, so this is the file
    // whose bytes hold it.
    const auto after = std::upper_bound(firstLines_.begin(), firstLines_.end(), at);
    if (after == firstLines_.begin()) {
      if (nowhere_ == kNoNumber) nowhere_ = findings.FileNumber({});
      findings.Refer(FindingKind::kDuplicateKey, offset, nowhere_, 0, copies);
      return;
    }
    const auto f = static_cast<std::size_t>(after - firstLines_.begin()) - 1;
    findings.Refer(FindingKind::kDuplicateKey, offset, numbers_[f], at - firstLines_[f] + 1,
                   copies);
  }

 private:
  const MergedLines& merged_;
  std::vector<std::size_t> numbers_;
  std::vector<std::size_t> firstLines_;
  // The number of the nameless file, made when a line lies before every file.
  static constexpr std::size_t kNoNumber = SIZE_MAX;
  std::size_t nowhere_ = kNoNumber;
};

}  // namespace

std::size_t ConversionRun::SortOutByKey(const KeyIndexList& index,
                                        const KeyIndexList::Groups& groups, UniqueRecords& kept) {
  // The runs of equal keys were found first, so that the findings and the
  // kept lines are allocated once, exactly (a file of repeated lines makes
  // every line a finding), and the keys are compared only once.
  const std::size_t duplicates = groups.Repeated();
  data_.RunFindings.Reserve(duplicates);
  kept.lines.Reserve(index.size() - duplicates);
  FilePlaces places(kept.merged, data_.RunFindings);
  const std::vector<std::pair<std::size_t, long>> errorAt = ErrorsInIndex(index);
  auto nextError = errorAt.begin();
  groups.ForEach([&](std::size_t begin, std::size_t end) {
    while (nextError != errorAt.end() && nextError->first < begin) ++nextError;
    if (end - begin > 1) {
      for (std::size_t i = begin; i < end; ++i) {
        places.Add(data_.RunFindings, index.LineIndex(i), end - begin);
      }
      return;
    }
    if (nextError != errorAt.end() && nextError->first == begin) {
      kept.errors.emplace_back(kept.lines.size(), nextError->second);
    }
    index.AppendLineTo(begin, kept.lines);
  });
  StepClock::At("duplicates");
  return duplicates;
}
