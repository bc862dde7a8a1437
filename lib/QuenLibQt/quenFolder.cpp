#include "quenFolder.h"

#include <QDir>
#include <QStandardPaths>

#include "PathText.h"

std::filesystem::path quenFolder::GetSpecialFolder(bool trailingDelimiter) {
  // Qt reads the XDG user-dirs file the way the desktop does, and asks the
  // Windows shell for its desktop folder.
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  if (folder.isEmpty() || !QDir(folder).exists()) folder.clear();
  std::filesystem::path path = ToPath(QDir::cleanPath(folder));
  constexpr auto kDelimiter = std::filesystem::path::preferred_separator;
  if (trailingDelimiter && !path.native().ends_with(kDelimiter)) path += kDelimiter;
  return path;
}
