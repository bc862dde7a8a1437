#include "WindowRunHost.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

// Long enough to deliver hundreds of lines, short enough not to be felt.
constexpr qint64 kSliceMs = 8;

}  // namespace

TWindowRunHost::TWindowRunHost(QObject* parent) : QObject(parent) {
  // Queued calls copy their arguments, so the types must be known by name.
  qRegisterMetaType<std::filesystem::path>();
  qRegisterMetaType<std::vector<std::filesystem::path>>();
  // A timer, not a posted call: the next slice waits behind input and paint.
  sliceTimer_.setSingleShot(true);
  sliceTimer_.setInterval(0);
  connect(&sliceTimer_, &QTimer::timeout, this, &TWindowRunHost::DeliverSlice);
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
  Post([this, folder, files] { emit folderRead(folder, files); });
}

void TWindowRunHost::LogCleared() {
  Post([this] { emit logCleared(); });
}

void TWindowRunHost::LogAppended(std::string_view /*line*/, std::string_view shown) {
  Post([this, text = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()))] {
    emit logAppended(text);
  });
}

void TWindowRunHost::ProgressChanged(int position, int maximum) {
  Post([this, position, maximum] { emit progressChanged(position, maximum); });
}

void TWindowRunHost::BusyChanged(bool busy) {
  Post([this, busy] { emit busyChanged(busy); });
}

void TWindowRunHost::Post(std::function<void()> call) {
  if (QThread::currentThread() == thread()) {
    Flush();
    call();
    return;
  }
  std::lock_guard lock(mutex_);
  queued_.push_back(std::move(call));
  if (sliceDue_) return;
  sliceDue_ = true;
  QMetaObject::invokeMethod(this, &TWindowRunHost::DeliverSlice, Qt::QueuedConnection);
}

bool TWindowRunHost::DeliverOne() {
  Call call;
  {
    std::lock_guard lock(mutex_);
    if (queued_.empty()) {
      sliceDue_ = false;
      return false;
    }
    call = std::move(queued_.front());
    queued_.pop_front();
  }
  call();
  return true;
}

void TWindowRunHost::DeliverSlice() {
  QElapsedTimer slice;
  slice.start();
  while (DeliverOne()) {
    if (slice.elapsed() >= kSliceMs) {
      sliceTimer_.start();
      return;
    }
  }
}

void TWindowRunHost::Flush() {
  while (DeliverOne()) {
  }
}
