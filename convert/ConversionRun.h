// ConversionRun: one conversion of the chosen folder, from the file check to
// the saved log, and its stages. It works on the RunData its front end owns
// and reports through the RunHost; boxes go through MBox.
//
// The road of one run (Execute): file check, error check, merge, duplicate
// check, filtering and save, no-title report, summary and log. Each stage
// takes what it needs and returns what it made (RunStages.h).
//
// Expected problems of a stage (a file that cannot be opened) are log lines.
// Anything else is an exception that stops the run after its cleanup; the
// front end shows it with ShowException (MBox.h).
#pragma once

#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RunData.h"
#include "RunHost.h"
#include "RunLog.h"
#include "RunStages.h"

struct CheckedFile;
#include "quenBackground.h"
#include "quenOutputFolder.h"

// How a run ended. The boxes stay what the operator sees; this is what
// programs driving the run decide by.
enum class RunOutcome {
  kCompleted,  // every stage ran and "終了しました" was shown
  // Completed as well, but a record file could no longer be read when its
  // records were taken: its records are in no output, and the closing box
  // names it.
  kCompletedWithUnreadFiles,
  kEndedEarly,  // a box ended the run before its stages
  kFailed,      // an exception ended it; its box has been shown
};

class ConversionRun {
 public:
  ConversionRun(RunHost& host, RunData& data) : host_(host), data_(data), log_(host) {}

  // The whole run: Prepare, then Execute when Prepare allows it. An
  // exception that ends the run propagates (the front end shows it).
  RunOutcome Run();

  // Re-reads the confirmed folder into TargetFiles and tells the host; with
  // no files it shows "指定したフォルダーにはファイルがありません".
  void ReadFolder();

  // The steps that may end the run early with a box: reads the folder,
  // clears the log and the error list, creates and locks the output folder
  // and deletes the old import file. False when the run ends here.
  bool Prepare();
  // The stages, the summary, the saved log and the closing box (with the
  // counts of the import file and of each kind of finding). Releases
  // the output folder's lock however it ends. kCompleted or
  // kCompletedWithUnreadFiles; a failure propagates.
  RunOutcome Execute();

  // The file check. A file that cannot be opened or read throws FileError:
  // only its bytes make a file no record file.
  bool IsTargetFile(const std::filesystem::path& path);
  bool IsImportRecord(std::string_view line) const;

  // The error check of each file, in order, reading each file once.
  SourceBytes CheckErrors(const std::vector<std::filesystem::path>& files);

  // Logs each file's line count, as the error check counted it, and the
  // total; returns the merged bytes.
  SourceBytes MergeTargetFiles(SourceBytes sources);

  const RunLog& Log() const { return log_; }

 private:
  // The record files among files, in their order; logs the file list.
  std::vector<std::filesystem::path> FileCheck(const std::vector<std::filesystem::path>& files);

  // Tells the run what the error check found in one file: its log lines
  // and findings, in line order; rethrows what ended the check there.
  void CheckRecordErrors(SourceFile& file, const CheckedFile& checked);

  // Moves every record whose key occurs more than once into "重複エラー.txt"
  // (or removes that file when there are none) and keeps the others. The
  // findings still name their lines in the returned merged bytes: the
  // caller has them keep their lines (Findings::Keep) before it lets the
  // bytes go. Failing, it keeps or drops them itself.
  UniqueRecords CheckDuplicates(SourceBytes merged);
  // Sorts the key index the error check built: every non-blank line under
  // its key.
  void SortKeyIndex(KeyIndexList& index);
  // For each key of the error list that the index holds, sorted: the index
  // entry where its group starts and the key's first error list entry.
  std::vector<std::pair<std::size_t, long>> ErrorsInIndex(const KeyIndexList& index) const;

  // Saves the kept records as the import file, without blank-title records
  // and with over-long NDC records first; returns how many it holds.
  std::size_t WriteImportFile(const UniqueRecords& kept);
  // The report's texts that need converting to CP932: the line marks and
  // each file's name as the log shows it.
  struct ReportTexts {
    std::string lineMark;    // "行目:" after a context line's number
    std::string recordMark;  // "行目" after a record's line number
    std::map<std::string, std::string> names;
  };
  // Made on the calling thread, whose converters they use: a helper thread
  // that formats the report then needs none of its own.
  ReportTexts NoTitleReportTexts() const;
  // The lines of "書名なし.txt": each record of a kind the report shows,
  // with the lines around it in its file. Only reads the error list and the
  // merged lines and converts no text, so it may run beside another stage.
  LineList FormatNoTitleReport(const MergedLines& merged, const ReportTexts& texts) const;
  // Writes report as "書名なし.txt", saying which records' files are gone or
  // no longer open. Throws the save's FileError after logging it, so that
  // the run can still log its summary before it fails.
  void WriteNoTitleReport(const LineList& report);

  void LogRegistrationSummary(bool reportFailed);
  // What the outputs after the merge came to.
  struct Written {
    std::size_t imported = 0;
    std::vector<std::filesystem::path> unread;  // record files whose records are in no output
    std::exception_ptr reportFailure;           // the report's save failed so
  };
  // The duplicate check, the import file and the no-title report. step
  // names the stage under way; freeing is left letting the run's bytes go.
  Written WriteOutputs(SourceBytes merged, std::string& step,
                       std::optional<quenThread::Background>& freeing);
  // Removes what Prepare left of the old import file, and makes it so.
  void RemoveOldImport();
  void SetProgress(int position, int maximum);
  std::filesystem::path OutputFile(std::string_view name) const;
  // The output folder's checks that may end the run early; false then.
  bool OpenOutputFolder();
  // Saves lines, each followed by CR LF, as the output name.
  void SaveLines(const LineList& lines, std::string_view name);
  // Walks the index by key: every copy of a repeated key becomes a finding,
  // with its file and line; the other lines go to kept with their errors.
  // Returns the number of copies of repeated keys.
  std::size_t SortOutByKey(const KeyIndexList& index, const KeyIndexList::Groups& groups,
                           UniqueRecords& kept);

  RunHost& host_;
  RunData& data_;
  RunLog log_;
  std::filesystem::path chosenFolder_;
  // Every output goes into this folder, held open and locked from Prepare
  // to the end of Execute.
  std::optional<quenFile::OutputFolder> output_;
  // The hidden name Prepare left the old import file's contents under.
  std::string oldImport_;
  bool oldImportRemoved_ = false;  // Execute makes that removal durable first
  int progressPosition_ = -1;
  int progressMaximum_ = -1;
};

// The whole run as a front end without its own thread drives it: an
// exception that ends it is shown as the error box.
RunOutcome RunConversion(ConversionRun& run);
