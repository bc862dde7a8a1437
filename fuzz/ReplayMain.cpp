// Runs a fuzz target without libFuzzer: every file of the folders given (or
// each file given) goes once through LLVMFuzzerTestOneInput, so the seeds
// and past findings under fuzz/corpus are regression tests of the ordinary
// and the sanitizer builds. A failed check aborts; the input's name is
// printed before it runs so that the failure names it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "FileBytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
// Defined by the targets that prepare something once; null otherwise.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

// The files to replay, each folder's in name order so that runs repeat.
std::vector<fs::path> Inputs(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg = argv[i];
    if (!fs::is_directory(arg)) {
      inputs.push_back(arg);
      continue;
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& e : fs::directory_iterator(arg)) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
  }
  return inputs;
}

void Replay(const fs::path& file) {
  const std::string bytes = testing_support::ReadBytes(file);
  // A buffer of exactly the input's size, as libFuzzer passes it, so that
  // the sanitizers catch a read past its end.
  const auto data = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), data.get());
  LLVMFuzzerTestOneInput(data.get(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  try {
    const std::vector<fs::path> inputs = Inputs(argc, argv);
    // No input at all is a mistake in the arguments, not a pass.
    if (inputs.empty()) {
      std::fprintf(stderr, "%s: no inputs to replay\n", argv[0]);
      return 1;
    }
    for (const fs::path& file : inputs) {
      std::fprintf(stderr, "replaying %s\n", file.c_str());
      Replay(file);
    }
    std::printf("%zu inputs replayed\n", inputs.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
