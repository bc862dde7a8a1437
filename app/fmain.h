// TfmMain: the program's only working window. It tells the operator what to
// prepare, lets them choose the folder of record files, lists its files,
// starts the conversion run and shows the run log.
//
// The run's preparation (which may end it with a box) runs on the GUI
// thread, its stages on a worker thread; the window stays responsive but
// refuses a second run and a new folder until the run has ended; closing it
// meanwhile closes it once a completed run's end box has been answered.
// The log keeps painting while the run works: the run would pause it, but
// only a window frozen by its run needs that.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include <QWidget>

#include "BoxPresenter.h"
#include "ConversionRun.h"
#include "RunData.h"
#include "RunWorker.h"
#include "WindowRunHost.h"
#include "ui_fmain.h"

class TEditActions;
class TSelectFolderDialog;
class TViewMenu;

class TfmMain : public QWidget {
  Q_OBJECT
 public:
  explicit TfmMain(QWidget* parent = nullptr);
  ~TfmMain() override;

  // Asks for a folder; nothing when the operator cancels. By default the
  // folder browser SelectFolderDialog1.
  using FolderChooser = std::function<std::optional<std::filesystem::path>()>;
  void SetFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }
  TBoxPresenter& Presenter() { return presenter_; }
  bool IsWorking() const { return working_; }
  // The four lines of lblTop.
  static QString Instructions();

  // Takes the folder last confirmed into the window: shows it, lists its
  // files and rebuilds TargetFiles from that listing.
  void RefreshSourceFolder();
  // Takes folder as the folder browser's choice (also a dropped folder).
  // Throws what reading the folder throws.
  void ChooseFolder(const std::filesystem::path& folder);
  // The folder last confirmed; empty before the first choice.
  std::filesystem::path ChosenFolder() const { return host_.ConfirmedFolder(); }
  // What the last run found; read it only while no run works.
  const Findings& RunFindings() const { return data_.RunFindings; }

  // The controls and their actions, as on the form (fmain.ui); the file
  // menu's own action is named actFile.
  Ui::fmMain ui;
  // The parts made in code: the folder browser, the edit actions on
  // edtSrcFolder and Memo1, and the menu 「表示(&V)」.
  TSelectFolderDialog* SelectFolderDialog1;
  TEditActions* EditActions;
  TViewMenu* ViewMenu;

 public slots:
  void actFileExecute();
  void actExitExecute();
  void actSrcFolderSelectExecute();
  void actConvStartExecute();
  // Enables the start exactly when there are files to convert and no run is
  // working; called whenever either changes.
  void actConvStartUpdate();

 signals:
  // A run started by actConvStartExecute has ended, however it ended.
  void RunEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Completes the form with what fmain.ui cannot hold.
  void CompleteForm();
  void ConnectActions();
  void FormCreate();
  void FormDestroy();
  void ConnectHost();

  void ShowFolder(const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& files);
  void StartStages();
  void StagesFinished();
  void UpdateRunActions();
  void SetBusy(bool busy);
  // Closes the window after a run the operator tried to close during.
  void CloseIfAsked(bool completed);
  void ShowProgress(int position, int maximum);
  void ClearLog();
  void AppendLog(const QStringList& lines);

  RunData data_;
  TWindowRunHost host_;
  ConversionRun run_{host_, data_};
  TBoxPresenter presenter_{this};
  MessagePresenter* previousPresenter_ = nullptr;
  TRunWorker worker_;
  FolderChooser chooser_;

  // The GUI thread's own answer to "is TargetFiles empty?": RunData belongs
  // to the worker while a run works.
  bool hasTargets_ = false;
  bool working_ = false;
  bool busy_ = false;
  // The operator closed the window while a run worked.
  bool closeAfterRun_ = false;
  // Lines in Memo1: an empty first line leaves the document empty, so the
  // count decides whether a line needs a new block.
  int logLineCount_ = 0;
};
