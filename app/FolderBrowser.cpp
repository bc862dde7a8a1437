#include "FolderBrowser.h"

#include <QFileDialog>
#include <QUrl>
#include <QWidget>

#include "PathText.h"
#include "quenFolder.h"

namespace {

const QString kTitle = QStringLiteral("フォルダの選択");

void HideChild(QFileDialog* dialog, const char* name) {
  if (auto* child = dialog->findChild<QWidget*>(QLatin1String(name))) child->hide();
}

}  // namespace

TSelectFolderDialog::TSelectFolderDialog(QWidget* owner)
    : QObject(owner), dialog_(new QFileDialog(owner, kTitle)) {
  dialog_->setObjectName(QStringLiteral("SelectFolderDialog1"));
  // Qt's own dialog, set before the other options: only it takes them all
  // and has the widgets hidden below.
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
}

std::optional<std::filesystem::path> TSelectFolderDialog::Execute() {
  const std::filesystem::path start =
      folder_.empty() ? quenFolder::GetSpecialFolder(false) : folder_;
  dialog_->setDirectory(ToQString(start));
  if (dialog_->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog_->selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  folder_ = ToPath(QDir::cleanPath(chosen.front()));
  return folder_;
}
