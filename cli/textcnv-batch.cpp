// textcnv-batch FOLDER: one conversion run of FOLDER without the window, as
// choosing FOLDER and pressing "変換スタート" would. The run log goes to
// standard output, message boxes to standard error.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "BatchOptions.h"
#include "Console.h"
#include "ConversionRun.h"
#include "FindingsTarget.h"
#include "MBox.h"
#include "RunWatch.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenSignals.h"
#include "quenText.h"

namespace fs = std::filesystem;

namespace {

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

// 0: completed; 3: completed, but some record files could not be read; 1:
// ended early or failed (its box says why).
int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted:
      return 0;
    case RunOutcome::kCompletedWithUnreadFiles:
      return 3;
    default:
      return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  PrepareConsoleStreams();
  const std::vector<std::string> argList = ProgramArguments(argc, argv);
  Arguments args;
  const bool parsed = Parse(argList, args);
  if (args.help || args.version) {
    std::fputs(args.help ? HelpText().c_str() : VersionLine().c_str(), stdout);
    return 0;
  }
  // A reader of standard output that goes away, a file-size limit or a
  // terminating signal must not leave half-written temporary files.
  quenFile::InstallSignalHandling();
  if (!parsed) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  ConsoleHost console;
  WatchedHost host(console, args.quiet);
  ConsolePresenter presenter(console);
  MBox::SetPresenter(&presenter);
  int status = 1;
  try {
    // The folder and the collating locale can fail before the run starts;
    // those failures are shown like the run's own.
    const fs::path folder = ChosenFolder(quenFile::PathFromBytes(*args.folder));
    console.SetFolder(folder);
    if (args.findings != nullptr) {
      const std::string refusal =
          FindingsTargetRefusal(folder, quenFile::PathFromBytes(*args.findings));
      if (!refusal.empty()) {
        std::fputs((refusal + "\n").c_str(), stderr);
        MBox::SetPresenter(nullptr);
        return 2;
      }
    }
    WatchInterruptions(folder, IsTerminal(stderr), args.findings != nullptr);
    RunData data;
    ConversionRun run(host, data);
    status = ExitStatus(RunConversion(run));
    if (status != 1) SetRunStage(RunStage::kEnded);
    if (status != 1 && args.findings != nullptr) {
      SaveFindings(data.RunFindings, quenFile::PathFromBytes(*args.findings));
    }
  } catch (const std::exception& e) {
    ShowException(e);
    status = 1;
  }
  console.ClearProgress();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    // The run log is saved in the output folder all the same.
    std::fputs("標準出力に書き込めませんでした。処理ログは 処理後/処理結果.txt にあります。\n",
               stderr);
    status = 1;
  }
  MBox::SetPresenter(nullptr);
  return status;
}
