// The benchmark behind `make bench`: whole runs of textcnv-batch over
// generated folders of 10,000 to 3,000,000 records, against the cost of just
// reading and writing the same bytes and of GNU sort, in interleaved rounds,
// each command in a session (and so a scheduling group) of its own, and
// runs over two hostile files, where
// memory per line counts: a few records followed by 100,000,000 empty lines,
// and a few records followed by 10,000,000 lines "a", each a copy of the
// empty key and so a finding of its own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "RecordGenerator.h"
#include "StageTimes.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Rounds after one warm-up round; minima are what the targets are judged
// by, as a busy machine only ever adds time, and medians are shown beside.
constexpr int kRepeats = 5;
// Above this many records only the run itself is timed: the targets ask
// for no floor there, only how the time grows.
constexpr std::size_t kFloorsUpTo = 1000000;
// The folder whose stages are timed, in this process, in rounds of their own.
constexpr std::size_t kStagesOf = 1000000;
constexpr int kGeneratorVersion = 2;
constexpr std::size_t kRecordLines = 4;  // as many as the file check reads
constexpr std::size_t kHostileEmptyLines = 100000000;
constexpr std::size_t kTinyLines = 10000000;
// What a tiny repeated line may cost at most, peak memory over lines.
constexpr double kTinyLineBytes = 64;

struct Measure {
  double seconds;
  double peakMb;
  double cpuSeconds;  // user and system: what a busy machine distorts least
};

struct Row {
  std::size_t records;
  double inputMb;
  double runSeconds;  // minimum
  double runMedian;
  double peakMb;
  double floorSeconds;  // minima from here on
  double syncedFloorSeconds;
  double syncedFloorMedian;
  double cpuSeconds;
  double sortSeconds;
  double sortMedian;
  std::vector<StageTimes> stages;  // only for kStagesOf
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Min(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// The load average over the last minute: other work on the machine.
double Load() {
  double load = 0;
  std::ifstream("/proc/loadavg") >> load;
  return load;
}

// Builds the folder once; later runs reuse it while its stamp matches.
std::uintmax_t PrepareFolder(const fs::path& folder, std::size_t records) {
  const fs::path stamp = folder.string() + ".stamp";
  const std::string expected = std::to_string(kGeneratorVersion) + " " + std::to_string(records);
  std::string found;
  std::getline(std::ifstream(stamp), found);
  if (found != expected || !fs::exists(folder)) {
    std::fprintf(stderr, "generating %zu records in %s ...\n", records, folder.c_str());
    GenerateRecordFolder(folder, GeneratorOptions{records, 10, 20261209});
    std::ofstream(stamp) << expected << '\n';
  }
  std::uintmax_t bytes = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.is_regular_file()) bytes += e.file_size();
  }
  return bytes;
}

// A record file that passes the file check on its first lines and then holds
// nothing but count copies of the line break-ended line: what a line costs,
// not what a byte costs.
std::uintmax_t PrepareHostileFolder(const fs::path& folder, std::string_view line,
                                    std::size_t count) {
  const fs::path stamp = folder.string() + ".stamp";
  const std::string expected = std::to_string(kGeneratorVersion) + " hostile " +
                               std::to_string(kRecordLines) + "+" + std::to_string(count) + " " +
                               std::to_string(line.size());
  std::string found;
  std::getline(std::ifstream(stamp), found);
  const fs::path file = folder / "batch01.txt";
  if (found != expected || !fs::exists(file)) {
    std::fprintf(stderr, "generating %zu lines in %s ...\n", count, folder.c_str());
    GenerateRecordFolder(folder, GeneratorOptions{kRecordLines, 1, 20261209});
    // The generated file ends without a break after its last record.
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << "\r\n";
    std::string block;
    for (std::size_t i = 0; i < 1024 * 1024; ++i) block += line;
    const std::size_t perBlock = block.size() / line.size();
    for (std::size_t left = count; left > 0;) {
      const std::size_t n = std::min(left, perBlock);
      out.write(block.data(), static_cast<std::streamsize>(line.size() * n));
      left -= n;
    }
    out.close();
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      std::exit(1);
    }
    std::ofstream(stamp) << expected << '\n';
  }
  return fs::file_size(file);
}

Measure RunBatch(const fs::path& folder) {
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, STDOUT_FILENO);
    ::dup2(devnull, STDERR_FILENO);
    ::execl(TEXTCNV_BATCH, TEXTCNV_BATCH, folder.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "textcnv-batch failed on %s\n", folder.c_str());
    std::exit(1);
  }
  const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  // ru_maxrss counts KiB; the input is counted in MB (10^6 bytes), so the
  // peak is too.
  return Measure{seconds, static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6,
                 cpu(usage.ru_utime) + cpu(usage.ru_stime)};
}

// GNU sort of all the inputs by the key field, stably, bytewise, into one
// file of the output folder: a general tool doing the heart of the job.
double SortTime(const fs::path& folder) {
  const fs::path outDir = folder / "処理後";
  fs::create_directories(outDir);
  const fs::path out = outDir / "sort.tmp";
  std::vector<std::string> args{"sort", "-t", "\t", "-k3,3", "-s", "-o", out.string()};
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.is_regular_file()) args.push_back(e.path().string());
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    ::setenv("LC_ALL", "C", 1);
    ::execvp("sort", argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  fs::remove(out);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "sort failed on %s\n", folder.c_str());
    std::exit(1);
  }
  return seconds;
}

// What any tool must pay: every input byte read once, the same number of
// bytes written to one file in the output folder. With onDisk, the file is
// also flushed to the disk, as the run does with its final import file.
double IoFloor(const fs::path& folder, bool onDisk = false) {
  const auto start = Clock::now();
  const fs::path outDir = folder / "処理後";
  fs::create_directories(outDir);
  const fs::path out = outDir / "floor.tmp";
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char> buffer(1 << 20);
  for (const auto& e : fs::directory_iterator(folder)) {
    if (!e.is_regular_file()) continue;
    const int in = ::open(e.path().c_str(), O_RDONLY);
    for (ssize_t n; (n = ::read(in, buffer.data(), buffer.size())) > 0;) {
      if (::write(fd, buffer.data(), static_cast<std::size_t>(n)) != n) std::exit(1);
    }
    ::close(in);
  }
  if (onDisk) ::fdatasync(fd);
  ::close(fd);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  fs::remove(out);
  return seconds;
}

// Arguments name record counts, "hostile" and "tiny"; none means all of them.
struct Selection {
  std::vector<std::size_t> sizes;
  bool hostile = false;
  bool tiny = false;
};

Selection Select(int argc, char** argv) {
  Selection s;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "hostile") {
      s.hostile = true;
    } else if (std::string(argv[i]) == "tiny") {
      s.tiny = true;
    } else {
      s.sizes.push_back(std::stoul(argv[i]));
    }
  }
  if (argc <= 1) s = Selection{{10000, 100000, 1000000, 3000000}, true, true};
  return s;
}

Measure RunHostile(const fs::path& dataDir) {
  const fs::path folder = dataDir / "hostile";
  const double inputMb =
      static_cast<double>(PrepareHostileFolder(folder, "\r\n", kHostileEmptyLines)) / 1e6;
  // Reading the file once puts it in the page cache; one run is long enough
  // to measure on its own.
  const double floor = IoFloor(folder);
  const Measure m = RunBatch(folder);
  std::printf(
      "hostile: %zu records + %zu empty lines, %.1f MB: run %.3f s (floor %.3f s), "
      "peak %.1f MB (%.1f bytes a line)\n",
      kRecordLines, kHostileEmptyLines, inputMb, m.seconds, floor, m.peakMb,
      m.peakMb * 1e6 / static_cast<double>(kHostileEmptyLines + kRecordLines));
  return m;
}

// Every line "a" has the empty key, so each is a copy of a repeated key:
// a finding, an index entry and a line of the duplicates file.
Measure RunTiny(const fs::path& dataDir) {
  const fs::path folder = dataDir / "tiny";
  const double inputMb = static_cast<double>(PrepareHostileFolder(folder, "a\n", kTinyLines)) / 1e6;
  IoFloor(folder);  // into the page cache
  const Measure m = RunBatch(folder);
  const double perLine = m.peakMb * 1e6 / static_cast<double>(kTinyLines + kRecordLines);
  std::printf(
      "tiny: %zu records + %zu lines \"a\", %.1f MB: run %.3f s, peak %.1f MB "
      "(%.1f bytes a line)\n",
      kRecordLines, kTinyLines, inputMb, m.seconds, m.peakMb, perLine);
  std::printf("  peak <= %.0f bytes a line: %s\n", kTinyLineBytes,
              perLine <= kTinyLineBytes ? "holds" : "FAILS");
  return m;
}

// Prints the 1,000,000-record targets, each with whether it holds.
void PrintTargets(const Row& r1m, const Row* r3m) {
  const auto verdict = [](bool holds) { return holds ? "holds" : "FAILS"; };
  const double run = r1m.runSeconds;
  std::printf(
      "1,000,000 records: run %.3f s (median %.3f), %.2f x synced floor (medians %.2f), "
      "%.2f x sort (medians %.2f), peak %.2f x input\n",
      run, r1m.runMedian, run / r1m.syncedFloorSeconds, r1m.runMedian / r1m.syncedFloorMedian,
      run / r1m.sortSeconds, r1m.runMedian / r1m.sortMedian, r1m.peakMb / r1m.inputMb);
  std::printf("  run <= 2.5 x synced floor: %s\n", verdict(run <= 2.5 * r1m.syncedFloorSeconds));
  std::printf("  run <= 0.5 x sort:         %s\n", verdict(run <= 0.5 * r1m.sortSeconds));
  std::printf("  peak <= 1.4 x input:       %s\n", verdict(r1m.peakMb <= 1.4 * r1m.inputMb));
  if (r3m) {
    const double scaling = r3m->runSeconds / run;
    std::printf("  time(3,000,000) / time(1,000,000) = %.2f (medians %.2f) <= 3.3: %s\n", scaling,
                r3m->runMedian / r1m.runMedian, verdict(scaling <= 3.3));
  }
}

Row MeasureFolder(const fs::path& dataDir, std::size_t records) {
  const fs::path folder = dataDir / std::to_string(records);
  const std::uintmax_t bytes = PrepareFolder(folder, records);
  const bool floors = records <= kFloorsUpTo;
  const bool stages = records == kStagesOf;
  RunBatch(folder);  // warm-up: page cache, fresh pages and first-run costs
  if (stages) TimeStages(folder);
  if (floors) {
    IoFloor(folder, true);
    SortTime(folder);
  }
  std::vector<double> runs, floorTimes, syncedFloors, peaks, cpus, sorts;
  std::vector<StageTimes> stageTimes;
  for (int r = 0; r < kRepeats; ++r) {
    const Measure m = RunBatch(folder);
    runs.push_back(m.seconds);
    peaks.push_back(m.peakMb);
    cpus.push_back(m.cpuSeconds);
    if (floors) {
      floorTimes.push_back(IoFloor(folder));
      syncedFloors.push_back(IoFloor(folder, true));
      sorts.push_back(SortTime(folder));
    }
    // After the whole-process commands, so that its memory is given back
    // before they run again.
    if (stages) stageTimes.push_back(TimeStages(folder));
  }
  return Row{records,
             static_cast<double>(bytes) / 1e6,
             Min(runs),
             Median(runs),
             *std::max_element(peaks.begin(), peaks.end()),
             Min(floorTimes),
             Min(syncedFloors),
             Median(syncedFloors),
             Min(cpus),
             Min(sorts),
             Median(sorts),
             std::move(stageTimes)};
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dataDir = fs::path(TEXTCNV_SOURCE_DIR) / "bench" / "data";
  const Selection selection = Select(argc, argv);
  const double loadBefore = Load();
  std::vector<Row> rows;
  for (std::size_t records : selection.sizes) rows.push_back(MeasureFolder(dataDir, records));

  std::printf("load average %.2f before, %.2f after; %d rounds, minima (median of runs)\n",
              loadBefore, Load(), kRepeats);
  std::printf("%10s %9s %9s %9s %9s %9s %9s %8s %9s %13s %8s\n", "records", "input MB", "run s",
              "median s", "cpu s", "MB/s", "peak MB", "floor s", "x floor", "synced floor",
              "sort s");
  for (const Row& r : rows) {
    if (r.floorSeconds == 0) {
      std::printf("%10zu %9.1f %9.3f %9.3f %9.3f %9.1f %9.1f %8s %9s %13s %8s\n", r.records,
                  r.inputMb, r.runSeconds, r.runMedian, r.cpuSeconds, r.inputMb / r.runSeconds,
                  r.peakMb, "-", "-", "-", "-");
      continue;
    }
    std::printf("%10zu %9.1f %9.3f %9.3f %9.3f %9.1f %9.1f %8.3f %9.2f %13.3f %8.3f\n", r.records,
                r.inputMb, r.runSeconds, r.runMedian, r.cpuSeconds, r.inputMb / r.runSeconds,
                r.peakMb, r.floorSeconds, r.runSeconds / r.floorSeconds, r.syncedFloorSeconds,
                r.sortSeconds);
  }
  double scaling = 0;
  const Row* r100k = nullptr;
  const Row* r1m = nullptr;
  const Row* r3m = nullptr;
  for (const Row& r : rows) {
    if (r.records == 100000) r100k = &r;
    if (r.records == 1000000) r1m = &r;
    if (r.records == 3000000) r3m = &r;
  }
  if (r100k && r1m) {
    scaling = r1m->runSeconds / r100k->runSeconds;
    std::printf("scaling time(1,000,000) / time(100,000): %.2f\n", scaling);
  }
  if (r1m) PrintTargets(*r1m, r3m);
  for (const Row& r : rows) {
    if (!r.stages.empty())
      PrintStageTable(r.stages, "stages of " + std::to_string(r.records) + " records");
  }

  Measure hostile{};
  if (selection.hostile) hostile = RunHostile(dataDir);
  Measure tiny{};
  if (selection.tiny) tiny = RunTiny(dataDir);

  std::ofstream json(fs::path(TEXTCNV_SOURCE_DIR) / "bench" / "results.json");
  json << "{\n  \"runs\": [\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    json << "    {\"records\": " << r.records << ", \"input_mb\": " << r.inputMb
         << ", \"run_seconds\": " << r.runSeconds
         << ", \"mb_per_second\": " << r.inputMb / r.runSeconds << ", \"peak_mb\": " << r.peakMb
         << ", \"floor_seconds\": " << r.floorSeconds
         << ", \"ratio_to_floor\": " << r.runSeconds / r.floorSeconds
         << ", \"synced_floor_seconds\": " << r.syncedFloorSeconds
         << ", \"run_median_seconds\": " << r.runMedian << ", \"cpu_seconds\": " << r.cpuSeconds
         << ", \"sort_seconds\": " << r.sortSeconds << "}" << (i + 1 < rows.size() ? "," : "")
         << "\n";
  }
  json << "  ],\n  \"scaling_1m_over_100k\": " << scaling;
  if (selection.hostile) {
    json << ",\n  \"hostile\": {\"empty_lines\": " << kHostileEmptyLines
         << ", \"run_seconds\": " << hostile.seconds << ", \"peak_mb\": " << hostile.peakMb << "}";
  }
  if (selection.tiny) {
    json << ",\n  \"tiny\": {\"lines\": " << kTinyLines << ", \"run_seconds\": " << tiny.seconds
         << ", \"peak_mb\": " << tiny.peakMb << "}";
  }
  json << "\n}\n";
  return 0;
}
