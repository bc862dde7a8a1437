// What the window suites share: a private home with a desktop folder, the
// shared test support (tests/support: record lines, files as bytes, the box
// recorder, the failing file system) seen through Qt types, and driving the
// window's actions.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "FaultyFileSystem.h"
#include "MBox.h"
#include "RecordLine.h"
#include "TestSupport.h"

class QPlainTextEdit;
class TfmMain;

// HOME and XDG_CONFIG_HOME point into a temporary folder whose user-dirs
// file names "デスクトップ" as the desktop; that folder exists and is empty.
class PrivateHome {
 public:
  PrivateHome();
  QString Desktop() const;
  // A new empty folder under the temporary folder.
  QString NewFolder(const QString& name) const;

 private:
  QTemporaryDir dir_;
};

struct RecordedBox {
  QString text;  // as shown, CR LF kept
  QString caption;
  unsigned flags = 0;
  bool onGuiThread = false;
  QString copyText;  // what its 「コピー」 button copies; empty: none
};

// The shared box recorder attached to the window's presenter, its boxes
// seen as RecordedBox; onBox, when set, runs for each box on the thread
// that shows it, before it is answered.
class BoxRecorder {
 public:
  BoxRecorder();
  explicit BoxRecorder(TfmMain& window) : BoxRecorder() { Attach(window); }
  void Attach(TfmMain& window);
  QStringList Texts() const;

  QList<RecordedBox> boxes;
  std::function<void(const RecordedBox&)> onBox;

 private:
  testing_support::RecordingPresenter recorder_{false};
};

// Record lines (CP932) and the failing file system, as the engine tests
// have them.
using faulty::FaultyFileSystem;
using faulty::ScopedFileSystem;
using testing_support::RecordLine;

// Lines joined with CR LF, written as the file's bytes. WriteBytes and
// ReadBytes are the shared ones for paths as Qt holds them: a file that
// cannot be written or read throws and fails the test.
void WriteLines(const QString& path, const std::vector<std::string>& lines);
void WriteBytes(const QString& path, std::string_view bytes);
QByteArray ReadBytes(const QString& path);
// Copies a folder with everything in it.
void CopyFolder(const QString& from, const QString& to);

// The window confirms folder as if chosen in the folder browser.
void ConfirmFolder(TfmMain& window, const QString& folder);
// Presses the start and waits for the run to end; false when it did not
// end in time.
bool RunToEnd(TfmMain& window);
// The lines of the log pane; none when it is empty.
QStringList MemoLines(const QPlainTextEdit* memo);
