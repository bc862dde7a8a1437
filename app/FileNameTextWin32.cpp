#include "FileNameText.h"

#include <QString>

// Windows keeps names in UTF-16: there are no bytes to guess at.
ShownFileName ShowFileName(const std::filesystem::path& name) {
  return {QString::fromStdWString(name.native()), false};
}
