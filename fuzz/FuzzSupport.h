// What the fuzz targets share beyond the test support: a check that stops
// the fuzzer, a scratch folder per process, a file system without fsync and
// the line-breaking rule of LineList written the plain way, as the reference
// to check against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "FileBytes.h"
#include "TempDir.h"
#include "quenFileSystem.h"

// A failed check is a finding: abort so that libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzz {

inline std::string_view Bytes(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A line ends at its first CR or LF; then one CR, then one LF, is skipped. A
// break at the very end adds no empty line.
inline std::vector<std::string_view> ReferenceLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t end = i;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    lines.push_back(bytes.substr(i, end - i));
    i = end;
    if (i < bytes.size() && bytes[i] == '\r') ++i;
    if (i < bytes.size() && bytes[i] == '\n') ++i;
  }
  return lines;
}

// A folder of this process's own, in memory when /dev/shm is there; removed
// when the target exits normally (after a crash it stays, to look into).
inline const std::filesystem::path& ScratchFolder() {
  static const testing_support::TempDir folder("textcnv-fuzz-", testing_support::MemoryTempBase());
  return folder.path();
}

// Every atomic write ends in fsync, which would take most of each execution;
// durability is not what the targets check.
inline void SkipFileSync() {
  struct NoSync : quenFile::FileSystem {
    int Sync(int) override { return 0; }
  };
  static NoSync system;
  quenFile::SetSystem(&system);
}

// A file that cannot be read or written throws, which ends the target like
// a failed check.
inline std::string ReadFile(const std::filesystem::path& path) {
  return testing_support::ReadBytes(path);
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  testing_support::WriteBytes(path, bytes);
}

}  // namespace fuzz
