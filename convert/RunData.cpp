#include "RunData.h"

void RunData::AddErrorEntry(std::string_view key, const TMyRec& entry) {
  ErrorList.Add(key, TMyRec{entry.FileName, entry.LineIndex, entry.Kind, {}});
}

std::filesystem::path OutputFolderOf(const std::filesystem::path& chosenFolder) {
  std::string folder = chosenFolder.native();
  if (!folder.ends_with('/')) folder += '/';
  folder += kOutputFolderName;
  folder += '/';
  return folder;
}
