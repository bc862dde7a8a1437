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
    if (e.name.starts_with('.') || !e.regularFile) continue;
    names.emplace_back(std::move(e.name));
  }

  const KeyCollator& collator = KeyCollator::Default();
  std::sort(names.begin(), names.end(), [&](const fs::path& a, const fs::path& b) {
    return collator.CompareFileNames(a, b) < 0;
  });
  std::string base = folder.native();
  if (!base.ends_with('/')) base += '/';
  std::vector<fs::path> paths;
  paths.reserve(names.size());
  for (const fs::path& name : names) paths.emplace_back(base + name.native());
  return paths;
}
