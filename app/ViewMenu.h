// TViewMenu: the main window's menu 「表示(&V)」. 「処理結果の一覧(&L)」
// (Ctrl+L) opens the findings window on the last run's findings, once a run
// has ended and while none works, tied to that run: another folder or a
// new run marks it as the earlier run's, and the next run's findings replace
// it unless it holds unsaved edits; 「出力フォルダを開く(&O)」 shows the chosen
// folder's 処理後 in the desktop's file manager, once that folder exists.
#pragma once

#include <filesystem>
#include <functional>

#include <QDateTime>
#include <QObject>
#include <QUrl>

class QAction;
class QMenu;
class QMenuBar;
class TFindingsWindow;
class TfmMain;

class TViewMenu : public QObject {
  Q_OBJECT
 public:
  TViewMenu(TfmMain& window, QMenuBar* bar);

  // Opens a URL with the desktop; by default QDesktopServices::openUrl.
  using UrlOpener = std::function<bool(const QUrl&)>;
  void SetUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }
  // Null until the list has first been opened.
  TFindingsWindow* FindingsWindow() const { return findings_; }
  // The chosen folder's 処理後, without a trailing delimiter; empty while
  // no folder has been chosen.
  std::filesystem::path OutputFolder() const;

  QMenu* Menu;
  QAction* actView;
  QAction* actFindingsList;
  QAction* actOpenOutputFolder;

 public slots:
  void actFindingsListExecute();
  void actOpenOutputFolderExecute();
  // Enables the items by the run's state and whether 処理後 exists.
  void Update();

 private:
  void RunEnded();
  void ShowFindings();

  void FolderOrRunChanged();

  TfmMain& window_;
  TFindingsWindow* findings_ = nullptr;
  // The last run's folder and end.
  std::filesystem::path runFolder_;
  QDateTime endedAt_;
  UrlOpener opener_;
  bool runEnded_ = false;
  // The findings window shows an older run than the last one.
  bool stale_ = true;
};
