#include "WindowTestSupport.h"

#include <cerrno>
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

void BoxRecorder::Attach(TfmMain& window) {
  window.Presenter().SetShower([this](const MessageBoxRequest& request) {
    RecordedBox box{QString::fromStdString(request.Utf8Text()), Decoded(request.caption),
                    request.flags, QThread::currentThread() == qApp->thread(),
                    QString::fromStdString(request.copyText)};
    boxes.append(box);
    if (onBox) onBox(box);
    return MBox::kIdOk;
  });
}

QStringList BoxRecorder::Texts() const {
  QStringList texts;
  for (const RecordedBox& box : boxes) texts << box.text;
  return texts;
}

FailingFileSystem::FailingFileSystem(Call call, std::string name, int error)
    : call_(call), name_(std::move(name)), error_(error), previous_(quenFile::SetSystem(this)) {}

FailingFileSystem::~FailingFileSystem() { quenFile::SetSystem(previous_); }

bool FailingFileSystem::Fails(Call call, const char* path) const {
  return call == call_ && std::filesystem::path(path).filename().native() == name_;
}

int FailingFileSystem::Open(const char* path, int flags, mode_t mode) {
  if (Fails(Call::kOpen, path)) return errno = error_, -1;
  return FileSystem::Open(path, flags, mode);
}

int FailingFileSystem::MakeDirectory(const char* path, mode_t mode) {
  if (Fails(Call::kMakeDirectory, path)) return errno = error_, -1;
  return FileSystem::MakeDirectory(path, mode);
}

int FailingFileSystem::Unlink(const char* path) {
  if (Fails(Call::kUnlink, path)) return errno = error_, -1;
  return FileSystem::Unlink(path);
}

int FailingFileSystem::UnlinkAt(int dirFd, const char* name, int flags) {
  if (Fails(Call::kUnlink, name)) return errno = error_, -1;
  return FileSystem::UnlinkAt(dirFd, name, flags);
}

std::string RecordLine(int id, std::string_view key, std::string_view title,
                       std::string_view reading, std::string_view ndc) {
  const QByteArray idText = QByteArray::number(20260000 + id);
  std::string line = idText.toStdString() + "\t1\t" + std::string(key) + "\t" + std::string(title) +
                     "\t" + std::string(reading) + "\t著者\t出版社\t2026\t100p\t" +
                     std::string(ndc);
  for (int field = 10; field < 25; ++field) line += "\t-";
  return quenText::FromUtf8(line);
}

void WriteLines(const QString& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  WriteBytes(path, bytes);
}

void WriteBytes(const QString& path, std::string_view bytes) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
