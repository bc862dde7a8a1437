// The stage table of the bench: the run in this process, its host and the
// duplicate check's step clock stamping each log line and step as it comes,
// so that each stage's time is read between its log lines.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Each stage's seconds in one run, by row of the table: by the clock, and
// the CPU time all the process's threads spent in it.
struct StageTimes {
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;
};

// Runs the conversion of folder once in this process; exits on a failed run.
StageTimes TimeStages(const std::filesystem::path& folder);

// Prints, for each stage, the minimum and median over runs.
void PrintStageTable(const std::vector<StageTimes>& runs, const std::string& title);
