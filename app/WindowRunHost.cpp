#include "WindowRunHost.h"

#include <algorithm>
#include <utility>

#include <QElapsedTimer>
#include <QThread>

namespace {

// Lines a worker may keep back before it waits for the window.
constexpr qsizetype kBatchLines = 256;
// The window appends them a few at a time for a slice of time: long enough
// for hundreds of lines, short enough not to be felt.
constexpr qsizetype kChunkLines = 16;
constexpr qint64 kSliceMs = 8;

}  // namespace

TWindowRunHost::TWindowRunHost(QObject* parent) : QObject(parent) {
  // Queued signals copy their arguments, so the types must be known by name.
  qRegisterMetaType<std::filesystem::path>();
  qRegisterMetaType<std::vector<std::filesystem::path>>();
}

void TWindowRunHost::SetConfirmedFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(mutex_);
  confirmed_ = folder;
}

std::filesystem::path TWindowRunHost::ConfirmedFolder() const {
  std::lock_guard lock(mutex_);
  return confirmed_;
}

void TWindowRunHost::FolderRead(const std::filesystem::path& folder,
                                const std::vector<std::filesystem::path>& files) {
  SendLog();
  emit folderRead(folder, files);
}

void TWindowRunHost::LogCleared() {
  SendLog();
  emit logCleared();
}

void TWindowRunHost::LogAppended(std::string_view /*line*/, std::string_view shown) {
  QString text = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
  if (QThread::currentThread() == thread()) {
    emit logAppended(QStringList{std::move(text)});
    return;
  }
  std::unique_lock lock(mutex_);
  // A burst waits for the window rather than piling up lines the window
  // would then have to append in one stretch.
  taken_.wait(lock, [this] { return kept_.size() < kBatchLines; });
  kept_.push_back(std::move(text));
  if (delivering_) return;
  delivering_ = true;
  QMetaObject::invokeMethod(this, &TWindowRunHost::DeliverKept, Qt::QueuedConnection);
}

void TWindowRunHost::ProgressChanged(int position, int maximum) {
  SendLog();
  emit progressChanged(position, maximum);
}

void TWindowRunHost::BusyChanged(bool busy) {
  SendLog();
  emit busyChanged(busy);
}

void TWindowRunHost::SendLog() {
  if (QThread::currentThread() == thread()) return;
  // Once the window has taken the lines, it appends them before it gets to
  // anything this thread sends after them.
  std::unique_lock lock(mutex_);
  taken_.wait(lock, [this] { return kept_.isEmpty(); });
}

void TWindowRunHost::DeliverKept() {
  QElapsedTimer slice;
  slice.start();
  do {
    QStringList lines;
    {
      std::lock_guard lock(mutex_);
      if (kept_.isEmpty()) {
        delivering_ = false;
        return;
      }
      const qsizetype count = std::min(kept_.size(), kChunkLines);
      lines = kept_.first(count);
      kept_.remove(0, count);
    }
    taken_.notify_all();
    emit logAppended(lines);
  } while (slice.elapsed() < kSliceMs);
  // Posted, not looped: whatever came meanwhile (input, timers, painting)
  // is served before the next slice.
  QMetaObject::invokeMethod(this, &TWindowRunHost::DeliverKept, Qt::QueuedConnection);
}
