#include "FolderBrowser.h"

#include <system_error>
#include <vector>

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeView>
#include <QUrl>
#include <QWidget>

#include "PathText.h"
#include "quenFolder.h"

namespace fs = std::filesystem;

namespace {

const QString kTitle = QStringLiteral("フォルダの選択");

void HideChild(QFileDialog* dialog, const char* name) {
  if (auto* child = dialog->findChild<QWidget*>(QLatin1String(name))) child->hide();
}

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

TSelectFolderDialog::TSelectFolderDialog(QWidget* owner)
    : QObject(owner), dialog_(new QFileDialog(owner, kTitle)) {
  dialog_->setObjectName(QStringLiteral("SelectFolderDialog1"));
  // Qt's own dialog, set before the other options: only it takes them all
  // and has the widgets hidden below. The desktop's own browsers cannot
  // hide the name box or the new-folder button, nor caption the button.
  dialog_->setOption(QFileDialog::DontUseNativeDialog);
  dialog_->setOption(QFileDialog::ShowDirsOnly);
  dialog_->setOption(QFileDialog::ReadOnly);
  dialog_->setFileMode(QFileDialog::Directory);
  dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  dialog_->setLabelText(QFileDialog::Accept, QStringLiteral("選択"));
  // Qt's own words would be English without its translations.
  dialog_->setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
  dialog_->setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
  dialog_->setWindowTitle(kTitle);
  // ReadOnly only disables making folders; the browser has no such button
  // and no name box at all.
  for (const char* name :
       {"newFolderButton", "fileNameLabel", "fileNameEdit", "fileTypeLabel", "fileTypeCombo"}) {
    HideChild(dialog_, name);
  }
  const QString desktop = ToQString(quenFolder::GetSpecialFolder(false));
  dialog_->setSidebarUrls({QUrl::fromLocalFile(desktop)});
  AddTitle();
  // The date column as wide as its dates, which would be cut off otherwise.
  if (auto* details = dialog_->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    details->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
  }
  for (const char* name : {"listView", "treeView"}) {
    if (auto* view = dialog_->findChild<QAbstractItemView*>(QLatin1String(name))) {
      view->installEventFilter(this);
    }
  }
}

void TSelectFolderDialog::AddTitle() {
  auto* title = new QLabel(kTitle, dialog_);
  title->setObjectName(QStringLiteral("titleLabel"));
  auto* grid = qobject_cast<QGridLayout*>(dialog_->layout());
  if (grid == nullptr) return;
  // A grid takes no new first row: every cell moves one row down.
  struct Cell {
    QLayoutItem* item;
    int row, column, rows, columns;
  };
  std::vector<Cell> cells;
  while (grid->count() > 0) {
    Cell cell{};
    grid->getItemPosition(0, &cell.row, &cell.column, &cell.rows, &cell.columns);
    cell.item = grid->takeAt(0);
    cells.push_back(cell);
  }
  for (int row = grid->rowCount() - 1; row >= 0; --row) {
    grid->setRowStretch(row + 1, grid->rowStretch(row));
  }
  grid->setRowStretch(0, 0);
  for (const Cell& cell : cells) {
    grid->addItem(cell.item, cell.row + 1, cell.column, cell.rows, cell.columns);
  }
  grid->addWidget(title, 0, 0, 1, grid->columnCount());
}

std::optional<fs::path> TSelectFolderDialog::Execute() {
  OpenAtLastFolder();
  if (dialog_->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog_->selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  folder_ = ToPath(QDir::cleanPath(chosen.front()));
  return folder_;
}

void TSelectFolderDialog::OpenAtLastFolder() {
  std::error_code error;
  const bool beside = !folder_.empty() && fs::is_directory(folder_, error);
  if (beside) {
    dialog_->setDirectory(ToQString(folder_.parent_path()));
    dialog_->selectFile(ToQString(folder_));
  } else {
    dialog_->setDirectory(ToQString(quenFolder::GetSpecialFolder(false)));
  }
  // Once the browser is up (it gives its hidden name box the focus as it
  // opens), its list takes the keys, on the last folder if it is there.
  const QString current = beside ? ToQString(folder_) : QString();
  QMetaObject::invokeMethod(
      this, [this, current] { FocusList(current); }, Qt::QueuedConnection);
}

void TSelectFolderDialog::FocusList(const QString& current) {
  const char* name = dialog_->viewMode() == QFileDialog::Detail ? "treeView" : "listView";
  auto* view = dialog_->findChild<QAbstractItemView*>(QLatin1String(name));
  if (view == nullptr) return;
  auto* model = qobject_cast<QFileSystemModel*>(view->model());
  if (model != nullptr && !current.isEmpty()) view->setCurrentIndex(model->index(current));
  view->setFocus(Qt::OtherFocusReason);
}

bool TSelectFolderDialog::LastFolderSelected() const {
  if (folder_.empty()) return false;
  const QStringList selected = dialog_->selectedFiles();
  return selected.size() == 1 && ToPath(QDir::cleanPath(selected.front())) == folder_;
}

bool TSelectFolderDialog::eventFilter(QObject* watched, QEvent* event) {
  if (IsEnter(event) && LastFolderSelected()) {
    // The browser's own accept, with its checks.
    static_cast<QDialog*>(dialog_)->accept();
    return true;
  }
  return QObject::eventFilter(watched, event);
}
