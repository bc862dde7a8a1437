// The error check: blank titles or readings and over-long NDC numbers.
#include "ConversionRun.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

void ConversionRun::CheckRecordErrors(const fs::path& path) {
  const std::string nameNative = path.filename().native();
  const std::string name = Sjis(nameNative);
  if (checkedFiles_.empty()) {
    mergedBytes_.clear();
    mergedInMemory_ = false;
    mergedBytes_.reserve(ExpectedMergeSize());
  }
  const CheckedFile& checked = AppendSourceFile(path);
  if (!checked.read) {
    log_.Append(Sjis(" ファイル読み込みエラー:") + name);
    return;
  }
  data_.WorkLines.LoadFromBytes(mergedBytes_.substr(checked.start, checked.size));
  const std::size_t lineCount = data_.WorkLines.size();
  SetProgress(0, 100);

  std::size_t titleBlank = 0;
  std::size_t ndcLength = 0;
  const std::string ndcNote = " :" + ErrorKindNames()[ekNdcLength];
  for (std::size_t b = 0; b < lineCount; ++b) {
    const std::string_view line = data_.WorkLines[b];
    if (quenUtil::IsBlank(line)) continue;
    quenUtil::SplitView(data_.Delimiter, line, fields_, field::kNdc + 1);
    if (fields_.size() > field::kNdc) {
      const std::string_view key = fields_[field::kKey];
      const auto line32 = static_cast<int32_t>(b);
      if (quenUtil::IsBlank(fields_[field::kTitle]) ||
          quenUtil::IsBlank(fields_[field::kReading])) {
        ++titleBlank;
        data_.AddErrorEntry(key, TMyRec{nameNative, line32, ekTitleBlank, {}});
      }
      if (fields_[field::kNdc].size() > kMaxNdcBytes) {
        ++ndcLength;
        data_.AddErrorEntry(key, TMyRec{nameNative, line32, ekNdcLength, {}});
        log_.Append(" " + std::string(key) + ndcNote);
      }
    }
    SetProgress(static_cast<int>(b * 100 / lineCount), 100);
  }
  log_.Append(Sjis(" レコード数:" + std::to_string(lineCount) + "件"));
  log_.Append(" " + ErrorKindNames()[ekTitleBlank] + ":" + std::to_string(titleBlank) + Sjis("件"));
  log_.Append(" " + ErrorKindNames()[ekNdcLength] + ":" + std::to_string(ndcLength) + Sjis("件"));
}
