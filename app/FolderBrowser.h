// TSelectFolderDialog: the folder browser of the main window. Folders only,
// no name box, no new-folder button; "フォルダの選択" both as its caption
// and above its list, "選択" on its button. It remembers the folder last
// confirmed and opens next time with it selected.
//
// Linux (FolderBrowser.cpp): Qt's own dialog, rooted at the desktop (it
// never shows a folder above it), opening in the folder holding the last
// folder so that it or a sibling is one click away (the desktop the first
// time). Enter confirms the highlighted folder (the shown one when none is
// highlighted); a double click opens it. "選択" is enabled whenever the
// folder it would confirm is one; it and "キャンセル" stand side by side at
// the bottom right. Qt's dialog keeps no state across starts.
//
// Windows (FolderBrowserWin32.cpp): the shell's folder browser, rooted at
// the desktop, with nothing selected the first time.
#pragma once

#include <filesystem>
#include <optional>

#include <QObject>
#include <QString>

class QFileDialog;
class QWidget;

class TSelectFolderDialog : public QObject {
  Q_OBJECT
 public:
  explicit TSelectFolderDialog(QWidget* owner);

  // Shows the browser; the confirmed folder, or nothing when cancelled.
  std::optional<std::filesystem::path> Execute();

  // Qt's dialog; none on Windows, where the shell shows its own.
  QFileDialog* Dialog() const { return dialog_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AddTitle();
  void PutButtonsInARow();
  void KeepUnderDesktop();
  void Entered(const QString& path);
  void Placed(const QString& path);
  void UpdateChoose();
  bool ChooseHighlighted(QObject* view);
  bool UnderDesktop(const QString& path) const;
  void OpenAtLastFolder();
  void FocusList(const QString& current);

  QFileDialog* dialog_ = nullptr;
  QString desktop_;
  std::filesystem::path folder_;
};
