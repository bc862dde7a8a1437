// RunData: what a conversion run works on and leaves behind: the files to
// process, the error list and the run settings. The front end owns one
// RunData for the life of its window; each run clears what it uses. The
// run's lines and key index live only as long as the run (RunStages.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ErrorEntryList.h"
#include "Findings.h"
#include "RecordFormat.h"

struct RunData {
  // Full paths of the files to process: the folder's files, then the record
  // files among them, then the merged import file.
  std::vector<std::filesystem::path> TargetFiles;
  // Findings of the error check.
  ErrorEntryList ErrorList;
  // What the last run found, with where each record stands, for the
  // operator to act on.
  Findings RunFindings;

  char Delimiter = record::kDelimiter;
  int ContextRadius = record::kContextRadius;
  // The chosen folder, "処理後" and a trailing delimiter; set by each run.
  std::filesystem::path OutputFolder;

  // Appends key with a copy of entry's FileName, LineIndex and Kind.
  void AddErrorEntry(std::string_view key, const TMyRec& entry);
  void ClearErrorList() { ErrorList.Clear(); }

  // Where a record the error check flags stands: its file (by name, and by
  // number in RunFindings), its zero-based line and where that line starts
  // in the run's bytes.
  struct FoundAt {
    const std::string& fileName;
    std::size_t fileNumber;
    std::size_t lineIndex;
    uint64_t at;
  };
  // Records a finding of an error-list kind in ErrorList and in RunFindings
  // both, so that neither can miss one the other has.
  void RecordError(ErrorKind kind, std::string_view key, const FoundAt& where);
};

// folder + delimiter (when missing) + "処理後" + delimiter.
std::filesystem::path OutputFolderOf(const std::filesystem::path& chosenFolder);
