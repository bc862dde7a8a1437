// TWindowRunHost: the conversion run's view of the main window.
//
// The run calls its host from whichever thread runs it; every call becomes a
// signal emitted on the GUI thread, in the order of the calls. Calls made on
// the GUI thread are delivered at once. Calls from a worker are queued and
// delivered in slices of a few milliseconds, so that a burst of thousands of
// log lines never keeps the window from its input, timers and painting.
//
// The window keeps painting its log while the run works, so the run's wish
// to pause that painting is not passed on.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "RunHost.h"

class TWindowRunHost : public QObject, public RunHost {
  Q_OBJECT
 public:
  explicit TWindowRunHost(QObject* parent = nullptr);

  void SetConfirmedFolder(const std::filesystem::path& folder);
  std::filesystem::path ConfirmedFolder() const override;

  void FolderRead(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files) override;
  void LogCleared() override;
  // Shows the line's UTF-8 form, taken into a QString here, on the run's
  // thread, so the GUI thread only appends.
  void LogAppended(std::string_view line, std::string_view shown) override;
  void ProgressChanged(int position, int maximum) override;
  void BusyChanged(bool busy) override;

  // Runs call on the GUI thread after every call made before it.
  void Post(std::function<void()> call);
  // Delivers every call still queued, at once; GUI thread only. Whatever the
  // window does next (a box, the run's end) then comes after them.
  void Flush();

 signals:
  void folderRead(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files);
  void logCleared();
  void logAppended(const QString& line);
  void progressChanged(int position, int maximum);
  void busyChanged(bool busy);

 private:
  using Call = std::function<void()>;
  // Delivers queued calls for one slice of time; schedules the next slice
  // when some are left.
  void DeliverSlice();
  bool DeliverOne();

  mutable std::mutex mutex_;
  std::filesystem::path confirmed_;
  std::deque<Call> queued_;
  // A slice is due: posted, or waiting on sliceTimer_.
  bool sliceDue_ = false;
  QTimer sliceTimer_;
};
