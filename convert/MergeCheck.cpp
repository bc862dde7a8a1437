// The merge of the record files into the import file's bytes, and the
// duplicate check that takes every record with a repeated key out of them.
#include "ConversionRun.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

std::string Count4(std::size_t n) { return quenUtil::PadLeft(std::to_string(n), 4, " "); }

}  // namespace

SourceBytes ConversionRun::MergeTargetFiles(SourceBytes sources) {
  std::size_t total = 0;
  for (SourceFile& file : sources.files) {
    const std::string name = quenShow::ForLog(file.path.filename().native());
    if (!file.read) {
      log_.Append(" " + name + Sjis("　ファイル読み込みエラー"));
      continue;
    }
    file.lines = LineList::CountLines(sources.bytes.view().substr(file.start, file.size));
    total += file.lines;
    log_.Append(" " + Count4(file.lines) + Sjis("件(") + name + ")");
  }
  log_.Append(" --------------------");
  log_.Append(" " + Count4(total) + Sjis("件:（トータル)"));
  return sources;
}

KeyIndexList ConversionRun::BuildKeyIndex(const LineList& lines) {
  KeyIndexList index;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (quenUtil::IsBlank(line)) continue;
    index.Add(KeyOf(line), lines, i);
  }
  // Collating the keys is the long part of the duplicate check: the bar
  // follows it.
  index.Sort([this](int percent) { SetProgress(percent, 100); });
  return index;
}

UniqueRecords ConversionRun::CheckDuplicates(SourceBytes merged) {
  UniqueRecords kept;
  LineList& lines = kept.merged.lines;
  lines.LoadFromBytes(std::move(merged.bytes));
  kept.merged.files = std::move(merged.files);
  kept.index = BuildKeyIndex(lines);
  const KeyIndexList& index = kept.index;
  const ErrorEntryList& errors = data_.ErrorList;
  LineList duplicateLines;
  for (std::size_t i = 0; i < index.size();) {
    std::size_t end = i + 1;
    while (end < index.size() && index.SameKey(i, end)) ++end;
    if (end - i > 1) {
      AddDuplicateFindings(index, i, end, kept.merged);
      for (; i < end; ++i) index.AppendLineTo(i, duplicateLines);
    } else {
      index.AppendLineTo(i, kept.lines);
      kept.errors.push_back(errors.empty() ? -1 : errors.IndexOfSortKey(index.SortKey(i)));
      kept.entries.push_back(i++);
    }
  }

  if (duplicateLines.empty()) {
    // A file left by an earlier run would send the operator after records
    // that are fine.
    output_->Remove(kDuplicatesFileName);
    log_.Append(Sjis(" 重複エラーなし"));
    return kept;
  }
  SaveLines(duplicateLines, kDuplicatesFileName);
  log_.Append(Sjis(" 重複エラー:" + std::to_string(duplicateLines.size()) + "件"));
  return kept;
}
