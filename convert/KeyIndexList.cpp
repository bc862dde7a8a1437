#include "KeyIndexList.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// Often enough for a moving bar, rarely enough to cost nothing.
constexpr std::size_t kKeysPerReport = 4096;
// Sort keys are stored in chunks of this size, so that storing them wastes
// at most one chunk per thread rather than a growing string's spare half.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
// A small index gets a smaller chunk: about this much per key (an ISBN's
// sort key is 46 bytes).
constexpr std::size_t kKeyBytesGuess = 64;
// Learning the collator's shortcut costs about as much as collating this
// many keys through ICU.
constexpr std::size_t kKeysForShortcut = 20000;

std::jthread StartThread(std::function<void()> work) { return std::jthread(std::move(work)); }
std::atomic<KeyIndexList::ThreadStarter> threadStarter{&StartThread};

}  // namespace

void KeyIndexList::SetThreadStarter(ThreadStarter starter) {
  threadStarter = starter != nullptr ? starter : &StartThread;
}

void KeyIndexList::Clear() {
  entries_ = std::vector<Entry>();
  keys_ = std::vector<std::string_view>();
  lines_ = nullptr;
  sortKeys_.clear();
  unsortedFrom_ = 0;
  lastKey_ = {};
  lastSortKey_ = {};
}

void KeyIndexList::Reserve(std::size_t n) {
  entries_.reserve(entries_.size() + n);
  keys_.reserve(keys_.size() + n);
  if (n >= kKeysForShortcut) collator_->LearnShortcut();
}

void KeyIndexList::Add(std::string_view key, const LineList& lines, std::size_t i) {
  if (lines_ == nullptr) lines_ = &lines;
  if (lines_ != &lines) throw std::logic_error("KeyIndexList: lines of another list");
  if (i > UINT32_MAX) throw std::length_error("KeyIndexList: too many lines");
  Entry& entry = entries_.emplace_back();
  entry.line = static_cast<uint32_t>(i);
  keys_.push_back(key);
  if (!lastSortKey_.empty() && key == lastKey_) {
    entry.SetSortKey(lastSortKey_);
    return;
  }
  scratch_.clear();
  if (collator_->AppendShortcutSortKey(key, scratch_)) {
    // A small index gets a small chunk: room for the keys reserved.
    const std::size_t coming = entries_.capacity() - entries_.size() + 1;
    entry.SetSortKey(Store(scratch_, std::min(kChunkBytes, coming * kKeyBytesGuess), sortKeys_));
    lastKey_ = key;
    lastSortKey_ = entry.SortKey();
  }
}

std::string_view KeyIndexList::Store(std::string_view sortKey, std::size_t room, Chunks& chunks) {
  std::string* chunk = chunks.empty() ? nullptr : chunks.back().get();
  if (chunk == nullptr || chunk->capacity() - chunk->size() < sortKey.size()) {
    chunks.push_back(std::make_unique<std::string>());
    chunk = chunks.back().get();
    chunk->reserve(std::max(sortKey.size(), room));
  }
  // Within the reserved room the chunk's bytes never move.
  const std::string_view stored(chunk->data() + chunk->size(), sortKey.size());
  chunk->append(sortKey);
  return stored;
}

void KeyIndexList::CollateShare(std::size_t begin, std::size_t end, const KeyCollator& collator,
                                const Progress& report, const std::atomic<bool>& failed,
                                Chunks& chunks) {
  std::string key;
  std::string_view lastKey;
  std::string_view lastSortKey;
  for (std::size_t i = begin; i < end && !failed.load(std::memory_order_relaxed); ++i) {
    // Add wrote the sort keys the shortcut covers; every sort key has bytes.
    if (entries_[i].sortKey == nullptr) {
      const std::string_view k = keys_[i - unsortedFrom_];
      // Equal keys in a row, as in a file of repeated lines, share one.
      if (lastSortKey.empty() || k != lastKey) {
        key.clear();
        collator.AppendSortKey(k, key);
        lastKey = k;
        lastSortKey = Store(key, std::min(kChunkBytes, (end - i) * kKeyBytesGuess), chunks);
      }
      entries_[i].SetSortKey(lastSortKey);
    }
    // The shares are equal, so this thread's share tells for all.
    if (report && (i - begin) % kKeysPerReport == 0) {
      report(static_cast<int>((i - begin) * 100 / (end - begin)));
    }
  }
}

void KeyIndexList::ComputeSortKeys(std::size_t from, const Progress& progress) {
  // Collating is most of a large index's cost: the keys are split among the cores.
  const std::size_t count = entries_.size() - from;
  if (count >= kKeysForShortcut) collator_->LearnShortcut();
  const std::size_t threads = std::clamp<std::size_t>(
      std::min<std::size_t>(std::thread::hardware_concurrency(), count / kKeysPerThread), 1, 8);
  std::vector<Chunks> chunks(threads);
  // A share that fails keeps its exception for the caller and stops the others.
  std::vector<std::exception_ptr> errors(threads);
  std::atomic<bool> failed{false};
  const auto bound = [&](std::size_t t) { return from + count * t / threads; };
  // Share t collates [begin, end): its own keys, and those of shares no thread started for.
  auto work = [&](std::size_t t, std::size_t begin, std::size_t end, const KeyCollator& collator,
                  const Progress& report) noexcept {
    try {
      CollateShare(begin, end, collator, report, failed, chunks[t]);
    } catch (...) {
      errors[t] = std::current_exception();
      failed = true;
    }
  };
  {
    // Declared before the threads, so the copies outlive them: leaving this
    // block, by an exception too, joins the threads first.
    std::vector<KeyCollator> copies;
    copies.reserve(threads);
    for (std::size_t t = 1; t < threads; ++t) copies.emplace_back(*collator_);
    std::vector<std::jthread> helpers;
    helpers.reserve(threads);
    const ThreadStarter start = threadStarter.load();
    std::size_t started = 1;
    try {
      for (; started < threads; ++started) {
        const std::size_t t = started;
        helpers.push_back(start([&work, &bound, &copies, t] {
          work(t, bound(t), bound(t + 1), copies[t - 1], Progress());
        }));
      }
    } catch (const std::system_error&) {
      // No more threads to be had: the shares left are collated here.
    } catch (...) {
      failed = true;
      throw;
    }
    const bool alone = started == 1;
    work(0, bound(0), bound(alone ? threads : 1), *collator_, progress);
    if (!alone && started < threads) {
      work(started, bound(started), bound(threads), *collator_, Progress());
    }
  }
  for (const std::exception_ptr& error : errors) {
    if (!error) continue;
    // The chunks go with the exception: no entry may keep a view into them.
    for (std::size_t i = from; i < entries_.size(); ++i) entries_[i].SetSortKey({});
    std::rethrow_exception(error);
  }
  for (Chunks& share : chunks) {
    for (auto& chunk : share) sortKeys_.push_back(std::move(chunk));
  }
}

void KeyIndexList::Sort(const Progress& progress) {
  ComputeSortKeys(unsortedFrom_, progress);
  unsortedFrom_ = entries_.size();
  keys_ = std::vector<std::string_view>();
  lastKey_ = {};
  lastSortKey_ = {};
  if (entries_.empty()) return;

  // Keys such as ISBNs share a long start; the heads are taken after it.
  const std::string_view first = entries_.front().SortKey();
  std::size_t shared = first.size();
  for (const Entry& e : entries_) {
    const std::string_view k = e.SortKey();
    if (k.data() == first.data()) continue;
    const auto limit = std::min(shared, k.size());
    shared =
        std::mismatch(first.begin(), first.begin() + static_cast<long>(limit), k.begin()).first -
        first.begin();
  }
  for (Entry& e : entries_) {
    // Zero bytes pad a short key: sort keys hold no zero, so a key that
    // ends first still sorts first.
    const std::string_view k = e.SortKey();
    e.head = 0;
    for (std::size_t b = 0; b < 8; ++b) {
      const std::size_t at = shared + b;
      e.head = (e.head << 8) | (at < k.size() ? static_cast<unsigned char>(k[at]) : 0);
    }
  }
  // Lines are added in file order, so among equal keys the later line (the
  // higher line number) goes first.
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    if (a.head != b.head) return a.head < b.head;
    // Equal keys in a row share their sort key's bytes.
    const bool shared = a.sortKey == b.sortKey && a.sortKeySize == b.sortKeySize;
    const int c = shared ? 0 : a.SortKey().compare(b.SortKey());
    return c != 0 ? c < 0 : a.line > b.line;
  });
}

long KeyIndexList::IndexOfSortKey(std::string_view wanted) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), std::string_view(wanted),
                             [](const Entry& e, std::string_view k) { return e.SortKey() < k; });
  if (it == entries_.end() || it->SortKey() != wanted) return -1;
  return static_cast<long>(it - entries_.begin());
}
