// How a file name is shown. On Linux names are bytes, UTF-8 on this system,
// but files copied from Windows media may keep their Shift_JIS (CP932)
// bytes: such a name is shown as that text rather than as mojibake. The
// bytes themselves stay what opens the file. On Windows names are UTF-16
// and shown as they are (FileNameTextWin32.cpp).
#pragma once

#include <filesystem>

#include <QString>

struct ShownFileName {
  QString text;
  // The bytes were not UTF-8 but CP932: text names no file on disk.
  bool fromCp932 = false;
};

// Linux: valid UTF-8 as it is; else valid CP932 decoded; else as Qt
// decodes any file name.
ShownFileName ShowFileName(const std::filesystem::path& name);
