#include "ErrorEntryList.h"

namespace {

std::size_t SeenBit(std::size_t hash, std::size_t bits) { return hash & (bits - 1); }

}  // namespace

void ErrorEntryList::Add(std::string_view key, TMyRec rec) {
  std::string sortKey = collator_->SortKey(key);
  if (seen_.empty()) seen_.assign(kSeenBits / 64, 0);
  const std::size_t bit = SeenBit(Hash()(sortKey), kSeenBits);
  seen_[bit / 64] |= uint64_t{1} << (bit % 64);
  firstBySortKey_.try_emplace(std::move(sortKey), entries_.size());
  entries_.push_back(Entry{std::string(key), std::move(rec)});
}

void ErrorEntryList::Clear() {
  entries_.clear();
  firstBySortKey_.clear();
  seen_ = std::vector<uint64_t>();
}

long ErrorEntryList::IndexOfSortKey(std::string_view sortKey) const {
  if (seen_.empty()) return -1;
  const std::size_t bit = SeenBit(Hash()(sortKey), kSeenBits);
  if ((seen_[bit / 64] >> (bit % 64) & 1) == 0) return -1;
  auto it = firstBySortKey_.find(sortKey);
  return it == firstBySortKey_.end() ? -1 : static_cast<long>(it->second);
}
