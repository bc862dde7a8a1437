// LineGather: a long list's lines written on two threads. Lines in key order
// lie scattered over the merged bytes, so copying them together costs more
// than writing them; a helper thread gathers every other block of lines
// while the caller gathers the rest and hands all of them to the writer in
// file order.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>

#include "LineList.h"
#include "quenThreadedWriter.h"

// From this many lines on, the helper pays for its start.
constexpr std::size_t kLinesGatheredOnTwoThreads = 65536;

// Writes every line followed by CR LF, the bytes a Write per line and per
// CR LF gives. A helper that cannot start leaves every block to the caller.
// A FileError from out is thrown here, after the helper has stopped.
void WriteLinesGathered(const LineList& lines, quenFile::ThreadedWriter& out);

// How the helper is started; for tests, one that throws as std::jthread does
// (std::system_error). Null restores std::jthread's.
using LineGatherThreadStarter = std::jthread (*)(std::function<void()> work);
void SetLineGatherThreadStarter(LineGatherThreadStarter starter);
