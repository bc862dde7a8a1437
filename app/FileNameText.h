// How a file name's bytes are shown. Names are UTF-8 on this system, but
// files copied from Windows media may keep their Shift_JIS (CP932) bytes:
// such a name is shown as that text rather than as mojibake. The bytes
// themselves stay what opens the file.
#pragma once

#include <string_view>

#include <QString>

struct ShownFileName {
  QString text;
  // The bytes were not UTF-8 but CP932: text names no file on disk.
  bool fromCp932 = false;
};

// Valid UTF-8 as it is; else valid CP932 decoded; else as Qt decodes any
// file name.
ShownFileName ShowFileName(std::string_view bytes);
