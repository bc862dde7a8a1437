// FindingsTarget: whether the file named by --findings may be written, asked
// before the run touches anything: a file of the folder or one in its
// output folder would be overwritten by the findings, a folder cannot be.
#pragma once

#include <filesystem>
#include <string>

// Why file may not take the findings of a run over folder, as a Japanese
// message (UTF-8, one line); "" when it may.
std::string FindingsTargetRefusal(const std::filesystem::path& folder,
                                  const std::filesystem::path& file);
