// Findings: what a run found that the operator has to act on (every copy of
// a record whose key is repeated, each blank title or reading, each
// over-long NDC number) with the file and line where each record stands.
// The run collects them as it goes; their size follows the findings, not
// the input. Shown by the window's findings table and written as CSV by
// the batch tool.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class FindingKind { kDuplicateKey, kTitleBlank, kNdcLength };

struct Finding {
  FindingKind kind = FindingKind::kDuplicateKey;
  std::string key;         // CP932
  std::string file;        // the source file's name without folder, native bytes
  std::size_t line = 0;    // 1-based, counted by the run's line rules
  std::string text;        // the whole record line, CP932
  std::size_t group = 0;   // duplicates: the key group's number, 1-based, in key order
  std::size_t copies = 0;  // duplicates: how many records share the key
};

using Findings = std::vector<Finding>;

// The table's columns: 種類, キー, 書名, ヨミ, NDC, ファイル, 行.
constexpr std::size_t kFindingColumns = 7;
using FindingRow = std::array<std::string, kFindingColumns>;
const std::array<std::string_view, kFindingColumns>& FindingHeader();

// A finding as the table shows it, UTF-8: the kind (with the number of
// copies for a repeated key), the key, title, reading and NDC fields of
// the line, the file name and the line number.
FindingRow RowOf(const Finding& finding);

// The table as CSV for spreadsheet programs: UTF-8 with a byte-order mark,
// the header row first, CR LF after each row, fields quoted where needed.
// A cell of a finding (all but 行) that starts with =, +, -, @, TAB or CR
// gets a leading ' so that no spreadsheet evaluates it as a formula.
std::string FindingsCsv(const Findings& findings);
