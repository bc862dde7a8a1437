// The merge of the record files into the import file, and the duplicate
// check that takes every record with a repeated key out of it.

#include <algorithm>

#include "ConversionRun.h"
#include "quenFile.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

std::string Count4(std::size_t n) { return quenUtil::PadLeft(std::to_string(n), 4, " "); }

}  // namespace

std::size_t ConversionRun::ExpectedMergeSize() const {
  std::uintmax_t expected = 0;
  for (const fs::path& path : data_.TargetFiles) {
    const long long size = quenFile::FileSize(path);
    if (size >= 0) expected += static_cast<std::uintmax_t>(size) + 2;
  }
  return static_cast<std::size_t>(expected);
}

const ConversionRun::CheckedFile& ConversionRun::AppendSourceFile(const fs::path& path) {
  CheckedFile& file = checkedFiles_.emplace_back(CheckedFile{path, mergedBytes_.size()});
  file.read = quenFile::ReadIfOpens([&] { quenFile::AppendAll(path, mergedBytes_); });
  file.size = mergedBytes_.size() - file.start;
  // A last line without a break would otherwise run into the next file's
  // first line and two records would become one.
  std::string& merged = mergedBytes_;
  if (!merged.empty() && merged.back() != '\n' && merged.back() != '\r') merged += "\r\n";
  return file;
}

bool ConversionRun::MergeTargetFiles() {
  MergeFiles(/*writeImportFile=*/true);
  return true;
}

void ConversionRun::MergeFiles(bool writeImportFile) {
  // The error check has usually read exactly these files, in this order,
  // into mergedBytes_ already; otherwise they are read here.
  const bool checked = std::equal(
      data_.TargetFiles.begin(), data_.TargetFiles.end(), checkedFiles_.begin(),
      checkedFiles_.end(), [](const fs::path& p, const CheckedFile& c) { return p == c.path; });
  if (!checked) {
    checkedFiles_.clear();
    mergedBytes_.clear();
    mergedBytes_.reserve(ExpectedMergeSize());
    for (const fs::path& path : data_.TargetFiles) AppendSourceFile(path);
  }
  const std::vector<CheckedFile> files = std::move(checkedFiles_);
  checkedFiles_.clear();

  std::size_t total = 0;
  for (const CheckedFile& file : files) {
    const std::string name = Sjis(file.path.filename().native());
    if (!file.read) {
      log_.Append(" " + name + Sjis("　ファイル読み込みエラー"));
      continue;
    }
    const std::size_t count =
        LineList::CountLines(std::string_view(mergedBytes_).substr(file.start, file.size));
    total += count;
    log_.Append(" " + Count4(count) + Sjis("件(") + name + ")");
  }
  if (writeImportFile) quenFile::WriteAll(OutputFile(kImportFileName), mergedBytes_);
  mergedInMemory_ = true;
  log_.Append(" --------------------");
  log_.Append(" " + Count4(total) + Sjis("件:（トータル)"));
}

void ConversionRun::BuildKeyIndex() {
  data_.ClearKeyIndex();
  for (std::size_t i = 0; i < data_.WorkLines.size(); ++i) {
    const std::string_view line = data_.WorkLines[i];
    if (quenUtil::IsBlank(line)) continue;
    data_.KeyIndex.Add(KeyOf(line), data_.WorkLines, i);
  }
  // Collating the keys is the long part of the duplicate check: the bar
  // follows it.
  data_.KeyIndex.Sort([this](int percent) { SetProgress(percent, 100); });
}

void ConversionRun::CheckDuplicates() {
  if (data_.TargetFiles.size() != 1 ||
      data_.TargetFiles.front().filename().native() != kImportFileName) {
    return;
  }
  // The merged bytes are still at hand right after the merge. Read back
  // otherwise; unlike a source file, the merged file was just written, so
  // failing to read it is a failure of the run, not a note in the log.
  if (mergedInMemory_) {
    data_.WorkLines.LoadFromBytes(std::move(mergedBytes_));
    mergedBytes_ = std::string();
    mergedInMemory_ = false;
  } else {
    data_.WorkLines.LoadFromFile(data_.TargetFiles.front());
  }
  BuildKeyIndex();
  data_.WorkLines.Clear();
  workLineEntries_.clear();

  const KeyIndexList& index = data_.KeyIndex;
  LineList duplicateLines;
  for (std::size_t i = 0; i < index.size();) {
    std::size_t end = i + 1;
    while (end < index.size() && index.SameKey(i, end)) ++end;
    if (end - i > 1) {
      for (; i < end; ++i) index.AppendLineTo(i, duplicateLines);
    } else {
      index.AppendLineTo(i, data_.WorkLines);
      workLineEntries_.push_back(i++);
    }
  }

  const fs::path duplicatesFile = OutputFile(kDuplicatesFileName);
  if (duplicateLines.empty()) {
    // A file left by an earlier run would send the operator after records
    // that are fine.
    quenFile::RemoveFile(duplicatesFile);
    log_.Append(Sjis(" 重複エラーなし"));
    return;
  }
  duplicateLines.SaveToFile(duplicatesFile);
  log_.Append(Sjis(" 重複エラー:" + std::to_string(duplicateLines.size()) + "件"));
}
