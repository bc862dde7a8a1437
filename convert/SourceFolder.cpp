#include "SourceFolder.h"

#include <algorithm>

#include "KeyCollator.h"
#include "quenFile.h"

std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  for (quenFile::DirEntry& e : quenFile::ListFolder(folder)) {
    // A link to a regular file counts as a file; a broken link or a FIFO
    // does not (opening a FIFO would hang the run).
    if (e.hidden || !e.regularFile) continue;
    names.push_back(std::move(e.name));
  }

  // Sorted as the bytes they came as: no path is made for each comparison.
  const KeyCollator& collator = KeyCollator::Default();
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return collator.CompareFileNameBytes(a, b) < 0;
  });
  std::vector<fs::path> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(folder / quenFile::PathFromBytes(name));
  return paths;
}
