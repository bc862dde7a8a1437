// Correction: the records the operator registers again after a run, with
// the 書名, ヨミ and NDC fields they edited in the findings window, written
// to 処理後/再登録用.txt. What would be written is held to the run's own
// rules first, so that the file imports as cleanly as 取込用.txt.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Findings.h"

class KeyCollator;

// One record to write: finding (an index into the run's findings) names the
// line the run read; each field that is set replaces that field, the rest
// of the line stays byte for byte.
struct Correction {
  std::size_t finding = 0;
  std::optional<std::string> title;    // UTF-8
  std::optional<std::string> reading;  // UTF-8
  std::optional<std::string> ndc;      // UTF-8
};

// What would be written breaks a rule. what() is Japanese UTF-8 naming the
// record (key, file and line) and, where there is one, the field.
class CorrectionRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The corrected lines, CP932 without line breaks, in the order given.
// Throws CorrectionRefused when a title or reading is blank, an NDC longer
// than record::kMaxNdcBytes, an edit holds a TAB, a line break or a
// character CP932 cannot hold, the line lacks an edited field, two records
// share a key or a key is among the records of importBytes (取込用.txt's
// bytes), keys compared by collator as the run compares them.
std::vector<std::string> CorrectedLines(const Findings& findings,
                                        const std::vector<Correction>& corrections,
                                        std::string_view importBytes, const KeyCollator& collator);

// Checks as CorrectedLines against outputFolder's 取込用.txt and writes the
// lines, each with CR LF, as one atomic replacement of 再登録用.txt there,
// under the folder's run lock; nothing else in the folder changes. Returns
// the number of records written. Safe beside a run on another thread.
// Throws CorrectionRefused, or
// quenFile::FileError when a file cannot be read or written, or
// std::runtime_error when a run holds the folder.
std::size_t SaveReRegistration(const std::filesystem::path& outputFolder, const Findings& findings,
                               const std::vector<Correction>& corrections);
