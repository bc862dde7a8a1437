#include "ErrorList.h"

void ErrorEntryList::Add(std::string_view key, TMyRec rec) {
  firstBySortKey_.try_emplace(collator_->SortKey(key), entries_.size());
  entries_.push_back(Entry{std::string(key), std::move(rec)});
}

void ErrorEntryList::Clear() {
  entries_.clear();
  firstBySortKey_.clear();
}

long ErrorEntryList::IndexOf(std::string_view key) const {
  if (entries_.empty()) return -1;
  auto it = firstBySortKey_.find(collator_->SortKey(key));
  return it == firstBySortKey_.end() ? -1 : static_cast<long>(it->second);
}
