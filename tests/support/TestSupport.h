// Shared test helpers: temporary folders, files as bytes, record lines, and
// a host and message-box presenter that record what a run shows.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "MBox.h"
#include "RunHost.h"
#include "TempDir.h"
#include "quenText.h"

namespace testing_support {

namespace fs = std::filesystem;

inline std::string Cp932(std::string_view utf8) { return quenText::FromUtf8(utf8); }

// A record line of 30 TAB-separated fields; the fields the run reads are
// set, the others are recognisable fillers. Texts are UTF-8 and end up CP932.
struct Rec {
  std::string id = "00000001";
  std::string key = "K1";
  std::string title = "書名";
  std::string reading = "ショメイ";
  std::string ndc = "913.6";
  int fields = 30;
};

inline std::string RecordLine(const Rec& r) {
  std::string line;
  for (int f = 0; f < r.fields; ++f) {
    if (f > 0) line += '\t';
    switch (f) {
      case 0:
        line += r.id;
        break;
      case 1:
        line += "1";
        break;
      case 2:
        line += r.key;
        break;
      case 3:
        line += r.title;
        break;
      case 4:
        line += r.reading;
        break;
      case 9:
        line += r.ndc;
        break;
      default:
        line += "f" + std::to_string(f) + "-" + r.id;
        break;
    }
  }
  return Cp932(line);
}

// Lines joined with CR LF after each, as a record file holds them.
inline std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

class RecordingHost : public RunHost {
 public:
  explicit RecordingHost(fs::path folder) : folder_(std::move(folder)) {}
  fs::path ConfirmedFolder() const override { return folder_; }
  void LogAppended(std::string_view /*line*/, std::string_view utf8) override {
    shown.emplace_back(utf8);
  }
  void ProgressChanged(int position, int maximum) override {
    progress.emplace_back(position, maximum);
  }
  void BusyChanged(bool busy) override { busyChanges.push_back(busy); }

  // The log lines as the window and the terminal show them (UTF-8).
  std::vector<std::string> shown;
  std::vector<std::pair<int, int>> progress;
  std::vector<bool> busyChanges;

 private:
  fs::path folder_;
};

// Records every message box instead of showing it; restores on exit.
class RecordingPresenter : public MessagePresenter {
 public:
  RecordingPresenter() { previous_ = MBox::SetPresenter(this); }
  ~RecordingPresenter() override { MBox::SetPresenter(previous_); }
  int Present(const MessageBoxRequest& box) override {
    boxes.push_back(box);
    return MBox::kIdOk;
  }
  std::vector<MessageBoxRequest> boxes;

 private:
  MessagePresenter* previous_;
};

}  // namespace testing_support
