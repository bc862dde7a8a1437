#include "FolderDrop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "PathText.h"

namespace fs = std::filesystem;

std::optional<fs::path> DroppedFolder(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo entry(url.toLocalFile());
    if (!entry.exists()) continue;
    // The form the folder browser gives: absolute, no trailing delimiter.
    const QString folder = entry.isDir() ? entry.absoluteFilePath() : entry.absolutePath();
    return ToPath(QDir::cleanPath(folder));
  }
  return std::nullopt;
}

TFolderDrop::TFolderDrop(QWidget* window, Allowed allowed, Choose choose)
    : QObject(window), allowed_(std::move(allowed)), choose_(std::move(choose)) {
  QList<QWidget*> targets = window->findChildren<QWidget*>();
  // Not the widgets of its dialogs, which are windows of their own.
  targets.removeIf(
      [window](const QWidget* w) { return !w->acceptDrops() || w->window() != window; });
  targets.prepend(window);
  for (QWidget* target : targets) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
  }
}

std::optional<fs::path> TFolderDrop::Judge(QDropEvent* event) const {
  std::optional<fs::path> folder;
  // Link or copy, never move: a move would let the file manager take the
  // folder away once dropped.
  const Qt::DropActions possible = event->possibleActions();
  const Qt::DropAction action = possible.testFlag(Qt::LinkAction)   ? Qt::LinkAction
                                : possible.testFlag(Qt::CopyAction) ? Qt::CopyAction
                                                                    : Qt::IgnoreAction;
  if (action != Qt::IgnoreAction && allowed_()) folder = DroppedFolder(event->mimeData());
  if (folder) {
    event->setDropAction(action);
    event->accept();
  } else {
    event->ignore();
  }
  return folder;
}

bool TFolderDrop::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
      Judge(static_cast<QDropEvent*>(event));
      return true;
    case QEvent::Drop:
      if (const std::optional<fs::path> folder = Judge(static_cast<QDropEvent*>(event))) {
        choose_(*folder);
      }
      return true;
    default:
      return false;
  }
}
