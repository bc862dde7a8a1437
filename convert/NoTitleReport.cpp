// The no-title report: each record of a kind the report shows (a blank
// title) in its source file with the lines around it, so that it can be
// corrected and registered again.
#include <algorithm>
#include <optional>
#include <vector>

#include "ConversionRun.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenText.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

// The lines of one record file among the merged lines.
struct FileLines {
  std::size_t first = 0;
  std::size_t count = 0;
};

// The lines of the record file named name, as the error check cut them; the
// report shows the bytes that were checked, without reading them again.
FileLines LinesOf(const MergedLines& merged, const std::string& name) {
  for (const SourceFile& file : merged.files) {
    if (!file.read || quenFile::PathBytes(file.path.filename()) != name) continue;
    return FileLines{merged.FirstLineFrom(file.start), file.lines};
  }
  return {};
}

bool InReport(const ErrorEntryList::Entry& e) {
  const KindRow* row = KindOf(e.rec.Kind);
  return row && row->inReport;
}

}  // namespace

ConversionRun::ReportTexts ConversionRun::NoTitleReportTexts() const {
  ReportTexts texts{quenText::FromUtf8("行目:"), quenText::FromUtf8("行目"), {}};
  for (const ErrorEntryList::Entry& e : data_.ErrorList) {
    if (InReport(e) && !texts.names.contains(e.rec.FileName)) {
      texts.names.emplace(e.rec.FileName, quenShow::LogName(e.rec.FileName).Cp932());
    }
  }
  return texts;
}

LineList ConversionRun::FormatNoTitleReport(const MergedLines& merged,
                                            const ReportTexts& texts) const {
  LineList report;
  // Findings come file by file, so one look-up serves all of a file's
  // findings in a row.
  std::optional<std::string> foundName;
  FileLines source;
  const std::string* name = nullptr;
  std::vector<std::string_view> fields;
  for (const ErrorEntryList::Entry& e : data_.ErrorList) {
    if (!InReport(e)) continue;
    if (foundName != e.rec.FileName) {
      source = LinesOf(merged, e.rec.FileName);
      foundName = e.rec.FileName;
      name = &texts.names.at(e.rec.FileName);
    }
    const long c = e.rec.LineIndex;
    report.Add(e.key + " :" + *name + ":" + std::to_string(c + 1) + texts.recordMark);
    const long radius = data_.ContextRadius;
    const long first = std::max(0L, c - radius);
    const long last = std::min(c + radius, static_cast<long>(source.count) - 1);
    for (long j = first; j <= last; ++j) {
      std::string text = quenUtil::PadLeft(std::to_string(j + 1), 5, " ") + texts.lineMark;
      const std::string_view line = merged.lines[source.first + static_cast<std::size_t>(j)];
      if (!quenUtil::IsBlank(line)) {
        quenUtil::SplitView(data_.Delimiter, line, fields, record::kMinReportFields);
        if (fields.size() >= record::kMinReportFields) {
          for (std::size_t f : record::kReportFields) {
            if (f != record::kReportFields[0]) text += data_.Delimiter;
            text += fields[f];
          }
        }
      }
      report.Add(text);
    }
  }
  return report;
}

void ConversionRun::WriteNoTitleReport(const LineList& report) {
  output_->Remove(kNoTitleFileName);
  std::optional<std::string> foundName;
  quenShow::LogText name;
  bool exists = false;
  bool opens = false;
  for (const ErrorEntryList::Entry& e : data_.ErrorList) {
    if (!InReport(e)) continue;
    // The lines shown are those checked, but the file is where the operator
    // corrects them: one that is gone or no longer opens is said so, at each
    // of its records, and its records shown all the same. The file is asked
    // once: thousands of its records would otherwise ask as often. Names are
    // resolved against the chosen folder, never the process's current
    // directory.
    if (foundName != e.rec.FileName) {
      foundName = e.rec.FileName;
      name = quenShow::LogName(e.rec.FileName);
      const fs::path file = chosenFolder_ / quenFile::PathFromBytes(e.rec.FileName);
      exists = quenFile::Exists(file);
      opens = exists && quenFile::ReadIfOpens([&] { quenFile::ReadHead(file, 0); });
    }
    if (!exists) {
      log_.Append(u8" " + name + u8"移動か削除されています");
    } else if (!opens) {
      log_.Append(u8" " + name + u8"開けません。処理を中断します");
    }
  }
  if (report.empty()) return;
  try {
    SaveLines(report, kNoTitleFileName);
  } catch (const quenFile::FileError&) {
    log_.Append(u8" 書名なし.txtが作成できませんでした");
    throw;
  }
}
