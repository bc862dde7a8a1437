#include "WindowTestSupport.h"

#include <filesystem>
#include <optional>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include "PathText.h"
#include "fmain.h"
#include "quenText.h"

namespace {

QString Decoded(const std::string& cp932) {
  return QString::fromStdString(quenText::ToUtf8(cp932));
}

}  // namespace

PrivateHome::PrivateHome() {
  const QString home = dir_.filePath(QStringLiteral("home"));
  const QString config = dir_.filePath(QStringLiteral("config"));
  QDir().mkpath(home + QStringLiteral("/デスクトップ"));
  QDir().mkpath(config);
  QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
  if (dirs.open(QIODevice::WriteOnly)) dirs.write("XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n");
  qputenv("HOME", QFile::encodeName(home));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
}

QString PrivateHome::Desktop() const { return dir_.filePath(QStringLiteral("home/デスクトップ")); }

QString PrivateHome::NewFolder(const QString& name) const {
  const QString path = dir_.filePath(name);
  QDir().mkpath(path);
  return path;
}

BoxRecorder::BoxRecorder() {
  recorder_.onBox = [this](const MessageBoxRequest& request) {
    const RecordedBox box{QString::fromStdString(request.Utf8Text()), Decoded(request.caption),
                          request.flags, QThread::currentThread() == qApp->thread(),
                          QString::fromStdString(request.copyText)};
    boxes.append(box);
    if (onBox) onBox(box);
  };
}

void BoxRecorder::Attach(TfmMain& window) {
  window.Presenter().SetShower(
      [this](const MessageBoxRequest& request) { return recorder_.Present(request); });
}

QStringList BoxRecorder::Texts() const {
  QStringList texts;
  for (const RecordedBox& box : boxes) texts << box.text;
  return texts;
}

void WriteLines(const QString& path, const std::vector<std::string>& lines) {
  WriteBytes(path, testing_support::Crlf(lines));
}

void WriteBytes(const QString& path, std::string_view bytes) {
  testing_support::WriteBytes(ToPath(path), bytes);
}

QByteArray ReadBytes(const QString& path) {
  return QByteArray::fromStdString(testing_support::ReadBytes(ToPath(path)));
}

void CopyFolder(const QString& from, const QString& to) {
  std::filesystem::copy(ToPath(from), ToPath(to), std::filesystem::copy_options::recursive);
}

void ConfirmFolder(TfmMain& window, const QString& folder) {
  window.SetFolderChooser([path = ToPath(folder)] { return std::optional(path); });
  window.ui.actSrcFolderSelect->trigger();
}

bool RunToEnd(TfmMain& window) {
  QSignalSpy ended(&window, &TfmMain::RunEnded);
  window.ui.actConvStart->trigger();
  return !ended.isEmpty() || ended.wait(120000);
}

QStringList MemoLines(const QPlainTextEdit* memo) {
  const QString text = memo->toPlainText();
  if (text.isEmpty() && memo->document()->blockCount() <= 1) return {};
  return text.split(QLatin1Char('\n'));
}
