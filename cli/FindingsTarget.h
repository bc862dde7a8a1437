// FindingsTarget: whether the file named by --findings may be written, asked
// before the run touches anything: a file of the folder or one in its
// output folder would be overwritten by the findings, a folder cannot be.
// And the findings written there, in the format its name asks for.
#pragma once

#include <filesystem>
#include <string>

#include "Findings.h"

// Why file may not take the findings of a run over folder, as a Japanese
// message (UTF-8, one line); "" when it may.
std::string FindingsTargetRefusal(const std::filesystem::path& folder,
                                  const std::filesystem::path& file);

// Whether file names a workbook: it ends in ".xlsx", in any case. Any other
// name (".csv", none, /dev/stdout) gets the CSV.
bool IsWorkbookName(const std::filesystem::path& file);

// Writes findings to file as a workbook or as CSV, as its name says.
// Throws quenFile::FileError.
void SaveFindings(const Findings& findings, const std::filesystem::path& file);
