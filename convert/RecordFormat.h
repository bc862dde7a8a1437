// RecordFormat: what a record line is and what the run says about it; every
// number and name of the record format and of the outputs lives here.
//
// A record line is a line of CP932 bytes whose fields are separated by TAB
// and cut by quenUtil::Split. Field numbers below are zero-based.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace field {
constexpr std::size_t kId = 0;       // exactly 8 bytes in the first lines of a record file
constexpr std::size_t kFlag = 1;     // exactly "1" there
constexpr std::size_t kKey = 2;      // record key
constexpr std::size_t kTitle = 3;    // 書名: must not be blank
constexpr std::size_t kReading = 4;  // ヨミ: must not be blank
constexpr std::size_t kNdc = 9;      // classification number: at most 10 bytes
}  // namespace field

namespace record {
constexpr char kDelimiter = '\t';
// A record file's first kLinesChecked lines are records: at least kMinFields
// fields, an id of exactly kIdBytes bytes and the flag kFlag.
constexpr std::size_t kLinesChecked = 4;
constexpr std::size_t kMinFields = 25;
constexpr std::size_t kIdBytes = 8;
constexpr std::string_view kFlag = "1";
// The error check looks at lines with fields up to the NDC number.
constexpr std::size_t kCheckedFields = field::kNdc + 1;
constexpr std::size_t kMaxNdcBytes = 10;
// The no-title report shows this many lines on either side of a finding,
// each as these fields when it has at least kMinReportFields.
constexpr int kContextRadius = 6;
constexpr std::size_t kReportFields[] = {0, 2, 3, 6, 9, 17};
constexpr std::size_t kMinReportFields = 18;
}  // namespace record

enum ErrorKind : int32_t {
  ekNone = 0,        // key-index records
  ekTitleBlank = 1,  // field 3 or 4 blank
  ekNdcLength = 2,   // field 9 longer than 10 bytes
};

// Every kind the operator is told of, error-list kinds and the repeated key
// alike. Findings store the number in two bits.
enum class FindingKind : uint8_t { kDuplicateKey, kTitleBlank, kNdcLength };
constexpr std::size_t kFindingKindCount = 3;  // the values above

// What the filtering of the import file does with a record of a kind.
enum class FilterAction : uint8_t { kKeep, kDrop, kToTop };

// One row per kind: everything that differs between kinds is here, so that
// the stages, the findings table, the CSV and the help read it, not a name
// or a number of their own.
struct KindRow {
  FindingKind finding;
  ErrorKind error;         // ekNone: not an error-list kind
  std::string_view name;   // display name, UTF-8 (CP932 by Cp932Name)
  std::string_view count;  // its name in the end box's counts line
  FilterAction filter;
  bool withCopies;  // the table shows the number of copies after the name
  bool loggedEach;  // the error check logs each record's key with the name
  bool inReport;    // shown in the no-title report (書名なし.txt)
  bool inSummary;   // listed under 要再登録 at the end of the log
};

// The rows, in FindingKind order; error-list kinds in ErrorKind order.
const std::array<KindRow, kFindingKindCount>& Kinds();
const KindRow& KindOf(FindingKind kind);
// Nothing for ekNone and for a number that is no kind.
const KindRow* KindOf(int32_t errorKind);
// The display name in CP932, as the log and the report write it.
const std::string& Cp932Name(const KindRow& row);

// Display names in CP932 indexed by error kind: "", "書名（ヨミ）空白",
// "ＮＤＣ桁数".
const std::vector<std::string>& ErrorKindNames();

// The record attached to an error-list entry: where the finding is.
struct TMyRec {
  std::string FileName;  // source file name without folder, native bytes
  int32_t LineIndex = -1;
  int32_t Kind = ekNone;
  std::string Line;  // empty in error-list entries
};

// Output folder and files, native (UTF-8) names.
constexpr std::string_view kOutputFolderName = "処理後";
constexpr std::string_view kImportFileName = "取込用.txt";
constexpr std::string_view kDuplicatesFileName = "重複エラー.txt";
constexpr std::string_view kNoTitleFileName = "書名なし.txt";
constexpr std::string_view kResultLogFileName = "処理結果.txt";
// Written by the findings window, never by a run, which leaves it alone.
constexpr std::string_view kReRegistrationFileName = "再登録用.txt";
