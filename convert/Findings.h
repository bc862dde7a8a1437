// Findings: what a run found that the operator has to act on (every copy of
// a record whose key is repeated, each blank title or reading, each
// over-long NDC number) with the file and line where each record stands.
// Shown by the window's findings table and written as CSV by the batch tool.
//
// Memory: a finding is 16 bytes besides its line, because a file of tiny
// repeated lines makes every line a finding. While the run works, a finding
// names where its line starts in the run's bytes and copies nothing; once
// the run has all its findings it copies the lines they name, once, into
// bytes the findings own (Keep), so that what outlives the run is the
// flagged lines, never the run's whole input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RecordFormat.h"

// One finding as its readers see it. The views stay valid as long as the
// Findings it was read from, or any copy of it.
struct Finding {
  FindingKind kind = FindingKind::kDuplicateKey;
  std::string_view key;    // field 2 of the line, CP932
  std::string_view file;   // the source file's name without folder, native bytes
  std::size_t line = 0;    // 1-based, counted by the run's line rules
  std::string_view text;   // the whole record line, CP932
  std::size_t copies = 0;  // duplicates: how many records share the key
};

class Findings {
 public:
  // Yields each finding by value, by index.
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Finding;
    using reference = Finding;
    using difference_type = std::ptrdiff_t;
    const_iterator() = default;
    Finding operator*() const { return (*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    const_iterator operator++(int) { return std::exchange(*this, {list_, i_ + 1}); }
    friend bool operator==(const_iterator a, const_iterator b) { return a.i_ == b.i_; }

   private:
    friend class Findings;
    const_iterator(const Findings* list, std::size_t i) : list_(list), i_(i) {}
    const Findings* list_ = nullptr;
    std::size_t i_ = 0;
  };

  // The findings that can be read: those kept, not those still pending.
  std::size_t size() const { return kept_; }
  bool empty() const { return kept_ == 0; }
  Finding operator[](std::size_t i) const;
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, kept_}; }
  // The fields that need no look at the line, for sorting and filtering.
  FindingKind Kind(std::size_t i) const { return FindingKind(entries_[i].place & kKindMask); }
  std::size_t Line(std::size_t i) const { return entries_[i].line; }
  std::size_t Copies(std::size_t i) const { return entries_[i].copies; }

  void clear();
  // Makes room for n more findings at once.
  void Reserve(std::size_t n) { entries_.reserve(entries_.size() + n); }
  // Appends a finding with copies of its file name and line (which holds
  // no line break).
  void Add(FindingKind kind, std::string_view file, std::size_t line, std::string_view text,
           std::size_t copies = 0);
  // Appends finding i of from, sharing its bytes when this list is empty or
  // shares them already.
  void AddFrom(const Findings& from, std::size_t i);

  // The run's side. A file's number for Refer; the same name in a row gets
  // the same number.
  std::size_t FileNumber(std::string_view name);
  // A pending finding about the line that starts at offset at of the run's
  // bytes: nothing is copied, and it cannot be read until Keep.
  void Refer(FindingKind kind, uint64_t at, std::size_t file, std::size_t line,
             std::size_t copies = 0);
  std::size_t Pending() const { return entries_.size() - kept_; }
  // Copies the lines the pending findings name out of bytes (the run's
  // bytes they refer to) into the findings' own bytes, all at once, and
  // makes them readable.
  void Keep(std::string_view bytes);
  // Keep on the way out of a failed run: when even that fails, the pending
  // findings are forgotten rather than left naming bytes about to go.
  void KeepOrDrop(std::string_view bytes) noexcept;

  // Bytes the findings own for their lines and file names.
  std::size_t OwnBytes() const;

 private:
  static constexpr int kKindBits = 2;
  static constexpr int kFileBits = 22;
  static constexpr uint64_t kKindMask = (uint64_t{1} << kKindBits) - 1;
  static constexpr uint64_t kFileMask = (uint64_t{1} << kFileBits) - 1;
  static constexpr int kAtShift = kKindBits + kFileBits;
  static_assert(kFindingKindCount <= kKindMask + 1, "every kind fits its bits");

  struct Entry {
    // Where the line starts (in the run's bytes while pending, then in the
    // own bytes), the file's number and the kind, packed.
    uint64_t place;
    uint32_t line;
    uint32_t copies;
  };
  static_assert(sizeof(Entry) == 16);

  // The own bytes: each kept line followed by LF, and the file names. Copies
  // of a list share them; a list changes them only while it holds them alone.
  struct Store {
    std::string lines;
    std::vector<std::string> names;
  };
  Store& Own();
  void Push(FindingKind kind, uint64_t at, std::size_t file, std::size_t line, std::size_t copies);

  std::vector<Entry> entries_;
  std::size_t kept_ = 0;
  std::shared_ptr<Store> store_;
};

// The table's columns: 種類, キー, 書名, ヨミ, NDC, ファイル, 行.
constexpr std::size_t kFindingColumns = 7;
using FindingRow = std::array<std::string, kFindingColumns>;
const std::array<std::string_view, kFindingColumns>& FindingHeader();

// A finding as the table shows it, UTF-8: the kind (with the number of
// copies for a repeated key), the key, title, reading and NDC fields of
// the line, the file name and the line number.
FindingRow RowOf(const Finding& finding);

// The table as CSV for spreadsheet programs: UTF-8 with a byte-order mark,
// the header row first, CR LF after each row, fields quoted where needed.
// A cell of a finding (all but 行) that starts with =, +, -, @, TAB or CR
// gets a leading ' so that no spreadsheet evaluates it as a formula.
std::string FindingsCsv(const Findings& findings);
