// TFolderDrop: a folder dragged from the file manager onto a window chooses
// that folder; a dragged file chooses the folder it is in. Of several
// entries the first local one that exists decides; remote addresses, plain
// text and entries that are gone are refused, and so is every drop while
// the window does not allow one.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include <QObject>

class QDropEvent;
class QMimeData;
class QWidget;

// The folder dropped data stands for, or nothing.
std::optional<std::filesystem::path> DroppedFolder(const QMimeData* data);

class TFolderDrop : public QObject {
  Q_OBJECT
 public:
  using Allowed = std::function<bool()>;
  using Choose = std::function<void(const std::filesystem::path&)>;

  // Takes drops on window and on each of its widgets that would take drops
  // for itself (edits), so that they cannot refuse a folder for the window.
  TFolderDrop(QWidget* window, Allowed allowed, Choose choose);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Accepts or refuses a drag; the folder when accepted.
  std::optional<std::filesystem::path> Judge(QDropEvent* event) const;

  Allowed allowed_;
  Choose choose_;
};
