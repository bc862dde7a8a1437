#include "ErrorEntryList.h"

void ErrorEntryList::Add(std::string_view key, TMyRec rec) {
  firstBySortKey_.try_emplace(collator_->SortKey(key), entries_.size());
  entries_.push_back(Entry{std::string(key), std::move(rec)});
}

void ErrorEntryList::Clear() {
  entries_.clear();
  firstBySortKey_.clear();
}

long ErrorEntryList::IndexOf(std::string_view key) const {
  return entries_.empty() ? -1 : IndexOfSortKey(collator_->SortKey(key));
}

long ErrorEntryList::IndexOfSortKey(std::string_view sortKey) const {
  auto it = firstBySortKey_.find(sortKey);
  return it == firstBySortKey_.end() ? -1 : static_cast<long>(it->second);
}
