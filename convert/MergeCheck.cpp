// The merge of the record files into the import file's bytes, and the
// duplicate check that takes every record with a repeated key out of them.
#include <algorithm>

#include "ConversionRun.h"
#include "StepClock.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenThreadedWriter.h"
#include "quenText.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

std::string Count4(std::size_t n) { return quenUtil::PadLeft(std::to_string(n), 4, " "); }

// Writes every copy of a repeated key, in key order, as "重複エラー.txt".
void WriteDuplicates(const KeyIndexList& index, const KeyIndexList::Groups& groups,
                     const LineList& lines, quenFile::OutputFolder& folder) {
  quenFile::ThreadedWriter out(folder, kDuplicatesFileName);
  // Lines in key order lie scattered over the merged bytes: the bytes of a
  // line a few lines ahead are asked for while this one is copied.
  constexpr std::size_t kAhead = 8;
  groups.ForEach([&](std::size_t begin, std::size_t end) {
    if (end - begin < 2) return;
    for (std::size_t i = begin; i < end; ++i) {
      if (i + kAhead < end) __builtin_prefetch(index.Line(i + kAhead).data());
      out.Write(index.Line(i));
      out.Write("\r\n");
    }
  });
  lines.CheckStorageUnchanged();
  out.Commit();
}

}  // namespace

SourceBytes ConversionRun::MergeTargetFiles(SourceBytes sources) {
  std::size_t total = 0;
  for (SourceFile& file : sources.files) {
    const quenShow::LogText name = quenShow::LogName(quenFile::PathBytes(file.path.filename()));
    if (!file.read) {
      log_.Append(u8" " + name + u8"　ファイル読み込みエラー");
      continue;
    }
    total += file.lines;
    log_.Append(" " + Count4(file.lines) + quenText::FromUtf8("件(") + name + u8")");
  }
  log_.Append(u8" --------------------");
  log_.Append(" " + Count4(total) + quenText::FromUtf8("件:（トータル)"));
  return sources;
}

void ConversionRun::SortKeyIndex(KeyIndexList& index) {
  // Collating the keys is the long part of the duplicate check: the bar
  // follows it.
  index.Sort([this](int percent) { SetProgress(percent, 100); });
}

std::vector<std::pair<std::size_t, long>> ConversionRun::ErrorsInIndex(
    const KeyIndexList& index) const {
  // The error list holds few keys and the index many: each error key is
  // looked up in the index, not each index key in the error list. In order,
  // so that each search starts where the last one ended.
  std::vector<std::pair<std::string_view, long>> keys;
  data_.ErrorList.ForEachKey([&](std::string_view sortKey, std::size_t first) {
    keys.emplace_back(sortKey, static_cast<long>(first));
  });
  // The keys are distinct: their order alone decides.
  std::sort(keys.begin(), keys.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string_view> sortKeys;
  sortKeys.reserve(keys.size());
  for (const auto& key : keys) sortKeys.push_back(key.first);
  const std::vector<long> at = index.IndexesOfSortKeys(sortKeys);
  // Distinct keys in ascending order start distinct runs in ascending order.
  std::vector<std::pair<std::size_t, long>> found;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (at[k] >= 0) found.emplace_back(static_cast<std::size_t>(at[k]), keys[k].second);
  }
  return found;
}

UniqueRecords ConversionRun::CheckDuplicates(SourceBytes merged) {
  UniqueRecords kept;
  KeyIndexList index = std::move(merged.index);
  kept.merged = MergedLines::Load(std::move(merged));
  const LineList& lines = kept.merged.lines;
  // The run's bytes, where the findings name their lines until they keep them.
  const std::string_view bytes = kept.merged.bytes;
  std::size_t duplicates = 0;
  try {
    index.LinesMoved(lines);
    SortKeyIndex(index);
    StepClock::At("walk");
    const KeyIndexList::Groups groups = index.FindGroups();
    duplicates = SortOutByKey(index, groups, kept);
    // The groups stand for the keys from here on: their sort keys go before
    // the duplicates file adds its buffers, at the run's highest point.
    index.DropSortKeys();
    if (duplicates > 0) WriteDuplicates(index, groups, lines, *output_);
    if (duplicates == 0) {
      // A file left by an earlier run would send the operator after records
      // that are fine.
      output_->Remove(kDuplicatesFileName);
      log_.Append(u8" 重複エラーなし");
    } else {
      log_.Append(quenText::FromUtf8(" 重複エラー:" + std::to_string(duplicates) + "件"));
    }
  } catch (...) {
    data_.RunFindings.KeepOrDrop(bytes);
    throw;
  }
  return kept;
}
