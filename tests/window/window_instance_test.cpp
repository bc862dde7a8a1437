// Start-up with the single-instance guard, with real TextCnv processes in a
// private runtime folder.
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kName = QStringLiteral("5E7A9C31-04BD-4F62-9A18-C3D07E5B2F94");

// One TextCnv process whose standard output is collected as it comes.
class Instance {
 public:
  Instance(const QString& runtime, const QString& trace) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("TMPDIR"), runtime);
    env.insert(QStringLiteral("HOME"), runtime);
    env.insert(QStringLiteral("TEXTCNV_TRACE_INSTANCE"), trace);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(TEXTCNV_EXE), {});
  }
  ~Instance() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(30000);
    }
  }

  QStringList Lines() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    return output_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  bool Running() const { return process_.state() == QProcess::Running; }
  QProcess& process() { return process_; }

 private:
  QProcess process_;
  QString output_;
};

}  // namespace

class WindowInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void aSecondStartBringsTheFirstForwardAndEnds();
  void whatAKilledInstanceLeftDoesNotBlockTheNextStart();
  void aHeldLockWithNoAnswerEndsTheStartQuietly();
};

void WindowInstanceTest::aSecondStartBringsTheFirstForwardAndEnds() {
  QTemporaryDir runtime;
  Instance first(runtime.path(), QStringLiteral("minimized"));
  QTRY_VERIFY_WITH_TIMEOUT(first.Lines().contains(QStringLiteral("listening")), 60000);

  Instance second(runtime.path(), QStringLiteral("1"));
  QVERIFY(second.process().waitForFinished(60000));
  QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.process().exitCode(), 0);
  QVERIFY(!second.Lines().contains(QStringLiteral("listening")));

  // The first was minimised; it is restored and stays the only instance.
  QTRY_VERIFY_WITH_TIMEOUT(first.Lines().contains(QStringLiteral("activated minimized=1->0")),
                           60000);
  QVERIFY(first.Running());

  Instance third(runtime.path(), QStringLiteral("1"));
  QVERIFY(third.process().waitForFinished(60000));
  QTRY_COMPARE_WITH_TIMEOUT(first.Lines().filter(QStringLiteral("activated")).size(), 2, 60000);
  QVERIFY(first.Running());
}

void WindowInstanceTest::whatAKilledInstanceLeftDoesNotBlockTheNextStart() {
  QTemporaryDir runtime;
  {
    Instance killed(runtime.path(), QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(killed.Lines().contains(QStringLiteral("listening")), 60000);
    killed.process().kill();
    QVERIFY(killed.process().waitForFinished(30000));
  }
  // It had no chance to clean up.
  QVERIFY(QFile::exists(runtime.filePath(kName + QStringLiteral(".lock"))));
  QVERIFY(QFile::exists(runtime.filePath(kName + QStringLiteral(".socket"))));

  Instance next(runtime.path(), QStringLiteral("1"));
  QTRY_VERIFY_WITH_TIMEOUT(next.Lines().contains(QStringLiteral("listening")), 60000);
  Instance later(runtime.path(), QStringLiteral("1"));
  QVERIFY(later.process().waitForFinished(60000));
  QVERIFY(!later.Lines().contains(QStringLiteral("listening")));
  QTRY_VERIFY_WITH_TIMEOUT(!next.Lines().filter(QStringLiteral("activated")).isEmpty(), 60000);
  QVERIFY(next.Running());
}

void WindowInstanceTest::aHeldLockWithNoAnswerEndsTheStartQuietly() {
  // As when the first instance is still starting or already shutting down:
  // the lock is held by a live process, but nothing answers.
  QTemporaryDir runtime;
  QLockFile held(runtime.filePath(kName + QStringLiteral(".lock")));
  QVERIFY(held.tryLock(0));

  Instance start(runtime.path(), QStringLiteral("1"));
  QVERIFY(start.process().waitForFinished(60000));
  QCOMPARE(start.process().exitStatus(), QProcess::NormalExit);
  QCOMPARE(start.process().exitCode(), 0);
  QVERIFY(start.Lines().isEmpty());
  QVERIFY(!QFile::exists(runtime.filePath(kName + QStringLiteral(".socket"))));
}

QTEST_GUILESS_MAIN(WindowInstanceTest)
#include "window_instance_test.moc"
