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
  std::vector<std::size_t> top;
  std::vector<std::size_t> rest;
  rest.reserve(lineCount);
  const ErrorEntryList& errors = data_.ErrorList;
  // The key index leaves blank lines out, so none is kept: the lines' bytes
  // are first touched when they are written, not once before as well.
  for (std::size_t a = 0; a < lineCount; ++a) {
    const long found = kept.errors[a];
    if (found < 0) {
      rest.push_back(a);
    } else if (errors[static_cast<std::size_t>(found)].rec.Kind == ekNdcLength) {
      top.push_back(a);
    }
    SetProgress(static_cast<int>(a * 100 / lineCount), 100);
  }
  LineList output;
  output.Reserve(top.size() + rest.size());
  std::for_each(top.rbegin(), top.rend(), [&](std::size_t a) { output.AddFrom(lines, a); });
  for (std::size_t a : rest) output.AddFrom(lines, a);

  try {
    SaveLines(output, kImportFileName);
  } catch (...) {
    log_.Append(Sjis(" 処理済ファイル取込用.txtを保存できませんでした"));
    throw;
  }
  log_.Append(
      Sjis(std::string(kImportFileName) + "に" + std::to_string(output.size()) + "件出力しました"));
}
