// A FileRegion's memory on Windows: reserved addresses, committed as files
// are read into them. Nothing is mapped there, so nothing needs a guard.
#include <windows.h>

#include "quenFileRegionOs.h"

namespace quenFile::region {

std::size_t PageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

char* Reserve(std::size_t bytes) {
  return static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS));
}

void Release(char* at, std::size_t) { VirtualFree(at, 0, MEM_RELEASE); }

bool MakeWritable(char* at, std::size_t bytes) {
  return VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool Renew(char* at, std::size_t bytes) {
  return VirtualFree(at, bytes, MEM_DECOMMIT) != 0 && MakeWritable(at, bytes);
}

// Every file is read: its pages are in already.
void ReadIn(const char*, std::size_t) {}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtime == b.st_mtime;
}

int Guard(char*, std::size_t) { return -1; }
void Unguard(int) {}
const char* FaultAt(int) { return nullptr; }

}  // namespace quenFile::region
