// How findings are kept: 16-byte entries, the file names once each, and
// the flagged lines in one block of bytes.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "Findings.h"
#include "RecordFormat.h"

namespace {

// The line that starts at at: up to its line break, or the end of bytes.
// Looked for a few hundred bytes at a time: a search for LF alone, or CR
// alone, would run through the rest of a file broken by the other one, once
// per finding.
std::string_view LineAt(std::string_view bytes, uint64_t at) {
  const std::string_view rest = bytes.substr(at);
  constexpr std::size_t kStep = 512;
  for (std::size_t from = 0; from < rest.size(); from += kStep) {
    const char* const p = rest.data() + from;
    const std::size_t n = std::min(kStep, rest.size() - from);
    const void* const lf = std::memchr(p, '\n', n);
    const std::size_t stop = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - p) : n;
    if (const void* cr = std::memchr(p, '\r', stop)) {
      return rest.substr(0, from + static_cast<std::size_t>(static_cast<const char*>(cr) - p));
    }
    if (lf) return rest.substr(0, from + stop);
  }
  return rest;
}

// Field 2 as Split cuts it, or empty when the line has no field 2.
std::string_view KeyField(std::string_view line) {
  for (int skip = 0; skip < 2; ++skip) {
    const std::size_t at = line.find(record::kDelimiter);
    if (at == std::string_view::npos) return {};
    line.remove_prefix(at + 1);
  }
  return line.substr(0, line.find(record::kDelimiter));
}

uint32_t Narrow(std::size_t n, const char* what) {
  if (n > UINT32_MAX) throw std::length_error(std::string("Findings: ") + what);
  return static_cast<uint32_t>(n);
}

}  // namespace

Finding Findings::operator[](std::size_t i) const {
  const Entry& e = entries_[i];
  const std::string_view text = LineAt(store_->lines, e.place >> kAtShift);
  return Finding{Kind(i), KeyField(text), store_->names[(e.place >> kKindBits) & kFileMask],
                 e.line,  text,           e.copies};
}

void Findings::clear() {
  entries_ = std::vector<Entry>();
  kept_ = 0;
  store_.reset();
}

Findings::Store& Findings::Own() {
  if (!store_) {
    store_ = std::make_shared<Store>();
  } else if (store_.use_count() > 1) {
    store_ = std::make_shared<Store>(*store_);
  }
  return *store_;
}

std::size_t Findings::FileNumber(std::string_view name) {
  std::vector<std::string>& names = Own().names;
  if (names.empty() || names.back() != name) names.emplace_back(name);
  if (names.size() > kFileMask + 1) throw std::length_error("Findings: too many files");
  return names.size() - 1;
}

void Findings::Push(FindingKind kind, uint64_t at, std::size_t file, std::size_t line,
                    std::size_t copies) {
  if (at >= uint64_t{1} << (64 - kAtShift)) throw std::length_error("Findings: too many bytes");
  entries_.push_back(
      Entry{at << kAtShift | static_cast<uint64_t>(file) << kKindBits | uint64_t(kind),
            Narrow(line, "line number"), Narrow(copies, "copies")});
}

void Findings::Refer(FindingKind kind, uint64_t at, std::size_t file, std::size_t line,
                     std::size_t copies) {
  Push(kind, at, file, line, copies);
}

void Findings::Add(FindingKind kind, std::string_view file, std::size_t line, std::string_view text,
                   std::size_t copies) {
  // Pending findings name the run's bytes: they are kept first.
  if (Pending() > 0) throw std::logic_error("Findings: Add before Keep");
  const std::size_t number = FileNumber(file);
  std::string& lines = Own().lines;
  const uint64_t at = lines.size();
  lines.append(text);
  lines += '\n';
  Push(kind, at, number, line, copies);
  kept_ = entries_.size();
}

void Findings::AddFrom(const Findings& from, std::size_t i) {
  if (entries_.empty()) store_ = from.store_;
  if (store_ == from.store_ && Pending() == 0) {
    entries_.push_back(from.entries_[i]);
    kept_ = entries_.size();
    return;
  }
  const Finding f = from[i];
  Add(f.kind, f.file, f.line, f.text, f.copies);
}

void Findings::Keep(std::string_view bytes) {
  if (Pending() == 0) return;
  // The lines lie scattered over the run's bytes: asking for a line's start
  // a few findings ahead lets the fetches overlap. The second look finds
  // them in the cache.
  constexpr std::size_t kAhead = 8;
  std::size_t size = 0;
  for (std::size_t i = kept_; i < entries_.size(); ++i) {
    if (i + kAhead < entries_.size()) {
      __builtin_prefetch(bytes.data() + (entries_[i + kAhead].place >> kAtShift));
    }
    size += LineAt(bytes, entries_[i].place >> kAtShift).size() + 1;
  }
  std::string& lines = Own().lines;
  lines.reserve(lines.size() + size);
  for (std::size_t i = kept_; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    const std::string_view text = LineAt(bytes, e.place >> kAtShift);
    const uint64_t at = lines.size();
    lines.append(text);
    lines += '\n';
    e.place = at << kAtShift | (e.place & ((uint64_t{1} << kAtShift) - 1));
  }
  kept_ = entries_.size();
}

void Findings::KeepOrDrop(std::string_view bytes) noexcept {
  try {
    Keep(bytes);
  } catch (...) {
    entries_.resize(kept_);
  }
}

std::size_t Findings::OwnBytes() const {
  if (!store_) return 0;
  std::size_t bytes = store_->lines.capacity();
  for (const std::string& name : store_->names) bytes += name.capacity();
  return bytes;
}
