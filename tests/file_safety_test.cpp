// The file layer against what is not a plain disk: FIFOs, devices and kernel
// files among the sources, signals and size limits while writing, links and
// a second run in the output folder, write-protected outputs, and the
// Japanese reasons of failures.
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include "ConversionRun.h"
#include "FaultyFileSystem.h"
#include "TestSupport.h"
#include "quenFile.h"
#include "quenOutputFolder.h"
#include "quenSaveAs.h"
#include "quenSignals.h"
#include "quenUtil.h"

namespace {

namespace fs = std::filesystem;
using faulty::Op;
using quenFile::FileError;
using quenFile::OutputFolder;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Runs body in a child process that SIGALRM ends after 5 seconds, so that
// a hang fails instead of stalling.
pid_t StartChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(5);
    ::prctl(PR_SET_DUMPABLE, 0);  // no core file from SIGQUIT
    int code = 99;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// The child's wait status.
int InChild(const std::function<int()>& body) { return WaitFor(StartChild(body)); }

// A child tells its parent over a pipe that it has got where it should.
struct Ready {
  Ready() { EXPECT_EQ(::pipe(fds), 0); }
  void Tell() { (void)!::write(fds[1], "x", 1); }
  void Await() {
    ::close(fds[1]);
    char byte = 0;
    EXPECT_EQ(::read(fds[0], &byte, 1), 1) << "the child ended before it was ready";
    ::close(fds[0]);
  }
  int fds[2] = {-1, -1};
};

std::string Describe(int status) {
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "exited with " + std::to_string(WEXITSTATUS(status));
}

std::vector<std::string> HiddenFiles(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename().string().starts_with('.'))
      names.push_back(e.path().filename().string());
  }
  return names;
}

// Runs body on a thread with a stack of stackBytes; its result.
int OnSmallStack(std::size_t stackBytes, const std::function<int()>& body) {
  struct Call {
    const std::function<int()>* body;
    int result = 98;
  } call{&body};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (pthread_attr_setstacksize(&attr, stackBytes) != 0) return 97;
  pthread_t thread;
  const auto run = [](void* p) -> void* {
    auto* c = static_cast<Call*>(p);
    try {
      c->result = (*c->body)();
    } catch (...) {
    }
    return nullptr;
  };
  if (pthread_create(&thread, &attr, run, &call) != 0) return 96;
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  return call.result;
}

// Reading takes little stack: a whole run fits a thread with a small stack
// (a front end's worker, a process under a small stack limit).
TEST(SmallStack, AWholeRunFitsAThreadWithA64KiBStack) {
  TempDir dir;
  WriteBytes(dir / "a.txt",
             testing_support::Crlf({testing_support::RecordLine({"00000001", "K1"}),
                                    testing_support::RecordLine({"00000002", "K2"})}));
  const int status = InChild([&] {
    return OnSmallStack(64 * 1024, [&] {
      testing_support::RecordingHost host(dir.path());
      testing_support::RecordingPresenter boxes;
      RunData data;
      ConversionRun run(host, data);
      return run.Run() == RunOutcome::kCompleted ? 0 : 1;
    });
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Describe(status);
  EXPECT_TRUE(fs::exists(dir / u8"処理後" / u8"処理結果.txt"));
}

// The seam's answer for each kind of open file: a kernel interface only on
// Linux's own file systems, a bad descriptor an error.
TEST(KernelFile, IsToldFromAFileOnADiskAndABadDescriptorFails) {
  TempDir dir;
  WriteBytes(dir / "plain.txt", "bytes");
  struct Case {
    fs::path path;
    int answer;
  };
  std::vector<Case> cases = {{dir / "plain.txt", 0}, {"/dev/null", 0}};
#ifdef __linux__
  cases.push_back({"/proc/self/status", 1});
#endif
  for (const auto& [path, answer] : cases) {
    SCOPED_TRACE(path.string());
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(quenFile::System().IsKernelFile(fd), answer);
    ::close(fd);
  }
  const int closed = ::open((dir / "plain.txt").c_str(), O_RDONLY | O_CLOEXEC);
  ::close(closed);
  errno = 0;
  EXPECT_EQ(quenFile::System().IsKernelFile(closed), -1);
  EXPECT_EQ(errno, EBADF);
}

// Linux writers save through a file without a name, linked in once whole:
// the configure check must find O_TMPFILE there.
TEST(UnnamedFile, IsMadeAndLinkedInOnLinux) {
#ifndef __linux__
  GTEST_SKIP() << "files without a name are Linux's";
#endif
  TempDir dir;
  const int fd = quenFile::System().OpenUnnamed(dir.path().c_str(), 0644);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  ASSERT_EQ(::write(fd, "whole", 5), 5);
  EXPECT_EQ(quenFile::System().LinkUnnamed(fd, (dir / "named.txt").c_str()), 0);
  ::close(fd);
  EXPECT_EQ(ReadBytes(dir / "named.txt"), "whole");
}

TEST(SpecialFile, IsRefusedAsAnOpenFailureWithoutWaitingOrReading) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  fs::create_symlink(dir / "fifo", dir / "fifo-link");
  fs::create_symlink("/dev/null", dir / "null-link");
  fs::create_directory(dir / "folder");
  std::vector<std::pair<fs::path, int>> cases = {{dir / "fifo", quenFile::kNotRegularFile},
                                                 {dir / "fifo-link", quenFile::kNotRegularFile},
                                                 {"/dev/null", quenFile::kNotRegularFile},
                                                 {dir / "null-link", quenFile::kNotRegularFile},
                                                 {dir / "folder", EISDIR}};
#ifdef __linux__
  // A kernel file, regular by its mode, as /proc/kmsg is, whose reading waits.
  fs::create_symlink("/proc/self/status", dir / "status-link");
  cases.emplace_back(dir / "status-link", quenFile::kNotRegularFile);
#endif
  const std::pair<const char*, std::function<void(const fs::path&)>> readers[] = {
      {"ReadAll", [](const fs::path& p) { quenFile::ReadAll(p); }},
      {"ReadHead", [](const fs::path& p) { quenFile::ReadHead(p, 512); }},
      {"AppendAll",
       [](const fs::path& p) {
         quenFile::ByteBuffer out;
         quenFile::AppendAll(p, out);
       }},
      {"IsBinaryFile", [](const fs::path& p) { quenUtil::IsBinaryFile(p); }},
  };
  for (const auto& [path, errorNumber] : cases) {
    for (const auto& [what, read] : readers) {
      const int status = InChild([&, &path = path, &read = read, e = errorNumber] {
        try {
          read(path);
          return 1;
        } catch (const FileError& error) {
          return error.kind() == FileError::Kind::kOpen && error.errorNumber() == e &&
                         error.path() == path
                     ? 0
                     : 2;
        }
      });
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << what << " of " << path << ": " << Describe(status)
          << " (1: read without failing, 2: another failure, signal 14: hung)";
    }
  }
}

TEST(TerminationSignal, RemovesTheOpenTemporaryFileAndEndsTheProcessByThatSignal) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    for (const bool inFolder : {false, true}) {
      SCOPED_TRACE("signal " + std::to_string(sig) + (inFolder ? ", folder writer" : ""));
      TempDir dir;
      Ready ready;
      const pid_t pid = StartChild([&] {
        quenFile::InstallSignalHandling();
        std::optional<OutputFolder> folder;
        std::optional<quenFile::AtomicWriter> writer;
        if (inFolder) {
          writer.emplace(folder.emplace(dir.path()), "out.txt");
        } else {
          writer.emplace(dir / "out.txt");
        }
        writer->Write("half");
        ready.Tell();
        for (;;) ::pause();
        return 0;
      });
      ready.Await();
      EXPECT_EQ(HiddenFiles(dir.path()).size(), 1u) << "no temporary file while writing";
      ::kill(pid, sig);
      const int status = WaitFor(pid);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << Describe(status);
      EXPECT_TRUE(HiddenFiles(dir.path()).empty()) << "temporary file left behind";
      EXPECT_FALSE(fs::exists(dir / "out.txt"));
    }
  }
}

TEST(FileSizeLimit, WritingPastItIsAWriteErrorNotAKill) {
  TempDir dir;
  const fs::path target = dir / "big.txt";
  const int status = InChild([&] {
    quenFile::InstallSignalHandling();
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      quenFile::WriteAll(target, std::string(4096, 'x'));
      return 1;
    } catch (const FileError& e) {
      const FileError expected(FileError::Kind::kWrite, target, EFBIG);
      return std::string(e.what()) == expected.what() ? 0 : 2;
    }
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Describe(status);
  EXPECT_TRUE(HiddenFiles(dir.path()).empty());
  EXPECT_FALSE(fs::exists(target));
}

TEST(ClosedPipe, WritingToItIsEpipeNotAKill) {
  const int status = InChild([] {
    quenFile::InstallSignalHandling();
    int p[2];
    if (::pipe(p) != 0) return 3;
    ::close(p[0]);
    return ::write(p[1], "x", 1) < 0 && errno == EPIPE ? 0 : 1;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Describe(status);
}

TEST(InstallSignalHandling, LeavesAHangupIgnoredByNohupIgnored) {
  const int status = InChild([] {
    ::signal(SIGHUP, SIG_IGN);
    quenFile::InstallSignalHandling();
    struct sigaction now {};
    ::sigaction(SIGHUP, nullptr, &now);
    return now.sa_handler == SIG_IGN ? 0 : 1;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Describe(status);
}

TEST(RemoveStaleTemporaries, RemovesTheWritersTemporaryFilesOnly) {
  TempDir dir;
  // A writer whose process ended without cleaning up.
  InChild([&] {
    quenFile::AtomicWriter writer(dir / "取込用.txt");
    ::_exit(0);
    return 0;
  });
  ASSERT_EQ(HiddenFiles(dir.path()).size(), 1u);
  const char* const stale[] = {".取込用.txt.tmp-123-0", ".a.tmp-1-2", ".x.tmp-1-2.tmp-3-4"};
  const char* const kept[] = {
      "取込用.txt", "取込用.txt.tmp-1-2", ".取込用.txt.tmp-1-", ".取込用.txt.tmp--2", ".a.tmp-1-2x",
      ".a.tmp-12",  ".a.tmp-a-2",         ".a.tmp-1-2.txt",     ".tmp-1-2",           "..tmp-1-2",
      ".hidden"};
  for (const char* name : stale) WriteBytes(dir / name, "old");
  for (const char* name : kept) WriteBytes(dir / name, "keep");
  fs::create_directory(dir / ".d.tmp-1-2");
  quenFile::RemoveStaleTemporaries(OutputFolder(dir.path()));
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(dir.path()))
    left.insert(e.path().filename().string());
  std::set<std::string> expected(std::begin(kept), std::end(kept));
  expected.insert(".d.tmp-1-2");
  EXPECT_EQ(left, expected);
}

TEST(OutputFolder, CreatesTheMissingFolderThenOpensIt) {
  TempDir dir;
  const fs::path path = dir / "処理後";
  EXPECT_EQ(OutputFolder(path.string() + "/").path(), path);
  EXPECT_TRUE(fs::is_directory(path));
  quenFile::WriteAll(OutputFolder(path), "a.txt", "a");
  EXPECT_EQ(ReadBytes(path / "a.txt"), "a");
}

TEST(OutputFolder, RefusesALinkOrAFileInItsPlace) {
  const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
      {"a link to its own parent", [](const fs::path& p) { fs::create_directory_symlink(".", p); }},
      {"a link to another folder",
       [](const fs::path& p) { fs::create_directory_symlink(p.parent_path() / "src", p); }},
      {"a dangling link", [](const fs::path& p) { fs::create_symlink("gone", p); }},
      {"a file", [](const fs::path& p) { WriteBytes(p, "file"); }}};
  for (const auto& [what, make] : cases) {
    SCOPED_TRACE(what);
    TempDir dir;
    fs::create_directory(dir / "src");
    const fs::path path = dir / "処理後";
    make(path);
    try {
      // A trailing delimiter would make the system follow a link.
      quenFile::WriteAll(OutputFolder(path.string() + "/"), "取込用.txt", "x");
      ADD_FAILURE() << "opened";
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::kCreate);
      EXPECT_EQ(e.path(), path);
    }
    EXPECT_FALSE(fs::exists(dir / "取込用.txt") || fs::exists(dir / "src" / "取込用.txt"));
  }
}

TEST(OutputFolder, KeepsToTheFolderItOpenedWhenItsPathBecomesALink) {
  TempDir dir;
  OutputFolder out(dir / "処理後");
  WriteBytes(dir / "処理後" / "old.txt", "mine");
  fs::rename(dir / "処理後", dir / "moved");
  fs::create_directory(dir / "elsewhere");
  WriteBytes(dir / "elsewhere" / "old.txt", "theirs");
  fs::create_directory_symlink("elsewhere", dir / "処理後");
  quenFile::WriteAll(out, "new.txt", "new");
  EXPECT_EQ(out.ReadAll("old.txt"), "mine");
  EXPECT_TRUE(out.Remove("old.txt"));
  EXPECT_EQ(ReadBytes(dir / "moved" / "new.txt"), "new");
  EXPECT_FALSE(fs::exists(dir / "moved" / "old.txt"));
  EXPECT_EQ(ReadBytes(dir / "elsewhere" / "old.txt"), "theirs");
  EXPECT_FALSE(fs::exists(dir / "elsewhere" / "new.txt"));
}

TEST(OutputFolder, NeverFollowsALinkNamedLikeAnOutput) {
  TempDir dir;
  WriteBytes(dir / "source.txt", "source");
  OutputFolder out(dir / "処理後");
  fs::create_symlink("../source.txt", dir / "処理後" / "取込用.txt");
  EXPECT_TRUE(out.Exists("取込用.txt"));
  EXPECT_TRUE(out.IsSymlink("取込用.txt"));
  EXPECT_FALSE(out.IsSymlink("missing.txt"));
  try {
    out.ReadAll("取込用.txt");
    ADD_FAILURE() << "read through the link";
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::kOpen);
    EXPECT_EQ(e.path(), dir / "処理後" / "取込用.txt");
  }
  quenFile::WriteAll(out, "取込用.txt", "import");
  EXPECT_FALSE(out.IsSymlink("取込用.txt"));
  EXPECT_EQ(ReadBytes(dir / "source.txt"), "source");
  fs::create_symlink("../source.txt", dir / "処理後" / "link.txt");
  EXPECT_TRUE(out.Remove("link.txt"));
  EXPECT_EQ(ReadBytes(dir / "source.txt"), "source");
}

TEST(OutputFolder, EachCallFailingThroughTheSeamNamesTheFileAndLeavesNoTemporary) {
  struct Case {
    Op op;
    FileError::Kind kind;
    std::function<void(OutputFolder&)> call;
    bool namesFile;
  };
  const auto write = [](OutputFolder& out) { quenFile::WriteAll(out, "a.txt", "new"); };
  const Case cases[] = {
      {Op::kOpen, FileError::Kind::kCreate, write, true},
      {Op::kRename, FileError::Kind::kCreate, write, true},
      {Op::kAccess, FileError::Kind::kCreate, write, true},
      {Op::kChmod, FileError::Kind::kCreate, write, true},
      {Op::kStat, FileError::Kind::kInputOutput, [](OutputFolder& o) { o.Exists("a.txt"); }, true},
      {Op::kStat, FileError::Kind::kOpen, [](OutputFolder& o) { o.ReadAll("a.txt"); }, true},
      {Op::kList, FileError::Kind::kInputOutput,
       [](OutputFolder& o) { quenFile::RemoveStaleTemporaries(o); }, false},
      {Op::kLock, FileError::Kind::kInputOutput, [](OutputFolder& o) { o.TryLock(); }, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(faulty::OpName(c.op));
    TempDir dir;
    OutputFolder out(dir.path());
    WriteBytes(dir / "a.txt", "old");
    faulty::FaultyFileSystem faults;
    faults.FailNth(c.op, 1);
    {
      faulty::ScopedFileSystem installed(&faults);
      try {
        c.call(out);
        ADD_FAILURE() << "no failure";
      } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), c.kind);
        EXPECT_EQ(e.path(), c.namesFile ? dir / "a.txt" : dir.path());
        EXPECT_EQ(e.errorNumber(), EIO);
      }
    }
    EXPECT_EQ(ReadBytes(dir / "a.txt"), "old");
    EXPECT_TRUE(HiddenFiles(dir.path()).empty());
  }
  TempDir dir;
  OutputFolder out(dir.path());
  WriteBytes(dir / "a.txt", "old");
  faulty::FaultyFileSystem faults;
  faults.FailNth(Op::kUnlink, 1);
  faulty::ScopedFileSystem installed(&faults);
  EXPECT_FALSE(out.Remove("a.txt"));
}

TEST(OutputFolder, RemovingLaterKeepsTheContentsOnlyUnderAHiddenNameOrNowhere) {
  TempDir dir;
  OutputFolder out(dir.path());
  WriteBytes(dir / "a.txt", "old");
  std::string aside;
  ASSERT_TRUE(out.RemoveLater("a.txt", aside));
  EXPECT_FALSE(fs::exists(dir / "a.txt"));
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(HiddenFiles(dir.path()), std::vector<std::string>{aside});
  EXPECT_EQ(ReadBytes(dir / aside), "old");
  // What a crash leaves there, the next run's cleanup removes.
  quenFile::RemoveStaleTemporaries(out);
  EXPECT_TRUE(HiddenFiles(dir.path()).empty());

  // A file that cannot be removed stays, with the reason, and no second name.
  WriteBytes(dir / "b.txt", "kept");
  faulty::FaultyFileSystem faults;
  faults.FailNth(Op::kUnlink, 1);
  {
    faulty::ScopedFileSystem installed(&faults);
    errno = 0;
    EXPECT_FALSE(out.RemoveLater("b.txt", aside));
    EXPECT_EQ(errno, EIO);
  }
  EXPECT_TRUE(aside.empty());
  EXPECT_EQ(ReadBytes(dir / "b.txt"), "kept");
  EXPECT_TRUE(HiddenFiles(dir.path()).empty());
  // A folder is not removed, as Remove refuses it, and gets no second name.
  fs::create_directory(dir / "c.txt");
  EXPECT_FALSE(out.RemoveLater("c.txt", aside));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_TRUE(fs::is_directory(dir / "c.txt"));
  EXPECT_TRUE(HiddenFiles(dir.path()).empty());
}

TEST(RunLock, ASecondOpeningCannotLockUntilTheFirstIsGone) {
  TempDir dir;
  std::optional<OutputFolder> first(std::in_place, dir.path());
  ASSERT_TRUE(first->TryLock());
  OutputFolder second(dir.path());
  EXPECT_FALSE(second.TryLock());
  first.reset();
  EXPECT_TRUE(second.TryLock());
}

TEST(RunLock, ALockHeldByAKilledProcessIsReleased) {
  TempDir dir;
  Ready ready;
  const pid_t pid = StartChild([&] {
    OutputFolder held(dir.path());
    if (!held.TryLock()) return 1;
    ready.Tell();
    for (;;) ::pause();
    return 0;
  });
  ready.Await();
  OutputFolder mine(dir.path());
  EXPECT_FALSE(mine.TryLock());
  ::kill(pid, SIGKILL);
  WaitFor(pid);
  EXPECT_TRUE(mine.TryLock());
}

TEST(RunLock, WhereTheFileSystemCannotLockTheRunGoesUnguarded) {
  TempDir dir;
  OutputFolder out(dir.path());
  faulty::FaultyFileSystem faults;
  faults.FailNth(Op::kLock, 1, ENOLCK);
  faulty::ScopedFileSystem installed(&faults);
  EXPECT_TRUE(out.TryLock());
}

TEST(ReasonText, EveryReasonARunCanMeetIsJapaneseAndOthersAreTheSystemsText) {
  const int numbers[] = {ENOENT,
                         ENOTDIR,
                         EISDIR,
                         EACCES,
                         EPERM,
                         EROFS,
                         ENOSPC,
                         EDQUOT,
                         EIO,
                         ENAMETOOLONG,
                         ELOOP,
                         EMFILE,
                         ENFILE,
                         ENOMEM,
                         EEXIST,
                         EBUSY,
                         ETXTBSY,
                         EFBIG,
                         EPIPE,
                         EWOULDBLOCK,
                         EINVAL,
                         EXDEV,
                         ENXIO,
                         ENOTEMPTY,
                         EOPNOTSUPP,
                         quenFile::kNotRegularFile,
                         quenFile::kFileInTheWay,
                         quenFile::kSymbolicLink,
                         quenFile::kFolderNotFound};
  for (const int e : numbers) {
    const std::string text = quenFile::ReasonText(e);
    EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; }))
        << e << ": " << text;
    EXPECT_NE(std::string(FileError(FileError::Kind::kOpen, "f", e).what()).find(text),
              std::string::npos);
  }
  EXPECT_EQ(quenFile::ReasonText(EDOM), std::system_category().message(EDOM));
}

TEST(Replacing, KeepsThePermissionBitsOfTheReplacedFile) {
  for (const mode_t mode : {0640, 0600, 0604, 0755}) {
    for (const bool inFolder : {false, true}) {
      TempDir dir;
      WriteBytes(dir / "処理結果.txt", "old");
      ::chmod((dir / "処理結果.txt").c_str(), mode);
      if (inFolder) {
        quenFile::WriteAll(OutputFolder(dir.path()), "処理結果.txt", "new");
      } else {
        quenFile::WriteAll(dir / "処理結果.txt", "new");
      }
      struct stat st {};
      ASSERT_EQ(::stat((dir / "処理結果.txt").c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, mode) << std::oct << mode << (inFolder ? " in folder" : "");
      EXPECT_EQ(ReadBytes(dir / "処理結果.txt"), "new");
    }
  }
}

TEST(Replacing, ATargetThatCannotBeWrittenIsRefusedAndLeftAlone) {
  for (const bool inFolder : {false, true}) {
    TempDir dir;
    const fs::path target = dir / "処理結果.txt";
    WriteBytes(target, "old");
    OutputFolder out(dir.path());
    faulty::FaultyFileSystem faults;
    faults.FailNth(Op::kAccess, 1, EACCES);
    faulty::ScopedFileSystem installed(&faults);
    try {
      inFolder ? quenFile::WriteAll(out, "処理結果.txt", "new") : quenFile::WriteAll(target, "new");
      ADD_FAILURE() << "replaced";
    } catch (const FileError& e) {
      EXPECT_EQ(e.what(), std::string(FileError(FileError::Kind::kCreate, target, EACCES).what()));
    }
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_TRUE(HiddenFiles(dir.path()).empty());
  }
}

}  // namespace

namespace {

// The file system without files that have no name, as on Windows or a file
// system without O_TMPFILE.
class WithoutUnnamedFiles : public faulty::FaultyFileSystem {
 public:
  int OpenUnnamed(const char*, mode_t) override { return errno = EOPNOTSUPP, -1; }
};

// A FIFO's reader, on a thread of its own: what reached it. Open before any
// writer, and giving up after two quiet seconds, so that a FIFO replaced by
// a file fails the test instead of hanging it.
class FifoReader {
 public:
  explicit FifoReader(const fs::path& fifo)
      : fd_(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK)), thread_([this] {
          pollfd p{fd_, POLLIN, 0};
          char buffer[4096];
          while (::poll(&p, 1, 2000) > 0) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) got_.append(buffer, n);
            if (n == 0 && !got_.empty()) break;
          }
        }) {}
  std::string Got() {
    thread_.join();
    ::close(fd_);
    return got_;
  }

 private:
  int fd_;
  std::string got_;
  std::thread thread_;
};

}  // namespace

// A shell's ">" writes into what is there, following links; only a regular
// file (or none) is replaced, and then whole.
TEST(SaveAs, TreatsEachKindOfTargetAsAShellRedirectWould) {
  const mode_t oldMask = ::umask(022);
  for (const bool unnamed : {true, false}) {
    WithoutUnnamedFiles without;
    std::optional<faulty::ScopedFileSystem> installed;
    if (!unnamed) installed.emplace(&without);
    SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
    TempDir dir;
    const std::string longName = std::string(251, 'n') + ".csv";
    struct Case {
      const char* what;
      std::function<fs::path()> arrange;  // returns the path to save as
      fs::path written;                   // where the bytes must end up
      mode_t mode;                        // of written, for a regular file
    };
    const std::vector<Case> cases = {
        {"new file", [&] { return dir / "new.csv"; }, dir / "new.csv", 0644},
        {"replaced file keeps its mode",
         [&] {
           WriteBytes(dir / "old.csv", "old");
           ::chmod((dir / "old.csv").c_str(), 0640);
           return dir / "old.csv";
         },
         dir / "old.csv", 0640},
        {"link chain to a file",
         [&] {
           WriteBytes(dir / "real.csv", "old");
           fs::create_symlink("real.csv", dir / "second");
           fs::create_symlink(dir / "second", dir / "first");
           return dir / "first";
         },
         dir / "real.csv", 0644},
        {"dangling link",
         [&] {
           fs::create_symlink("made.csv", dir / "dangling");
           return dir / "dangling";
         },
         dir / "made.csv", 0644},
        {"name of 255 bytes, new", [&] { return dir / longName; }, dir / longName, 0644},
        {"name of 255 bytes, replaced",
         [&] {
           WriteBytes(dir / longName, "old");
           return dir / longName;
         },
         dir / longName, 0644},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      const fs::path path = c.arrange();
      const bool wasLink = fs::is_symlink(path);
      quenFile::SaveAs(path, "new\r\n");
      EXPECT_EQ(ReadBytes(c.written), "new\r\n");
      EXPECT_EQ(fs::is_symlink(path), wasLink) << "the link was replaced";
      struct stat st {};
      ASSERT_EQ(::stat(c.written.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, c.mode) << std::oct << st.st_mode;
      EXPECT_TRUE(HiddenFiles(dir.path()).empty());
    }
  }
  ::umask(oldMask);
}

TEST(SaveAs, WritesIntoAFifoOrATerminalInPlace) {
  TempDir dir;
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(fifo, dir / "to-fifo");
  for (const fs::path& path : {fifo, dir / "to-fifo"}) {
    FifoReader reader(fifo);
    quenFile::SaveAs(path, "rows\r\n");
    EXPECT_EQ(reader.Got(), "rows\r\n") << path;
    EXPECT_TRUE(fs::is_fifo(fifo));
  }

  int master = -1;
  int slave = -1;
  char name[256];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios raw{};
  ::tcgetattr(slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave, TCSANOW, &raw);
  quenFile::SaveAs(name, "rows\r\n");
  char got[16] = {};
  EXPECT_EQ(::read(master, got, sizeof got), 6);
  EXPECT_EQ(std::string(got), "rows\r\n");
  EXPECT_TRUE(fs::is_character_file(name));
  ::close(slave);
  ::close(master);
  EXPECT_TRUE(HiddenFiles(dir.path()).empty());

  try {
    quenFile::SaveAs(dir.path(), "rows");
    ADD_FAILURE() << "a folder was written";
  } catch (const FileError& e) {
    EXPECT_EQ(e.errorNumber(), EISDIR);
  }
}

// A save killed half-way leaves nothing beside the file where files without
// a name exist; elsewhere its temporary goes with the next save of the name.
TEST(SaveAs, AKilledSaveLeavesNoTemporaryForLong) {
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
    TempDir dir;
    const fs::path target = dir / "findings.csv";
    WriteBytes(target, "old");
    Ready ready;
    const pid_t pid = StartChild([&] {
      class HangsInWrite : public WithoutUnnamedFiles {
       public:
        explicit HangsInWrite(bool unnamed, Ready& ready) : unnamed_(unnamed), ready_(ready) {}
        int OpenUnnamed(const char* folder, mode_t mode) override {
          return unnamed_ ? FileSystem::OpenUnnamed(folder, mode)
                          : WithoutUnnamedFiles::OpenUnnamed(folder, mode);
        }
        ssize_t Write(int fd, const void* buffer, std::size_t size) override {
          FileSystem::Write(fd, buffer, size / 2);
          ready_.Tell();
          for (;;) ::pause();
        }

       private:
        bool unnamed_;
        Ready& ready_;
      } hangs(unnamed, ready);
      quenFile::SetSystem(&hangs);
      quenFile::SaveAs(target, std::string(1 << 20, 'x'));
      return 0;
    });
    ready.Await();
    ::kill(pid, SIGKILL);
    WaitFor(pid);
    EXPECT_EQ(HiddenFiles(dir.path()).size(), unnamed ? 0u : 1u);
    EXPECT_EQ(ReadBytes(target), "old");
    // Another file's temporary and one of a running process stay.
    const std::vector<std::string> kept = {".other.csv.tmp-1-0", ".findings.csv.tmp-1-0",
                                           ".findings.csv.tmp-1-0.tmp-99999999-0"};
    for (const std::string& name : kept) WriteBytes(dir / name, "keep");
    quenFile::SaveAs(target, "new");
    EXPECT_EQ(ReadBytes(target), "new");
    std::vector<std::string> left = HiddenFiles(dir.path());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
  }
}
