#include "RunData.h"

#include "quenFile.h"

void RunData::AddErrorEntry(std::string_view key, const TMyRec& entry) {
  ErrorList.Add(key, TMyRec{entry.FileName, entry.LineIndex, entry.Kind, {}});
}

void RunData::RecordError(ErrorKind kind, std::string_view key, const FoundAt& where) {
  AddErrorEntry(key, TMyRec{where.fileName, static_cast<int32_t>(where.lineIndex), kind, {}});
  RunFindings.Refer(KindOf(kind)->finding, where.at, where.fileNumber, where.lineIndex + 1);
}

std::filesystem::path OutputFolderOf(const std::filesystem::path& chosenFolder) {
  // Windows takes "/" too, but shows and hands back "\\".
  constexpr char kDelimiter = static_cast<char>(std::filesystem::path::preferred_separator);
  std::string folder = quenFile::PathBytes(chosenFolder);
  if (!folder.ends_with('/') && !folder.ends_with(kDelimiter)) folder += kDelimiter;
  folder += kOutputFolderName;
  folder += kDelimiter;
  return quenFile::PathFromBytes(folder);
}
