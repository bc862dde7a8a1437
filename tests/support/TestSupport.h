// Shared test helpers: temporary folders, files as bytes, record lines, and
// a host and message-box presenter that record what a run shows.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "MBox.h"
#include "RecordLine.h"
#include "RunHost.h"
#include "TempDir.h"
#include "quenText.h"

namespace testing_support {

namespace fs = std::filesystem;

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

// Records every message box instead of showing it and answers OK; onBox,
// when set, runs for each box on the thread that asks for it. Installed as
// the boxes' presenter for its lifetime unless install is false (the
// window's presenter then hands it the boxes).
class RecordingPresenter : public MessagePresenter {
 public:
  explicit RecordingPresenter(bool install = true)
      : installed_(install), previous_(install ? MBox::SetPresenter(this) : nullptr) {}
  ~RecordingPresenter() override {
    if (installed_) MBox::SetPresenter(previous_);
  }
  RecordingPresenter(const RecordingPresenter&) = delete;
  RecordingPresenter& operator=(const RecordingPresenter&) = delete;
  int Present(const MessageBoxRequest& box) override {
    boxes.push_back(box);
    if (onBox) onBox(box);
    return MBox::kIdOk;
  }
  std::vector<MessageBoxRequest> boxes;
  std::function<void(const MessageBoxRequest&)> onBox;

 private:
  bool installed_;
  MessagePresenter* previous_;
};

}  // namespace testing_support
