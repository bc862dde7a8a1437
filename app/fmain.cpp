// The main window's life, its folder handling and its small actions.
#include "fmain.h"

#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "FileListBox.h"
#include "FolderBrowser.h"
#include "PathText.h"
#include "SourceFolder.h"
#include "TopLevel.h"
#include "ViewMenu.h"
#include "quenFile.h"
#include "quenFolder.h"

namespace fs = std::filesystem;

TfmMain::TfmMain(QWidget* parent) : QWidget(parent) {
  CompleteForm();
  chooser_ = [this] { return SelectFolderDialog1->Execute(); };
  // A box comes after every log line reported before it.
  connect(&presenter_, &TBoxPresenter::handingOver, &host_, &TWindowRunHost::SendLog,
          Qt::DirectConnection);
  ConnectHost();
  connect(&worker_, &TRunWorker::Finished, this, &TfmMain::StagesFinished);
  try {
    FormCreate();
  } catch (...) {
    // No destructor runs for a window that failed to build: the boxes must
    // not go on to its presenter once it is gone.
    MBox::SetPresenter(previousPresenter_);
    throw;
  }
}

TfmMain::~TfmMain() { FormDestroy(); }

void TfmMain::FormCreate() {
  previousPresenter_ = MBox::SetPresenter(&presenter_);
  data_.TargetFiles.clear();
  data_.ClearErrorList();

  // The desktop's files are shown, but TargetFiles stays empty: nothing can
  // be converted before a folder has been chosen.
  const fs::path desktop = quenFolder::GetSpecialFolder(false);
  std::vector<fs::path> files;
  try {
    files = ListFolderFiles(desktop);
  } catch (const quenFile::FileError&) {
    // An unreadable desktop just lists nothing.
  }
  ShowFolder(desktop, files);

  ui.lblTop->setText(Instructions());
  UpdateRunActions();
}

void TfmMain::FormDestroy() {
  // A run still working cannot be stopped, only waited for: its boxes are
  // answered unseen and its log goes nowhere.
  presenter_.SetClosing(true);
  disconnect(&host_, nullptr, this, nullptr);
  disconnect(&worker_, nullptr, this, nullptr);
  worker_.Wait();
  SetBusy(false);
  MBox::SetPresenter(previousPresenter_);

  data_.TargetFiles.clear();
  data_.ClearErrorList();
}

void TfmMain::ConnectHost() {
  connect(&host_, &TWindowRunHost::folderRead, this, &TfmMain::ShowFolder);
  connect(&host_, &TWindowRunHost::logCleared, this, &TfmMain::ClearLog);
  connect(&host_, &TWindowRunHost::logAppended, this, &TfmMain::AppendLog);
  connect(&host_, &TWindowRunHost::progressChanged, this, &TfmMain::ShowProgress);
  connect(&host_, &TWindowRunHost::busyChanged, this, &TfmMain::SetBusy);
}

void TfmMain::actFileExecute() {}

void TfmMain::actExitExecute() { close(); }

void TfmMain::actSrcFolderSelectExecute() {
  ShowFailures([this] {
    if (working_) return;
    const std::optional<fs::path> chosen = chooser_();
    if (!chosen) return;
    ChooseFolder(*chosen);
  });
}

void TfmMain::ChooseFolder(const fs::path& folder) {
  if (working_) return;
  host_.SetConfirmedFolder(folder);
  RefreshSourceFolder();
}

void TfmMain::RefreshSourceFolder() {
  if (working_) return;  // the run's lists are not the window's meanwhile
  // Nothing to convert while the folder is being read, nor while its "no
  // files" box is up.
  hasTargets_ = false;
  UpdateRunActions();
  // The run reads the folder into TargetFiles and shows the same listing
  // here through its host, so the list and TargetFiles cannot disagree.
  run_.ReadFolder();
  hasTargets_ = !data_.TargetFiles.empty();
  UpdateRunActions();
}

void TfmMain::ShowFolder(const fs::path& folder, const std::vector<fs::path>& files) {
  ui.edtSrcFolder->setText(ToQString(folder));
  ui.JvFileListBox1->SetFiles(files);
}

void TfmMain::actConvStartUpdate() { ui.actConvStart->setEnabled(hasTargets_ && !working_); }

void TfmMain::UpdateRunActions() {
  actConvStartUpdate();
  ui.actSrcFolderSelect->setEnabled(!working_);
  ViewMenu->Update();
}

void TfmMain::closeEvent(QCloseEvent* event) {
  if (!working_) {
    event->accept();
    return;
  }
  // A box here could outlive the run and have its end box stacked on it.
  // The close is kept instead: the window closes once the run has ended
  // and its end box has been answered.
  event->ignore();
  closeAfterRun_ = true;
}

void TfmMain::CloseIfAsked(bool completed) {
  const bool asked = std::exchange(closeAfterRun_, false);
  // A failed run's log was not saved: the window stays to show it.
  if (asked && completed) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}
