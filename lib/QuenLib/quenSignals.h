// quenSignals: how the program meets signals, so that a broken pipe or a
// file-size limit becomes an ordinary write error and an interrupted run
// leaves no temporary file behind.
#pragma once

namespace quenFile {

// Call once at start, before any file is written. Afterwards:
// - SIGPIPE and SIGXFSZ are ignored: writing to a closed pipe fails with
//   EPIPE, writing past the file-size limit with EFBIG (a FileError of kind
//   write), instead of killing the process;
// - SIGTERM, SIGINT, SIGHUP and SIGQUIT first remove the temporary file of
//   every AtomicWriter then open, then end the process by the same signal
//   (exit status 128 + its number). One of them ignored at start (nohup)
//   stays ignored.
void InstallSignalHandling();

// What such a signal says on standard error once the temporary files are
// gone, just before the process ends: the text notice returns (NUL-ended;
// nullptr for none). notice runs in the signal handler, so it may only read
// memory and call async-signal-safe functions. nullptr: say nothing.
using TerminationNotice = const char* (*)();
void SetTerminationNotice(TerminationNotice notice);

}  // namespace quenFile
