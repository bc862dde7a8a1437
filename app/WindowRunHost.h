// TWindowRunHost: the conversion run's view of the main window.
//
// The run calls its host from whichever thread runs it; every call becomes a
// signal, received on the GUI thread in the order of the calls. Calls made
// on the GUI thread are delivered at once, calls from a worker through
// queued signals. A worker's log lines are kept back and handed over in
// batches, one batch in flight at a time: a burst of thousands of lines
// becomes a few appends, each small enough that the window keeps serving
// its input, timers and painting between them. A worker that has a full
// batch kept back waits until the window has taken it, and so does one
// about to send anything else.
//
// The window keeps painting its log while the run works, so the run's wish
// to pause that painting is not passed on.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>

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

 public slots:
  // Waits until the window has taken the lines still kept back, so that
  // they come before whatever this thread sends next. Call it on the worker
  // before a box and at the run's end (connected directly); nothing to do
  // on the GUI thread.
  void SendLog();

 signals:
  void folderRead(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files);
  void logCleared();
  // Lines in the order appended.
  void logAppended(const QStringList& lines);
  void progressChanged(int position, int maximum);
  void busyChanged(bool busy);

 private:
  // GUI thread: appends the lines kept back, then looks for more behind the
  // events that came meanwhile.
  void DeliverKept();

  mutable std::mutex mutex_;
  std::filesystem::path confirmed_;
  QStringList kept_;
  std::condition_variable taken_;
  // A DeliverKept is on its way: whenever lines are kept back.
  bool delivering_ = false;
};
