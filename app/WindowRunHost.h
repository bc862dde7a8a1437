// TWindowRunHost: the conversion run's view of the main window.
//
// The run calls its host from whichever thread runs it. Every call becomes a
// signal; connected with the default connection type, calls made on the GUI
// thread reach the window at once, calls from a worker are queued and arrive
// in the order they were made.
#pragma once

#include <filesystem>
#include <mutex>
#include <vector>

#include <QObject>
#include <QString>

#include "RunHost.h"

class TWindowRunHost : public QObject, public RunHost {
  Q_OBJECT
 public:
  explicit TWindowRunHost(QObject* parent = nullptr);

  void SetConfirmedFolder(const std::filesystem::path& folder);
  std::filesystem::path ConfirmedFolder() const override;

  void FolderRead(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files) override;
  void LogCleared() override { emit logCleared(); }
  // Decoded here, on the run's thread, so the GUI thread only appends.
  void LogAppended(std::string_view line) override;
  void LogPaintingSuspended(bool suspended) override { emit logPaintingSuspended(suspended); }
  void ProgressChanged(int position, int maximum) override {
    emit progressChanged(position, maximum);
  }
  void BusyChanged(bool busy) override { emit busyChanged(busy); }

 signals:
  void folderRead(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files);
  void logCleared();
  void logAppended(const QString& line);
  void logPaintingSuspended(bool suspended);
  void progressChanged(int position, int maximum);
  void busyChanged(bool busy);

 private:
  mutable std::mutex mutex_;
  std::filesystem::path confirmed_;
};
