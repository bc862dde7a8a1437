// Micro-benchmarks of the routines every record passes through, so that a
// slowdown in one of them shows at once.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "KeyCollator.h"
#include "KeyIndexList.h"
#include "LineList.h"
#include "RecordGenerator.h"
#include "quenFile.h"
#include "quenUtil.h"

namespace fs = std::filesystem;

namespace {

// One generated batch file of n records, made once per size.
const std::string& Batch(std::size_t n) {
  static std::map<std::size_t, std::string> cache;
  auto it = cache.find(n);
  if (it == cache.end()) {
    const fs::path dir = fs::temp_directory_path() / ("textcnv-micro-" + std::to_string(n));
    GenerateRecordFolder(dir, GeneratorOptions{n, 1, 7});
    it = cache.emplace(n, quenFile::ReadAll(dir / "batch01.txt")).first;
    fs::remove_all(dir);
  }
  return it->second;
}

void BM_LoadLines(benchmark::State& state) {
  const std::string& bytes = Batch(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    LineList lines;
    lines.LoadFromBytes(bytes);
    benchmark::DoNotOptimize(lines.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadLines)->Arg(100000);

void BM_SaveLines(benchmark::State& state) {
  LineList lines;
  lines.LoadFromBytes(Batch(static_cast<std::size_t>(state.range(0))));
  const fs::path out = fs::temp_directory_path() / "textcnv-micro-save.txt";
  for (auto _ : state) lines.SaveToFile(out);
  fs::remove(out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Batch(state.range(0)).size()));
}
BENCHMARK(BM_SaveLines)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Split(benchmark::State& state) {
  LineList lines;
  lines.LoadFromBytes(Batch(10000));
  std::vector<std::string_view> fields;
  for (auto _ : state) {
    for (std::string_view line : lines) {
      quenUtil::SplitView('\t', line, fields);
      benchmark::DoNotOptimize(fields.size());
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
}
BENCHMARK(BM_Split);

void BM_IsBlank(benchmark::State& state) {
  const std::string text = std::string(10, ' ') + "\x81\x40\x81\x40" + "x";
  for (auto _ : state) benchmark::DoNotOptimize(quenUtil::IsBlank(text));
}
BENCHMARK(BM_IsBlank);

void BM_RemoveSpaces(benchmark::State& state) {
  const std::string text = std::string(10, ' ') + "\x81\x40\x81\x40" + "x";
  for (auto _ : state) benchmark::DoNotOptimize(quenUtil::RemoveSpaces(text));
}
BENCHMARK(BM_RemoveSpaces);

// Arg 1: an ISBN, which the shortcut writes; 0: the same through ICU.
void BM_SortKey(benchmark::State& state) {
  const KeyCollator collator(
      "ja", state.range(0) != 0 ? KeyCollator::Shortcut::kOn : KeyCollator::Shortcut::kOff);
  collator.LearnShortcut();
  const std::string key = "978-4-12-345678-9";
  std::string out;
  for (auto _ : state) {
    out.clear();
    collator.AppendSortKey(key, out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_SortKey)->Arg(1)->Arg(0);

void BM_KeyIndexBuildAndSort(benchmark::State& state) {
  LineList lines;
  lines.LoadFromBytes(Batch(static_cast<std::size_t>(state.range(0))));
  std::vector<std::string_view> fields;
  for (auto _ : state) {
    KeyIndexList index;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      quenUtil::SplitView('\t', lines[i], fields);
      index.Add(fields.size() > 2 ? fields[2] : std::string_view(), lines, i);
    }
    index.Sort();
    benchmark::DoNotOptimize(index.size());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
}
BENCHMARK(BM_KeyIndexBuildAndSort)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
