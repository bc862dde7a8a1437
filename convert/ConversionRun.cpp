#include "ConversionRun.h"

#include "MBox.h"
#include "SourceFolder.h"
#include "quenFile.h"
#include "quenText.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

std::string Sjis(std::string_view utf8) { return quenText::FromUtf8(utf8); }

namespace {

// Restores the window's state however the stages end.
class CleanupGuard {
 public:
  explicit CleanupGuard(RunHost& host, int& position, int& maximum)
      : host_(host), position_(position), maximum_(maximum) {
    host_.BusyChanged(true);
    host_.LogPaintingSuspended(true);
  }
  ~CleanupGuard() {
    host_.LogPaintingSuspended(false);
    if (position_ != 0) host_.ProgressChanged(0, maximum_ < 0 ? 100 : maximum_);
    position_ = 0;
    host_.BusyChanged(false);
  }

 private:
  RunHost& host_;
  int& position_;
  int& maximum_;
};

}  // namespace

fs::path ConversionRun::OutputFile(std::string_view name) const {
  return data_.OutputFolder / fs::path(std::string(name));
}

void ConversionRun::SetProgress(int position, int maximum) {
  // The bar only shows whole steps, so unchanged values are not sent on.
  if (position == progressPosition_ && maximum == progressMaximum_) return;
  progressPosition_ = position;
  progressMaximum_ = maximum;
  host_.ProgressChanged(position, maximum);
}

std::string_view ConversionRun::KeyOf(std::string_view line) const {
  // Field 2 as Split cuts it, without cutting the rest of the line: what
  // follows the second delimiter up to the next one. With fewer delimiters,
  // or nothing after the second, there is no field 2 and the key is empty.
  for (int skip = 0; skip < 2; ++skip) {
    const std::size_t at = line.find(data_.Delimiter);
    if (at == std::string_view::npos) return {};
    line.remove_prefix(at + 1);
  }
  return line.substr(0, line.find(data_.Delimiter));
}

void ConversionRun::RefreshSourceFolder() {
  chosenFolder_ = host_.ConfirmedFolder();
  data_.TargetFiles = ListFolderFiles(chosenFolder_);
  host_.FolderRead(chosenFolder_, data_.TargetFiles);
  if (data_.TargetFiles.empty()) MBox::Info(Sjis("指定したフォルダーにはファイルがありません"));
}

void ConversionRun::actConvStartExecute() {
  if (Prepare()) Execute();
}

bool ConversionRun::Prepare() {
  RefreshSourceFolder();
  log_.Clear();
  data_.ClearErrorList();
  data_.ClearKeyIndex();

  data_.OutputFolder = OutputFolderOf(chosenFolder_);
  std::string folder = data_.OutputFolder.native();
  folder.pop_back();  // without its trailing delimiter, as the message shows it

  if (!quenFile::IsDirectory(folder) && !quenFile::MakeDirectory(folder)) {
    const std::string message =
        Sjis(" 処理後フォルダー" + folder + "が作成できません\r\n処理を中断します。");
    MBox::Error(message);
    log_.Append(message);
    return false;
  }
  const fs::path import = OutputFile(kImportFileName);
  if (quenFile::Exists(import, false) && !quenFile::RemoveFile(import)) {
    MBox::Error(Sjis("ファイルをメモ帳等で開いている時は閉じて、再度処理をして下さい"));
    return false;
  }
  return true;
}

void ConversionRun::Execute() {
  {
    CleanupGuard cleanup(host_, progressPosition_, progressMaximum_);
    workLineEntries_.clear();
    importInWorkLines_ = false;
    checkedFiles_.clear();
    FileCheck();

    for (const fs::path& path : data_.TargetFiles) {
      log_.Append(Sjis("開始　エラーチェック"));
      log_.Append(" " + Sjis(path.filename().native()));
      CheckRecordErrors(path);
      log_.Append(Sjis("終了　エラーチェック"));
      log_.Append("");
    }

    log_.Append(Sjis("開始　結合処理"));
    // Within a whole run the import file is written once, after filtering:
    // each version before it would be replaced at once, and a run that fails
    // half-way leaves no half-made import file behind.
    const fs::path import = OutputFile(kImportFileName);
    MergeFiles(/*writeImportFile=*/false);
    data_.TargetFiles = {import};
    log_.Append(Sjis("終了　結合処理"));
    log_.Append("");

    log_.Append(Sjis("開始　重複チェック"));
    CheckDuplicates();
    log_.Append(Sjis("終了　重複チェック"));
    log_.Append("");

    importInWorkLines_ = true;
    WriteImportFile(import);
    WriteNoTitleReport();
    LogRegistrationSummary();
  }
  log_.Save(OutputFile(kResultLogFileName));
  MBox::Info(Sjis("終了しました"));
}

void ConversionRun::LogRegistrationSummary() {
  if (!quenFile::Exists(OutputFile(kNoTitleFileName))) return;
  log_.Append("");
  log_.Append(Sjis("---------以下、要再登録-----------"));
  log_.Append(Sjis("書名なし.txtを参考にして下さい"));
  log_.Append("");
  for (const ErrorEntryList::Entry& e : data_.ErrorList) {
    if (e.rec.Kind != ekTitleBlank) continue;
    log_.Append(e.key + " :" + ErrorKindNames()[ekTitleBlank] + ":" + Sjis(e.rec.FileName));
  }
}

std::string ExceptionBoxText(std::string_view utf8Message) {
  std::string text = Sjis(utf8Message);
  // Every character's first byte decides how it sorts against ".": a lead
  // byte of a two-byte character is above it, so only the last character's
  // first byte matters.
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    last = i;
    const auto b = static_cast<unsigned char>(text[i]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead && i + 1 < text.size()) ++i;
  }
  if (!text.empty() && static_cast<unsigned char>(text[last]) > '.') text += '.';
  return text;
}

void ShowException(const std::exception& e) {
  MBox::ShowRaw(ExceptionBoxText(e.what()), MBox::ApplicationTitle(), MB_ICONERROR);
}
