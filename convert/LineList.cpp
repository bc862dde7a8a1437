#include "LineList.h"

#include <algorithm>
#include <cstring>

#include "quenFile.h"

namespace {

constexpr std::size_t kArenaBlock = 64 * 1024;

// Calls emit(begin, length) for each line of bytes.
template <typename Emit>
void ForEachLine(std::string_view bytes, Emit&& emit) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  const char* lf = nullptr;
  while (p < end) {
    // Lines mostly end in CR LF: find the LF, then the first CR before it.
    // The LF found is kept until passed, so text broken by CR alone is not
    // searched to its end once per line.
    if (lf == nullptr || lf < p) {
      lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (lf == nullptr) lf = end;
    }
    const char* stop = lf;
    if (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(stop - p))) {
      stop = static_cast<const char*>(cr);
    }
    emit(p, static_cast<std::size_t>(stop - p));
    p = stop;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}

}  // namespace

void LineList::Clear() {
  lines_.clear();
  storage_.clear();
  arena_.reset();
}

void LineList::Add(std::string_view line) {
  if (!arena_ || arena_->capacity() - arena_->size() < line.size()) {
    arena_ = std::make_shared<std::string>();
    arena_->reserve(std::max(kArenaBlock, line.size()));
    storage_.push_back(arena_);
  }
  const std::size_t at = arena_->size();
  arena_->append(line);
  lines_.emplace_back(arena_->data() + at, line.size());
}

void LineList::Share(const Storage& storage) {
  // Lists share with few others, so the storage list stays short.
  if (std::find(storage_.rbegin(), storage_.rend(), storage) == storage_.rend()) {
    storage_.push_back(storage);
  }
}

void LineList::AddFrom(const LineList& from, std::size_t i) {
  const std::string_view line = from.lines_[i];
  for (const Storage& s : from.storage_) {
    if (line.data() >= s->data() && line.data() + line.size() <= s->data() + s->size()) {
      Share(s);
      break;
    }
  }
  lines_.push_back(line);
}

void LineList::LoadFromBytes(std::string bytes) {
  Clear();
  auto storage = std::make_shared<const std::string>(std::move(bytes));
  const std::string& text = *storage;
  ForEachLine(text,
              [&](const char* begin, std::size_t length) { lines_.emplace_back(begin, length); });
  storage_.push_back(std::move(storage));
}

void LineList::LoadFromFile(const std::filesystem::path& path) {
  LoadFromBytes(quenFile::ReadAll(path));
}

void LineList::SaveToFile(const std::filesystem::path& path) const {
  quenFile::AtomicWriter out(path);
  // The writer gathers lines into large writes: the kernel copies one long
  // buffer far faster than a thousand short pieces.
  for (const std::string_view line : lines_) {
    out.Write(line);
    out.Write("\r\n");
  }
  out.Commit();
}

std::size_t LineList::CountLines(std::string_view bytes) {
  std::size_t n = 0;
  ForEachLine(bytes, [&](const char*, std::size_t) { ++n; });
  return n;
}
