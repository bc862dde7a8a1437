// A whole conversion run on a folder of up to four files cut from the input
// (at each 0x1E byte). Every non-blank line of the record files ends up in
// exactly one place: the import file, the duplicates file, or among the
// blank-title records the run drops. The source files stay as they were,
// and the run leaves no descriptor open and no temporary file behind. The
// files live in memory, for many more runs a minute than a disk allows.
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "KeyCollator.h"
#include "ConversionRun.h"
#include "FuzzSupport.h"
#include "MBox.h"
#include "MemoryFileSystem.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFileBreak = '\x1e';
constexpr std::size_t kMaxFiles = 4;

class Host : public RunHost {
 public:
  explicit Host(fs::path folder) : folder_(std::move(folder)) {}
  fs::path ConfirmedFolder() const override { return folder_; }

 private:
  fs::path folder_;
};

// Counts error boxes: none should come up with a folder that can be written.
class SilentPresenter : public MessagePresenter {
 public:
  int Present(const MessageBoxRequest& box) override {
    if (box.flags & MBox::kIconError) ++errors;
    return MBox::kIdOk;
  }
  int errors = 0;
} presenter;

using Fields = std::vector<std::string>;

Fields SplitLine(std::string_view line) {
  Fields fields;
  quenUtil::Split('\t', line, &fields);
  return fields;
}

// The file check, read plainly: not binary (no byte below 8 or 0xFF among
// the first 512 bytes but the last two of them), and its first lines, up to
// four, all record lines.
bool IsRecordFile(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, 512);
  for (std::size_t i = 0; i + 2 < head.size(); ++i) {
    const auto b = static_cast<unsigned char>(head[i]);
    if (b < 8 || b == 0xFF) return false;
  }
  const std::vector<std::string_view> lines = fuzz::ReferenceLines(bytes);
  if (lines.empty()) return false;
  for (std::size_t i = 0; i < std::min<std::size_t>(lines.size(), 4); ++i) {
    const Fields fields = SplitLine(lines[i]);
    if (fields.size() < 25 || fields[0].size() != 8 || fields[1] != "1") return false;
  }
  return true;
}

struct CollatorLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return KeyCollator::Default().Compare(a, b) < 0;
  }
};

using Lines = std::multiset<std::string>;

fuzz::MemoryFileSystem memory;

Lines LinesOf(const fs::path& file) {
  const std::string* written = memory.File(file);
  FUZZ_CHECK(written != nullptr);
  const std::string& bytes = *written;
  // Every line written by the run ends in CR LF.
  FUZZ_CHECK(bytes.empty() || bytes.ends_with("\r\n"));
  Lines lines;
  for (std::string_view line : fuzz::ReferenceLines(bytes)) lines.emplace(line);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Key equality follows the locale: pin it, as the tests do.
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  quenFile::SetSystem(&memory);
  MBox::SetPresenter(&presenter);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<std::string> sources;
  std::string_view rest = fuzz::Bytes(data, size);
  while (sources.size() + 1 < kMaxFiles) {
    const std::size_t at = rest.find(kFileBreak);
    if (at == std::string_view::npos) break;
    sources.emplace_back(rest.substr(0, at));
    rest.remove_prefix(at + 1);
  }
  sources.emplace_back(rest);

  const fs::path folder = "/fuzz/run";
  memory.Clear();
  memory.MakeFolders(folder);
  std::vector<fs::path> paths;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    // Names in the order the run takes them.
    paths.push_back(folder / (std::to_string(i + 1) + ".txt"));
    memory.PutFile(paths.back(), sources[i]);
  }

  {
    Host host(folder);
    RunData runData;
    ConversionRun run(host, runData);
    presenter.errors = 0;
    FUZZ_CHECK(run.Run() == RunOutcome::kCompleted);
    FUZZ_CHECK(presenter.errors == 0);
  }
  FUZZ_CHECK(memory.OpenDescriptors() == 0);

  // What the run should make of the record files' lines.
  std::vector<std::string_view> recordLines;
  for (const std::string& source : sources) {
    if (!IsRecordFile(source)) continue;
    for (std::string_view line : fuzz::ReferenceLines(source)) {
      if (!quenUtil::IsBlank(line)) recordLines.push_back(line);
    }
  }
  std::map<std::string, int, CollatorLess> keyCount;
  for (std::string_view line : recordLines) {
    const Fields fields = SplitLine(line);
    ++keyCount[fields.size() > 2 ? fields[2] : std::string()];
  }
  Lines expectImport;
  Lines expectDuplicates;
  bool anyBlankTitle = false;
  for (std::string_view line : recordLines) {
    const Fields fields = SplitLine(line);
    const bool repeated = keyCount[fields.size() > 2 ? fields[2] : std::string()] > 1;
    const bool blankTitle =
        fields.size() >= 10 && (quenUtil::IsBlank(fields[3]) || quenUtil::IsBlank(fields[4]));
    anyBlankTitle = anyBlankTitle || blankTitle;
    if (repeated) {
      expectDuplicates.emplace(line);
    } else if (!blankTitle) {
      expectImport.emplace(line);
    }
  }

  const fs::path output = folder / "処理後";
  const fs::path duplicatesFile = output / "重複エラー.txt";
  FUZZ_CHECK(LinesOf(output / "取込用.txt") == expectImport);
  FUZZ_CHECK(memory.Exists(duplicatesFile) == !expectDuplicates.empty());
  if (!expectDuplicates.empty()) FUZZ_CHECK(LinesOf(duplicatesFile) == expectDuplicates);
  // The report of blank titles lists them all, repeated keys or not.
  FUZZ_CHECK(memory.Exists(output / "書名なし.txt") == anyBlankTitle);
  for (const std::string& name : memory.Names(output)) {
    FUZZ_CHECK(name.find(".tmp-") == std::string::npos);
  }

  for (std::size_t i = 0; i < sources.size(); ++i) {
    const std::string* source = memory.File(paths[i]);
    FUZZ_CHECK(source != nullptr && *source == sources[i]);
  }
  // Nothing but the output folder added.
  FUZZ_CHECK(memory.Names(folder).size() == sources.size() + 1);
  return 0;
}
