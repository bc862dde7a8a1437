// KeyIndexList: the key index, record lines ordered by key, as a sorted
// list that accepts equal keys leaves them: a new key goes in front of the
// equal keys already there, so equal keys stand newest first. Built by one
// sort, not by inserting line by line: Add the lines in file order, then Sort.
//
// Memory: an entry is 32 bytes, whatever its line holds, because files of
// tiny lines run to tens of millions of entries. The index keeps no copy of
// the lines, not even their 8-byte list entries: it names lines of the list
// they were added from, which must outlive it and stay where it is.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "KeyCollator.h"
#include "LineList.h"
#include "ThreadStart.h"

class KeyIndexList {
 public:
  // Sort collates on one more thread for each this many new keys (up to the
  // cores); below it a second thread costs more than it saves.
  static constexpr std::size_t kKeysPerThread = 20000;

  explicit KeyIndexList(const KeyCollator& collator = KeyCollator::Default())
      : collator_(&collator) {}

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // The whole record line. A key-index record has no file name, line index
  // -1 and kind ekNone, so the line is all it carries.
  std::string_view Line(std::size_t i) const { return (*lines_)[entries_[i].line]; }
  // Where entry i's line stands in the list it was added from.
  std::size_t LineIndex(std::size_t i) const { return entries_[i].line; }
  // Appends the line of entry i to to, sharing its bytes.
  void AppendLineTo(std::size_t i, LineList& to) const { to.AddFrom(*lines_, entries_[i].line); }
  // Asks for the list entry of entry i's line, which lies anywhere in the
  // lines' list, before it is needed; past the end, nothing.
  void PrefetchLine(std::size_t i) const {
    if (i < entries_.size()) lines_->Prefetch(entries_[i].line);
  }
  // The collation sort key of entry i's key.
  std::string_view SortKey(std::size_t i) const { return entries_[i].SortKey(); }

  void Clear();
  // Makes room for n more entries at once: growing by doubling would copy
  // the entries over and over, and hold them twice while it does. With many
  // keys to come it also learns the collator's shortcut, so that Add can
  // write the sort keys the shortcut covers.
  void Reserve(std::size_t n);
  // Adds line i of lines under key, a view into that line. Every line added
  // comes from the same list. Writes the key's sort key at once when the collator's learned
  // shortcut covers it: the key's bytes are in the cache now, and would
  // have to be fetched from memory again by Sort.
  void Add(std::string_view key, const LineList& lines, std::size_t i);

  // Adds entries into places made for it, so that two threads can add at
  // once: each into places of its own, with sort-key storage of its own.
  class Placer {
   public:
    Placer(Placer&&) = default;
    // As Add, into the next place; i is the line's index in the index's lines.
    void Add(std::string_view key, std::size_t i);

   private:
    friend class KeyIndexList;
    Placer(KeyIndexList& index, std::size_t begin, std::size_t end)
        : index_(&index), begin_(begin), next_(begin), end_(end) {}
    KeyIndexList* index_;
    std::size_t begin_, next_, end_;
    std::unique_ptr<LineArena> arena_ = std::make_unique<LineArena>();
    std::string scratch_;
    std::string_view lastKey_, lastSortKey_;
  };
  // Places for up to count entries of lines, after every entry and place so
  // far. Nothing else may be added to the index until Settle.
  Placer Place(std::size_t count, const LineList& lines);
  // Closes the gaps the placers left, taking their entries in the order the
  // placers were made, and their sort keys' storage.
  void Settle(std::vector<Placer>& placers);
  // The list the lines were added from has been moved to lines.
  void LinesMoved(const LineList& lines) { lines_ = &lines; }
  // Puts the entries added since the last Sort into key order. progress,
  // when given, hears on the calling thread how far the collating (the long
  // part) has got, from 0 to 100. When a key cannot be collated (for example
  // KeyTooLongError) every thread is joined and the first share's exception
  // propagates; the new entries stay unsorted.
  // A helper thread that cannot be started (a process out of threads or of
  // room for a stack) leaves its share to the calling thread.
  using Progress = std::function<void(int percent)>;
  void Sort(const Progress& progress = {});

  // How Sort starts a helper thread: a test can put in one that fails as
  // std::thread fails (std::system_error). Null restores std::jthread's.
  // The duplicate check's walk of the groups takes its helper from here too.
  using ThreadStarter = ::ThreadStarter;
  static void SetThreadStarter(ThreadStarter starter);
  static const ThreadStartPoint& Threads();

  // True when entries i and j have equal keys.
  bool SameKey(std::size_t i, std::size_t j) const {
    // The heads sit in the entries: keys that differ there are told apart
    // without reaching for their sort keys' scattered bytes.
    const Entry& a = entries_[i];
    const Entry& b = entries_[j];
    return a.head == b.head && a.head2 == b.head2 && SameTail(a, b);
  }
  // Calls visit(begin, end) for each run [begin, end) of entries with equal
  // keys, in order.
  template <typename Visit>
  void ForEachGroup(Visit&& visit) const {
    for (std::size_t i = 0; i < size();) {
      std::size_t end = i + 1;
      while (end < size() && SameKey(i, end)) ++end;
      visit(i, end);
      i = end;
    }
  }
  // Where each run of equal keys begins, one bit an entry: the runs found by
  // one comparison an entry, for walks that need them more than once.
  class Groups {
   public:
    // The entries in runs of two or more.
    std::size_t Repeated() const { return repeated_; }
    // Calls visit(begin, end) for each run, in order, comparing no key.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
      ForEachIn(0, size_, visit);
    }
    // As ForEach, for the runs in [from, to); from and to start runs (or
    // to is the end).
    template <typename Visit>
    void ForEachIn(std::size_t from, std::size_t to, Visit&& visit) const;
    // The first run's start at or after entry i, or the end.
    std::size_t StartFrom(std::size_t i) const;

   private:
    friend class KeyIndexList;
    std::vector<uint64_t> starts_;
    std::size_t size_ = 0;
    std::size_t repeated_ = 0;
  };
  // From this many entries on, FindGroups and the walks of its groups split
  // the entries between two threads.
  static constexpr std::size_t kEntriesPerWalkThread = 65536;
  Groups FindGroups() const;
  // The first of the entries whose key has this collation sort key, or -1.
  long IndexOfSortKey(std::string_view sortKey) const;
  // IndexOfSortKey of each of sortKeys, which must be in ascending byte
  // order: each search starts where the last ended, and most steps compare
  // the entries' heads, not the sort keys' scattered bytes.
  std::vector<long> IndexesOfSortKeys(const std::vector<std::string_view>& sortKeys) const;
  // Lets go of the sort keys, once the groups are found and no key is looked
  // up any more: from then on only Line, LineIndex and AppendLineTo may be
  // asked, and Sort no more.
  void DropSortKeys() { sortKeys_.clear(); }

 private:
  // The head of an entry whose sort key Sort has yet to make: an entry
  // holds its key until then, so that no list of keys doubles the index.
  static constexpr uint64_t kUncollated = 1;
  struct Entry {
    // Sixteen bytes of the sort key after the part all keys share,
    // big-endian: ISBN-like keys mostly share their first eight there, so
    // most comparisons end only in the second head, still without touching
    // the key bytes.
    uint64_t head = 0;
    uint64_t head2 = 0;
    // Into sortKeys_; until Sort, the key itself where the shortcut wrote
    // no sort key, head then being kUncollated.
    const char* sortKey = nullptr;
    uint32_t sortKeySize = 0;
    uint32_t line = 0;  // in lines_
    std::string_view SortKey() const { return {sortKey, sortKeySize}; }
    void SetSortKey(std::string_view k) {
      sortKey = k.data();
      sortKeySize = static_cast<uint32_t>(k.size());
    }
  };
  // Fills entry for key, its sort key written into arena when the shortcut
  // covers it, or shared with the last key when equal to it.
  void Fill(Entry& entry, std::string_view key, std::size_t i, std::string& scratch,
            std::string_view& lastKey, std::string_view& lastSortKey, LineArena& arena);
  // Sort-key bytes: a line arena's blocks never move, so entries point
  // into them. One arena for Add and one for each collating share, since an
  // arena serves one thread at a time.
  using Arenas = std::vector<std::unique_ptr<LineArena>>;
  static std::string_view Store(std::string_view sortKey, LineArena& arena);
  void ComputeSortKeys(std::size_t from, const Progress& progress);
  void CollateShare(std::size_t begin, std::size_t end, const KeyCollator& collator,
                    const Progress& report, const std::atomic<bool>& failed, LineArena& arena);
  // For entries with equal heads: whether their keys are equal. Keys that
  // end within the heads are, as the heads hold all but the bytes every key
  // shares; equal keys in a row share their bytes.
  bool SameTail(const Entry& a, const Entry& b) const {
    if (a.sortKeySize != b.sortKeySize) return false;
    const std::size_t seen = shared_ + 16;
    return a.sortKey == b.sortKey || a.sortKeySize <= seen ||
           std::memcmp(a.sortKey + seen, b.sortKey + seen, a.sortKeySize - seen) == 0;
  }
  // The order of the entries: the heads, then the sort keys' bytes past
  // them, then the later line first.
  bool Before(const Entry& a, const Entry& b) const;
  void SetHeads();
  // Marks in starts where runs of equal keys begin among entries [begin,
  // end), begin a multiple of 64; returns how many of them stand alone.
  std::size_t MarkStarts(std::vector<uint64_t>& starts, std::size_t begin, std::size_t end) const;
  // Sorts entries_ on two threads when it has many: split by a pivot, the
  // two sides sorted at once, nothing to merge and no second array.
  void SortEntries();

  const KeyCollator* collator_;
  const LineList* lines_ = nullptr;
  std::vector<Entry> entries_;
  std::size_t unsortedFrom_ = 0;
  Arenas sortKeys_;
  // Bytes every sort key starts with, skipped by the heads; set by Sort.
  std::size_t shared_ = 0;
  std::string scratch_;  // Add's sort key before it is stored
  // The last key Add stored a sort key for, and where: a run of equal keys
  // shares one sort key.
  std::string_view lastKey_;
  std::string_view lastSortKey_;
};

template <typename Visit>
void KeyIndexList::Groups::ForEachIn(std::size_t from, std::size_t to, Visit&& visit) const {
  if (from >= to) return;
  std::size_t begin = from;
  for (std::size_t w = from / 64; w * 64 < to; ++w) {
    uint64_t bits = starts_[w];
    // from starts a run: the next starts are the bits past it.
    if (w == from / 64) bits &= ~((uint64_t{2} << (from % 64)) - 1);
    for (; bits != 0; bits &= bits - 1) {
      const std::size_t at = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
      if (at >= to) break;
      visit(begin, at);
      begin = at;
    }
  }
  visit(begin, to);
}
