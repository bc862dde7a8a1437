#include "KeyIndex.h"

#include <algorithm>

void KeyIndexList::Clear() {
  entries_.clear();
  lines_.Clear();
  sortKeys_.clear();
}

void KeyIndexList::Add(std::string_view key, const LineList& lines, std::size_t i) {
  const std::size_t offset = sortKeys_.size();
  collator_->AppendSortKey(key, sortKeys_);
  const auto line = static_cast<uint32_t>(lines_.size());
  lines_.AddFrom(lines, i);
  entries_.push_back(
      Entry{key, line, static_cast<uint32_t>(sortKeys_.size() - offset), offset});
}

void KeyIndexList::Sort() {
  // Lines are added in file order, so among equal keys the later line (the
  // higher line number) goes first.
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    const int c = SortKeyOf(a).compare(SortKeyOf(b));
    return c != 0 ? c < 0 : a.line > b.line;
  });
}

bool KeyIndexList::SameKey(std::size_t i, std::size_t j) const {
  return SortKeyOf(entries_[i]) == SortKeyOf(entries_[j]);
}

long KeyIndexList::IndexOf(std::string_view key) const {
  const std::string wanted = collator_->SortKey(key);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), wanted,
                             [this](const Entry& e, const std::string& k) {
                               return SortKeyOf(e).compare(k) < 0;
                             });
  if (it == entries_.end() || SortKeyOf(*it) != wanted) return -1;
  return static_cast<long>(it - entries_.begin());
}
