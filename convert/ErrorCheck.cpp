// The error check: blank titles or readings and over-long NDC numbers. It
// reads each record file once and keeps its bytes for the merge.
#include <exception>
#include <stdexcept>

#include "ConversionRun.h"
#include "KeyCollator.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenText.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

// What the files take of the range, for reserving it at once.
std::size_t ExpectedSize(const std::vector<fs::path>& files) {
  std::uintmax_t expected = 0;
  for (const fs::path& path : files) {
    const long long size = quenFile::FileSize(path);
    if (size >= 0) {
      expected += quenFile::FileRegion::FootprintOf(static_cast<std::size_t>(size));
    }
  }
  return static_cast<std::size_t>(expected);
}

// Lays a record file out after the others in sources.
SourceFile& AppendSourceFile(const fs::path& path, SourceBytes& sources) {
  quenFile::FileRegion& bytes = sources.bytes;
  SourceFile& file = sources.files.emplace_back(SourceFile{path, bytes.end()});
  file.read = quenFile::ReadIfOpens([&] { file.size = bytes.Add(path); });
  // A finding reads its line up to the break: a last line without one
  // would run on into the gap and the next file.
  const std::size_t end = file.start + file.size;
  if (file.size > 0 && bytes.view()[end - 1] != '\n' && bytes.view()[end - 1] != '\r') {
    bytes.WriteGap(end, "\r\n");
  }
  return file;
}

// Keys are collated, and the collator takes keys up to a limit: a longer
// one ends the run here, naming its file and line, before anything is
// written.
[[noreturn]] void ThrowKeyTooLong(const fs::path& path, std::size_t line, std::size_t bytes) {
  throw std::runtime_error("ファイル \"" + quenShow::ForDisplay(quenFile::PathBytes(path)) +
                           "\" の " + std::to_string(line + 1) +
                           " 行目: " + KeyTooLongError(bytes, KeyCollator::kMaxKeyBytes).what());
}

}  // namespace

SourceBytes ConversionRun::CheckErrors(const std::vector<fs::path>& files) {
  SourceBytes sources;
  sources.bytes = quenFile::FileRegion(ExpectedSize(files));
  // The findings so far name these bytes: a failure keeps their lines
  // before the bytes go with the exception.
  struct KeepOnFailure {
    Findings& findings;
    const quenFile::FileRegion& bytes;
    int failures = std::uncaught_exceptions();
    ~KeepOnFailure() {
      if (std::uncaught_exceptions() > failures) findings.KeepOrDrop(bytes.view());
    }
  } keep{data_.RunFindings, sources.bytes};
  for (const fs::path& path : files) {
    log_.Append(u8"開始　エラーチェック");
    log_.Append(u8" " + quenShow::LogName(quenFile::PathBytes(path.filename())));
    CheckRecordErrors(path, sources);
    log_.Append(u8"終了　エラーチェック");
    log_.Append(u8"");
  }
  return sources;
}

void ConversionRun::CheckRecordErrors(const fs::path& path, SourceBytes& sources) {
  const std::string nameNative = quenFile::PathBytes(path.filename());
  SourceFile& checked = AppendSourceFile(path, sources);
  if (!checked.read) {
    log_.Append(u8" ファイル読み込みエラー:" + quenShow::LogName(nameNative));
    return;
  }
  // The lines are only read here: walked where they lie, not copied.
  const std::string_view bytes = sources.bytes.view().substr(checked.start, checked.size);
  const std::size_t lineCount = LineList::CountLines(bytes);
  checked.lines = lineCount;  // the merge logs it
  SetProgress(0, 100);

  // Counted by error kind; ErrorKindNames has a place for each.
  std::vector<std::size_t> counts(ErrorKindNames().size());
  const std::size_t fileNumber = data_.RunFindings.FileNumber(nameNative);
  std::size_t next = 0;
  LineList::ForEachLine(bytes, [&](const char* begin, std::size_t length) {
    const std::size_t b = next++;
    const std::string_view line(begin, length);
    if (quenUtil::IsBlank(line)) return;
    quenUtil::SplitView(data_.Delimiter, line, fields_, record::kCheckedFields);
    if (fields_.size() > field::kKey && fields_[field::kKey].size() > KeyCollator::kMaxKeyBytes) {
      ThrowKeyTooLong(path, b, fields_[field::kKey].size());
    }
    if (fields_.size() >= record::kCheckedFields) {
      const std::string_view key = fields_[field::kKey];
      // A finding names where its line starts in all the sources' bytes.
      const RunData::FoundAt where{nameNative, fileNumber, b,
                                   checked.start + static_cast<std::size_t>(begin - bytes.data())};
      const auto found = [&](ErrorKind kind) {
        ++counts[kind];
        data_.RecordError(kind, key, where);
        if (KindOf(kind)->loggedEach)
          log_.Append(" " + std::string(key) + " :" + ErrorKindNames()[kind]);
      };
      if (quenUtil::IsBlank(fields_[field::kTitle]) ||
          quenUtil::IsBlank(fields_[field::kReading])) {
        found(ekTitleBlank);
      }
      if (fields_[field::kNdc].size() > record::kMaxNdcBytes) found(ekNdcLength);
    }
    SetProgress(static_cast<int>(b * 100 / lineCount), 100);
  });
  log_.Append(quenText::FromUtf8(" レコード数:" + std::to_string(lineCount) + "件"));
  for (const KindRow& row : Kinds()) {
    if (row.error == ekNone) continue;
    log_.Append(" " + Cp932Name(row) + ":" + std::to_string(counts[row.error]) +
                quenText::FromUtf8("件"));
  }
}
