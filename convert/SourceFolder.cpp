#include "SourceFolder.h"

#include <algorithm>
#include <system_error>

#include "Collation.h"
#include "quenFile.h"

std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path name = it->path().filename();
    if (name.native().starts_with('.')) continue;
    std::error_code typeError;
    // A link to a regular file counts as a file; a broken link or a FIFO
    // does not (opening a FIFO would hang the run).
    if (!it->is_regular_file(typeError)) continue;
    names.push_back(name);
  }
  if (ec) throw quenFile::FileError(quenFile::FileError::Kind::kInputOutput, folder, ec.value());

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
