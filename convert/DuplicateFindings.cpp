// The duplicate check's walk of the key index: the lines of unique keys are
// kept, every copy of a repeated key becomes a finding. Where each copy
// stands (its source file and its line number within that file) is found
// from the merged lines without reading anything again.
#include <algorithm>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "ConversionRun.h"
#include "StepClock.h"
#include "ThreadStart.h"
#include "quenFile.h"

namespace {

// Where a copy of a repeated key stands: its place in the run's bytes, the
// index of its file among the files with bytes (kNowhere when it lies
// before all of them) and its line number in that file.
struct CopyPlace {
  static constexpr std::size_t kNowhere = SIZE_MAX;
  uint64_t offset;
  std::size_t file;
  std::size_t line;
  std::size_t copies;
};

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

  // Where merged line at stands, one of a group of copies. Reads only, so
  // the walk's threads may ask at once.
  CopyPlace Find(std::size_t at, std::size_t copies) const {
    const std::size_t offset = merged_.OffsetOf(merged_.lines[at]);
    // The file that holds the line: the last whose first line is at or
    // before it. A line's place grows with its index, so this is the file
    // whose bytes hold it.
    const auto after = std::upper_bound(firstLines_.begin(), firstLines_.end(), at);
    if (after == firstLines_.begin()) return {offset, CopyPlace::kNowhere, 0, copies};
    const auto f = static_cast<std::size_t>(after - firstLines_.begin()) - 1;
    return {offset, f, at - firstLines_[f] + 1, copies};
  }

  // Adds the finding of a copy; on one thread, in the findings' order.
  void Add(Findings& findings, const CopyPlace& place) {
    if (place.file == CopyPlace::kNowhere) {
      if (nowhere_ == kNoNumber) nowhere_ = findings.FileNumber({});
      findings.Refer(FindingKind::kDuplicateKey, place.offset, nowhere_, 0, place.copies);
      return;
    }
    findings.Refer(FindingKind::kDuplicateKey, place.offset, numbers_[place.file], place.line,
                   place.copies);
  }

 private:
  const MergedLines& merged_;
  std::vector<std::size_t> numbers_;
  std::vector<std::size_t> firstLines_;
  // The number of the nameless file, made when a line lies before every file.
  static constexpr std::size_t kNoNumber = SIZE_MAX;
  std::size_t nowhere_ = kNoNumber;
};

using ErrorsAt = std::vector<std::pair<std::size_t, long>>;

// Walks the runs of [begin, end), which start runs (or end is the end):
// the lines of unique keys go to the places of lines from at on, each with
// its error (errors name them by their place in lines), and copy hears
// where each copy stands.
template <typename Copy>
void WalkGroups(const KeyIndexList& index, const KeyIndexList::Groups& groups,
                const FilePlaces& places, std::size_t begin, std::size_t end,
                ErrorsAt::const_iterator nextError, ErrorsAt::const_iterator lastError,
                const LineList& merged, LineList& lines, std::size_t at, ErrorsAt& errors,
                Copy&& copy) {
  // Entries are in key order, their lines' list entries in file order: the
  // list entry of a line a few entries ahead is asked for while this one is
  // handled.
  constexpr std::size_t kAhead = 16;
  groups.ForEachIn(begin, end, [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) index.PrefetchLine(i + kAhead);
    while (nextError != lastError && nextError->first < from) ++nextError;
    if (to - from > 1) {
      for (std::size_t i = from; i < to; ++i) copy(places.Find(index.LineIndex(i), to - from));
      return;
    }
    if (nextError != lastError && nextError->first == from) {
      errors.emplace_back(at, nextError->second);
    }
    lines.SetFrom(at++, merged, index.LineIndex(from));
  });
}

}  // namespace

std::size_t ConversionRun::SortOutByKey(const KeyIndexList& index,
                                        const KeyIndexList::Groups& groups, UniqueRecords& kept) {
  // The runs of equal keys were found first, so that the findings and the
  // kept lines are allocated once, exactly (a file of repeated lines makes
  // every line a finding), and the keys are compared only once.
  const std::size_t duplicates = groups.Repeated();
  data_.RunFindings.Reserve(duplicates);
  const LineList& merged = kept.merged.lines;
  kept.lines.AddPlaces(index.size() - duplicates, merged);
  FilePlaces places(kept.merged, data_.RunFindings);
  const ErrorsAt errorAt = ErrorsInIndex(index);
  const std::size_t n = index.size();
  // A long index is walked in two halves at once, split where a run starts:
  // each half fills the kept lines' places of its own (the first half's
  // lone keys counted first), the second keeps its copies and errors aside
  // to be told after the first's, so that everything comes out in key order.
  const std::size_t split =
      n >= KeyIndexList::kEntriesPerWalkThread && std::thread::hardware_concurrency() >= 2
          ? groups.StartFrom(n / 2)
          : n;
  const auto secondErrors = std::partition_point(
      errorAt.begin(), errorAt.end(), [&](const auto& e) { return e.first < split; });
  const auto walk = [&](std::size_t begin, std::size_t end, auto error, auto lastError,
                        std::size_t at) {
    WalkGroups(index, groups, places, begin, end, error, lastError, merged, kept.lines, at,
               kept.errors, [&](const CopyPlace& place) { places.Add(data_.RunFindings, place); });
  };
  if (split == n) {
    walk(0, n, errorAt.begin(), errorAt.end(), 0);
  } else {
    std::size_t firstLone = 0;
    groups.ForEachIn(0, split, [&](std::size_t from, std::size_t to) {
      firstLone += to - from == 1 ? 1 : 0;
    });
    ErrorsAt errors;
    std::vector<CopyPlace> copies;
    HelperThread helper(KeyIndexList::Threads(), [&] {
      WalkGroups(index, groups, places, split, n, secondErrors, errorAt.end(), merged, kept.lines,
                 firstLone, errors, [&](const CopyPlace& place) { copies.push_back(place); });
    });
    if (!helper.Started()) {
      // No thread to be had: one walk of the whole, as a short index has.
      walk(0, n, errorAt.begin(), errorAt.end(), 0);
    } else {
      walk(0, split, errorAt.begin(), secondErrors, 0);
      helper.Join();
      kept.errors.insert(kept.errors.end(), errors.begin(), errors.end());
      for (const CopyPlace& place : copies) places.Add(data_.RunFindings, place);
    }
  }
  StepClock::At("duplicates");
  return duplicates;
}
