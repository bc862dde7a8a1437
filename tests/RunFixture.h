// What the whole-run suites (run_*_test.cpp, one per stage of the run)
// share: a folder with a run over it, its log, boxes and output files, and
// record files made of Rec values.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ConversionRun.h"
#include "TestSupport.h"
#include "quenFile.h"

class Run : public testing::Test {
 protected:
  Run() : host_(dir_.path()), run_(host_, data_) {}

  void Write(std::string_view name, std::string_view bytes) {
    testing_support::WriteBytes(dir_ / name, bytes);
  }
  std::string Out(std::string_view name) const {
    return testing_support::ReadBytes(dir_.path() / u8"処理後" / quenFile::PathFromBytes(name));
  }
  bool HasOut(std::string_view name) const {
    return std::filesystem::exists(dir_.path() / u8"処理後" / quenFile::PathFromBytes(name));
  }

  // Runs the conversion and returns the log, decoded for readable failures.
  std::vector<std::string> Convert() {
    outcome_ = RunConversion(run_);
    return Log();
  }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    for (const std::string& l : run_.Log().Lines()) lines.push_back(quenText::ToUtf8(l));
    return lines;
  }
  // The log lines from the one equal to first up to the one equal to last.
  std::vector<std::string> Block(const std::string& first, const std::string& last) const {
    const auto log = Log();
    auto b = std::find(log.begin(), log.end(), first);
    auto e = std::find(b, log.end(), last);
    return e == log.end() ? std::vector<std::string>{} : std::vector<std::string>(b, e + 1);
  }

  testing_support::TempDir dir_;
  testing_support::RecordingHost host_;
  testing_support::RecordingPresenter boxes_;
  RunData data_;
  ConversionRun run_;
  RunOutcome outcome_ = RunOutcome::kFailed;
};

// The records as a record file, CR LF after each.
inline std::string Lines(const std::vector<testing_support::Rec>& recs) {
  std::vector<std::string> lines;
  for (const testing_support::Rec& r : recs) lines.push_back(testing_support::RecordLine(r));
  return testing_support::Crlf(lines);
}

inline testing_support::Rec R(std::string id, std::string key) {
  testing_support::Rec r;
  r.id = std::move(id);
  r.key = std::move(key);
  return r;
}
