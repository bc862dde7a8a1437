// The helper library's Qt part: paths to QString and back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PathText.h"

namespace {

struct Case {
  std::filesystem::path::string_type native;  // the path as the system holds it
  QString shown;                              // as the window shows it
  QString given;                              // as Qt may hand it over
};

#ifdef Q_OS_WIN
// UTF-16 all the way, shown with backslashes whatever Qt hands over.
const std::vector<Case> kCases = {
    {L"C:\\Users\\太郎\\デスクトップ", "C:\\Users\\太郎\\デスクトップ",
     "C:/Users/太郎/デスクトップ"},
    {L"C:\\取込データ\\処理後\\取込用.txt", "C:\\取込データ\\処理後\\取込用.txt",
     "C:\\取込データ/処理後/取込用.txt"},
    {L"\\\\server\\共有\\①②", "\\\\server\\共有\\①②", "//server/共有/①②"},
    {L"C:\\", "C:\\", "C:/"},
    {L"", "", ""},
};
#else
// UTF-8 bytes; a backslash is part of a name.
const std::vector<Case> kCases = {
    {"/home/太郎/デスクトップ", "/home/太郎/デスクトップ", "/home/太郎/デスクトップ"},
    {"/tmp/取込データ/処理後/取込用.txt", "/tmp/取込データ/処理後/取込用.txt",
     "/tmp/取込データ/処理後/取込用.txt"},
    {"/tmp/a\\b/①②", "/tmp/a\\b/①②", "/tmp/a\\b/①②"},
    {"/", "/", "/"},
    {"", "", ""},
};
#endif

}  // namespace

TEST(PathText, ShowsThePathAsTheSystemHoldsItAndTakesItBack) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.shown.toStdString());
    const std::filesystem::path path(c.native);
    EXPECT_EQ(ToQString(path), c.shown);
    EXPECT_EQ(ToPath(c.shown).native(), c.native);
    EXPECT_EQ(ToPath(c.given).native(), c.native);
  }
}
