// quenFileRegionOs: the memory calls a FileRegion stands on, per platform
// (quenFileRegionPosix.cpp, quenFileRegionWin32.cpp). Memory, not files:
// they do not go through the file-system seam.
#pragma once

#include <cstddef>

#include "quenOs.h"

namespace quenFile::region {

std::size_t PageSize();
// An address range of bytes (a multiple of PageSize) that costs nothing
// until written; nullptr when none can be had.
char* Reserve(std::size_t bytes);
void Release(char* at, std::size_t bytes);
// Makes whole pages of the range writable (and readable); false on failure.
bool MakeWritable(char* at, std::size_t bytes);
// Puts fresh, writable zero pages where a file was mapped.
bool Renew(char* at, std::size_t bytes);
// Reads in the mapped pages of the range at once, on the calling thread
// (at starts a page). A hint: a page it leaves out faults in when read.
void ReadIn(const char* at, std::size_t bytes);

// Whether two looks at a file saw the same file with the same bytes: its
// device, inode, size, modification and status-change times.
bool SameFile(const struct stat& a, const struct stat& b);

// While guarded, a SIGBUS on a page of the range puts a zero page there
// instead of ending the process, and the range remembers where. The slot,
// or -1 when none is free (the range is then not guarded).
int Guard(char* at, std::size_t bytes);
void Unguard(int slot);
// The first place of the range a SIGBUS hit, or nullptr.
const char* FaultAt(int slot);

}  // namespace quenFile::region
