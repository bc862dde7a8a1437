#include "KeyIndexList.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <thread>

#include "StepClock.h"

namespace {

// Often enough for a moving bar, rarely enough to cost nothing.
constexpr std::size_t kKeysPerReport = 4096;
// Sorting on a second thread pays from about this many entries on.
constexpr std::size_t kEntriesPerSortThread = 50000;
// Learning the collator's shortcut costs about as much as collating this
// many keys through ICU.
constexpr std::size_t kKeysForShortcut = 20000;

ThreadStartPoint threads;

// Fresh room of this many bytes is touched on two threads (see Reserve).
constexpr std::size_t kTouchOnTwoThreads = std::size_t{4} << 20;

// Writes a byte on every page of [begin, end): what a fresh page costs on
// its first touch is paid here. The room holds no entry yet.
void TouchPages(char* begin, char* end) {
  constexpr std::size_t kPage = 4096;  // or less than a page: no page is left out
  for (volatile char* p = begin; p < end; p += kPage) *p = 0;
}

// Touches [begin, end) with a helper thread taking the second half; one
// that cannot start leaves it to this thread.
void TouchOnTwoThreads(char* begin, char* end) {
  char* const middle = begin + (end - begin) / 2;
  BothAtOnce(threads, [=] { TouchPages(begin, middle); }, [=] { TouchPages(middle, end); });
}

}  // namespace

void KeyIndexList::SetThreadStarter(ThreadStarter starter) { threads.Set(starter); }

const ThreadStartPoint& KeyIndexList::Threads() { return threads; }

void KeyIndexList::Clear() {
  entries_ = std::vector<Entry>();
  lines_ = nullptr;
  sortKeys_.clear();
  shared_ = 0;
  unsortedFrom_ = 0;
  lastKey_ = {};
  lastSortKey_ = {};
}

void KeyIndexList::Reserve(std::size_t n) {
  entries_.reserve(entries_.size() + n);
  // A fresh page costs a fault on its first touch, most of what making the
  // places costs: paid on two threads, before Place fills the room serially.
  auto* const room = reinterpret_cast<char*>(entries_.data() + entries_.size());
  const std::size_t bytes = (entries_.capacity() - entries_.size()) * sizeof(Entry);
  if (bytes >= kTouchOnTwoThreads) TouchOnTwoThreads(room, room + bytes);
  if (n >= kKeysForShortcut) collator_->LearnShortcut();
}

void KeyIndexList::Add(std::string_view key, const LineList& lines, std::size_t i) {
  if (lines_ == nullptr) lines_ = &lines;
  if (lines_ != &lines) throw std::logic_error("KeyIndexList: lines of another list");
  if (i > UINT32_MAX) throw std::length_error("KeyIndexList: too many lines");
  if (sortKeys_.empty()) sortKeys_.push_back(std::make_unique<LineArena>());
  Fill(entries_.emplace_back(), key, i, scratch_, lastKey_, lastSortKey_, *sortKeys_.front());
}

void KeyIndexList::Fill(Entry& entry, std::string_view key, std::size_t i, std::string& scratch,
                        std::string_view& lastKey, std::string_view& lastSortKey,
                        LineArena& arena) {
  if (i > UINT32_MAX) throw std::length_error("KeyIndexList: too many lines");
  entry.line = static_cast<uint32_t>(i);
  if (!lastSortKey.empty() && key == lastKey) {
    entry.SetSortKey(lastSortKey);
    return;
  }
  scratch.clear();
  if (collator_->AppendShortcutSortKey(key, scratch)) {
    entry.SetSortKey(Store(scratch, arena));
    lastKey = key;
    lastSortKey = entry.SortKey();
    return;
  }
  // Until Sort collates it, the entry holds its key where the sort key goes.
  entry.SetSortKey(key);
  entry.head = kUncollated;
}

KeyIndexList::Placer KeyIndexList::Place(std::size_t count, const LineList& lines) {
  if (lines_ == nullptr) lines_ = &lines;
  if (lines_ != &lines) throw std::logic_error("KeyIndexList: lines of another list");
  const std::size_t begin = entries_.size();
  entries_.resize(begin + count);
  return Placer(*this, begin, begin + count);
}

void KeyIndexList::Placer::Add(std::string_view key, std::size_t i) {
  if (next_ == end_) throw std::logic_error("KeyIndexList: more entries than places");
  index_->Fill(index_->entries_[next_++], key, i, scratch_, lastKey_, lastSortKey_, *arena_);
}

void KeyIndexList::Settle(std::vector<Placer>& placers) {
  if (placers.empty()) return;
  std::size_t to = placers.front().begin_;
  for (Placer& placer : placers) {
    // A placer that left no gap before it is where it belongs already.
    if (placer.begin_ != to) {
      std::move(entries_.begin() + static_cast<std::ptrdiff_t>(placer.begin_),
                entries_.begin() + static_cast<std::ptrdiff_t>(placer.next_),
                entries_.begin() + static_cast<std::ptrdiff_t>(to));
    }
    to += placer.next_ - placer.begin_;
    sortKeys_.push_back(std::move(placer.arena_));
  }
  entries_.resize(to);
  placers.clear();
}

std::string_view KeyIndexList::Store(std::string_view sortKey, LineArena& arena) {
  return {arena.At(arena.Append(sortKey)), sortKey.size()};
}

void KeyIndexList::CollateShare(std::size_t begin, std::size_t end, const KeyCollator& collator,
                                const Progress& report, const std::atomic<bool>& failed,
                                LineArena& arena) {
  std::string key;
  std::string_view lastKey;
  std::string_view lastSortKey;
  for (std::size_t i = begin; i < end && !failed.load(std::memory_order_relaxed); ++i) {
    // Add wrote the sort keys the shortcut covers; every sort key has bytes.
    if (entries_[i].head == kUncollated) {
      const std::string_view k = entries_[i].SortKey();
      // Equal keys in a row, as in a file of repeated lines, share one.
      if (lastSortKey.empty() || k != lastKey) {
        key.clear();
        collator.AppendSortKey(k, key);
        lastKey = k;
        lastSortKey = Store(key, arena);
      }
      entries_[i].SetSortKey(lastSortKey);
      entries_[i].head = 0;
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
  Arenas arenas;
  for (std::size_t t = 0; t < threads; ++t) arenas.push_back(std::make_unique<LineArena>());
  // A share that fails keeps its exception for the caller and stops the others.
  std::vector<std::exception_ptr> errors(threads);
  std::atomic<bool> failed{false};
  const auto bound = [&](std::size_t t) { return from + count * t / threads; };
  // Share t collates [begin, end): its own keys, and those of shares no thread started for.
  auto work = [&](std::size_t t, std::size_t begin, std::size_t end, const KeyCollator& collator,
                  const Progress& report) noexcept {
    try {
      CollateShare(begin, end, collator, report, failed, *arenas[t]);
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
    std::size_t started = 1;
    try {
      for (; started < threads; ++started) {
        const std::size_t t = started;
        std::jthread helper = ::threads.TryStart([&work, &bound, &copies, t] {
          work(t, bound(t), bound(t + 1), copies[t - 1], Progress());
        });
        // No more threads to be had: the shares left are collated here.
        if (!helper.joinable()) break;
        helpers.push_back(std::move(helper));
      }
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
    // The arenas go with the exception: no entry may keep a view into them.
    for (std::size_t i = from; i < entries_.size(); ++i) entries_[i].SetSortKey({});
    std::rethrow_exception(error);
  }
  for (auto& arena : arenas) sortKeys_.push_back(std::move(arena));
}

namespace {

// Eight bytes of k from at, big-endian. Zero bytes pad a short key: sort
// keys hold no zero, so a key that ends first still sorts first.
uint64_t HeadAt(std::string_view k, std::size_t at) {
  uint64_t head = 0;
  for (std::size_t b = 0; b < 8; ++b, ++at) {
    head = (head << 8) | (at < k.size() ? static_cast<unsigned char>(k[at]) : 0);
  }
  return head;
}

}  // namespace

void KeyIndexList::SetHeads() {
  // Keys such as ISBNs share a long start; the heads are taken after it.
  // Both passes read every sort key: a long index is done in two halves at
  // once.
  const std::string_view first = entries_.front().SortKey();
  const auto sharedIn = [&](std::size_t begin, std::size_t end) {
    std::size_t shared = first.size();
    for (std::size_t i = begin; i < end; ++i) {
      const std::string_view k = entries_[i].SortKey();
      if (k.data() == first.data()) continue;
      const auto limit = std::min(shared, k.size());
      shared =
          std::mismatch(first.begin(), first.begin() + static_cast<long>(limit), k.begin()).first -
          first.begin();
    }
    return shared;
  };
  const auto setIn = [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      Entry& e = entries_[i];
      const std::string_view k = e.SortKey();
      e.head = HeadAt(k, shared_);
      e.head2 = HeadAt(k, shared_ + 8);
    }
  };
  const std::size_t n = entries_.size();
  if (n < kEntriesPerSortThread || std::thread::hardware_concurrency() < 2) {
    shared_ = sharedIn(0, n);
    setIn(0, n);
    return;
  }
  const std::size_t half = n / 2;
  std::size_t shared[2] = {};
  BothAtOnce(
      threads, [&] { shared[0] = sharedIn(0, half); }, [&] { shared[1] = sharedIn(half, n); });
  shared_ = std::min(shared[0], shared[1]);
  BothAtOnce(threads, [&] { setIn(0, half); }, [&] { setIn(half, n); });
}

bool KeyIndexList::Before(const Entry& a, const Entry& b) const {
  if (a.head != b.head) return a.head < b.head;
  if (a.head2 != b.head2) return a.head2 < b.head2;
  // Equal heads and both keys within them: the keys are equal, as no sort
  // key holds the zero that pads them. Equal keys in a row share their
  // bytes as well.
  const std::size_t seen = shared_ + 16;
  int c = 0;
  if ((a.sortKeySize > seen || b.sortKeySize > seen) &&
      !(a.sortKey == b.sortKey && a.sortKeySize == b.sortKeySize)) {
    c = a.SortKey()
            .substr(std::min<std::size_t>(seen, a.sortKeySize))
            .compare(b.SortKey().substr(std::min<std::size_t>(seen, b.sortKeySize)));
  }
  // Lines are added in file order, so among equal keys the later line (the
  // higher line number) goes first.
  return c != 0 ? c < 0 : a.line > b.line;
}

void KeyIndexList::SortEntries() {
  const auto before = [this](const Entry& a, const Entry& b) { return Before(a, b); };
  const std::size_t n = entries_.size();
  if (n < kEntriesPerSortThread || std::thread::hardware_concurrency() < 2) {
    std::sort(entries_.begin(), entries_.end(), before);
    return;
  }
  // The pivot is the median of a spread sample, so the sides come out about
  // even; the order is total (the line decides last), so any pivot gives
  // the same result.
  constexpr std::size_t kSample = 255;
  std::vector<Entry> sample;
  sample.reserve(kSample);
  for (std::size_t k = 0; k < kSample; ++k) sample.push_back(entries_[n * k / kSample]);
  std::nth_element(sample.begin(), sample.begin() + kSample / 2, sample.end(), before);
  const Entry pivot = sample[kSample / 2];
  const auto middle = std::partition(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return Before(e, pivot); });
  // No thread to be had: both sides are sorted here.
  BothAtOnce(
      threads, [&] { std::sort(entries_.begin(), middle, before); },
      [&] { std::sort(middle, entries_.end(), before); });
}

void KeyIndexList::Sort(const Progress& progress) {
  StepClock::At("collate");
  ComputeSortKeys(unsortedFrom_, progress);
  StepClock::At("sort");
  unsortedFrom_ = entries_.size();
  lastKey_ = {};
  lastSortKey_ = {};
  if (entries_.empty()) return;
  SetHeads();
  SortEntries();
}

std::size_t KeyIndexList::MarkStarts(std::vector<uint64_t>& starts, std::size_t begin,
                                     std::size_t end) const {
  std::size_t alone = 0;
  bool startsHere = begin == 0 || !SameKey(begin - 1, begin);
  for (std::size_t i = begin; i < end; ++i) {
    const bool next = i + 1 == size() || !SameKey(i, i + 1);
    if (startsHere) {
      starts[i / 64] |= uint64_t{1} << (i % 64);
      alone += next ? 1 : 0;
    }
    startsHere = next;
  }
  return alone;
}

KeyIndexList::Groups KeyIndexList::FindGroups() const {
  Groups groups;
  const std::size_t n = size();
  groups.size_ = n;
  groups.starts_.assign((n + 63) / 64, 0);
  // Split at a word's start, so that each half writes words of its own.
  const std::size_t split =
      n >= kEntriesPerWalkThread && std::thread::hardware_concurrency() >= 2 ? n / 2 / 64 * 64 : n;
  std::size_t alone[2] = {0, 0};
  const auto first = [&] { alone[0] = MarkStarts(groups.starts_, 0, split); };
  if (split == n) {
    first();
  } else {
    BothAtOnce(threads, first, [&] { alone[1] = MarkStarts(groups.starts_, split, n); });
  }
  groups.repeated_ = n - alone[0] - alone[1];
  return groups;
}

std::size_t KeyIndexList::Groups::StartFrom(std::size_t i) const {
  if (i >= size_) return size_;
  std::size_t w = i / 64;
  uint64_t bits = starts_[w] & (~uint64_t{0} << (i % 64));
  while (bits == 0) {
    if (++w == starts_.size()) return size_;
    bits = starts_[w];
  }
  return w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
}

long KeyIndexList::IndexOfSortKey(std::string_view wanted) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), std::string_view(wanted),
                             [](const Entry& e, std::string_view k) { return e.SortKey() < k; });
  if (it == entries_.end() || it->SortKey() != wanted) return -1;
  return static_cast<long>(it - entries_.begin());
}

std::vector<long> KeyIndexList::IndexesOfSortKeys(
    const std::vector<std::string_view>& sortKeys) const {
  std::vector<long> found;
  found.reserve(sortKeys.size());
  const std::size_t n = entries_.size();
  const std::string_view shared =
      n == 0 ? std::string_view() : entries_.front().SortKey().substr(0, shared_);
  const std::size_t seen = shared_ + 16;
  std::size_t from = 0;  // every entry before it is less than the keys to come
  for (const std::string_view wanted : sortKeys) {
    // Every key of the index starts with the shared bytes.
    if (n == 0 || !wanted.starts_with(shared)) {
      found.push_back(-1);
      continue;
    }
    // Ordered as Sort orders entries: the heads, then the bytes past them.
    // That is the sort keys' byte order, as no sort key holds a zero; a
    // wanted key with one matches no entry, as the last check finds.
    const uint64_t head = HeadAt(wanted, shared_);
    const uint64_t head2 = HeadAt(wanted, shared_ + 8);
    const std::string_view tail = wanted.substr(std::min(seen, wanted.size()));
    const auto less = [&](const Entry& e) {
      if (e.head != head) return e.head < head;
      if (e.head2 != head2) return e.head2 < head2;
      return e.SortKey().substr(std::min<std::size_t>(seen, e.sortKeySize)) < tail;
    };
    // Galloping from the last place: the keys are near one another.
    std::size_t low = from;
    std::size_t high = from;
    for (std::size_t step = 1; high < n && less(entries_[high]); step *= 2) {
      low = high + 1;
      high = low + step;
    }
    high = std::min(high, n);
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      if (less(entries_[mid])) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    from = low;
    found.push_back(low < n && entries_[low].SortKey() == wanted ? static_cast<long>(low) : -1);
  }
  return found;
}
