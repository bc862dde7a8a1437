// What the fault and bad-input tests share: a private folder, record lines,
// one whole run with its boxes, log, exception and output files, and a
// watchdog against runs that hang.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ConversionRun.h"
#include "FaultyFileSystem.h"
#include "MBox.h"
#include "RunData.h"
#include "RunHost.h"
#include "TestSupport.h"
#include "quenFile.h"
#include "quenText.h"

namespace faultfix {

namespace fs = std::filesystem;

using testing_support::Crlf;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using FolderHost = testing_support::RecordingHost;
using BoxRecorder = testing_support::RecordingPresenter;

// The entries of a folder (hidden ones too, no sub-folders) by name, with
// the bytes of each regular file.
inline std::map<std::string, std::string> FilesIn(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    if (e.is_directory()) continue;
    files[quenFile::PathBytes(e.path().filename())] =
        e.is_regular_file() ? ReadBytes(e.path()) : "";
  }
  return files;
}

// A record line of 30 TAB-separated fields (CP932); the unused fields hold
// fillers that tell lines apart.
inline std::string RecordLine(std::string_view id, std::string_view key,
                              std::string_view title = "書名",
                              std::string_view reading = "ショメイ",
                              std::string_view ndc = "913.6") {
  return testing_support::RecordLine(testing_support::Rec{std::string(id), std::string(key),
                                                          std::string(title), std::string(reading),
                                                          std::string(ndc)});
}

// The lines of bytes ending in CR LF; false when the last one has no break.
inline bool SplitCrlf(std::string_view bytes, std::vector<std::string>& lines) {
  lines.clear();
  while (!bytes.empty()) {
    const std::size_t br = bytes.find("\r\n");
    if (br == std::string_view::npos) return false;
    lines.emplace_back(bytes.substr(0, br));
    bytes.remove_prefix(br + 2);
  }
  return true;
}

// How one run ended and what it left in "処理後".
struct Outcome {
  RunOutcome result = RunOutcome::kFailed;
  bool threw = false;
  std::string what;
  std::vector<MessageBoxRequest> boxes;
  std::vector<std::string> log;
  std::vector<std::string> shown;  // the log as the window and the terminal show it, UTF-8
  std::map<std::string, std::string> outputs;

  bool Completed() const {
    return !threw && result == RunOutcome::kCompleted && boxes.size() == 1 &&
           (boxes[0].flags & MBox::kIconInformation) != 0;
  }
  // Completed, but record files could not be read for their records: the
  // closing box names them after "終了しました" and the counts.
  bool CompletedWithUnreadFiles() const {
    return !threw && result == RunOutcome::kCompletedWithUnreadFiles && boxes.size() == 1 &&
           (boxes[0].flags & MBox::kIconInformation) != 0 &&
           boxes[0].text.starts_with(Sjis("終了しました\r\n取込用 ")) &&
           boxes[0].text.find(Sjis("\r\n読めなかったファイル: ")) != std::string::npos;
  }
  bool EndedWithErrorBox() const {
    return !threw && result == RunOutcome::kEndedEarly && boxes.size() == 1 &&
           (boxes[0].flags & MBox::kIconError) != 0;
  }
  bool LogHas(std::string_view utf8Part) const {
    const std::string part = Sjis(utf8Part);
    for (const std::string& l : log) {
      if (l.find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::string Describe() const {
    std::string d = threw ? "threw: " + what : "no exception";
    for (const auto& b : boxes) d += "; box: " + quenText::ToUtf8(b.text);
    return d;
  }
};

inline fs::path OutputDir(const fs::path& folder) { return folder / u8"処理後"; }

// A host that hands each log line (UTF-8) to onLog as it is appended.
class HookedHost : public FolderHost {
 public:
  HookedHost(fs::path folder, std::function<void(const std::string&)> onLog)
      : FolderHost(std::move(folder)), onLog_(std::move(onLog)) {}
  void LogAppended(std::string_view line, std::string_view shown) override {
    FolderHost::LogAppended(line, shown);
    if (onLog_) onLog_(std::string(shown));
  }

 private:
  std::function<void(const std::string&)> onLog_;
};

// One run of the folder, with fs installed for its length only; onLog hears
// each log line as the run writes it.
inline Outcome RunFolder(const fs::path& folder, quenFile::FileSystem* fileSystem = nullptr,
                         std::function<void(const std::string&)> onLog = {}) {
  Outcome out;
  {
    BoxRecorder boxes;
    HookedHost host(folder, std::move(onLog));
    RunData data;
    ConversionRun run(host, data);
    {
      faulty::ScopedFileSystem installed(fileSystem);
      try {
        out.result = run.Run();
      } catch (const std::exception& e) {
        out.threw = true;
        out.what = e.what();
      } catch (...) {
        out.threw = true;
        out.what = "(not a std::exception)";
      }
    }
    out.boxes = boxes.boxes;
    out.log = run.Log().Lines();
    out.shown = host.shown;
  }
  out.outputs = FilesIn(OutputDir(folder));
  return out;
}

// Ends the process when the guarded code has not finished in time, so a
// hanging run fails instead of stalling the suite.
class Watchdog {
 public:
  Watchdog(std::chrono::seconds limit, std::string what) : what_(std::move(what)) {
    thread_ = std::thread([this, limit] {
      std::unique_lock lock(mutex_);
      if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
        std::fprintf(stderr, "FAILED: %s did not finish within the time limit (hang)\n",
                     what_.c_str());
        std::fflush(stderr);
        std::_Exit(1);
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_one();
    thread_.join();
  }

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace faultfix
