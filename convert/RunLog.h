// RunLog: the lines of the run log, as the log pane shows them and as they
// are saved to "処理結果.txt". A logged text holding CR LF becomes two lines.
// No line carries a control character but TAB: the others become visible
// escapes here, once, so the pane, the terminal and the file agree whatever
// a record or a name held.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "quenOutputFolder.h"
#include "quenShow.h"

class RunHost;

class RunLog {
 public:
  explicit RunLog(RunHost& host) : host_(host) {}

  void Clear();
  // CP932 bytes, u8"" program text, or a text with names (quenShow::LogName)
  // in it.
  void Append(const quenShow::LogText& text);
  const std::vector<std::string>& Lines() const { return lines_; }
  // Every line followed by CR LF, replacing the file name in folder whole.
  // Throws quenFile::FileError.
  void Save(const quenFile::OutputFolder& folder, std::string_view name) const;

 private:
  RunHost& host_;
  std::vector<std::string> lines_;
};
