// RunHost: what the conversion run needs from the front end that runs it.
//
// The run owns its log and its data; the host only shows them. Message boxes
// go through MBox and its presenter. Every call comes from the thread that
// runs the conversion, in order; a host that shows things on another thread
// forwards them there.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

class RunHost {
 public:
  virtual ~RunHost() = default;

  // The folder the operator last confirmed; empty when none has been yet.
  virtual std::filesystem::path ConfirmedFolder() const = 0;

  // The folder was read (at a folder choice and at the start of each run):
  // show it and its files, in this order.
  virtual void FolderRead(const std::filesystem::path& /*folder*/,
                          const std::vector<std::filesystem::path>& /*files*/) {}

  // The run log was cleared, or got one more line: as saved (CP932) and as
  // shown (UTF-8, names in full). Neither holds a control character but TAB.
  virtual void LogCleared() {}
  virtual void LogAppended(std::string_view /*line*/, std::string_view /*shown*/) {}

  // Progress of the current stage; position runs from 0 to maximum.
  virtual void ProgressChanged(int /*position*/, int /*maximum*/) {}

  // The busy cursor is shown while the stages work.
  virtual void BusyChanged(bool /*busy*/) {}
};
