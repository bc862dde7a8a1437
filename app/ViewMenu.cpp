#include "ViewMenu.h"

#include <QAction>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "ConversionRun.h"
#include "FindingsWindow.h"
#include "MBox.h"
#include "NewAction.h"
#include "PathText.h"
#include "TopLevel.h"
#include "fmain.h"
#include "quenFile.h"
#include "quenShow.h"

namespace fs = std::filesystem;

TViewMenu::TViewMenu(TfmMain& window, QMenuBar* bar)
    : QObject(&window), window_(window), opener_(&QDesktopServices::openUrl) {
  Menu = bar->addMenu(QStringLiteral("表示(&V)"));
  Menu->setObjectName(QStringLiteral("ViewMenu"));
  actView = Menu->menuAction();
  actView->setObjectName(QStringLiteral("actView"));
  actFindingsList = NewAction(&window, &window, "actFindingsList",
                              QStringLiteral("処理結果の一覧(&L)"), Qt::CTRL | Qt::Key_L);
  actOpenOutputFolder =
      NewAction(&window, &window, "actOpenOutputFolder", QStringLiteral("出力フォルダを開く(&O)"));
  Menu->addActions({actFindingsList, actOpenOutputFolder});

  // 処理後 may have come or gone since the last look.
  connect(Menu, &QMenu::aboutToShow, this, &TViewMenu::Update);
  connect(actFindingsList, &QAction::triggered, this, &TViewMenu::actFindingsListExecute);
  connect(actOpenOutputFolder, &QAction::triggered, this, &TViewMenu::actOpenOutputFolderExecute);
  connect(&window, &TfmMain::RunEnded, this, &TViewMenu::RunEnded);
  actFindingsList->setEnabled(false);
  actOpenOutputFolder->setEnabled(false);
}

fs::path TViewMenu::OutputFolder() const {
  const fs::path chosen = window_.ChosenFolder();
  if (chosen.empty()) return {};
  fs::path::string_type folder = OutputFolderOf(chosen).native();
  folder.pop_back();  // its trailing delimiter
  return folder;
}

void TViewMenu::Update() {
  actFindingsList->setEnabled(runEnded_ && !window_.IsWorking());
  const fs::path folder = OutputFolder();
  actOpenOutputFolder->setEnabled(!folder.empty() && quenFile::IsDirectory(folder));
}

void TViewMenu::RunEnded() {
  runEnded_ = true;
  stale_ = true;
  runFolder_ = window_.ChosenFolder();
  endedAt_ = QDateTime::currentDateTime();
  Update();
  if (findings_ != nullptr && findings_->isVisible()) ShowFindings();
}

void TViewMenu::FolderOrRunChanged() {
  // The folder box also shows the run's own folder again as a run starts.
  if (sender() == window_.ui.edtSrcFolder && window_.ChosenFolder() == runFolder_) return;
  findings_->MarkEarlier();
}

void TViewMenu::ShowFindings() {
  // The run's findings belong to the worker while a run works; edits not
  // yet saved stay until the operator saves or drops them.
  if (window_.IsWorking() || findings_->HasUnsavedEdits()) {
    findings_->MarkEarlier();
    return;
  }
  fs::path csv;
  if (!runFolder_.empty()) {
    fs::path::string_type folder = OutputFolderOf(runFolder_).native();
    folder.pop_back();  // its trailing delimiter
    csv = fs::path(folder) / fs::path(u8"処理結果の一覧.csv");
  }
  findings_->SetFindings(window_.RunFindings(), csv, {runFolder_, endedAt_});
  stale_ = false;
}

void TViewMenu::actFindingsListExecute() {
  if (!runEnded_ || window_.IsWorking()) return;
  if (findings_ == nullptr) {
    findings_ = new TFindingsWindow(&window_);
    // Made after the menu: the window's controls exist by now.
    connect(window_.ui.edtSrcFolder, &QLineEdit::textChanged, this, &TViewMenu::FolderOrRunChanged);
    connect(window_.ui.actConvStart, &QAction::triggered, this, &TViewMenu::FolderOrRunChanged);
  }
  if (stale_) ShowFindings();
  findings_->show();
  findings_->raise();
  findings_->activateWindow();
}

void TViewMenu::actOpenOutputFolderExecute() {
  Update();
  if (!actOpenOutputFolder->isEnabled()) return;
  const fs::path folder = OutputFolder();
  ShowFailures([&] {
    if (opener_(QUrl::fromLocalFile(ToQString(folder)))) return;
    // Nothing on this desktop opens folders: the operator gets the path to
    // open by other means.
    const quenShow::LogText path = quenShow::LogName(quenFile::PathBytes(folder));
    MBox::ErrorOfferingCopy(u8"出力フォルダを開けるファイルマネージャーがありません。\r\n" + path +
                                u8"\r\n「コピー」でこのパスをクリップボードにコピーできます。",
                            ToQString(folder).toStdString());
  });
}
