#include "SourceFolder.h"

#include <algorithm>

#include "KeyCollator.h"
#include "quenFile.h"

std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> names;
  for (quenFile::DirEntry& e : quenFile::ListFolder(folder)) {
    // A link to a regular file counts as a file; a broken link or a FIFO
    // does not (opening a FIFO would hang the run).
    if (e.hidden || !e.regularFile) continue;
    names.push_back(quenFile::PathFromBytes(e.name));
  }

  const KeyCollator& collator = KeyCollator::Default();
  std::sort(names.begin(), names.end(), [&](const fs::path& a, const fs::path& b) {
    return collator.CompareFileNames(a, b) < 0;
  });
  std::vector<fs::path> paths;
  paths.reserve(names.size());
  for (const fs::path& name : names) paths.push_back(folder / name);
  return paths;
}
