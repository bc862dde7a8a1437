// The file check: which files of the folder are record files.
#include <algorithm>
#include <optional>

#include "ConversionRun.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenText.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

// The file's first lines, or nothing when its first bytes look binary.
// Reads just enough of the file for those lines: the check never looks
// further, and record files run to hundreds of megabytes. Both tests take
// the same read, so a file that cannot be read fails the check with its
// reason instead of passing for one that is no record file.
std::optional<LineList> LoadFirstTextLines(const fs::path& path, std::size_t count) {
  LineList lines;
  for (std::size_t want = 64 * 1024;; want *= 4) {
    std::string head = quenFile::ReadHead(path, want);
    if (quenUtil::IsBinaryHead(head)) return std::nullopt;
    const bool whole = head.size() < want;
    lines.LoadFromBytes(std::move(head));
    // Without the whole file, the last line read may be cut short; more
    // lines than needed prove the needed ones complete.
    if (whole || lines.size() > count) return lines;
  }
}

}  // namespace

bool ConversionRun::IsImportRecord(std::string_view line) const {
  if (line.empty()) return false;
  std::vector<std::string_view> fields;
  quenUtil::SplitView(data_.Delimiter, line, fields, record::kMinFields);
  return fields.size() >= record::kMinFields && fields[field::kId].size() == record::kIdBytes &&
         fields[field::kFlag] == record::kFlag;
}

bool ConversionRun::IsTargetFile(const fs::path& path) {
  const std::optional<LineList> lines = LoadFirstTextLines(path, record::kLinesChecked);
  if (!lines || lines->empty()) return false;
  const std::size_t n = std::min(lines->size(), record::kLinesChecked);
  for (std::size_t i = 0; i < n; ++i) {
    if (!IsImportRecord((*lines)[i])) return false;
  }
  return true;
}

std::vector<fs::path> ConversionRun::FileCheck(const std::vector<fs::path>& files) {
  std::vector<fs::path> okFiles;
  std::vector<fs::path> ngFiles;
  log_.Append(u8"開始　ファイルチェック");
  for (const fs::path& path : files) {
    (IsTargetFile(path) ? okFiles : ngFiles).push_back(path);
  }
  log_.Append(u8" ファイルリスト（[×]は処理対象外ファイル）");
  for (const fs::path& path : okFiles)
    log_.Append(u8" [○]" + quenShow::LogName(quenFile::PathBytes(path.filename())));
  for (const fs::path& path : ngFiles)
    log_.Append(u8" [×]" + quenShow::LogName(quenFile::PathBytes(path.filename())));
  log_.Append(quenText::FromUtf8(" 全ファイル数:" + std::to_string(files.size()) + "個"));
  log_.Append(quenText::FromUtf8("  [○]ファイル数:" + std::to_string(okFiles.size()) + "個"));
  log_.Append(quenText::FromUtf8("  [×]ファイル数:" + std::to_string(ngFiles.size()) + "個"));
  log_.Append(u8"ファイルチェック　終了");
  log_.Append(u8"");
  return okFiles;
}
