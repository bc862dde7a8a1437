// PathText: between std::filesystem::path and QString, in one place.
//
// On Linux native paths are byte strings (UTF-8 on this system): they go
// through Qt's file-name encoding. On Windows they are UTF-16 already: they
// go through wide text unchanged, never through a narrow string, which would
// garble Japanese names in the ANSI code page, and with the backslashes the
// shell shows.
#pragma once

#include <filesystem>
#include <string>

#include <QDir>
#include <QFile>
#include <QString>

#ifdef Q_OS_WIN

inline QString ToQString(const std::filesystem::path& path) {
  return QDir::toNativeSeparators(QString::fromStdWString(path.native()));
}

inline std::filesystem::path ToPath(const QString& text) {
  return std::filesystem::path(QDir::toNativeSeparators(text).toStdWString());
}

#else

inline QString ToQString(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

inline std::filesystem::path ToPath(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

#endif
