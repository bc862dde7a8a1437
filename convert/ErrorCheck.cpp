// The error check: blank titles or readings and over-long NDC numbers. It
// reads each record file once and keeps its bytes for the merge.
#include <exception>
#include <stdexcept>

#include "ConversionRun.h"
#include "FileChecks.h"
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
  // Every file is read before any is checked, so that the checks can share
  // the cores. A file that fails to read still ends the run where it
  // stands: after the files before it, at its own start.
  std::exception_ptr readFailure;
  for (const fs::path& path : files) {
    const auto before = static_cast<std::ptrdiff_t>(sources.files.size());
    try {
      AppendSourceFile(path, sources);
    } catch (...) {
      readFailure = std::current_exception();
      sources.files.erase(sources.files.begin() + before, sources.files.end());
      break;
    }
  }
  const std::vector<CheckedFile> checked = CheckFiles(
      sources, sources.files.size(), data_.Delimiter, [this](int p) { SetProgress(p, 100); });
  for (std::size_t f = 0; f < sources.files.size(); ++f) {
    log_.Append(u8"開始　エラーチェック");
    log_.Append(u8" " + quenShow::LogName(quenFile::PathBytes(sources.files[f].path.filename())));
    CheckRecordErrors(sources.files[f], checked[f]);
    log_.Append(u8"終了　エラーチェック");
    log_.Append(u8"");
  }
  if (readFailure) {
    log_.Append(u8"開始　エラーチェック");
    log_.Append(u8" " + quenShow::LogName(quenFile::PathBytes(files[sources.files.size()].filename())));
    std::rethrow_exception(readFailure);
  }
  return sources;
}

void ConversionRun::CheckRecordErrors(SourceFile& file, const CheckedFile& checked) {
  const std::string nameNative = quenFile::PathBytes(file.path.filename());
  if (!file.read) {
    log_.Append(u8" ファイル読み込みエラー:" + quenShow::LogName(nameNative));
    return;
  }
  file.lines = checked.lines;  // the merge logs it
  // Counted by error kind; ErrorKindNames has a place for each.
  std::vector<std::size_t> counts(ErrorKindNames().size());
  const std::size_t fileNumber = data_.RunFindings.FileNumber(nameNative);
  for (const FoundError& found : checked.found) {
    // A finding names where its line starts in all the sources' bytes.
    ++counts[found.kind];
    data_.RecordError(found.kind, found.key, {nameNative, fileNumber, found.line, found.at});
    if (KindOf(found.kind)->loggedEach) {
      log_.Append(" " + std::string(found.key) + " :" + ErrorKindNames()[found.kind]);
    }
  }
  if (checked.failure) std::rethrow_exception(checked.failure);
  log_.Append(quenText::FromUtf8(" レコード数:" + std::to_string(checked.lines) + "件"));
  for (const KindRow& row : Kinds()) {
    if (row.error == ekNone) continue;
    log_.Append(" " + Cp932Name(row) + ":" + std::to_string(counts[row.error]) +
                quenText::FromUtf8("件"));
  }
}
