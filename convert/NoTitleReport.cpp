// The no-title report: each blank-title record shown in its source file with
// the lines around it, so that it can be corrected and registered again.
#include <algorithm>

#include "ConversionRun.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

void ConversionRun::WriteNoTitleReport() {
  output_->Remove(kNoTitleFileName);
  const bool anyTitleBlank =
      std::any_of(data_.ErrorList.begin(), data_.ErrorList.end(),
                  [](const ErrorEntryList::Entry& e) { return e.rec.Kind == ekTitleBlank; });
  if (!anyTitleBlank) return;

  LineList report;
  // Findings come file by file, so the last file read serves all of its
  // findings in a row.
  std::string loadedName;
  LineList source;
  const std::string linePrefixEnd = Sjis("行目:");
  for (const ErrorEntryList::Entry& e : data_.ErrorList) {
    if (e.rec.Kind != ekTitleBlank) continue;
    const std::string name = quenShow::ForLog(e.rec.FileName);
    // Names are resolved against the chosen folder, never the process's
    // current directory.
    const fs::path file = chosenFolder_ / quenFile::PathFromBytes(e.rec.FileName);
    if (!quenFile::Exists(file)) {
      log_.Append(" " + name + Sjis("移動か削除されています"));
      continue;
    }
    if (loadedName != e.rec.FileName || source.empty()) {
      if (!quenFile::ReadIfOpens([&] { source.LoadFromFile(file); })) {
        loadedName.clear();
        log_.Append(" " + name + Sjis("開けません。処理を中断します"));
        continue;
      }
      loadedName = e.rec.FileName;
    }
    const long c = e.rec.LineIndex;
    report.Add(e.key + " :" + name + ":" + std::to_string(c + 1) + Sjis("行目"));
    const long radius = data_.ContextRadius;
    const long first = std::max(0L, c - radius);
    const long last = std::min(c + radius, static_cast<long>(source.size()) - 1);
    for (long j = first; j <= last; ++j) {
      std::string text = quenUtil::PadLeft(std::to_string(j + 1), 5, " ") + linePrefixEnd;
      const std::string_view line = source[static_cast<std::size_t>(j)];
      if (!quenUtil::IsBlank(line)) {
        quenUtil::SplitView(data_.Delimiter, line, fields_, record::kMinReportFields);
        if (fields_.size() >= record::kMinReportFields) {
          for (std::size_t f : record::kReportFields) {
            if (f != record::kReportFields[0]) text += data_.Delimiter;
            text += fields_[f];
          }
        }
      }
      report.Add(text);
    }
  }
  if (report.empty()) return;
  try {
    SaveLines(report, kNoTitleFileName);
  } catch (const quenFile::FileError&) {
    log_.Append(Sjis(" 書名なし.txtが作成できませんでした"));
    throw;
  }
}
