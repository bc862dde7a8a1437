// A signal that ends the program during a run, with a real process of the
// window's start-up (the tests' driver, converting as the operator would):
// it ends by that signal, as the command line does, and leaves no temporary
// file in 処理後.
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowTestSupport.h"

namespace {

// Enough records that writing the outputs takes a while; every second key
// repeats, so 重複エラー.txt is as large as 取込用.txt.
void WriteLargeFolder(const QString& folder) {
  for (int file = 0; file < 4; ++file) {
    std::vector<std::string> lines;
    for (int i = 0; i < 25000; ++i) {
      const std::string key = "K" + std::to_string(file * 25000 + i / 2 * 2);
      lines.push_back(RecordLine(i % 1000, key, "書名", "ショメイ"));
    }
    WriteLines(folder + QStringLiteral("/%1.txt").arg(file), lines);
  }
}

QStringList Temporaries(const QString& folder) {
  return QDir(folder + QStringLiteral("/処理後"))
      .entryList({QStringLiteral(".*.tmp-*")}, QDir::Files | QDir::Hidden);
}

// Every thread of the process is stopped, so what is on disk stays as it is.
bool AllStopped(qint64 pid) {
  const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
  for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    // A thread may end between the listing and the read.
    QFile file(tasks.filePath(task) + QStringLiteral("/stat"));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray stat = file.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size()) return false;
    const char state = stat.at(close + 2);
    if (state != 'T' && state != 't') return false;
  }
  return true;
}

class Converting {
 public:
  Converting(const QTemporaryDir& dir, const QString& folder,
             rlim_t fileSizeLimit = RLIM_INFINITY) {
    QDir().mkpath(dir.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("textcnv.instance.debug=true"));
    env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setChildProcessModifier([fileSizeLimit] {
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    // The window's own start-up, signal handling and all, driven to convert.
    process_.start(QStringLiteral(TEXTCNV_DRIVER_EXE),
                   {QStringLiteral("--start"), QStringLiteral("--answer-boxes"),
                    QStringLiteral("--convert"), folder});
  }
  ~Converting() {
    if (process_.state() == QProcess::NotRunning) return;
    ::kill(pid_t(process_.processId()), SIGCONT);
    process_.kill();
    process_.waitForFinished(30000);
  }
  QStringList Lines() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    return output_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  QProcess& process() { return process_; }

  // Stops the process now and then until it is stopped with a temporary file
  // of its run on disk, then sends sig and lets it go on; false when the run
  // ended first.
  bool SignalWhileWriting(const QString& folder, int sig) {
    const auto pid = pid_t(process_.processId());
    while (!Lines().contains(QStringLiteral("run ended"))) {
      if (process_.state() != QProcess::Running) return false;
      ::kill(pid, SIGSTOP);
      while (!AllStopped(pid)) QThread::usleep(100);
      const bool writing = !Temporaries(folder).isEmpty();
      if (writing) ::kill(pid, sig);
      ::kill(pid, SIGCONT);
      if (writing) return true;
      QThread::msleep(2);
    }
    return false;
  }

 private:
  QProcess process_;
  QString output_;
};

}  // namespace

class WindowSignalTest : public QObject {
  Q_OBJECT

 private slots:
  void aSignalDuringARunEndsTheProgramByItAndLeavesNoTemporary_data();
  void aSignalDuringARunEndsTheProgramByItAndLeavesNoTemporary();
};

void WindowSignalTest::aSignalDuringARunEndsTheProgramByItAndLeavesNoTemporary_data() {
  QTest::addColumn<int>("sig");
  QTest::newRow("SIGTERM") << int(SIGTERM);
  QTest::newRow("SIGHUP") << int(SIGHUP);
  QTest::newRow("SIGINT") << int(SIGINT);
  QTest::newRow("SIGQUIT") << int(SIGQUIT);
}

void WindowSignalTest::aSignalDuringARunEndsTheProgramByItAndLeavesNoTemporary() {
  QFETCH(int, sig);
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("records"));
  QDir().mkpath(folder);
  WriteLargeFolder(folder);
  Converting run(dir, folder);
  QTRY_VERIFY_WITH_TIMEOUT(run.Lines().contains(QStringLiteral("textcnv.instance: listening")),
                           60000);
  QVERIFY2(run.SignalWhileWriting(folder, sig), "the run ended before it wrote");
  QVERIFY(run.process().waitForFinished(60000));
  // Qt gives the signal's number as the code of a process a signal ended.
  QCOMPARE(run.process().exitStatus(), QProcess::CrashExit);
  QCOMPARE(run.process().exitCode(), sig);
  QCOMPARE(Temporaries(folder), QStringList());
  QVERIFY(run.Lines().filter(QStringLiteral("box ")).isEmpty());
}

QTEST_GUILESS_MAIN(WindowSignalTest)
#include "window_signal_test.moc"
