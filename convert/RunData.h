// RunData: the state a conversion run works on and leaves behind for the
// next one: the four run lists and the run settings. The front end owns one
// RunData for the life of its window; each run clears what it uses.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "ErrorList.h"
#include "KeyIndex.h"
#include "LineList.h"
#include "RecordFormat.h"

struct RunData {
  // Full paths of the files to process: the folder's files, then the record
  // files among them, then the merged import file.
  std::vector<std::filesystem::path> TargetFiles;
  // Lines of the file being processed.
  LineList WorkLines;
  // Record lines of the merged file by key.
  KeyIndexList KeyIndex;
  // Findings of the error check.
  ErrorEntryList ErrorList;

  char Delimiter = '\t';
  int ContextRadius = 6;
  // The chosen folder, "処理後" and a trailing delimiter; set by each run.
  std::filesystem::path OutputFolder;

  // Appends key with a copy of entry's FileName, LineIndex and Kind.
  void AddErrorEntry(std::string_view key, const TMyRec& entry);
  void ClearErrorList() { ErrorList.Clear(); }
  void ClearKeyIndex() { KeyIndex.Clear(); }
};

// folder + delimiter (when missing) + "処理後" + delimiter.
std::filesystem::path OutputFolderOf(const std::filesystem::path& chosenFolder);
