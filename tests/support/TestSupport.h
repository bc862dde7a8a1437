// Shared test helpers: temporary folders, files as bytes, record lines, and
// a host and message-box presenter that record what a run shows.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "MBox.h"
#include "RunHost.h"
#include "quenText.h"

namespace testing_support {

namespace fs = std::filesystem;

inline std::string Cp932(std::string_view utf8) { return quenText::FromUtf8(utf8); }

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("textcnv-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(std::string_view name) const { return path_ / fs::path(std::string(name)); }

 private:
  fs::path path_;
};

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

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
  void ProgressChanged(int position, int maximum) override {
    progress.emplace_back(position, maximum);
  }
  void BusyChanged(bool busy) override { busyChanges.push_back(busy); }

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
    return IDOK;
  }
  std::vector<MessageBoxRequest> boxes;

 private:
  MessagePresenter* previous_;
};

}  // namespace testing_support
