// The filtering of the import file: each record of the error list dropped,
// moved to the top or kept as its kind's row says (blank titles out,
// over-long NDC numbers to the top).
#include <algorithm>

#include "ConversionRun.h"
#include "quenFile.h"

namespace fs = std::filesystem;

std::size_t ConversionRun::WriteImportFile(const UniqueRecords& kept) {
  const LineList& lines = kept.lines;
  const std::size_t lineCount = lines.size();
  SetProgress(0, 100);

  // Each listed line is done with as its kind's row says. Lines that go to
  // the top go one by one, so they end up in reverse: collected here, then
  // put in front in that order.
  const ErrorEntryList& errors = data_.ErrorList;
  const auto actionOf = [&](long found) {
    const KindRow* row = KindOf(errors[static_cast<std::size_t>(found)].rec.Kind);
    return row ? row->filter : FilterAction::kKeep;
  };
  std::vector<std::size_t> top;
  std::size_t dropped = 0;
  for (const auto& [a, found] : kept.errors) {
    const FilterAction action = actionOf(found);
    if (action == FilterAction::kToTop) top.push_back(a);
    if (action != FilterAction::kKeep) ++dropped;
  }
  LineList output;
  output.Reserve(lineCount - dropped + top.size());
  std::for_each(top.rbegin(), top.rend(), [&](std::size_t a) { output.AddFrom(lines, a); });
  // The key index leaves blank lines out, so none is kept: the lines' bytes
  // are first touched when they are written, not once before as well.
  auto listed = kept.errors.begin();
  for (std::size_t a = 0; a < lineCount; ++a) {
    if (listed != kept.errors.end() && listed->first == a) {
      if (actionOf(listed->second) == FilterAction::kKeep) output.AddFrom(lines, a);
      ++listed;
    } else {
      output.AddFrom(lines, a);
    }
    SetProgress(static_cast<int>(a * 100 / lineCount), 100);
  }

  try {
    SaveLines(output, kImportFileName);
  } catch (...) {
    log_.Append(Sjis(" 処理済ファイル取込用.txtを保存できませんでした"));
    throw;
  }
  log_.Append(
      Sjis(std::string(kImportFileName) + "に" + std::to_string(output.size()) + "件出力しました"));
  return output.size();
}
