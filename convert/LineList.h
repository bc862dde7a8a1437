// LineList: an ordered list of lines, each the raw CP932 bytes of one line of
// a text file. Lines are views into shared, never-modified storage, so a list
// can hand lines to another list without copying the bytes.
//
// Loading: a line ends at CR LF, a lone LF or a lone CR (after the text one CR
// is skipped if present, then one LF if present, so CR CR LF and LF CR leave
// an empty line). A final line without a break is kept; a break at the very
// end adds no empty line. NUL is an ordinary byte.
// Saving: every line followed by CR LF, written atomically.
//
// Memory: a line costs one 8-byte entry besides its bytes, because files of
// short or empty lines run to hundreds of millions of lines. The bytes live
// in a LineArena that lists share; lists sharing one must be used from one
// thread at a time.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenFile.h"
#include "quenFileRegion.h"

// Append-only storage for lines: fixed blocks, never moved nor changed once
// written, addressed by one offset that runs over all of them. Every block
// starts on a chunk boundary of that offset, so a table of chunk addresses
// turns an offset into a pointer with one look-up.
class LineArena {
 public:
  static constexpr int kChunkBits = 16;
  static constexpr uint64_t kChunkBytes = uint64_t{1} << kChunkBits;

  LineArena();
  LineArena(const LineArena&) = delete;
  LineArena& operator=(const LineArena&) = delete;

  const char* At(uint64_t offset) const {
    return chunks_[offset >> kChunkBits] + (offset & (kChunkBytes - 1));
  }
  // Copies bytes in and returns their offset. Empty bytes are at offset 0.
  uint64_t Append(std::string_view bytes);
  // Keeps bytes whole as one block, without copying them; returns the
  // offset of their first byte.
  uint64_t Adopt(std::string bytes);
  uint64_t Adopt(quenFile::ByteBuffer bytes);
  uint64_t Adopt(quenFile::FileRegion region);

  // The places of lines an entry cannot pack, kept aside by slot number.
  uint64_t AddLongLine(uint64_t offset, uint64_t length);
  std::string_view LongLine(uint64_t slot) const {
    const auto& [offset, length] = longLines_[slot];
    return {At(offset), length};
  }

  // Bytes of the blocks held.
  std::size_t Bytes() const { return held_; }
  // Throws quenFile::FileChangedError when a file mapped in an adopted
  // region changed since.
  void CheckUnchanged() const {
    for (const quenFile::FileRegion& region : adoptedRegions_) region.CheckUnchanged();
  }
  // The offset the next block will start at.
  uint64_t NextBlock() const { return static_cast<uint64_t>(chunks_.size()) << kChunkBits; }

 private:
  uint64_t MapBlock(const char* data, std::size_t size);

  std::vector<const char*> chunks_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  // Adopted strings stay where they are: they are never touched again.
  std::vector<std::unique_ptr<const std::string>> adopted_;
  std::vector<quenFile::ByteBuffer> adoptedBuffers_;
  std::vector<quenFile::FileRegion> adoptedRegions_;
  std::vector<std::pair<uint64_t, uint64_t>> longLines_;
  char* tail_ = nullptr;  // free room of the last block Append filled
  std::size_t tailLeft_ = 0;
  uint64_t tailOffset_ = 0;
  std::size_t held_ = 0;
};

class LineList {
 public:
  // An entry packs a line's offset (high 40 bits) and length (low 24 bits).
  // A length of all ones marks a line whose offset or length does not fit:
  // its offset bits then name a LineArena long-line slot.
  static constexpr int kLengthBits = 24;
  static constexpr uint64_t kLongMark = (uint64_t{1} << kLengthBits) - 1;
  static constexpr uint64_t kOffsetEnd = uint64_t{1} << (64 - kLengthBits);

  // Yields each line as a string_view, by index.
  class const_iterator {
   public:
    using iterator_concept = std::random_access_iterator_tag;
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string_view;
    using reference = std::string_view;
    using difference_type = std::ptrdiff_t;

    const_iterator() = default;
    std::string_view operator*() const { return (*list_)[static_cast<std::size_t>(i_)]; }
    std::string_view operator[](difference_type n) const { return *(*this + n); }
    const_iterator& operator++() { return *this += 1; }
    const_iterator operator++(int) { return std::exchange(*this, *this + 1); }
    const_iterator& operator--() { return *this -= 1; }
    const_iterator operator--(int) { return std::exchange(*this, *this - 1); }
    const_iterator& operator+=(difference_type n) {
      i_ += n;
      return *this;
    }
    const_iterator& operator-=(difference_type n) { return *this += -n; }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const_iterator a, const_iterator b) { return a.i_ - b.i_; }
    friend bool operator==(const_iterator a, const_iterator b) { return a.i_ == b.i_; }
    friend auto operator<=>(const_iterator a, const_iterator b) { return a.i_ <=> b.i_; }

   private:
    friend class LineList;
    const_iterator(const LineList* list, difference_type i) : list_(list), i_(i) {}
    const LineList* list_ = nullptr;
    difference_type i_ = 0;
  };

  LineList() = default;
  // Lines at or past offsetEnd, or as long as lengthEnd or longer, take the
  // long-line route; the defaults are what an entry can pack. Smaller ends
  // let that route be tried without gigabytes of lines.
  explicit LineList(uint64_t offsetEnd, uint64_t lengthEnd);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view operator[](std::size_t i) const {
    const uint64_t e = entries_[i];
    const uint64_t length = e & kLongMark;
    if (length == kLongMark) [[unlikely]] {
      return arena_->LongLine(e >> kLengthBits);
    }
    return {arena_->At(e >> kLengthBits), length};
  }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, static_cast<std::ptrdiff_t>(size())}; }

  // Empties the list and lets go of its entries and storage.
  void Clear();
  void Reserve(std::size_t n) { entries_.reserve(n); }

  // Appends a copy of line.
  void Add(std::string_view line);
  // Appends line i of from. An empty list takes over from's storage, and a
  // list with from's storage shares the bytes; any other list copies them.
  void AddFrom(const LineList& from, std::size_t i);
  // Makes count more lines sharing from's storage (this list empty or
  // sharing it already), each to be set by SetFrom before it is read, so
  // that two threads may fill places of their own at once.
  void AddPlaces(std::size_t count, const LineList& from);
  // Makes line at line i of from, whose storage this list shares.
  void SetFrom(std::size_t at, const LineList& from, std::size_t i) {
    entries_[at] = from.entries_[i];
  }
  // Asks for line i's entry before it is read; a hint, nothing is read.
  void Prefetch(std::size_t i) const { __builtin_prefetch(entries_.data() + i); }

  // Lines cut while their bytes are still being read: AddPart appends the
  // line of length bytes at offset in the bytes a later KeepBytes hands
  // over, and no line may be read before then. Between the first AddPart
  // and KeepBytes nothing else may be added.
  void AddPart(uint64_t offset, uint64_t length) {
    entries_.push_back(Pack(Arena().NextBlock() + offset, length));
  }
  void KeepBytes(quenFile::FileRegion bytes);

  // Replaces the contents with the lines of a whole file's bytes, keeping
  // the bytes themselves as storage.
  void LoadFromBytes(std::string bytes);
  void LoadFromBytes(quenFile::ByteBuffer bytes);
  // Throws quenFile::FileChangedError when a file mapped as part of the
  // storage changed since: its lines may no longer be what was read.
  void CheckStorageUnchanged() const {
    if (arena_) arena_->CheckUnchanged();
  }
  // Replaces the contents with the lines of the file. Throws
  // quenFile::FileError when it cannot be opened or read.
  void LoadFromFile(const std::filesystem::path& path);
  // Writes every line followed by CR LF, leaving the commit to the caller.
  // Throws quenFile::FileError.
  void WriteTo(quenFile::AtomicWriter& out) const;
  // Writes every line followed by CR LF; the target is replaced whole or not
  // at all. Throws quenFile::FileError.
  void SaveToFile(const std::filesystem::path& path) const;

  // The number of lines the bytes would load as, without keeping them.
  static std::size_t CountLines(std::string_view bytes);

  // Calls emit(begin, length) for each line of bytes, cut as loading cuts
  // them: callers that only read the lines need not copy the bytes.
  template <typename Emit>
  static void ForEachLine(std::string_view bytes, Emit&& emit);

  // Memory held: the entries' capacity, and the storage, which lists sharing
  // it hold alike.
  std::size_t EntryBytes() const { return entries_.capacity() * sizeof(uint64_t); }
  std::size_t StorageBytes() const { return arena_ ? arena_->Bytes() : 0; }

 private:
  uint64_t Pack(uint64_t offset, uint64_t length);
  // Adds the lines of size bytes adopted at base.
  void AddLinesOf(uint64_t base, std::size_t size);
  LineArena& Arena();

  std::vector<uint64_t> entries_;
  std::shared_ptr<LineArena> arena_;
  uint64_t offsetEnd_ = kOffsetEnd;
  uint64_t lengthEnd_ = kLongMark;
};

template <typename Emit>
void LineList::ForEachLine(std::string_view bytes, Emit&& emit) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  const char* lf = nullptr;
  while (p < end) {
    // An empty line needs no search; files of blank lines are all searches
    // otherwise.
    if (*p != '\r' && *p != '\n') {
      // Lines mostly end in CR LF: find the LF, then the first CR before it.
      // The LF found is kept until passed, so text broken by CR alone is not
      // searched to its end once per line.
      if (lf == nullptr || lf < p) {
        lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (lf == nullptr) lf = end;
      }
      const char* stop = lf;
      if (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(stop - p))) {
        stop = static_cast<const char*>(cr);
      }
      emit(p, static_cast<std::size_t>(stop - p));
      p = stop;
    } else {
      emit(p, 0);
    }
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}
