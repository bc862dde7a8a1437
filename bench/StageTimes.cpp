#include "StageTimes.h"

#include <time.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "ConversionRun.h"
#include "MBox.h"
#include "StepClock.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A log line or a step as the run reached it, by the clock and by the CPU
// time of the process's threads: on a busy machine only the latter tells.
struct Stamp {
  Clock::time_point at;
  double cpu;
  std::string what;
};

double CpuNow() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

Stamp Now(std::string what = {}) { return {Clock::now(), CpuNow(), std::move(what)}; }

// Steps are marked from the running thread only; the bench runs one run at a time.
std::vector<Stamp>* steps = nullptr;
void MarkStep(const char* step) { steps->push_back(Now(step)); }

class StampingHost : public RunHost {
 public:
  explicit StampingHost(fs::path folder) : folder_(std::move(folder)) {}
  fs::path ConfirmedFolder() const override { return folder_; }
  void LogAppended(std::string_view /*line*/, std::string_view shown) override {
    stamps.push_back(Now(std::string(shown)));
  }
  std::vector<Stamp> stamps;

 private:
  fs::path folder_;
};

class SilentPresenter : public MessagePresenter {
 public:
  int Present(const MessageBoxRequest& /*box*/) override { return MBox::kIdOk; }
};

const char* const kRows[] = {"file check",
                             "error check (one pass)",
                             "merge",
                             "duplicate check",
                             "  lines handed over",
                             "  collating",
                             "  sort",
                             "  group walk",
                             "  duplicates file",
                             "import write",
                             "report",
                             "log and sync",
                             "whole run"};
constexpr std::size_t kRowCount = std::size(kRows);

double Seconds(const Stamp& from, const Stamp& to) {
  return std::chrono::duration<double>(to.at - from.at).count();
}

// The first stamp at or after from whose text is what; the end when none.
std::size_t Find(const std::vector<Stamp>& s, std::string_view what, std::size_t from = 0) {
  while (from < s.size() && s[from].what != what) ++from;
  return from;
}

[[noreturn]] void Fail(const fs::path& folder, const char* why) {
  std::fprintf(stderr, "stage table: %s in the run of %s\n", why, folder.c_str());
  std::exit(1);
}

}  // namespace

StageTimes TimeStages(const fs::path& folder) {
  StampingHost host(folder);
  SilentPresenter presenter;
  MBox::SetPresenter(&presenter);
  std::vector<Stamp> marks;
  steps = &marks;
  StepClock::Set(&MarkStep);
  RunData data;
  ConversionRun run(host, data);
  const Stamp start = Now();
  const RunOutcome outcome = RunConversion(run);
  const Stamp end = Now();
  StepClock::Set(nullptr);
  MBox::SetPresenter(nullptr);
  if (outcome != RunOutcome::kCompleted) Fail(folder, "no completed run");

  const std::vector<Stamp>& s = host.stamps;
  StageTimes t{std::vector<double>(kRowCount, 0), std::vector<double>(kRowCount, 0)};
  const auto add = [&t](std::size_t row, const Stamp& from, const Stamp& to) {
    t.seconds[row] += Seconds(from, to);
    t.cpuSeconds[row] += to.cpu - from.cpu;
  };
  // The error check reads every file and checks them in one pass before it
  // tells the files' log lines: it runs from the file check's end to the
  // last file's end line.
  const std::size_t checked = Find(s, "ファイルチェック　終了");
  const std::size_t mergeBegin = Find(s, "開始　結合処理", checked);
  std::size_t errorsEnd = checked;
  for (std::size_t e = Find(s, "終了　エラーチェック", checked); e < mergeBegin;
       e = Find(s, "終了　エラーチェック", e + 1)) {
    errorsEnd = e;
  }
  if (mergeBegin == s.size()) Fail(folder, "stage lines missing");
  add(0, start, s[checked]);
  add(1, s[checked], s[errorsEnd]);
  const std::size_t mergeEnd = Find(s, "終了　結合処理", mergeBegin);
  const std::size_t checkBegin = Find(s, "開始　重複チェック", mergeEnd);
  const std::size_t checkEnd = Find(s, "終了　重複チェック", checkBegin);
  // The import file's line is the first with text after the duplicate
  // check; the summary, when there is one, follows the report.
  std::size_t imported = checkEnd + 1;
  while (imported < s.size() && s[imported].what.empty()) ++imported;
  if (imported >= s.size()) Fail(folder, "stage lines missing");
  const std::size_t collate = Find(marks, "collate");
  const std::size_t sort = Find(marks, "sort", collate);
  const std::size_t walk = Find(marks, "walk", sort);
  const std::size_t duplicates = Find(marks, "duplicates", walk);
  if (duplicates == marks.size()) Fail(folder, "duplicate check steps missing");
  const Stamp& reported = imported + 1 < s.size() ? s[imported + 1] : end;
  const Stamp* points[] = {&s[checkBegin], &marks[collate],    &marks[sort],
                           &marks[walk],   &marks[duplicates], &s[checkEnd]};
  add(2, s[mergeBegin], s[mergeEnd]);
  add(3, s[checkBegin], s[checkEnd]);
  for (std::size_t i = 0; i + 1 < std::size(points); ++i) add(4 + i, *points[i], *points[i + 1]);
  add(9, s[checkEnd], s[imported]);
  add(10, s[imported], reported);
  add(11, reported, end);
  add(12, start, end);
  return t;
}

void PrintStageTable(const std::vector<StageTimes>& runs, const std::string& title) {
  std::printf("%s: %zu rounds in this process, minima (median) in ms\n", title.c_str(),
              runs.size());
  std::printf("  %-24s %19s %19s\n", "stage", "wall", "cpu (all threads)");
  const auto column = [&runs](std::vector<double> StageTimes::*times, std::size_t row) {
    std::vector<double> v;
    for (const StageTimes& r : runs) v.push_back((r.*times)[row] * 1000);
    std::sort(v.begin(), v.end());
    return std::pair(v.empty() ? 0 : v.front(), v.empty() ? 0 : v[v.size() / 2]);
  };
  for (std::size_t row = 0; row < kRowCount; ++row) {
    const auto [wall, wallMedian] = column(&StageTimes::seconds, row);
    const auto [cpu, cpuMedian] = column(&StageTimes::cpuSeconds, row);
    std::printf("  %-24s %8.1f (%8.1f) %8.1f (%8.1f)\n", kRows[row], wall, wallMedian, cpu,
                cpuMedian);
  }
}
