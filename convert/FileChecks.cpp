#include "FileChecks.h"

#include <stdexcept>
#include <string>

#include "KeyCollator.h"
#include "RecordFormat.h"
#include "quenFile.h"
#include "quenShow.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

static_assert(record::kCheckedFields > field::kKey);

// Often enough for a moving bar, rarely enough to cost nothing.
constexpr std::size_t kLinesPerReport = 4096;

// Keys are collated, and the collator takes keys up to a limit: a longer
// one ends the run here, naming its file and line, before anything is
// written.
[[noreturn]] void ThrowKeyTooLong(const fs::path& path, std::size_t line, std::size_t bytes) {
  throw std::runtime_error("ファイル \"" + quenShow::ForDisplay(quenFile::PathBytes(path)) +
                           "\" の " + std::to_string(line + 1) +
                           " 行目: " + KeyTooLongError(bytes, KeyCollator::kMaxKeyBytes).what());
}

// Which files start with an LF that ends the previous file's lone CR: in the
// merged bytes the two are one break.
std::vector<bool> JoinedBreaks(const SourceBytes& sources, std::size_t count) {
  std::vector<bool> joined(count);
  const std::string_view bytes = sources.bytes.view();
  bool afterCr = false;
  for (std::size_t f = 0; f < count; ++f) {
    const SourceFile& file = sources.files[f];
    if (!file.read || file.size == 0) continue;
    joined[f] = afterCr && bytes[file.start] == '\n';
    afterCr = bytes[file.start + file.size - 1] == '\r';
  }
  return joined;
}

// One pass over files, adding lines to the run's lines and keys to index.
class FilePass {
 public:
  FilePass(SourceBytes& sources, char delimiter, KeyIndexList& index)
      : sources_(sources), delimiter_(delimiter), index_(index) {}

  // Checks file f into out; throws what ends the run there.
  void Check(std::size_t f, bool joined, CheckedFile& out);

  std::function<void(int)> progress;
  std::size_t linesToDo = 1;  // of every file this pass checks, for progress

 private:
  void Found(ErrorKind kind, std::string_view key, std::size_t line, uint64_t at,
             CheckedFile& out) {
    out.found.push_back(FoundError{kind, key, line, at});
  }

  SourceBytes& sources_;
  char delimiter_;
  KeyIndexList& index_;
  std::vector<std::string_view> fields_;
  std::size_t linesDone_ = 0;
};

void FilePass::Check(std::size_t f, bool joined, CheckedFile& out) {
  const SourceFile& file = sources_.files[f];
  const std::string_view bytes = sources_.bytes.view().substr(file.start, file.size);
  LineList& lines = sources_.lines;
  std::size_t next = 0;
  LineList::ForEachLine(bytes, [&](const char* begin, std::size_t length) {
    const std::size_t b = next++;
    const uint64_t at = file.start + static_cast<std::size_t>(begin - bytes.data());
    const std::size_t i = lines.size();
    // The LF that ends a lone CR before it: an empty line of this file, as
    // the error check counts, but no line of the merged bytes.
    if (b > 0 || !joined) lines.AddPart(at, length);
    if (progress && ++linesDone_ % kLinesPerReport == 0) {
      progress(static_cast<int>(linesDone_ * 100 / linesToDo));
    }
    const std::string_view line(begin, length);
    if (quenUtil::IsBlank(line)) return;
    quenUtil::SplitView(delimiter_, line, fields_, record::kCheckedFields);
    // Field 2 as KeyOf takes it: empty when the split found none.
    const std::string_view key = fields_.size() > field::kKey ? fields_[field::kKey] : "";
    if (key.size() > KeyCollator::kMaxKeyBytes) ThrowKeyTooLong(file.path, b, key.size());
    index_.Add(key, lines, i);
    if (fields_.size() < record::kCheckedFields) return;
    if (quenUtil::IsBlank(fields_[field::kTitle]) || quenUtil::IsBlank(fields_[field::kReading])) {
      Found(ekTitleBlank, key, b, at, out);
    }
    if (fields_[field::kNdc].size() > record::kMaxNdcBytes) Found(ekNdcLength, key, b, at, out);
  });
}

}  // namespace

std::vector<CheckedFile> CheckFiles(SourceBytes& sources, std::size_t count, char delimiter,
                                    const std::function<void(int percent)>& progress) {
  std::vector<CheckedFile> checked(count);
  const std::string_view bytes = sources.bytes.view();
  // Counted first, so that the lines and the index are allocated once,
  // exactly, and the index learns its shortcut before the first key.
  std::size_t total = 0;
  for (std::size_t f = 0; f < count; ++f) {
    const SourceFile& file = sources.files[f];
    if (!file.read) continue;
    checked[f].lines = LineList::CountLines(bytes.substr(file.start, file.size));
    total += checked[f].lines;
  }
  sources.lines.Reserve(total);
  sources.index.Reserve(total);
  const std::vector<bool> joined = JoinedBreaks(sources, count);
  FilePass pass(sources, delimiter, sources.index);
  pass.progress = progress;
  pass.linesToDo = std::max<std::size_t>(total, 1);
  if (progress) progress(0);
  for (std::size_t f = 0; f < count; ++f) {
    if (!sources.files[f].read) continue;
    try {
      pass.Check(f, joined[f], checked[f]);
    } catch (...) {
      checked[f].failure = std::current_exception();
      break;
    }
  }
  return checked;
}
