#include "RunWatch.h"

#include <atomic>
#include <string>

#include "RecordFormat.h"
#include "quenFile.h"
#include "quenSignals.h"
#include "quenText.h"

namespace {

std::atomic<int> stage{static_cast<int>(RunStage::kNotStarted)};
static_assert(std::atomic<int>::is_always_lock_free);

// Made before the first signal can come, read by the handler only.
struct Notices {
  std::string importFile;  // PathBytes of 処理後/取込用.txt
  std::string notStarted, oldOutputs, importMissing, importWritten, ended;
};
Notices notices;

// In the signal handler: an atomic load and lstat(2) only.
const char* Notice() {
  switch (static_cast<RunStage>(stage.load())) {
    case RunStage::kNotStarted:
      return notices.notStarted.c_str();
    case RunStage::kRunning: {
      // The old import file is set aside before anything is written.
      struct stat st {};
      const bool present = quenFile::System().Status(notices.importFile.c_str(), &st, false) == 0;
      return present ? notices.oldOutputs.c_str() : notices.importMissing.c_str();
    }
    case RunStage::kImportWritten:
      return notices.importWritten.c_str();
    case RunStage::kEnded:
      return notices.ended.c_str();
  }
  return nullptr;
}

bool IsSummaryStart(std::string_view line) {
  static const std::string start = quenText::FromUtf8(std::string(kImportFileName) + "に");
  static const std::string end = quenText::FromUtf8("件出力しました");
  return line.starts_with(start) && line.ends_with(end);
}

// The log lines by which the run notes a problem and goes on (or ends): what
// --quiet keeps besides the summary. The file list's lines show names only.
bool IsProblem(std::string_view line) {
  static const auto sjis = [](std::string_view utf8) { return quenText::FromUtf8(utf8); };
  static const std::string starts[] = {sjis(" ファイル読み込みエラー:"), sjis(" 処理後フォルダー")};
  static const std::string ends[] = {
      sjis("　ファイル読み込みエラー"), sjis("移動か削除されています"),
      sjis("開けません。処理を中断します"), sjis(" 書名なし.txtが作成できませんでした"),
      sjis(" 処理済ファイル取込用.txtを保存できませんでした")};
  // The second line of the output folder's failure.
  static const std::string stopped = sjis("処理を中断します。");
  if (line.starts_with(" [")) return false;
  if (line == stopped) return true;
  for (const std::string& s : starts) {
    if (line.starts_with(s)) return true;
  }
  for (const std::string& e : ends) {
    if (line.ends_with(e)) return true;
  }
  return false;
}

}  // namespace

void WatchedHost::LogCleared() {
  SetRunStage(RunStage::kRunning);
  inner_.LogCleared();
}

void WatchedHost::LogAppended(std::string_view line, std::string_view shown) {
  if (!summary_ && IsSummaryStart(line)) {
    summary_ = true;
    SetRunStage(RunStage::kImportWritten);
  }
  if (!quiet_ || summary_ || IsProblem(line)) inner_.LogAppended(line, shown);
}

void WatchedHost::ProgressChanged(int position, int maximum) {
  if (!quiet_) inner_.ProgressChanged(position, maximum);
}

void SetRunStage(RunStage next) { stage.store(static_cast<int>(next)); }

void WatchInterruptions(const std::filesystem::path& folder, bool terminal, bool findings) {
  const std::string lead = std::string(terminal ? "\r\033[K" : "") + "中断しました。";
  const std::string temporaries = "作業中の一時ファイルは削除しました。";
  notices.importFile = quenFile::PathBytes(folder / quenFile::PathFromBytes(kOutputFolderName) /
                                           quenFile::PathFromBytes(kImportFileName));
  notices.notStarted = lead + "処理後 フォルダーは変更されていません。\n";
  notices.oldOutputs = lead + "処理後 の出力ファイルは前回のままです。" + temporaries + "\n";
  notices.importMissing = lead +
                          "処理後/取込用.txt はありません（前回のものは削除され、"
                          "新しいものはまだ作成されていません）。重複エラー.txt・書名なし.txt・"
                          "処理結果.txt は前回のもののことがあります。" +
                          temporaries + "もう一度変換してください。\n";
  notices.importWritten = lead +
                          "処理後/取込用.txt は今回の変換結果ですが、書名なし.txt・処理結果.txt "
                          "は前回のままか、作成されていません。" +
                          temporaries + "もう一度変換してください。\n";
  notices.ended = lead + "変換は終わっています（処理後 は今回の結果です）。" +
                  (findings ? "--findings のファイルは書き終わっていません"
                              "（通常のファイルなら前回のままです）。\n"
                            : "\n");
  quenFile::SetTerminationNotice(Notice);
}
