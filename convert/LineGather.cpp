#include "LineGather.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ThreadStart.h"

namespace {

// As the writer's chunks, so a gathered block fits the buffer the writer
// hands back. Blocks end where a line ends, so their sizes and places are
// seldom whole mebibytes, which the page cache takes slowly.
constexpr std::size_t kBlockBytes = 1 << 20;
// Blocks the helper may have gathered ahead of the writer.
constexpr std::size_t kSlots = 3;
// How far ahead a gatherer asks for a line's bytes.
constexpr std::size_t kAhead = 8;

ThreadStartPoint threads;

// Lines [begin, end) with CR LF after each: bytes in all. A line too long
// for a block is a block of its own, written from where it lies.
struct Block {
  std::size_t begin;
  std::size_t end;
  std::size_t bytes;
  bool direct;
  bool helpers;  // gathered by the helper, when it runs
};

std::vector<Block> CutBlocks(const LineList& lines) {
  std::vector<Block> blocks;
  std::size_t gathered = 0;
  auto add = [&](std::size_t begin, std::size_t end, std::size_t bytes, bool direct) {
    blocks.push_back({begin, end, bytes, direct, !direct && gathered++ % 2 == 1});
  };
  std::size_t begin = 0;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t size = lines[i].size() + 2;
    if (bytes + size <= kBlockBytes) {
      bytes += size;
      continue;
    }
    if (i > begin) add(begin, i, bytes, false);
    begin = i;
    bytes = size;
    if (size > kBlockBytes) {
      add(i, i + 1, size, true);
      begin = i + 1;
      bytes = 0;
    }
  }
  if (lines.size() > begin) add(begin, lines.size(), bytes, false);
  return blocks;
}

void Gather(const LineList& lines, const Block& block, std::string& into) {
  into.clear();
  into.reserve(block.bytes);
  for (std::size_t i = block.begin; i < block.end && i < block.begin + kAhead; ++i) {
    __builtin_prefetch(lines[i].data());
  }
  for (std::size_t i = block.begin; i < block.end; ++i) {
    // The fetch of a line a few ahead overlaps the copying of this one.
    if (i + kAhead < block.end) __builtin_prefetch(lines[i + kAhead].data());
    into.append(lines[i]);
    into.append("\r\n", 2);
  }
}

// The helper's side: its blocks, in file order, in a ring of slots the
// caller takes them from. Dropped, it stops the thread and joins it.
class Helper {
 public:
  Helper(const LineList& lines, const std::vector<Block>& blocks)
      : lines_(lines), blocks_(blocks) {}
  ~Helper() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    room_.notify_one();
    thread_.join();
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  // False when no thread could be had.
  bool Start() {
    if (std::thread::hardware_concurrency() < 2) return false;
    thread_ = threads.TryStart([this] { GatherAll(); });
    return thread_.joinable();
  }
  // The helper's next block, once gathered; rethrows what stopped it.
  std::string& Next() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return error_ || gathered_ > taken_; });
    if (gathered_ == taken_) std::rethrow_exception(error_);
    return slots_[taken_ % kSlots];
  }
  // The block Next gave is written: its slot is free again.
  void Taken() {
    {
      std::lock_guard lock(mutex_);
      ++taken_;
    }
    room_.notify_one();
  }

 private:
  void GatherAll() {
    try {
      for (const Block& block : blocks_) {
        if (!block.helpers) continue;
        std::string* slot = nullptr;
        {
          std::unique_lock lock(mutex_);
          room_.wait(lock, [this] { return stop_ || gathered_ - taken_ < kSlots; });
          if (stop_) return;
          slot = &slots_[gathered_ % kSlots];
        }
        Gather(lines_, block, *slot);
        {
          std::lock_guard lock(mutex_);
          ++gathered_;
        }
        ready_.notify_one();
      }
    } catch (...) {
      std::lock_guard lock(mutex_);
      error_ = std::current_exception();
      ready_.notify_one();
    }
  }

  const LineList& lines_;
  const std::vector<Block>& blocks_;
  std::string slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable ready_;  // a block gathered, or a failure
  std::condition_variable room_;   // a slot free, or the end
  std::size_t gathered_ = 0;
  std::size_t taken_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
  std::jthread thread_;  // last: started once all the rest is there
};

}  // namespace

void SetLineGatherThreadStarter(LineGatherThreadStarter starter) {
  threads.Set(starter);
}

void WriteLinesGathered(const LineList& lines, quenFile::ThreadedWriter& out) {
  const std::vector<Block> blocks = CutBlocks(lines);
  Helper helper(lines, blocks);
  const bool helped = helper.Start();
  std::string own;
  for (const Block& block : blocks) {
    if (block.direct) {
      out.Write(lines[block.begin]);
      out.Write("\r\n");
    } else if (helped && block.helpers) {
      out.WriteChunk(helper.Next());
      helper.Taken();
    } else {
      Gather(lines, block, own);
      out.WriteChunk(own);
    }
  }
}
