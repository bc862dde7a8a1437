#include "LineList.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "quenFile.h"

static_assert(std::random_access_iterator<LineList::const_iterator>);

namespace {

// What Append fills at a time: a line longer than this gets a block of its
// own, so the room left in the current block is not thrown away.
constexpr std::size_t kAppendBlock = LineArena::kChunkBytes;

// The first chunk of the offset range holds no block: empty lines that have
// no bytes of their own point here, at offset 0.
constexpr char kNothing[1] = {};

}  // namespace

LineArena::LineArena() : chunks_{kNothing} {}

uint64_t LineArena::MapBlock(const char* data, std::size_t size) {
  // The table covers every chunk before this block, so the block starts on
  // the next boundary.
  const uint64_t start = static_cast<uint64_t>(chunks_.size()) << kChunkBits;
  const std::size_t chunks = std::max<std::size_t>(1, (size + kChunkBytes - 1) / kChunkBytes);
  for (std::size_t k = 0; k < chunks; ++k) chunks_.push_back(data + k * kChunkBytes);
  return start;
}

uint64_t LineArena::Append(std::string_view bytes) {
  const std::size_t n = bytes.size();
  if (n == 0) return 0;
  if (n > kAppendBlock) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(n));
    held_ += n;
    std::memcpy(blocks_.back().get(), bytes.data(), n);
    return MapBlock(blocks_.back().get(), n);
  }
  if (tailLeft_ < n) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kAppendBlock));
    held_ += kAppendBlock;
    tail_ = blocks_.back().get();
    tailLeft_ = kAppendBlock;
    tailOffset_ = MapBlock(tail_, kAppendBlock);
  }
  std::memcpy(tail_, bytes.data(), n);
  const uint64_t at = tailOffset_;
  tail_ += n;
  tailLeft_ -= n;
  tailOffset_ += n;
  return at;
}

uint64_t LineArena::Adopt(std::string bytes) {
  adopted_.push_back(std::make_unique<const std::string>(std::move(bytes)));
  const std::string& kept = *adopted_.back();
  held_ += kept.size();
  return MapBlock(kept.data(), kept.size());
}

uint64_t LineArena::Adopt(quenFile::ByteBuffer bytes) {
  adoptedBuffers_.push_back(std::move(bytes));
  const quenFile::ByteBuffer& kept = adoptedBuffers_.back();
  held_ += kept.size();
  return MapBlock(kept.data(), kept.size());
}

uint64_t LineArena::Adopt(quenFile::FileRegion region) {
  adoptedRegions_.push_back(std::move(region));
  const std::string_view kept = adoptedRegions_.back().view();
  held_ += kept.size();
  return MapBlock(kept.data(), kept.size());
}

uint64_t LineArena::AddLongLine(uint64_t offset, uint64_t length) {
  longLines_.emplace_back(offset, length);
  return longLines_.size() - 1;
}

LineList::LineList(uint64_t offsetEnd, uint64_t lengthEnd)
    : offsetEnd_(std::min(offsetEnd, kOffsetEnd)), lengthEnd_(std::min(lengthEnd, kLongMark)) {}

LineArena& LineList::Arena() {
  if (!arena_) arena_ = std::make_shared<LineArena>();
  return *arena_;
}

uint64_t LineList::Pack(uint64_t offset, uint64_t length) {
  if (offset < offsetEnd_ && length < lengthEnd_) [[likely]] {
    return offset << kLengthBits | length;
  }
  const uint64_t slot = arena_->AddLongLine(offset, length);
  // Never reached in practice, but a wrapped slot would name another line.
  if (slot >= kOffsetEnd) throw std::length_error("LineList: too many long lines");
  return slot << kLengthBits | kLongMark;
}

void LineList::Clear() {
  entries_ = std::vector<uint64_t>();
  arena_.reset();
}

void LineList::Add(std::string_view line) {
  const uint64_t offset = Arena().Append(line);
  entries_.push_back(Pack(offset, line.size()));
}

void LineList::AddFrom(const LineList& from, std::size_t i) {
  const uint64_t entry = from.entries_[i];
  if (entries_.empty()) arena_ = from.arena_;
  if (arena_ == from.arena_) {
    entries_.push_back(entry);
  } else {
    Add(from[i]);
  }
}

void LineList::AddPlaces(std::size_t count, const LineList& from) {
  if (entries_.empty()) arena_ = from.arena_;
  if (arena_ != from.arena_) throw std::logic_error("LineList: places for lines of another list");
  entries_.resize(entries_.size() + count);
}

void LineList::LoadFromBytes(std::string bytes) {
  Clear();
  if (bytes.empty()) return;
  // Counting first costs a quick pass and allocates the entries once,
  // exactly: growing them would need half again as much, twice over while
  // moving.
  entries_.reserve(CountLines(bytes));
  const std::size_t size = bytes.size();
  AddLinesOf(Arena().Adopt(std::move(bytes)), size);
}

void LineList::LoadFromBytes(quenFile::ByteBuffer bytes) {
  Clear();
  if (bytes.empty()) return;
  entries_.reserve(CountLines(bytes.view()));
  const std::size_t size = bytes.size();
  AddLinesOf(Arena().Adopt(std::move(bytes)), size);
}

void LineList::KeepBytes(quenFile::FileRegion bytes) {
  // AddPart named offsets from the block this adoption maps next.
  Arena().Adopt(std::move(bytes));
}

void LineList::AddLinesOf(uint64_t base, std::size_t size) {
  const char* const data = arena_->At(base);
  ForEachLine({data, size}, [&](const char* begin, std::size_t length) {
    entries_.push_back(Pack(base + static_cast<uint64_t>(begin - data), length));
  });
}

void LineList::LoadFromFile(const std::filesystem::path& path) {
  LoadFromBytes(quenFile::ReadAll(path));
}

void LineList::WriteTo(quenFile::AtomicWriter& out) const {
  // The writer gathers lines into large writes: the kernel copies one long
  // buffer far faster than a thousand short pieces.
  for (const std::string_view line : *this) {
    out.Write(line);
    out.Write("\r\n");
  }
}

void LineList::SaveToFile(const std::filesystem::path& path) const {
  quenFile::AtomicWriter out(path);
  WriteTo(out);
  out.Commit();
}

std::size_t LineList::CountLines(std::string_view bytes) {
  // Every LF ends a line, and so does every CR but the one of a CR LF. The
  // last byte ends a line whatever it is: as a break, or as the end of text
  // without one.
  if (bytes.empty()) return 0;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  auto ends = [b](std::size_t i) -> unsigned char {
    return (b[i] == '\n') | ((b[i] == '\r') & (b[i + 1] != '\n'));
  };
  const std::size_t last = bytes.size() - 1;
  std::size_t n = 1;
  std::size_t i = 0;
  // Blocks of a fixed size, counted in one byte, are what the compiler turns
  // into vector code even at -O2: ten times the speed of the plain loop.
  constexpr std::size_t kBlock = 128;
  for (; i + kBlock <= last; i += kBlock) {
    unsigned char count = 0;
    for (std::size_t k = i; k < i + kBlock; ++k) count += ends(k);
    n += count;
  }
  for (; i < last; ++i) n += ends(i);
  return n;
}
