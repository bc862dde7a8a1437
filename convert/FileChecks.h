// FileChecks: the error check's one pass over each record file. While a
// line is in the cache the pass checks its fields, adds the line to the
// run's lines and its key to the key index, so that the duplicate check
// neither cuts the bytes nor walks the lines again. What the run must be
// told (findings, log lines) is kept per file, for the run's thread to tell
// in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string_view>
#include <vector>

#include "Findings.h"
#include "RunStages.h"

// A finding of the error check, as the run records it later.
struct FoundError {
  ErrorKind kind;
  std::string_view key;  // into the run's bytes
  std::size_t line;      // zero-based, in its file
  uint64_t at;           // where the line starts in the run's bytes
};

// What the pass found in one record file.
struct CheckedFile {
  std::size_t lines = 0;          // as LineList::CountLines counts its bytes
  std::vector<FoundError> found;  // in line order
  // What ended the pass in this file, after the findings in found: a key
  // too long (a message naming the file and line) or anything thrown.
  std::exception_ptr failure;
};

// The files are shared out by their bytes over two threads: the first files
// are checked on this thread, the rest on a helper, each into results of its
// own, and the helper's results are appended after. A helper that cannot be
// started leaves its files to this thread. The results are the same either way.
// Checks the first `count` files of sources (those not read are left
// alone), appending their lines to sources.lines (LineList::AddPart: the
// bytes stay in sources.bytes) and every line's key but blank ones to
// sources.index, unsorted. The lines come out as one cut of all the bytes
// would give them: a file's leading LF after a file that ended in a lone CR
// finished that CR's break and adds no line. progress hears, on this thread,
// how far the pass has got (0 to 100). Returns what each file holds, in order;
// after a failure the files after it are not checked.
// How the helper thread is started: a test can put in one that fails as
// std::thread fails (std::system_error). Null restores std::jthread's.
void SetFileCheckThreadStarter(KeyIndexList::ThreadStarter starter);

std::vector<CheckedFile> CheckFiles(SourceBytes& sources, std::size_t count, char delimiter,
                                    const std::function<void(int percent)>& progress);
