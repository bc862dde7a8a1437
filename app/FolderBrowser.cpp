#include "FolderBrowser.h"

#include <algorithm>
#include <initializer_list>
#include <system_error>
#include <vector>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
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

// Qt's dialog keeps its places, history and column widths in the user's
// QtProject settings and reads them back at the next start; the program
// keeps nothing. The user's own settings of this process go to a folder
// that cannot exist, so nothing is read from or written to any.
void KeepNoSettings() {
  static const bool kept = [] {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    return true;
  }();
  (void)kept;
}

bool IsKey(const QEvent* event, std::initializer_list<int> keys) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  // Alt+Up goes to the parent folder, as Backspace does.
  const int pressed = key->key() == Qt::Key_Up && (key->modifiers() & Qt::AltModifier)
                          ? int(Qt::Key_Backspace)
                          : key->key();
  return std::find(keys.begin(), keys.end(), pressed) != keys.end();
}

QString DesktopText() {
  const QString desktop = ToQString(quenFolder::GetSpecialFolder(false));
  return desktop.isEmpty() ? desktop : QDir::cleanPath(desktop);
}

QAbstractButton* ChooseButton(const QFileDialog* dialog) {
  auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  return box == nullptr ? nullptr : box->button(QDialogButtonBox::Open);
}

}  // namespace

TSelectFolderDialog::TSelectFolderDialog(QWidget* owner)
    : QObject(owner),
      // Opened at the desktop, so that its history holds nothing above it.
      dialog_((KeepNoSettings(), new QFileDialog(owner, kTitle, DesktopText()))),
      desktop_(DesktopText()) {
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
  dialog_->setSidebarUrls({QUrl::fromLocalFile(desktop_)});
  AddTitle();
  PutButtonsInARow();
  // The date column as wide as its dates, which would be cut off otherwise.
  if (auto* details = dialog_->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    details->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
  }
  for (const char* name : {"listView", "treeView"}) {
    if (auto* view = dialog_->findChild<QAbstractItemView*>(QLatin1String(name))) {
      view->installEventFilter(this);
    }
  }
  KeepUnderDesktop();
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

void TSelectFolderDialog::PutButtonsInARow() {
  auto* grid = qobject_cast<QGridLayout*>(dialog_->layout());
  auto* box = dialog_->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  if (grid == nullptr || box == nullptr) return;
  // Qt stacks them beside the name box, which the browser does not show.
  grid->removeWidget(box);
  box->setOrientation(Qt::Horizontal);
  grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignRight);
}

void TSelectFolderDialog::KeepUnderDesktop() {
  if (auto* model = dialog_->findChild<QFileSystemModel*>()) {
    connect(model, &QFileSystemModel::rootPathChanged, this, &TSelectFolderDialog::Entered);
  }
  if (QAbstractButton* choose = ChooseButton(dialog_)) choose->installEventFilter(this);
  connect(dialog_, &QFileDialog::currentChanged, this, &TSelectFolderDialog::UpdateChoose);
}

void TSelectFolderDialog::Entered(const QString& path) {
  if (!UnderDesktop(path)) {
    // Only the combo of places above it still leads there: straight back.
    QMetaObject::invokeMethod(
        dialog_, [this] { dialog_->setDirectory(desktop_); }, Qt::QueuedConnection);
    return;
  }
  // The hidden name box still names what was selected in the folder left,
  // which Qt would take as the choice here.
  if (auto* name = dialog_->findChild<QWidget*>(QStringLiteral("fileNameEdit"))) {
    QMetaObject::invokeMethod(name, "clear");
  }
  Placed(path);
}

void TSelectFolderDialog::Placed(const QString& path) {
  if (auto* up = dialog_->findChild<QWidget*>(QStringLiteral("toParentButton"))) {
    up->setEnabled(desktop_.isEmpty() || QDir::cleanPath(path) != desktop_);
  }
  UpdateChoose();
}

bool TSelectFolderDialog::UnderDesktop(const QString& path) const {
  if (desktop_.isEmpty()) return true;
  const QString clean = QDir::cleanPath(path);
  return !path.isEmpty() && (clean == desktop_ || clean.startsWith(desktop_ + QLatin1Char('/')) ||
                             desktop_ == QLatin1String("/"));
}

void TSelectFolderDialog::UpdateChoose() {
  QAbstractButton* choose = ChooseButton(dialog_);
  if (choose == nullptr) return;
  // What 選択 would confirm: the selected folder, else the shown one.
  const QStringList chosen = dialog_->selectedFiles();
  const bool choosable =
      chosen.size() == 1 && QFileInfo(chosen.front()).isDir() && UnderDesktop(chosen.front());
  if (choose->isEnabled() != choosable) choose->setEnabled(choosable);
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
  // Beside it, unless it is the desktop itself: nothing above is shown.
  const bool beside = !folder_.empty() && fs::is_directory(folder_, error) &&
                      UnderDesktop(ToQString(folder_)) &&
                      QDir::cleanPath(ToQString(folder_)) != desktop_;
  if (beside) {
    dialog_->setDirectory(ToQString(folder_.parent_path()));
    dialog_->selectFile(ToQString(folder_));
  } else {
    dialog_->setDirectory(desktop_);
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
  // Opened where it already stood, it heard of no new folder.
  Placed(dialog_->directory().absolutePath());
}

bool TSelectFolderDialog::ChooseHighlighted(QObject* watched) {
  auto* view = qobject_cast<QAbstractItemView*>(watched);
  if (view == nullptr) return false;
  const QModelIndex current = view->currentIndex();
  if (current.isValid()) {
    view->selectionModel()->select(current,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  UpdateChoose();
  QAbstractButton* choose = ChooseButton(dialog_);
  // The browser's own accept, with its checks.
  if (choose != nullptr && choose->isEnabled()) static_cast<QDialog*>(dialog_)->accept();
  return true;
}

bool TSelectFolderDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::EnabledChange && watched == ChooseButton(dialog_)) {
    // Qt decides by its hidden name box; the choice is what counts.
    QMetaObject::invokeMethod(this, &TSelectFolderDialog::UpdateChoose, Qt::QueuedConnection);
  } else if (IsKey(event, {Qt::Key_Return, Qt::Key_Enter})) {
    return ChooseHighlighted(watched);
  } else if (IsKey(event, {Qt::Key_Backspace}) &&
             QDir::cleanPath(dialog_->directory().absolutePath()) == desktop_) {
    return true;  // nothing above the desktop
  }
  return QObject::eventFilter(watched, event);
}
