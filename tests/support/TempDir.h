// TempDir: a fresh folder for one test or one fuzzing process, removed with
// everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string_view>

namespace testing_support {

class TempDir {
 public:
  // A new folder named prefix plus a unique suffix, under base (the
  // system's temporary folder when base is empty). Throws when it cannot be made.
  explicit TempDir(std::string_view prefix = "textcnv-test-",
                   const std::filesystem::path& base = {});
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // name is UTF-8.
  std::filesystem::path operator/(std::string_view name) const;
  std::filesystem::path operator/(const char8_t* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// /dev/shm when there, so that scratch files stay in memory; else the
// system's temporary folder.
std::filesystem::path MemoryTempBase();

}  // namespace testing_support
