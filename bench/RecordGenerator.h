// RecordGenerator: deterministic folders of realistic record files for the
// benchmark: ~300-byte CP932 lines of 30 fields with Japanese titles and
// katakana readings, ISBN-like keys, and a sprinkling of every finding the
// run looks for (repeated keys, blank titles or readings, over-long NDC
// numbers, blank lines, a file without a final line break).
#pragma once

#include <cstdint>
#include <filesystem>

struct GeneratorOptions {
  std::size_t records = 10000;
  std::size_t files = 10;
  uint64_t seed = 20261209;
};

// Writes the folder's files (replacing what is there) and returns the
// number of input bytes.
std::uintmax_t GenerateRecordFolder(const std::filesystem::path& folder,
                                    const GeneratorOptions& options);
