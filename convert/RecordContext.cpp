#include "RecordContext.h"

#include <algorithm>

#include "LineList.h"
#include "quenFile.h"
#include "quenText.h"
#include "quenUtil.h"

std::string ReportLineOf(std::size_t number, std::string_view line) {
  std::string text =
      quenUtil::PadLeft(std::to_string(number), 5, " ") + quenText::FromUtf8("行目:");
  if (quenUtil::IsBlank(line)) return text;
  std::vector<std::string_view> fields;
  quenUtil::SplitView(record::kDelimiter, line, fields, record::kMinReportFields);
  if (fields.size() < record::kMinReportFields) return text;
  for (std::size_t f : record::kReportFields) {
    if (f != record::kReportFields[0]) text += record::kDelimiter;
    text += fields[f];
  }
  return text;
}

std::optional<std::vector<ContextLine>> ContextOf(const std::filesystem::path& file,
                                                  const Finding& finding, int radius) {
  LineList lines;
  if (!quenFile::ReadIfOpens([&] { lines.LoadFromFile(file); })) return std::nullopt;
  const std::size_t at = finding.line - 1;
  if (finding.line == 0 || at >= lines.size() || lines[at] != finding.text) return std::nullopt;
  const std::size_t r = static_cast<std::size_t>(std::max(radius, 0));
  const std::size_t first = at > r ? at - r : 0;
  const std::size_t last = std::min(at + r, lines.size() - 1);
  std::vector<ContextLine> context;
  for (std::size_t j = first; j <= last; ++j) {
    context.push_back({j + 1, ReportLineOf(j + 1, lines[j])});
  }
  return context;
}
