// ErrorEntryList: the error list, the findings of the error check in the
// order they were found, each a record key with the TMyRec saying where it
// is. The same key may occur several times; a lookup finds the first entry,
// in list order, whose key compares equal, through an index, not a scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "KeyCollator.h"
#include "RecordFormat.h"

class ErrorEntryList {
 public:
  struct Entry {
    std::string key;  // CP932
    TMyRec rec;
  };

  explicit ErrorEntryList(const KeyCollator& collator = KeyCollator::Default())
      : collator_(&collator) {}

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  void Add(std::string_view key, TMyRec rec);
  void Clear();

  // Position of the first entry whose key has this collation sort key, or -1.
  long IndexOfSortKey(std::string_view sortKey) const;
  // Calls visit(sortKey, first) once for each distinct key, with the
  // position of its first entry; in no particular order.
  template <typename Visit>
  void ForEachKey(Visit&& visit) const {
    for (const auto& [sortKey, first] : firstBySortKey_) visit(std::string_view(sortKey), first);
  }

 private:
  const KeyCollator* collator_;
  std::vector<Entry> entries_;
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> firstBySortKey_;
  // One bit per hash value (folded), set for every key added: most keys
  // looked up are no error, and a bit that fits in the cache says so without
  // the map's scattered buckets and nodes.
  static constexpr std::size_t kSeenBits = std::size_t{1} << 20;
  std::vector<uint64_t> seen_;
};
