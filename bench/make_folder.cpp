// textcnv-make-folder FOLDER RECORDS: a folder of generated record files, as
// the bench uses, for comparing builds on the same input.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "RecordGenerator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: textcnv-make-folder FOLDER RECORDS\n", stderr);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  GeneratorOptions options;
  options.records = std::strtoull(argv[2], nullptr, 10);
  GenerateRecordFolder(folder, options);
  return 0;
}
