// What the fuzz targets share: a check that stops the fuzzer and the
// line-breaking rule of LineList written the plain way, as the reference to
// check against. Files live in the in-memory file system (MemoryFileSystem.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>


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

}  // namespace fuzz
