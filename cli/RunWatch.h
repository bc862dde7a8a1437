// RunWatch: what the command line adds around the run's host: it follows
// how far the run has got, so that an interrupted run says what it left in
// 処理後, and with --quiet it passes on only the run's closing summary and
// the lines that note a problem.
#pragma once

#include <filesystem>
#include <string_view>

#include "RunHost.h"

// How far the run has got, as far as 処理後 is concerned.
enum class RunStage {
  kNotStarted,     // nothing in 処理後 touched yet
  kRunning,        // the old import file may be gone, the new one not made
  kImportWritten,  // the new import file is in place, the report and log not yet
  kEnded,          // the run is over
};

class WatchedHost : public RunHost {
 public:
  WatchedHost(RunHost& inner, bool quiet) : inner_(inner), quiet_(quiet) {}

  std::filesystem::path ConfirmedFolder() const override { return inner_.ConfirmedFolder(); }
  void FolderRead(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files) override {
    inner_.FolderRead(folder, files);
  }
  void LogCleared() override;
  void LogAppended(std::string_view line, std::string_view shown) override;
  void ProgressChanged(int position, int maximum) override;
  void BusyChanged(bool busy) override { inner_.BusyChanged(busy); }

 private:
  RunHost& inner_;
  bool quiet_;
  bool summary_ = false;  // the closing summary has begun
};

// From now on a terminating signal says on standard error (UTF-8) how far
// the run over folder got and what it left in 処理後; terminal: standard
// error is one, where a progress line may need clearing first; findings:
// a findings file is written after the run.
void WatchInterruptions(const std::filesystem::path& folder, bool terminal, bool findings);
void SetRunStage(RunStage stage);
