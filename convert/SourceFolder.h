// SourceFolder: the files of a chosen folder, as the file list shows them and
// as the run takes them: regular files only (sub-folders, special files and
// hidden files, whose names start with ".", left out), ordered by the
// file-name comparison of Collation.
#pragma once

#include <filesystem>
#include <vector>

// Full paths. Throws quenFile::FileError (input/output) when the folder
// cannot be read, for example because it no longer exists.
std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder);
