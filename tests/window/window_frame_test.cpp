// What the window tells an X11 window manager about its frame, read with
// xprop from a real TextCnv on a private Xvfb display: fixed in size,
// nothing to maximise or resize.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString Run(const QString& program, const QStringList& arguments, const QString& display) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display);
  process.setProcessEnvironment(env);
  process.start(program, arguments);
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

class WindowFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void theFrameOffersNeitherMaximisingNorResizing();
};

void WindowFrameTest::theFrameOffersNeitherMaximisingNorResizing() {
  for (const char* tool : {"Xvfb", "xprop", "xwininfo"}) {
    if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
      QSKIP(qPrintable(QStringLiteral("%1 is not installed (x11-utils, xvfb)").arg(tool)));
    }
  }
  QProcess xvfb;
  xvfb.start(QStringLiteral("Xvfb"),
             {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
              QStringLiteral("0"), QStringLiteral("1024x768x24")});
  QTRY_VERIFY_WITH_TIMEOUT(xvfb.canReadLine(), 30000);
  const QString display = QLatin1Char(':') + QString::fromLatin1(xvfb.readLine().trimmed());

  QTemporaryDir home;
  QDir().mkpath(home.filePath(QStringLiteral("runtime")));
  QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcess window;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("DISPLAY"), display);
  env.insert(QStringLiteral("HOME"), home.path());
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
  env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("textcnv.instance.debug=true"));
  env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
  env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
  window.setProcessEnvironment(env);
  window.setProcessChannelMode(QProcess::MergedChannels);
  window.start(QStringLiteral(TEXTCNV_EXE), {});
  QByteArray output;
  QTRY_VERIFY_WITH_TIMEOUT(
      (output += window.readAllStandardOutput()).contains("textcnv.instance: listening"), 60000);

  // The main window by its class and size (its title's bytes depend on the
  // locale xwininfo runs in).
  const QRegularExpression windowLine(
      QStringLiteral("(0x[0-9a-f]+) .*\\(\"TextCnv\" \"TextCnv\"\\)\\s+524x583"));
  QString id;
  QTRY_VERIFY_WITH_TIMEOUT(
      !(id = windowLine.match(Run(QStringLiteral("xwininfo"), {"-root", "-tree"}, display))
                 .captured(1))
           .isEmpty(),
      30000);
  const QString hints =
      Run(QStringLiteral("xprop"), {"-id", id, "_MOTIF_WM_HINTS", "WM_NORMAL_HINTS"}, display);
  window.kill();
  window.waitForFinished(30000);
  xvfb.kill();
  xvfb.waitForFinished(30000);

  // flags, functions, decorations: move, minimise and close; a border, a
  // title, a menu and a minimise button.
  const QRegularExpressionMatch motif =
      QRegularExpression(
          QStringLiteral("_MOTIF_WM_HINTS\\(_MOTIF_WM_HINTS\\) = (0x[0-9a-f]+), (0x[0-9a-f]+), "
                         "(0x[0-9a-f]+)"))
          .match(hints);
  QVERIFY2(motif.hasMatch(), qPrintable(hints));
  const auto value = [&motif](int field) { return motif.captured(field).toUInt(nullptr, 16); };
  QCOMPARE(value(1) & 0x3u, 0x3u);
  QCOMPARE(value(2), 0x4u | 0x8u | 0x20u);
  QCOMPARE(value(3), 0x2u | 0x8u | 0x10u | 0x20u);
  QVERIFY2(hints.contains(QStringLiteral("minimum size: 524 by 583")), qPrintable(hints));
  QVERIFY2(hints.contains(QStringLiteral("maximum size: 524 by 583")), qPrintable(hints));
}

QTEST_GUILESS_MAIN(WindowFrameTest)
#include "window_frame_test.moc"
