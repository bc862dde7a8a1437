// Start-up with the single-instance guard, and failures during start-up,
// with real TextCnv processes in a private runtime folder.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowTestSupport.h"

namespace {

const QString kName = QStringLiteral("5E7A9C31-04BD-4F62-9A18-C3D07E5B2F94");

// What the guard's trace lines start with (app/InstanceTrace.h).
const QString kTrace = QStringLiteral("textcnv.instance: ");

// One TextCnv process whose output (the guard's trace and what the driver
// prints) is collected as it comes. Without driverOptions it is the shipped
// program; with them the tests' driver, which runs the same start-up and then
// acts as they say (tests/window/TextCnvDriver.h).
class Instance {
 public:
  explicit Instance(const QString& runtime, const QStringList& driverOptions = {},
                    const QList<std::pair<QString, QString>>& extraEnv = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("TMPDIR"), runtime);
    env.insert(QStringLiteral("HOME"), runtime);
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("textcnv.instance.debug=true"));
    env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
    // An empty value takes the variable away.
    for (const auto& [name, value] : extraEnv) {
      if (value.isEmpty()) {
        env.remove(name);
      } else {
        env.insert(name, value);
      }
    }
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    if (driverOptions.isEmpty()) {
      process_.start(QStringLiteral(TEXTCNV_EXE), {});
    } else {
      process_.start(QStringLiteral(TEXTCNV_DRIVER_EXE), QStringList{"--start"} + driverOptions);
    }
  }
  ~Instance() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(30000);
    }
  }

  // Every line, the guard's trace without its category.
  QStringList Lines() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    QStringList lines = output_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines) {
      if (line.startsWith(kTrace)) line.remove(0, kTrace.size());
    }
    return lines;
  }
  bool Running() const { return process_.state() == QProcess::Running; }
  QProcess& process() { return process_; }

 private:
  QProcess process_;
  QString output_;
};

// A folder made as another user (or anyone) could have made it.
enum class Maker { kAnotherUser, kAnyone };

QString MakeFolder(const QString& path, Maker maker) {
  QDir().mkpath(path);
  if (maker == Maker::kAnotherUser) {
    if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0) return {};
    ::chmod(QFile::encodeName(path).constData(), 0700);
  } else {
    ::chmod(QFile::encodeName(path).constData(), 0777);
  }
  return path;
}

}  // namespace

class WindowInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void aSecondStartBringsTheFirstForwardAndEnds();
  void whatAKilledInstanceLeftDoesNotBlockTheNextStart();
  void aHeldLockThatNothingAnswersStillOpensAWindow();
  void aGuardFolderOthersCanChangeIsNeverUsed_data();
  void aGuardFolderOthersCanChangeIsNeverUsed();
  void aSecondStartBringsAnOpenModalWindowForward_data();
  void aSecondStartBringsAnOpenModalWindowForward();
  void aFailureDuringStartUpIsShownInTheErrorBox();
  void theShippedProgramTakesNoTestSwitch();
};

void WindowInstanceTest::aSecondStartBringsTheFirstForwardAndEnds() {
  QTemporaryDir runtime;
  Instance first(runtime.path(), {QStringLiteral("--minimized")});
  QTRY_VERIFY_WITH_TIMEOUT(first.Lines().contains(QStringLiteral("listening")), 60000);

  Instance second(runtime.path());
  QVERIFY(second.process().waitForFinished(60000));
  QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.process().exitCode(), 0);
  QVERIFY(!second.Lines().contains(QStringLiteral("listening")));

  // The first was minimised; it is restored and stays the only instance.
  QTRY_VERIFY_WITH_TIMEOUT(first.Lines().contains(QStringLiteral("activated minimized=1->0")),
                           60000);
  QVERIFY(first.Running());

  Instance third(runtime.path());
  QVERIFY(third.process().waitForFinished(60000));
  QTRY_COMPARE_WITH_TIMEOUT(first.Lines().filter(QStringLiteral("activated")).size(), 2, 60000);
  QVERIFY(first.Running());
}

void WindowInstanceTest::whatAKilledInstanceLeftDoesNotBlockTheNextStart() {
  QTemporaryDir runtime;
  {
    Instance killed(runtime.path());
    QTRY_VERIFY_WITH_TIMEOUT(killed.Lines().contains(QStringLiteral("listening")), 60000);
    killed.process().kill();
    QVERIFY(killed.process().waitForFinished(30000));
  }
  // It had no chance to clean up.
  QVERIFY(QFile::exists(runtime.filePath(kName + QStringLiteral(".lock"))));
  QVERIFY(QFile::exists(runtime.filePath(kName + QStringLiteral(".socket"))));

  Instance next(runtime.path());
  QTRY_VERIFY_WITH_TIMEOUT(next.Lines().contains(QStringLiteral("listening")), 60000);
  Instance later(runtime.path());
  QVERIFY(later.process().waitForFinished(60000));
  QVERIFY(!later.Lines().contains(QStringLiteral("listening")));
  QTRY_VERIFY_WITH_TIMEOUT(!next.Lines().filter(QStringLiteral("activated")).isEmpty(), 60000);
  QVERIFY(next.Running());
}

void WindowInstanceTest::aHeldLockThatNothingAnswersStillOpensAWindow() {
  // As when the first instance hangs, or another process holds its lock:
  // the lock is held by a live process, but nothing answers.
  QTemporaryDir runtime;
  QLockFile held(runtime.filePath(kName + QStringLiteral(".lock")));
  QVERIFY(held.tryLock(0));

  Instance start(runtime.path());
  QTRY_VERIFY_WITH_TIMEOUT(start.Lines().contains(QStringLiteral("listening")), 60000);
  QVERIFY(start.Running());
  // It does not take over the place of the one that holds the lock.
  QVERIFY(!QFile::exists(runtime.filePath(kName + QStringLiteral(".socket"))));
}

void WindowInstanceTest::aGuardFolderOthersCanChangeIsNeverUsed_data() {
  QTest::addColumn<QString>("runtime");  // XDG_RUNTIME_DIR made by: another, anyone, none
  QTest::addColumn<bool>("ownCache");    // XDG_CACHE_HOME left to the home folder
  QTest::newRow("runtime folder of another user") << "another" << true;
  QTest::newRow("runtime folder anyone can write") << "anyone" << true;
  QTest::newRow("no runtime folder") << "none" << true;
  QTest::newRow("no folder of its own at all") << "anyone" << false;
}

void WindowInstanceTest::aGuardFolderOthersCanChangeIsNeverUsed() {
  QFETCH(QString, runtime);
  QFETCH(bool, ownCache);
  const Maker another = ::geteuid() == 0 ? Maker::kAnotherUser : Maker::kAnyone;
  if (runtime == "another" && another != Maker::kAnotherUser) {
    QSKIP("making a folder of another user needs root");
  }
  QTemporaryDir dir;
  const QString home = dir.filePath(QStringLiteral("home"));
  QDir().mkpath(home);
  const QString shared = dir.filePath(QStringLiteral("tmp"));
  // What another user prepared: the shared temporary folder's runtime-USER,
  // and a socket that takes every call and never answers wherever the guard
  // might look, so a guard there would never open a window.
  const QString sharedRuntime =
      shared + QStringLiteral("/runtime-") + QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
  QList<std::pair<QString, Maker>> traps{{shared, Maker::kAnyone}, {sharedRuntime, another}};
  QList<std::pair<QString, QString>> env{{"HOME", home}, {"TMPDIR", shared}};
  if (runtime == "none") {
    env.append({QStringLiteral("XDG_RUNTIME_DIR"), QString()});
  } else {
    traps.append({dir.filePath(QStringLiteral("runtime")),
                  runtime == "another" ? Maker::kAnotherUser : Maker::kAnyone});
    env.append({QStringLiteral("XDG_RUNTIME_DIR"), traps.back().first});
  }
  if (!ownCache) {
    traps.append({dir.filePath(QStringLiteral("cache")), Maker::kAnyone});
    env.append({QStringLiteral("XDG_CACHE_HOME"), traps.back().first});
  }
  std::vector<std::unique_ptr<QLocalServer>> silent;
  for (const auto& [trap, maker] : traps) {
    QDir().mkpath(trap);
    silent.push_back(std::make_unique<QLocalServer>());
    QVERIFY(silent.back()->listen(trap + QLatin1Char('/') + kName + ".socket"));
    QVERIFY(!MakeFolder(trap, maker).isEmpty());
  }

  Instance first(dir.path(), {}, env);
  QTRY_VERIFY_WITH_TIMEOUT(first.Lines().contains(QStringLiteral("listening")), 60000);
  for (const auto& trap : traps) {
    QVERIFY2(!QFile::exists(trap.first + QLatin1Char('/') + kName + ".lock"),
             qPrintable(trap.first));
  }
  if (!ownCache) return;
  // The guard went to the user's own cache folder, and still guards.
  const QString own = home + QStringLiteral("/.cache/TextCnv");
  struct stat st {};
  QCOMPARE(::stat(QFile::encodeName(own).constData(), &st), 0);
  QCOMPARE(st.st_mode & 0777, mode_t(0700));
  QVERIFY(QFile::exists(own + QLatin1Char('/') + kName + ".lock"));
  Instance second(dir.path(), {}, env);
  QVERIFY(second.process().waitForFinished(60000));
  QCOMPARE(second.process().exitCode(), 0);
  QTRY_VERIFY_WITH_TIMEOUT(!first.Lines().filter(QStringLiteral("activated")).isEmpty(), 60000);
  QVERIFY(!second.Lines().contains(QStringLiteral("listening")));
  QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.config")));
}

void WindowInstanceTest::aSecondStartBringsAnOpenModalWindowForward_data() {
  QTest::addColumn<QString>("modal");
  QTest::addColumn<QString>("front");
  QTest::newRow("folder browser") << "browser"
                                  << "SelectFolderDialog1";
  QTest::newRow("box") << "box"
                       << "QMessageBox";
}

void WindowInstanceTest::aSecondStartBringsAnOpenModalWindowForward() {
  QFETCH(QString, modal);
  QFETCH(QString, front);
  QTemporaryDir runtime;
  Instance first(runtime.path(), {QStringLiteral("--open"), modal});
  QTRY_VERIFY_WITH_TIMEOUT(first.Lines().contains(QStringLiteral("modal")), 60000);

  Instance second(runtime.path());
  QVERIFY(second.process().waitForFinished(60000));
  QCOMPARE(second.process().exitCode(), 0);
  // Not the window under it, which cannot take any input meanwhile.
  QTRY_VERIFY_WITH_TIMEOUT(!first.Lines().filter(QStringLiteral("front=")).isEmpty(), 60000);
  QCOMPARE(first.Lines().filter(QStringLiteral("front=")), QStringList{"front=" + front});
  QVERIFY(first.Running());
}

void WindowInstanceTest::aFailureDuringStartUpIsShownInTheErrorBox() {
  // A locale name no collator is made for: the window cannot be built.
  QTemporaryDir runtime;
  const QString locale(300, QLatin1Char('x'));
  Instance start(runtime.path(), {QStringLiteral("--answer-boxes")},
                 {{"LC_ALL", ""}, {"LC_COLLATE", ""}, {"LANG", locale}});
  QVERIFY(start.process().waitForFinished(60000));
  QCOMPARE(start.process().exitStatus(), QProcess::NormalExit);
  QCOMPARE(start.process().exitCode(), 1);
  const QStringList boxes = start.Lines().filter(QRegularExpression(QStringLiteral("^box ")));
  QCOMPARE(boxes.size(), 1);
  // The stop icon and the failure's message, whatever its words.
  const QString stop = QStringLiteral("box %1 ").arg(int(QMessageBox::Critical));
  QVERIFY2(boxes.front().startsWith(stop), qPrintable(boxes.front()));
  QVERIFY(boxes.front().size() > stop.size());
  QVERIFY(!start.Lines().contains(QStringLiteral("listening")));
}

void WindowInstanceTest::theShippedProgramTakesNoTestSwitch() {
  // What once made TextCnv convert a folder by itself, answer its boxes,
  // save a picture and close: an operator's environment must not.
  QTemporaryDir runtime;
  const QString folder = runtime.filePath(QStringLiteral("records"));
  QDir().mkpath(folder);
  WriteLines(folder + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  const QString picture = runtime.filePath(QStringLiteral("window.png"));
  Instance start(runtime.path(), {},
                 {{"TEXTCNV_TRACE_INSTANCE", "minimized"},
                  {"TEXTCNV_ANSWER_BOXES", "1"},
                  {"TEXTCNV_CONVERT_FOR_TEST", folder},
                  {"TEXTCNV_PICTURE_FOR_TEST", picture},
                  {"TEXTCNV_LOG_MENU_FOR_TEST", "1"}});
  QTRY_VERIFY_WITH_TIMEOUT(start.Lines().contains(QStringLiteral("listening")), 60000);
  // A converting window would have made its output folder by now.
  QTest::qWait(3000);
  QVERIFY(start.Running());
  QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/処理後")));
  QVERIFY(!QFileInfo::exists(picture));
  const QRegularExpression acted(QStringLiteral("^(run ended|box |log menu|picture)"));
  QCOMPARE(start.Lines().filter(acted), QStringList());
}

QTEST_GUILESS_MAIN(WindowInstanceTest)
#include "window_instance_test.moc"
