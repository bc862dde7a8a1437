// The duplicate check's walk of the key index: the lines of unique keys are
// kept, every copy of a repeated key becomes a finding. Where each copy
// stands (its source file and its line number within that file) is found
// from the merged lines without reading anything again.
#include <algorithm>
#include <optional>
#include <vector>

#include "ConversionRun.h"
#include "StepClock.h"
#include "quenFile.h"

namespace {

// The record files among the merged lines: for each, its number in the
// findings and the index of its first line.
class FilePlaces {
 public:
  FilePlaces(const MergedLines& merged, Findings& findings) : merged_(merged) {
    for (const SourceFile& file : merged.files) {
      // A record file never starts with an empty line, so its first line
      // starts where its bytes do.
      numbers_.push_back(findings.FileNumber(quenFile::PathBytes(file.path.filename())));
      firstLines_.push_back(merged.FirstLineFrom(file.start));
    }
  }

  // Adds the finding of merged line at, one of a group of copies.
  void Add(Findings& findings, std::size_t at, std::size_t copies) {
    const std::size_t offset = merged_.OffsetOf(merged_.lines[at]);
    const auto& files = merged_.files;
    // The file whose bytes hold the line: the last one that starts at or
    // before it and has bytes at all.
    auto file = std::upper_bound(files.begin(), files.end(), offset,
                                 [](std::size_t o, const SourceFile& s) { return o < s.start; });
    while (file != files.begin() && (file - 1)->size == 0) --file;
    if (file == files.begin()) {
      if (!nowhere_) nowhere_ = findings.FileNumber({});
      findings.Refer(FindingKind::kDuplicateKey, offset, *nowhere_, 0, copies);
      return;
    }
    const auto f = static_cast<std::size_t>(file - files.begin()) - 1;
    findings.Refer(FindingKind::kDuplicateKey, offset, numbers_[f], at - firstLines_[f] + 1,
                   copies);
  }

 private:
  const MergedLines& merged_;
  std::vector<std::size_t> numbers_;
  std::vector<std::size_t> firstLines_;
  std::optional<std::size_t> nowhere_;
};

}  // namespace

std::size_t ConversionRun::SortOutByKey(const KeyIndexList& index, UniqueRecords& kept) {
  StepClock::At("walk");
  // Counted first, so that the findings and the kept lines are allocated
  // once, exactly: a file of repeated lines makes every line a finding.
  std::size_t duplicates = 0;
  index.ForEachGroup([&](std::size_t begin, std::size_t end) {
    if (end - begin > 1) duplicates += end - begin;
  });
  data_.RunFindings.Reserve(duplicates);
  kept.lines.Reserve(index.size() - duplicates);
  FilePlaces places(kept.merged, data_.RunFindings);
  const std::vector<std::pair<std::size_t, long>> errorAt = ErrorsInIndex(index);
  auto nextError = errorAt.begin();
  index.ForEachGroup([&](std::size_t begin, std::size_t end) {
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
