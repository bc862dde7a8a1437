// The helper library's Qt part: the desktop folder.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "quenFolder.h"

using namespace testing_support;

// Points HOME and XDG_CONFIG_HOME at a temporary folder while it lives.
class FakeHome {
 public:
  FakeHome() {
    Save("HOME");
    Save("XDG_CONFIG_HOME");
    ::setenv("HOME", dir_.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir_.path() / ".config").c_str(), 1);
    std::filesystem::create_directories(dir_.path() / ".config");
  }
  ~FakeHome() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  const TempDir& dir() const { return dir_; }

 private:
  void Save(const char* name) {
    const char* v = std::getenv(name);
    saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
  }
  TempDir dir_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(GetSpecialFolder, IsTheUserDirsDesktopOrHomeWhenThatFolderIsMissing) {
  FakeHome home;
  const std::string root = home.dir().path().string();
  WriteBytes(home.dir() / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(quenFolder::GetSpecialFolder(false).string(), root);  // not created yet
  EXPECT_EQ(quenFolder::GetSpecialFolder(true).string(), root + "/");
  std::filesystem::create_directories(home.dir() / "Schreibtisch");
  EXPECT_EQ(quenFolder::GetSpecialFolder(false).string(), root + "/Schreibtisch");
  EXPECT_EQ(quenFolder::GetSpecialFolder(true).string(), root + "/Schreibtisch/");
}
