// The filtering of the import file: blank-title records out, records with an
// over-long NDC number to the top.
#include <algorithm>

#include "ConversionRun.h"
#include "quenFile.h"

namespace fs = std::filesystem;

void ConversionRun::WriteImportFile(const UniqueRecords& kept) {
  const LineList& lines = kept.lines;
  const std::size_t lineCount = lines.size();
  SetProgress(0, 100);

  // Lines of kind 2 go to the top one by one, so they end up in reverse:
  // collected here, then put in front in that order.
  const ErrorEntryList& errors = data_.ErrorList;
  std::vector<std::size_t> top;
  for (const auto& [a, found] : kept.errors) {
    if (errors[static_cast<std::size_t>(found)].rec.Kind == ekNdcLength) top.push_back(a);
  }
  LineList output;
  output.Reserve(lineCount - kept.errors.size() + top.size());
  std::for_each(top.rbegin(), top.rend(), [&](std::size_t a) { output.AddFrom(lines, a); });
  // The key index leaves blank lines out, so none is kept: the lines' bytes
  // are first touched when they are written, not once before as well.
  auto listed = kept.errors.begin();
  for (std::size_t a = 0; a < lineCount; ++a) {
    if (listed != kept.errors.end() && listed->first == a) {
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
}
