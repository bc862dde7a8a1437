// quenFolder: special folders of the user's desktop session.
#pragma once

#include <filesystem>

class quenFolder {
 public:
  // The user's desktop folder as the desktop resolves it (XDG_DESKTOP_DIR in
  // the user-dirs file, else ~/Desktop; the shell's desktop folder on
  // Windows), or the home folder when that folder does not exist. With
  // trailingDelimiter the path ends in the path delimiter ("/", "\" on
  // Windows). When even the home folder is unknown: "" without the
  // delimiter, the lone delimiter with it.
  static std::filesystem::path GetSpecialFolder(bool trailingDelimiter);
};
