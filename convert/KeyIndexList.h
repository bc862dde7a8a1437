// KeyIndexList: the key index, record lines ordered by key, as a sorted
// list that accepts equal keys leaves them: a new key goes in front of the
// equal keys already there, so equal keys stand newest first. Built by one
// sort, not by inserting line by line: Add the lines in file order, then Sort.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "KeyCollator.h"
#include "LineList.h"

class KeyIndexList {
 public:
  // Sort collates on one more thread for each this many new keys (up to the
  // cores); below it a second thread costs more than it saves.
  static constexpr std::size_t kKeysPerThread = 20000;

  explicit KeyIndexList(const KeyCollator& collator = KeyCollator::Default())
      : collator_(&collator) {}

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view Key(std::size_t i) const { return entries_[i].key; }
  // The whole record line. A key-index record has no file name, line index
  // -1 and kind ekNone, so the line is all it carries.
  std::string_view Line(std::size_t i) const { return lines_[entries_[i].line]; }
  // Appends the line of entry i to to, sharing its bytes.
  void AppendLineTo(std::size_t i, LineList& to) const { to.AddFrom(lines_, entries_[i].line); }
  // The collation sort key of entry i's key.
  std::string_view SortKey(std::size_t i) const { return entries_[i].sortKey; }

  void Clear();
  // Makes room for n more entries at once: growing by doubling would copy
  // the entries over and over, and hold them twice while it does. With many
  // keys to come it also learns the collator's shortcut, so that Add can
  // write the sort keys the shortcut covers.
  void Reserve(std::size_t n);
  // Adds line i of lines (sharing its bytes) under key, a view into that
  // line. Writes the key's sort key at once when the collator's learned
  // shortcut covers it: the key's bytes are in the cache now, and would
  // have to be fetched from memory again by Sort.
  void Add(std::string_view key, const LineList& lines, std::size_t i);
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
  using ThreadStarter = std::jthread (*)(std::function<void()> work);
  static void SetThreadStarter(ThreadStarter starter);

  // True when entries i and j have equal keys.
  bool SameKey(std::size_t i, std::size_t j) const {
    // The heads sit in the entries: keys that differ there are told apart
    // without reaching for their sort keys' scattered bytes.
    return entries_[i].head == entries_[j].head && entries_[i].sortKey == entries_[j].sortKey;
  }
  // The first of the entries whose key equals key, or -1.
  long IndexOf(std::string_view key) const;
  // The same for a key whose collation sort key is already known.
  long IndexOfSortKey(std::string_view sortKey) const;

 private:
  struct Entry {
    std::string_view key;
    std::string_view sortKey;  // into sortKeys_, set by Sort
    // Eight bytes of the sort key after the part all keys share, big-endian:
    // most comparisons end here without touching the key bytes.
    uint64_t head = 0;
    uint32_t line;  // in lines_
  };
  using Chunks = std::vector<std::unique_ptr<std::string>>;
  // Stores a sort key in the last of chunks, or a new one when it is full;
  // room is the size of a new chunk.
  static std::string_view Store(std::string_view sortKey, std::size_t room, Chunks& chunks);
  void ComputeSortKeys(std::size_t from, const Progress& progress);
  void CollateShare(std::size_t begin, std::size_t end, const KeyCollator& collator,
                    const Progress& report, const std::atomic<bool>& failed, Chunks& chunks);

  const KeyCollator* collator_;
  LineList lines_;
  std::vector<Entry> entries_;
  std::size_t unsortedFrom_ = 0;
  // Chunks of sort-key bytes; each is filled once and never grows after.
  Chunks sortKeys_;
  std::string scratch_;  // Add's sort key before it is stored
};
