// RecordContext: a finding's record among the lines around it in its
// source file, each line as the no-title report (書名なし.txt) shows it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Findings.h"
#include "RecordFormat.h"

struct ContextLine {
  std::size_t number = 0;  // 1-based
  std::string text;        // CP932: "    3行目:" and the report's fields
};

// The report's form of line number (1-based) of a source file: the prefix,
// then fields 0, 2, 3, 6, 9 and 17 joined by TAB when the line has at least
// 18 fields; the prefix alone otherwise.
std::string ReportLineOf(std::size_t number, std::string_view line);

// Up to radius lines on either side of the finding's line and that line,
// read from file (the source folder's file the finding names) by the run's
// line rules. Nothing when the file no longer opens or no longer holds the
// very bytes the run read on that line: other lines would not be the run's.
std::optional<std::vector<ContextLine>> ContextOf(const std::filesystem::path& file,
                                                  const Finding& finding,
                                                  int radius = record::kContextRadius);
