// TSelectFolderDialog: the folder browser of the main window. Folders only,
// no name box, no new-folder button; it remembers the folder last confirmed
// and opens there next time (the desktop the first time).
#pragma once

#include <filesystem>
#include <optional>

#include <QObject>

class QFileDialog;
class QWidget;

class TSelectFolderDialog : public QObject {
  Q_OBJECT
 public:
  explicit TSelectFolderDialog(QWidget* owner);

  // Shows the browser; the confirmed folder, or nothing when cancelled.
  std::optional<std::filesystem::path> Execute();

  // Empty until a folder has been confirmed.
  const std::filesystem::path& Folder() const { return folder_; }
  QFileDialog* Dialog() const { return dialog_; }

 private:
  QFileDialog* dialog_;
  std::filesystem::path folder_;
};
