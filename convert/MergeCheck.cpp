// The merge of the record files into the import file, and the duplicate
// check that takes every record with a repeated key out of it.
#include <system_error>

#include "ConversionRun.h"
#include "quenFile.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

std::string Count4(std::size_t n) { return quenUtil::PadLeft(std::to_string(n), 4, " "); }

}  // namespace

bool ConversionRun::MergeTargetFiles() {
  // Streamed into the hidden temporary file of an atomic write: the import
  // file appears only once it is complete.
  quenFile::AtomicWriter merged(OutputFile(kImportFileName));
  std::size_t total = 0;
  for (const fs::path& path : data_.TargetFiles) {
    const std::string name = Sjis(path.filename().native());
    std::string bytes;
    try {
      bytes = quenFile::ReadAll(path);
    } catch (const quenFile::FileError& e) {
      if (e.kind() != quenFile::FileError::Kind::kOpen) throw;
      log_.Append(" " + name + Sjis("　ファイル読み込みエラー"));
      continue;
    }
    const std::size_t count = LineList::CountLines(bytes);
    total += count;
    log_.Append(" " + Count4(count) + Sjis("件(") + name + ")");
    merged.Write(bytes);
    // A last line without a break would otherwise run into the next file's
    // first line and two records would become one.
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') merged.Write("\r\n");
  }
  merged.Commit();
  log_.Append(" --------------------");
  log_.Append(" " + Count4(total) + Sjis("件:（トータル)"));
  return true;
}

void ConversionRun::BuildKeyIndex() {
  data_.ClearKeyIndex();
  for (std::size_t i = 0; i < data_.WorkLines.size(); ++i) {
    const std::string_view line = data_.WorkLines[i];
    if (quenUtil::IsBlank(line)) continue;
    data_.KeyIndex.Add(KeyOf(line), data_.WorkLines, i);
  }
  data_.KeyIndex.Sort();
}

void ConversionRun::CheckDuplicates() {
  if (data_.TargetFiles.size() != 1 ||
      data_.TargetFiles.front().filename().native() != kImportFileName) {
    return;
  }
  // Unlike a source file, the merged file was just written: failing to read
  // it back is a failure of the run, not a note in the log.
  data_.WorkLines.LoadFromFile(data_.TargetFiles.front());
  BuildKeyIndex();
  data_.WorkLines.Clear();

  const KeyIndexList& index = data_.KeyIndex;
  LineList duplicateLines;
  for (std::size_t i = 0; i < index.size();) {
    std::size_t end = i + 1;
    while (end < index.size() && index.SameKey(i, end)) ++end;
    LineList& to = end - i > 1 ? duplicateLines : data_.WorkLines;
    for (; i < end; ++i) index.AppendLineTo(i, to);
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
