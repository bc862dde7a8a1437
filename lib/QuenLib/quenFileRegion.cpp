#include "quenFileRegion.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <new>
#include <utility>

#include "quenFile.h"
#include "quenFileInternal.h"
#include "quenFileRegionOs.h"
#include "quenReason.h"
#include "quenShow.h"

namespace quenFile {
namespace {

// Below this a read costs less than setting up a mapping and its pages.
std::atomic<std::size_t> mapAtLeast{std::size_t{256} << 10};

// What a read past the size fstat gave makes room for at a time.
constexpr std::size_t kGrowBy = std::size_t{64} << 10;

std::size_t RoundUp(std::size_t n, std::size_t page) { return (n + page - 1) / page * page; }

std::string ChangedMessage(const std::filesystem::path& path, int errorNumber) {
  std::string text = "ファイル \"" + quenShow::ForDisplay(PathBytes(path)) +
                     "\" は読み込み中に変更されました。処理を中断します。";
  if (errorNumber != 0) text += ReasonText(errorNumber);
  return text;
}

}  // namespace

FileChangedError::FileChangedError(const std::filesystem::path& path, int errorNumber)
    : std::runtime_error(ChangedMessage(path, errorNumber)), path_(path) {}

std::size_t SetMapAtLeast(std::size_t bytes) { return mapAtLeast.exchange(bytes); }

std::size_t FileRegion::FootprintOf(std::size_t size) {
  return RoundUp(size + kGap, region::PageSize());
}

FileRegion::FileRegion(std::size_t expected) {
  // Room to spare, for files that grow before they are read: reserved
  // addresses cost nothing until written.
  const std::size_t page = region::PageSize();
  const std::size_t spare = std::max(expected / 2, std::size_t{64} << 20);
  for (std::size_t room : {expected + spare, expected + page}) {
    capacity_ = RoundUp(room, page);
    base_ = region::Reserve(capacity_);
    if (base_ != nullptr) break;
  }
  if (base_ == nullptr) throw std::bad_alloc();
  guard_ = region::Guard(base_, capacity_);
}

FileRegion::~FileRegion() { Free(); }

void FileRegion::Free() noexcept {
  if (base_ == nullptr) return;
  region::Unguard(guard_);
  region::Release(base_, capacity_);
  base_ = nullptr;
}

FileRegion::FileRegion(FileRegion&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      end_(std::exchange(other.end_, 0)),
      guard_(std::exchange(other.guard_, -1)),
      mapped_(std::move(other.mapped_)) {}

FileRegion& FileRegion::operator=(FileRegion&& other) noexcept {
  if (this != &other) {
    Free();
    base_ = std::exchange(other.base_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    end_ = std::exchange(other.end_, 0);
    guard_ = std::exchange(other.guard_, -1);
    mapped_ = std::move(other.mapped_);
  }
  return *this;
}

std::size_t FileRegion::Add(const std::filesystem::path& path) {
  if (base_ == nullptr) throw std::logic_error("FileRegion: no range");
  std::size_t size = 0;
  internal::Fd fd(internal::OpenRegularFile(AT_FDCWD, PathBytes(path).c_str(), path, size));
  if (size > capacity_ - end_ || FootprintOf(size) > capacity_ - end_) {
    throw FileChangedError(path);
  }
  // A range without a guard could not survive a file cut short: read then.
  const bool mapped =
      guard_ >= 0 && size > 0 && size >= mapAtLeast.load() && TryMap(fd.get(), path, size);
  if (!mapped) size = ReadInto(fd.get(), path, size);
  end_ += FootprintOf(size);
  return size;
}

// Maps the file at end(); false, with the place as fresh as before, when
// it cannot be or the file changed meanwhile.
bool FileRegion::TryMap(int fd, const std::filesystem::path& path, std::size_t size) {
  char* const at = base_ + end_;
  const std::size_t pages = RoundUp(size, region::PageSize());
  struct stat before {};
  if (System().FileStatus(fd, &before) != 0 || static_cast<std::size_t>(before.st_size) != size) {
    return false;
  }
  const bool placed = System().Map(fd, at, size) == 0;
  struct stat after {};
  // Changed between the two looks, the mapping may hold some of each.
  if (placed && System().FileStatus(fd, &after) == 0 && region::SameFile(before, after)) {
    mapped_.push_back(Mapped{path, end_, size, after});
    return true;
  }
  // A failed fixed mapping may have taken the pages that were there.
  if (!region::Renew(at, pages)) throw std::bad_alloc();
  return false;
}

// Reads the file into fresh pages at end(), growing past expected as long
// as it does; returns its size.
std::size_t FileRegion::ReadInto(int fd, const std::filesystem::path& path, std::size_t expected) {
  char* const at = base_ + end_;
  std::size_t ready = FootprintOf(expected);
  if (!region::MakeWritable(at, ready)) throw std::bad_alloc();
  std::size_t filled = 0;
  for (;;) {
    if (ready - filled <= kGap) {
      const std::size_t more = RoundUp(kGrowBy, region::PageSize());
      if (more > capacity_ - end_ - ready) throw FileChangedError(path);
      if (!region::MakeWritable(at + ready, more)) throw std::bad_alloc();
      ready += more;
    }
    const ssize_t n = System().Read(fd, at + filled, ready - kGap - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(FileError::Kind::kRead, path, errno);
    }
    if (n == 0) return filled;
    filled += static_cast<std::size_t>(n);
  }
}

void FileRegion::ReadIn(std::size_t start) const {
  // Mapped in order of their starts.
  const auto m = std::lower_bound(mapped_.begin(), mapped_.end(), start,
                                  [](const Mapped& a, std::size_t s) { return a.start < s; });
  if (m != mapped_.end() && m->start == start) region::ReadIn(base_ + start, m->size);
}

void FileRegion::WriteGap(std::size_t at, std::string_view bytes) {
  if (bytes.size() > kGap || at + bytes.size() > end_) {
    throw std::logic_error("FileRegion: write past the gap");
  }
  // The gap may begin on a mapped file's last page: that page becomes a
  // private copy.
  const std::size_t page = region::PageSize();
  const std::size_t first = at / page * page;
  if (!region::MakeWritable(base_ + first, RoundUp(at + bytes.size(), page) - first)) {
    throw std::bad_alloc();
  }
  std::copy(bytes.begin(), bytes.end(), base_ + at);
}

void FileRegion::CheckUnchanged() const {
  if (const char* fault = region::FaultAt(guard_)) {
    const auto offset = static_cast<std::size_t>(fault - base_);
    for (const Mapped& m : mapped_) {
      if (offset >= m.start && offset < m.start + FootprintOf(m.size)) {
        throw FileChangedError(m.path);
      }
    }
    throw FileChangedError(mapped_.empty() ? std::filesystem::path() : mapped_.front().path);
  }
  for (const Mapped& m : mapped_) {
    struct stat now {};
    if (System().Status(PathBytes(m.path).c_str(), &now, true) != 0) {
      throw FileChangedError(m.path, errno);
    }
    if (!region::SameFile(now, m.status)) throw FileChangedError(m.path);
  }
}

}  // namespace quenFile
