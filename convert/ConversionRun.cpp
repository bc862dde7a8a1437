#include "ConversionRun.h"

#include <array>
#include <cerrno>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "LineGather.h"
#include "MBox.h"
#include "SourceFolder.h"
#include "quenBackground.h"
#include "quenFile.h"
#include "quenReason.h"
#include "quenShow.h"
#include "quenText.h"
#include "quenThreadedWriter.h"

namespace fs = std::filesystem;

namespace {

// Restores the window's state however the stages end.
class CleanupGuard {
 public:
  explicit CleanupGuard(RunHost& host, int& position, int& maximum)
      : host_(host), position_(position), maximum_(maximum) {
    host_.BusyChanged(true);
  }
  ~CleanupGuard() {
    if (position_ != 0) host_.ProgressChanged(0, maximum_ < 0 ? 100 : maximum_);
    position_ = 0;
    host_.BusyChanged(false);
  }

 private:
  RunHost& host_;
  int& position_;
  int& maximum_;
};

// The record files whose records could not be taken: they are in no output.
std::vector<fs::path> UnreadFiles(const MergedLines& merged) {
  std::vector<fs::path> unread;
  for (const SourceFile& file : merged.files) {
    if (!file.read) unread.push_back(file.path);
  }
  return unread;
}

// "取込用 N件 / 重複 N件 / 書名なし N件 / ＮＤＣ桁数 N件": what the import file
// took and what the operator has to act on.
std::string CountsLine(std::size_t imported, const Findings& findings) {
  std::array<std::size_t, kFindingKindCount> found{};
  for (std::size_t i = 0; i < findings.size(); ++i) {
    ++found[static_cast<std::size_t>(findings.Kind(i))];
  }
  std::string line = "取込用 " + std::to_string(imported) + "件";
  for (std::size_t k = 0; k < kFindingKindCount; ++k) {
    line += " / " + std::string(Kinds()[k].count) + " " + std::to_string(found[k]) + "件";
  }
  return line;
}

// "終了しました", the counts, and when record files could not be read for
// their records, a line naming them: the run did not take all it was given.
quenShow::LogText EndBoxText(std::size_t imported, const Findings& findings,
                             const std::vector<fs::path>& unread) {
  quenShow::LogText text = quenText::FromUtf8("終了しました\r\n" + CountsLine(imported, findings));
  if (unread.empty()) return text;
  // A box has room for a few names; the log names every file.
  constexpr std::size_t kNamed = 10;
  text = text + u8"\r\n読めなかったファイル: ";
  for (std::size_t i = 0; i < unread.size() && i < kNamed; ++i) {
    if (i > 0) text = text + u8", ";
    text = text + quenShow::LogName(quenFile::PathBytes(unread[i].filename()));
  }
  if (unread.size() > kNamed) {
    text = text + quenText::FromUtf8(" ほか" + std::to_string(unread.size() - kNamed) + "個");
  }
  return text;
}

// Whether folder is an output folder a run wrote: it is named "処理後" and
// holds the run log or the import file. A run leaves no other mark there
// (its lock goes with it).
bool IsOutputFolder(fs::path folder) {
  while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
  if (quenFile::PathBytes(folder.filename()) != kOutputFolderName) return false;
  for (std::string_view name : {kResultLogFileName, kImportFileName}) {
    if (quenFile::Exists(folder / quenFile::PathFromBytes(name), /*follow=*/false)) return true;
  }
  return false;
}

// The findings keep their lines on a thread of their own (Findings::Keep).
// Finish waits and rethrows its failure; dropped, it waits, and keeps or
// drops what is still pending, before the bytes it names go.
class FindingsKeeper {
 public:
  FindingsKeeper(Findings& findings, std::string_view bytes)
      : findings_(findings), bytes_(bytes), keeping_(std::in_place, [this] { Keep(); }) {}
  ~FindingsKeeper() {
    keeping_.reset();
    findings_.KeepOrDrop(bytes_);
  }
  FindingsKeeper(const FindingsKeeper&) = delete;
  FindingsKeeper& operator=(const FindingsKeeper&) = delete;
  void Finish() { keeping_->Finish(); }

 private:
  void Keep() {
    try {
      findings_.Keep(bytes_);
    } catch (...) {
      findings_.KeepOrDrop(bytes_);
      throw;
    }
  }
  Findings& findings_;
  std::string_view bytes_;
  std::optional<quenThread::Background> keeping_;
};

// Runs one stage between its opening and closing log lines.
template <typename Stage>
auto Logged(RunLog& log, std::u8string_view start, std::u8string_view end, Stage&& stage) {
  log.Append(start);
  auto made = stage();
  log.Append(end);
  log.Append(u8"");
  return made;
}

}  // namespace

fs::path ConversionRun::OutputFile(std::string_view name) const {
  return data_.OutputFolder / quenFile::PathFromBytes(name);
}

void ConversionRun::SetProgress(int position, int maximum) {
  // The bar only shows whole steps, so unchanged values are not sent on.
  if (position == progressPosition_ && maximum == progressMaximum_) return;
  progressPosition_ = position;
  progressMaximum_ = maximum;
  host_.ProgressChanged(position, maximum);
}

void ConversionRun::ReadFolder() {
  chosenFolder_ = host_.ConfirmedFolder();
  data_.TargetFiles = ListFolderFiles(chosenFolder_);
  host_.FolderRead(chosenFolder_, data_.TargetFiles);
  if (data_.TargetFiles.empty()) MBox::Info(u8"指定したフォルダーにはファイルがありません");
}

RunOutcome ConversionRun::Run() {
  if (!Prepare()) return RunOutcome::kEndedEarly;
  return Execute();
}

bool ConversionRun::Prepare() {
  output_.reset();
  oldImport_.clear();
  oldImportRemoved_ = false;
  ReadFolder();
  log_.Clear();
  data_.ClearErrorList();
  data_.RunFindings.clear();
  data_.OutputFolder = OutputFolderOf(chosenFolder_);
  if (!OpenOutputFolder()) {
    output_.reset();
    return false;
  }
  return true;
}

bool ConversionRun::OpenOutputFolder() {
  // A run there would merge the last run's import and duplicates files into
  // a new import file, as if they were record files.
  if (IsOutputFolder(chosenFolder_)) {
    MBox::Error(
        u8"選択したフォルダーは変換結果の出力フォルダー（処理後）です\r\n"
        u8"元のファイルのあるフォルダーを選択して下さい");
    return false;
  }
  std::string folder = quenFile::PathBytes(data_.OutputFolder);
  folder.pop_back();  // without its trailing delimiter, as the message shows it
  // Each box that ends the run early says why on a line of its own.
  const auto reason = [](int error) -> quenShow::LogText {
    return "\r\n" + quenText::FromUtf8(quenFile::ReasonText(error));
  };
  try {
    output_.emplace(quenFile::PathFromBytes(folder));
  } catch (const quenFile::FileError& e) {
    const quenShow::LogText message = u8" 処理後フォルダー" + quenShow::LogName(folder) +
                                      u8"が作成できません\r\n処理を中断します。";
    MBox::Error(message + reason(e.errorNumber()));
    log_.Append(message);
    return false;
  }
  // A second run on the same folder would delete the import file this one
  // writes.
  if (!output_->TryLock()) {
    MBox::Error(u8"このフォルダーは別の変換処理が処理中です\r\n処理を中断します。");
    return false;
  }
  quenFile::RemoveStaleTemporaries(*output_);
  for (std::string_view name :
       {kImportFileName, kDuplicatesFileName, kNoTitleFileName, kResultLogFileName}) {
    // Written through, a link would put the output wherever it points.
    if (output_->IsSymlink(name)) {
      MBox::Error(u8" " + quenShow::LogName(quenFile::PathBytes(output_->PathOf(name))) +
                  u8"はシンボリックリンクのため書き込めません\r\n処理を中断します。");
      return false;
    }
  }
  // Freeing a large old import file's blocks stalls whoever unlinks its last
  // name: Execute does that, away from the window's thread.
  if (output_->Exists(kImportFileName)) {
    if (!output_->RemoveLater(kImportFileName, oldImport_)) {
      MBox::Error(u8"ファイルをメモ帳等で開いている時は閉じて、再度処理をして下さい" +
                  reason(errno));
      return false;
    }
    oldImportRemoved_ = true;
  }
  return true;
}

void ConversionRun::SaveLines(const LineList& lines, std::string_view name) {
  // Gathering the lines here and writing them on the writer's thread
  // overlap.
  quenFile::ThreadedWriter out(*output_, name);
  // Lines in key order lie scattered over the merged bytes: asking for the
  // bytes of a line a few lines ahead lets their fetch from memory overlap
  // the copying of this one.
  constexpr std::size_t kAhead = 8;
  if (lines.size() >= kLinesGatheredOnTwoThreads) {
    WriteLinesGathered(lines, out);
  } else {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i + kAhead < lines.size()) __builtin_prefetch(lines[i + kAhead].data());
      out.Write(lines[i]);
      out.Write("\r\n");
    }
  }
  // Lines may be a mapped record file's bytes: a file changed under the run
  // must leave no output made of it.
  lines.CheckStorageUnchanged();
  out.Commit();
}

void ConversionRun::RemoveOldImport() {
  if (!oldImport_.empty()) {
    // Left behind, the next run's cleanup of temporaries removes it.
    output_->Remove(oldImport_);
    oldImport_.clear();
  }
  if (std::exchange(oldImportRemoved_, false)) {
    // Gone for good before any new output appears: after a crash the old
    // import file never stands beside this run's outputs.
    output_->Sync();
  }
}

ConversionRun::Written ConversionRun::WriteOutputs(SourceBytes merged, std::string& step,
                                                  std::optional<quenThread::Background>& freeing) {
  Written written;
  step = "重複チェック";
  log_.Append(u8"開始　重複チェック");
  UniqueRecords kept = CheckDuplicates(std::move(merged));
  // The flagged lines, and nothing else of the run's bytes, outlive the
  // run: the findings copy them while the import file is written, and
  // whatever happens, before kept lets the bytes go.
  FindingsKeeper keeper(data_.RunFindings, kept.merged.bytes);
  log_.Append(u8"終了　重複チェック");
  log_.Append(u8"");
  step = "取込用ファイルの出力";
  // The report's lines are made then too: they only read what the import
  // file is made of, and writing it leaves a core half idle. No file is
  // touched in making them, nor in keeping the findings' lines.
  LineList report;
  const ReportTexts texts = NoTitleReportTexts();
  quenThread::Background formatting([&] { report = FormatNoTitleReport(kept.merged, texts); });
  // Within a whole run the import file is written once, here, after
  // filtering: a run that fails half-way leaves no half-made import file.
  written.imported = WriteImportFile(kept);
  keeper.Finish();
  step = "書名なしレポートの出力";
  formatting.Finish();
  // The report shows lines of the record files: a file changed under the
  // run must leave no report made of it.
  kept.merged.lines.CheckStorageUnchanged();
  written.unread = UnreadFiles(kept.merged);
  // Nothing needs the run's lines and bytes any more. Unmapping and
  // freeing them takes milliseconds the report and the log need not wait
  // for.
  freeing.emplace([held = std::make_shared<UniqueRecords>(std::move(kept))]() mutable {
    held.reset();
  });
  try {
    WriteNoTitleReport(report);
  } catch (const quenFile::FileError&) {
    written.reportFailure = std::current_exception();
  }
  return written;
}

RunOutcome ConversionRun::Execute() {
  struct Release {
    std::optional<quenFile::OutputFolder>& folder;
    ~Release() { folder.reset(); }
  } release{output_};
  // Freeing a large old import file's blocks and waiting for the folder to
  // reach the disk take tens of milliseconds that the checks, which touch
  // no output, need not wait for. Waited for before the folder is let go,
  // however the stages end.
  quenThread::Background removal([this] { RemoveOldImport(); });
  std::optional<quenThread::Background> freeing;
  std::string step;
  Written written;
  try {
    CleanupGuard cleanup(host_, progressPosition_, progressMaximum_);
    step = "ファイルチェック";
    data_.TargetFiles = FileCheck(data_.TargetFiles);
    step = "エラーチェック";
    SourceBytes sources = CheckErrors(data_.TargetFiles);
    step = "結合処理";
    SourceBytes merged = Logged(log_, u8"開始　結合処理", u8"終了　結合処理",
                                [&] { return MergeTargetFiles(std::move(sources)); });
    data_.TargetFiles = {OutputFile(kImportFileName)};
    // The duplicate check writes the first output: the old import file is
    // gone for good before then.
    removal.Finish();
    written = WriteOutputs(std::move(merged), step, freeing);
    LogRegistrationSummary(written.reportFailure != nullptr);
  } catch (const std::bad_alloc&) {
    throw std::runtime_error("メモリが不足したため処理を中断しました（" + step + "、フォルダー " +
                             quenFile::PathBytes(chosenFolder_) + "）");
  }
  log_.Save(*output_, kResultLogFileName);
  // Each output's bytes are on the disk; its name is once the folder is.
  output_->Sync();
  // The report is the only detailed copy of the records left out of the
  // import file: without it the run has failed, though the log lists them.
  if (written.reportFailure) std::rethrow_exception(written.reportFailure);
  MBox::Info(EndBoxText(written.imported, data_.RunFindings, written.unread));
  return written.unread.empty() ? RunOutcome::kCompleted : RunOutcome::kCompletedWithUnreadFiles;
}

void ConversionRun::LogRegistrationSummary(bool reportFailed) {
  // A report that could not be saved still leaves the list in the log; an
  // older report that could be neither deleted nor replaced counts too.
  if (!reportFailed && !output_->Exists(kNoTitleFileName)) return;
  log_.Append(u8"");
  log_.Append(u8"---------以下、要再登録-----------");
  log_.Append(u8"書名なし.txtを参考にして下さい");
  log_.Append(u8"");
  for (const ErrorEntryList::Entry& e : data_.ErrorList) {
    const KindRow* row = KindOf(e.rec.Kind);
    if (!row || !row->inSummary) continue;
    log_.Append(e.key + " :" + Cp932Name(*row) + ":" + quenShow::LogName(e.rec.FileName));
  }
}

RunOutcome RunConversion(ConversionRun& run) {
  try {
    return run.Run();
  } catch (const std::exception& e) {
    ShowException(e);
    return RunOutcome::kFailed;
  }
}
