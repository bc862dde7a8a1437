// PathText: native paths are byte strings (UTF-8 on this system); Qt takes
// QString. These keep the conversion between the two in one place.
#pragma once

#include <filesystem>
#include <string>

#include <QFile>
#include <QString>

inline QString ToQString(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

inline std::filesystem::path ToPath(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}
