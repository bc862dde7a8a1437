// ConversionRun: one conversion of the chosen folder, from the file check to
// the saved log, and its stages. It works on the RunData its front end owns
// and reports through the RunHost; boxes go through MBox.
//
// Expected problems of a stage (a file that cannot be opened, a report that
// cannot be written) are log lines. Anything else is an exception that stops
// the run after its cleanup; the front end shows it with ShowException.
#pragma once

#include <cstddef>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "RunData.h"
#include "RunHost.h"
#include "RunLog.h"

class ConversionRun {
 public:
  ConversionRun(RunHost& host, RunData& data) : host_(host), data_(data), log_(host) {}

  // The whole run: Prepare, then Execute when Prepare allows it.
  void actConvStartExecute();

  // Re-reads the confirmed folder into TargetFiles and tells the host; with
  // no files it shows "指定したフォルダーにはファイルがありません".
  void RefreshSourceFolder();

  // The steps that may end the run early with a box: reads the folder,
  // clears the log and run lists, creates the output folder and deletes the
  // old import file. False when the run ends here.
  bool Prepare();
  // The stages, the summary, the saved log and the closing box.
  void Execute();

  bool IsTargetFile(const std::filesystem::path& path);
  bool IsImportRecord(std::string_view line) const;
  void CheckRecordErrors(const std::filesystem::path& path);
  bool MergeTargetFiles();
  void BuildKeyIndex();
  void CheckDuplicates();
  void WriteImportFile(const std::filesystem::path& path);
  void WriteNoTitleReport();

  const RunLog& Log() const { return log_; }

 private:
  void FileCheck();
  void LogRegistrationSummary();
  void SetProgress(int position, int maximum);
  // Field 2 of a line, or empty with fewer than 3 fields.
  std::string_view KeyOf(std::string_view line) const;
  std::filesystem::path OutputFile(std::string_view name) const;
  // The merged size of TargetFiles, for reserving the buffer at once.
  std::size_t ExpectedMergeSize() const;
  // MergeTargetFiles, with the import file written or only kept in memory
  // for the duplicate check.
  void MergeFiles(bool writeImportFile);

  RunHost& host_;
  RunData& data_;
  RunLog log_;
  std::filesystem::path chosenFolder_;
  int progressPosition_ = -1;
  int progressMaximum_ = -1;
  std::vector<std::string_view> fields_;  // reused by every split
  // After the duplicate check: the key-index entry of each line left in
  // WorkLines, so that filtering need not collate those keys again.
  std::vector<std::size_t> workLineEntries_;
  // WorkLines are exactly what was just saved as the import file.
  bool importInWorkLines_ = false;
  // The bytes the merge just wrote, so the duplicate check need not read
  // them back. The error check already gathers them here, file after file,
  // so the merge need not read the files a second time.
  std::string mergedBytes_;
  bool mergedInMemory_ = false;
  struct CheckedFile {
    std::filesystem::path path;
    std::size_t start = 0;  // in mergedBytes_
    std::size_t size = 0;   // without the line break added after it
    bool read = false;
  };
  std::vector<CheckedFile> checkedFiles_;
  // Reads a record file onto the end of mergedBytes_, adding a line break
  // where its last line lacks one, and notes it in checkedFiles_.
  const CheckedFile& AppendSourceFile(const std::filesystem::path& path);
};

// Shows an exception that reached the top as the application's error box:
// the stop icon, the application title as caption and a full stop appended
// when the message's last character sorts after ".".
void ShowException(const std::exception& e);
// The box text for a message (UTF-8 in, CP932 out).
std::string ExceptionBoxText(std::string_view utf8Message);

// CP932 of a native (UTF-8) text, for log lines and reports.
std::string Sjis(std::string_view utf8);
