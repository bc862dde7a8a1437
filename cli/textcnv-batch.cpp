// textcnv-batch FOLDER: one conversion run of FOLDER without the window, as
// choosing FOLDER and pressing "変換スタート" would. The run log goes to
// standard output, message boxes to standard error.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "Console.h"
#include "ConversionRun.h"
#include "MBox.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenSignals.h"
#include "quenText.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "使い方 / usage: textcnv-batch [--findings FILE] FOLDER   (--help で説明 / for help)\n";

constexpr const char* kHelp =
    "使い方: textcnv-batch [--findings FILE] FOLDER\n"
    "\n"
    "FOLDER のファイルを変換します（ウィンドウでフォルダを選択して「変換スタート」を\n"
    "押したときと同じ処理です）。結果は FOLDER/処理後 に書き出されます:\n"
    "  取込用.txt  重複エラー.txt  書名なし.txt  処理結果.txt\n"
    "処理ログは標準出力に、メッセージは標準エラーに UTF-8 で出力されます。\n"
    "--findings FILE を付けると、処理結果の一覧（重複キーの全レコード、書名（ヨミ）空白、\n"
    "ＮＤＣ桁数のレコードと、そのファイル名・行番号）を FILE に CSV（UTF-8、BOM 付き）で\n"
    "書き出します。列: 種類,キー,書名,ヨミ,NDC,ファイル,行\n"
    "終了コード: 0 = 終了しました、1 = エラーで中断、2 = コマンドラインの誤り。\n"
    "\n"
    "Usage: textcnv-batch [--findings FILE] FOLDER\n"
    "\n"
    "Converts the files of FOLDER exactly as choosing FOLDER in the TextCnv window\n"
    "and pressing \"変換スタート\" would, writing the import file, the duplicates\n"
    "file, the no-title report and the run log into FOLDER/処理後.\n"
    "The run log goes to standard output, message boxes to standard error, as UTF-8.\n"
    "With --findings FILE, the run's findings (every record of a repeated key, blank\n"
    "titles or readings, over-long NDC numbers, each with its file and line) are\n"
    "written to FILE as CSV (UTF-8 with a byte-order mark).\n"
    "Exit status: 0 when the run completes, 1 when it ends with an error, 2 for a\n"
    "wrong command line.\n";

// What is printed has its control characters shown as escapes, so that
// record bytes and file names cannot drive a terminal: a pipe into tee or
// less reaches one too.
std::string ForStream(std::string_view utf8) {
  return quenShow::EscapeControls(utf8, /*keepTab=*/true);
}

// Prints what the window would show: log lines on stdout, progress on a
// terminal's stderr.
class ConsoleHost : public RunHost {
 public:
  void SetFolder(fs::path folder) { folder_ = std::move(folder); }
  fs::path ConfirmedFolder() const override { return folder_; }

  // The run log has escaped the line's controls already.
  void LogAppended(std::string_view /*line*/, std::string_view shown) override {
    ClearProgress();
    std::string text(shown);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }

  void ProgressChanged(int position, int maximum) override {
    if (!showProgress_ || maximum <= 0) return;
    std::fprintf(stderr, "\r進捗 %3d%%", position * 100 / maximum);
    std::fflush(stderr);
    progressShown_ = true;
  }

  void ClearProgress() {
    if (!progressShown_) return;
    std::fputs("\r\033[K", stderr);
    progressShown_ = false;
  }

 private:
  fs::path folder_;
  bool showProgress_ = IsTerminal(stderr);
  bool progressShown_ = false;
};

// Prints each box as one line.
class ConsolePresenter : public MessagePresenter {
 public:
  explicit ConsolePresenter(ConsoleHost& host) : host_(host) {}

  int Present(const MessageBoxRequest& box) override {
    host_.ClearProgress();
    // One line per box: its own line breaks become spaces.
    const std::string utf8 = box.Utf8Text();
    std::string_view rest = utf8;
    std::string oneLine;
    for (std::size_t at; (at = rest.find("\r\n")) != std::string_view::npos;) {
      oneLine.append(rest.substr(0, at)).append(" ");
      rest.remove_prefix(at + 2);
    }
    oneLine.append(rest);
    const std::string text = ForStream(oneLine) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return MBox::kIdOk;
  }

 private:
  ConsoleHost& host_;
};

// FOLDER as the system resolves it: a ".." after a symbolic link leads to
// the parent of the link's target, as in the shell and the kernel, so the
// part up to the last ".." is resolved on disk; the rest is only tidied.
fs::path ChosenFolder(const fs::path& arg) {
  std::error_code error;
  const fs::path given = fs::absolute(arg, error);
  if (error) throw quenFile::FileError(quenFile::FileError::Kind::kInputOutput, arg, error.value());
  fs::path head;
  fs::path rest;
  for (const fs::path& part : given) {
    rest /= part;
    if (part == "..") {
      head = fs::weakly_canonical(head / rest, error);
      if (error)
        throw quenFile::FileError(quenFile::FileError::Kind::kInputOutput, arg, error.value());
      rest.clear();
    }
  }
  fs::path folder = (head / rest).lexically_normal();
  // A folder browser hands back a folder without a trailing delimiter.
  while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
  return folder;
}

struct Arguments {
  const std::string* folder = nullptr;
  const std::string* findings = nullptr;
};

// False for a wrong command line.
bool Parse(const std::vector<std::string>& argv, Arguments& args) {
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--findings" && i + 1 < argv.size() && args.findings == nullptr &&
        !argv[i + 1].empty()) {
      args.findings = &argv[++i];
    } else if (!arg.empty() && (arg[0] != '-' || arg == "-") && args.folder == nullptr) {
      args.folder = &argv[i];
    } else {
      return false;
    }
  }
  return args.folder != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareConsoleStreams();
  const std::vector<std::string> argList = ProgramArguments(argc, argv);
  if (argList.size() == 1 && (argList[0] == "--help" || argList[0] == "-h")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  // A reader of standard output that goes away, a file-size limit or a
  // terminating signal must not leave half-written temporary files.
  quenFile::InstallSignalHandling();
  Arguments args;
  if (!Parse(argList, args)) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  ConsoleHost host;
  ConsolePresenter presenter(host);
  MBox::SetPresenter(&presenter);
  int status = 1;
  try {
    // The folder and the collating locale can fail before the run starts;
    // those failures are shown like the run's own.
    host.SetFolder(ChosenFolder(quenFile::PathFromBytes(*args.folder)));
    RunData data;
    ConversionRun run(host, data);
    status = RunConversion(run) == RunOutcome::kCompleted ? 0 : 1;
    if (status == 0 && args.findings != nullptr) {
      quenFile::WriteAll(quenFile::PathFromBytes(*args.findings), FindingsCsv(data.RunFindings));
    }
  } catch (const std::exception& e) {
    ShowException(e);
    status = 1;
  }
  host.ClearProgress();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    // The run log is saved in the output folder all the same.
    std::fputs("標準出力に書き込めませんでした。処理ログは 処理後/処理結果.txt にあります。\n",
               stderr);
    status = 1;
  }
  MBox::SetPresenter(nullptr);
  return status;
}
