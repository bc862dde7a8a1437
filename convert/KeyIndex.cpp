#include "KeyIndex.h"

#include <algorithm>
#include <thread>

namespace {

// Below this many keys a second thread costs more than it saves.
constexpr std::size_t kKeysPerThread = 20000;
// Often enough for a moving bar, rarely enough to cost nothing.
constexpr std::size_t kKeysPerReport = 4096;

}  // namespace

void KeyIndexList::Clear() {
  entries_.clear();
  lines_.Clear();
  sortKeys_.clear();
  unsortedFrom_ = 0;
}

void KeyIndexList::Add(std::string_view key, const LineList& lines, std::size_t i) {
  const auto line = static_cast<uint32_t>(lines_.size());
  lines_.AddFrom(lines, i);
  entries_.push_back(Entry{key, {}, 0, line});
}

void KeyIndexList::ComputeSortKeys(std::size_t from, const Progress& progress) {
  // Collating is most of the cost of a large index: the keys are split
  // among the cores, each with a collator of its own.
  const std::size_t count = entries_.size() - from;
  const std::size_t threads = std::clamp<std::size_t>(
      std::min<std::size_t>(std::thread::hardware_concurrency(), count / kKeysPerThread), 1, 8);
  std::vector<std::unique_ptr<std::string>> blocks(threads);
  std::vector<std::vector<std::size_t>> ends(threads);
  auto work = [&](std::size_t t, const KeyCollator& collator, const Progress& report) {
    const std::size_t begin = from + count * t / threads;
    const std::size_t end = from + count * (t + 1) / threads;
    blocks[t] = std::make_unique<std::string>();
    ends[t].reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
      collator.AppendSortKey(entries_[i].key, *blocks[t]);
      ends[t].push_back(blocks[t]->size());
      // The shares are equal, so this thread's share tells for all.
      if (report && (i - begin) % kKeysPerReport == 0) {
        report(static_cast<int>((i - begin) * 100 / (end - begin)));
      }
    }
  };
  std::vector<std::jthread> helpers;
  std::vector<KeyCollator> copies;
  copies.reserve(threads);
  for (std::size_t t = 1; t < threads; ++t) {
    copies.emplace_back(*collator_);
    helpers.emplace_back(work, t, std::cref(copies.back()), Progress());
  }
  work(0, *collator_, progress);
  helpers.clear();  // joins

  for (std::size_t t = 0; t < threads; ++t) {
    const std::string& block = *blocks[t];
    std::size_t i = from + count * t / threads;
    std::size_t start = 0;
    for (std::size_t end : ends[t]) {
      entries_[i++].sortKey = std::string_view(block).substr(start, end - start);
      start = end;
    }
    sortKeys_.push_back(std::move(blocks[t]));
  }
}

void KeyIndexList::Sort(const Progress& progress) {
  ComputeSortKeys(unsortedFrom_, progress);
  unsortedFrom_ = entries_.size();
  if (entries_.empty()) return;

  // Keys such as ISBNs share a long start; the heads are taken after it.
  std::size_t shared = entries_.front().sortKey.size();
  for (const Entry& e : entries_) {
    const std::string_view first = entries_.front().sortKey;
    const auto limit = std::min(shared, e.sortKey.size());
    shared =
        std::mismatch(first.begin(), first.begin() + static_cast<long>(limit), e.sortKey.begin())
            .first -
        first.begin();
  }
  for (Entry& e : entries_) {
    // Zero bytes pad a short key: sort keys hold no zero, so a key that
    // ends first still sorts first.
    e.head = 0;
    for (std::size_t b = 0; b < 8; ++b) {
      const std::size_t at = shared + b;
      e.head =
          (e.head << 8) | (at < e.sortKey.size() ? static_cast<unsigned char>(e.sortKey[at]) : 0);
    }
  }
  // Lines are added in file order, so among equal keys the later line (the
  // higher line number) goes first.
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    if (a.head != b.head) return a.head < b.head;
    const int c = a.sortKey.compare(b.sortKey);
    return c != 0 ? c < 0 : a.line > b.line;
  });
}

long KeyIndexList::IndexOf(std::string_view key) const {
  const std::string wanted = collator_->SortKey(key);
  auto it =
      std::lower_bound(entries_.begin(), entries_.end(), std::string_view(wanted),
                       [](const Entry& e, std::string_view k) { return e.sortKey.compare(k) < 0; });
  if (it == entries_.end() || it->sortKey != wanted) return -1;
  return static_cast<long>(it - entries_.begin());
}
