// What the window suites share: a private home with a desktop folder, record
// files in CP932, a recorder that takes the place of message boxes, a file
// system that fails one chosen call, and driving the window's actions.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "MBox.h"
#include "quenFileSystem.h"

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

// Records the window's boxes instead of showing them; onBox, when set, runs
// for each box on the thread that shows it, before it is answered.
class BoxRecorder {
 public:
  BoxRecorder() = default;
  explicit BoxRecorder(TfmMain& window) { Attach(window); }
  void Attach(TfmMain& window);
  QStringList Texts() const;

  QList<RecordedBox> boxes;
  std::function<void(const RecordedBox&)> onBox;
};

// Fails every call of one kind on paths whose file name is name, with errno
// error; installed for its lifetime.
class FailingFileSystem : public quenFile::FileSystem {
 public:
  enum class Call { kOpen, kMakeDirectory, kUnlink };
  FailingFileSystem(Call call, std::string name, int error);
  ~FailingFileSystem() override;

  int Open(const char* path, int flags, mode_t mode) override;
  int MakeDirectory(const char* path, mode_t mode) override;
  int Unlink(const char* path) override;
  int UnlinkAt(int dirFd, const char* name, int flags) override;

 private:
  bool Fails(Call call, const char* path) const;

  Call call_;
  std::string name_;
  int error_;
  quenFile::FileSystem* previous_;
};

// One record line (CP932): 25 tab-separated fields with the given id (8
// digits), key, title, reading and classification number.
std::string RecordLine(int id, std::string_view key, std::string_view title,
                       std::string_view reading, std::string_view ndc = "913.6");
// Lines joined with CR LF, written as the file's bytes.
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
