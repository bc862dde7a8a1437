#include "Findings.h"

#include "RecordFormat.h"
#include "quenText.h"
#include "quenUtil.h"

namespace {

void AppendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// The 行 column: a number the run counted, never record bytes.
constexpr std::size_t kLineColumn = kFindingColumns - 1;

// A spreadsheet takes a cell that starts with one of these for a formula
// (or for the start of one); a leading apostrophe makes it text. Record
// fields and file names come from the suppliers.
std::string Inert(std::string_view cell) {
  if (!cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos) {
    return "'" + std::string(cell);
  }
  return std::string(cell);
}

}  // namespace

const std::array<std::string_view, kFindingColumns>& FindingHeader() {
  static const std::array<std::string_view, kFindingColumns> header = {
      "種類", "キー", "書名", "ヨミ", "NDC", "ファイル", "行"};
  return header;
}

FindingRow RowOf(const Finding& finding) {
  std::vector<std::string_view> fields;
  quenUtil::SplitView(record::kDelimiter, finding.text, fields, record::kCheckedFields);
  const auto field = [&](std::size_t i) {
    return i < fields.size() ? quenText::ToUtf8(fields[i]) : std::string();
  };
  const KindRow& row = KindOf(finding.kind);
  std::string kind(row.name);
  if (row.withCopies) {
    kind += "（" + std::to_string(finding.copies) + "件）";
  }
  return {kind,
          quenText::ToUtf8(finding.key),
          field(field::kTitle),
          field(field::kReading),
          field(field::kNdc),
          quenText::FileNameUtf8(finding.file),
          std::to_string(finding.line)};
}

std::string FindingsCsv(const Findings& findings) {
  std::string out = "\xEF\xBB\xBF";
  const auto appendRow = [&out](const auto& row, bool fromRecords) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) out += ',';
      AppendCsvField(out, fromRecords && c != kLineColumn ? Inert(row[c]) : std::string(row[c]));
    }
    out += "\r\n";
  };
  appendRow(FindingHeader(), false);
  for (const Finding& f : findings) appendRow(RowOf(f), true);
  return out;
}
