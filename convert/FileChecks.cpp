#include "FileChecks.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <utility>

#include "KeyCollator.h"
#include "RecordFormat.h"
#include "ThreadStart.h"
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

// Where the second share's helper is started from; tests refuse it.
ThreadStartPoint threads;

// The files one thread checks, [begin, end). The first share's lines and
// keys go straight into the run's; the second's into its own, appended
// after, so that they follow in file order.
struct Share {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t lines = 0;   // as counted
  std::size_t added = 0;   // the lines it adds: those counted but joined LFs
  std::vector<std::pair<uint64_t, uint64_t>> parts;  // offset and length of each line
};

// Where the second share starts: where the files' bytes halve most evenly.
std::size_t SplitPoint(const SourceBytes& sources, std::size_t count) {
  std::size_t total = 0;
  for (std::size_t f = 0; f < count; ++f) total += sources.files[f].size;
  std::size_t best = count;
  std::size_t bestGap = SIZE_MAX;
  std::size_t before = sources.files.empty() ? 0 : sources.files[0].size;
  for (std::size_t f = 1; f < count; before += sources.files[f++].size) {
    const std::size_t gap = before * 2 > total ? before * 2 - total : total - before * 2;
    if (gap < bestGap) {
      best = f;
      bestGap = gap;
    }
  }
  return best;
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
  // Lines go to parts when given, numbered from firstLine, else straight
  // to sources.lines.
  FilePass(SourceBytes& sources, char delimiter, KeyIndexList::Placer& index,
           std::vector<std::pair<uint64_t, uint64_t>>* parts, std::size_t firstLine)
      : sources_(sources),
        delimiter_(delimiter),
        index_(index),
        parts_(parts),
        firstLine_(firstLine) {}

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
  KeyIndexList::Placer& index_;
  std::vector<std::pair<uint64_t, uint64_t>>* parts_;
  std::size_t firstLine_;
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
    const std::size_t i = parts_ ? firstLine_ + parts_->size() : lines.size();
    // The LF that ends a lone CR before it: an empty line of this file, as
    // the error check counts, but no line of the merged bytes.
    if (b > 0 || !joined) {
      if (parts_) {
        parts_->emplace_back(at, length);
      } else {
        lines.AddPart(at, length);
      }
    }
    if (progress && ++linesDone_ % kLinesPerReport == 0) {
      progress(static_cast<int>(linesDone_ * 100 / linesToDo));
    }
    const std::string_view line(begin, length);
    if (quenUtil::IsBlank(line)) return;
    quenUtil::SplitView(delimiter_, line, fields_, record::kCheckedFields);
    // Field 2 as KeyOf takes it: empty when the split found none.
    const std::string_view key = fields_.size() > field::kKey ? fields_[field::kKey] : "";
    if (key.size() > KeyCollator::kMaxKeyBytes) ThrowKeyTooLong(file.path, b, key.size());
    index_.Add(key, i);
    if (fields_.size() < record::kCheckedFields) return;
    if (quenUtil::IsBlank(fields_[field::kTitle]) || quenUtil::IsBlank(fields_[field::kReading])) {
      Found(ekTitleBlank, key, b, at, out);
    }
    if (fields_[field::kNdc].size() > record::kMaxNdcBytes) Found(ekNdcLength, key, b, at, out);
  });
}

// Reserves the run's lines and index for what the shares add, and places
// in the index for each share: both add at once, each into places of its
// own, so there is no second index and no second copy of the entries.
std::vector<KeyIndexList::Placer> MakeRoom(SourceBytes& sources, Share (&shares)[2],
                                           const std::vector<bool>& joined) {
  for (Share& share : shares) {
    share.added = share.lines;
    for (std::size_t f = share.begin; f < share.end; ++f) share.added -= joined[f] ? 1 : 0;
  }
  const std::size_t total = shares[0].added + shares[1].added;
  sources.lines.Reserve(total);
  shares[1].parts.reserve(shares[1].added);
  sources.index.Reserve(total);
  std::vector<KeyIndexList::Placer> placers;
  for (const Share& share : shares) placers.push_back(sources.index.Place(share.added, sources.lines));
  return placers;
}

// Counts the lines of the share's files, reading a mapped file's pages in
// first.
void CountShare(SourceBytes& sources, Share& share, std::vector<CheckedFile>& checked) {
  const std::string_view bytes = sources.bytes.view();
  for (std::size_t f = share.begin; f < share.end; ++f) {
    const SourceFile& file = sources.files[f];
    if (!file.read) continue;
    sources.bytes.ReadIn(file.start);
    checked[f].lines = LineList::CountLines(bytes.substr(file.start, file.size));
    share.lines += checked[f].lines;
  }
}

}  // namespace

void SetFileCheckThreadStarter(KeyIndexList::ThreadStarter starter) { threads.Set(starter); }

std::vector<CheckedFile> CheckFiles(SourceBytes& sources, std::size_t count, char delimiter,
                                    const std::function<void(int percent)>& progress) {
  std::vector<CheckedFile> checked(count);
  const std::size_t split = SplitPoint(sources, count);
  Share shares[2];
  shares[0].end = shares[1].begin = split;
  shares[1].end = count;
  const auto both = [&](auto&& work) {
    if (split == count) return work(shares[0]);
    BothAtOnce(threads, [&] { work(shares[0]); }, [&] { work(shares[1]); });
  };
  // Counted first, so that the lines and the index are allocated once,
  // exactly, and the index learns its shortcut before the first key. A
  // mapped file's pages are read in by the thread that counts it: on both
  // threads at once, and before the pass.
  both([&](Share& share) { CountShare(sources, share, checked); });
  const std::vector<bool> joined = JoinedBreaks(sources, count);
  const std::size_t firstLine = sources.lines.size();
  std::vector<KeyIndexList::Placer> placers = MakeRoom(sources, shares, joined);
  // A failure in the first share ends the check before any file of the second.
  std::atomic<bool> firstFailed{false};
  bool failed = false;
  both([&](Share& share) {
    const bool first = &share == &shares[0];
    FilePass pass(sources, delimiter, placers[first ? 0 : 1], first ? nullptr : &share.parts,
                  firstLine + shares[0].added);
    if (first) {
      pass.progress = progress;
      pass.linesToDo = std::max<std::size_t>(share.lines, 1);
      if (progress) progress(0);
    }
    for (std::size_t f = share.begin; f < share.end; ++f) {
      if (!sources.files[f].read) continue;
      if (!first && firstFailed.load(std::memory_order_relaxed)) break;
      try {
        pass.Check(f, joined[f], checked[f]);
      } catch (...) {
        checked[f].failure = std::current_exception();
        if (first) firstFailed = true;
        break;
      }
    }
  });
  sources.index.Settle(placers);
  for (const CheckedFile& c : checked) failed = failed || c.failure != nullptr;
  if (failed) return checked;  // the run ends at the failure: nothing to join
  if (sources.lines.size() != firstLine + shares[0].added) {
    throw std::logic_error("CheckFiles: the first share added other lines than it counted");
  }
  for (const auto& [offset, length] : shares[1].parts) sources.lines.AddPart(offset, length);
  shares[1].parts = {};
  return checked;
}
