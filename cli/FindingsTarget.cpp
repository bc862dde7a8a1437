#include "FindingsTarget.h"

#include <cctype>
#include <optional>
#include <vector>

#include "FindingsXlsx.h"
#include "RecordFormat.h"
#include "quenFile.h"
#include "quenSaveAs.h"
#include "quenShow.h"

namespace fs = std::filesystem;

namespace {

std::optional<struct stat> StatusOf(const fs::path& path) {
  struct stat st {};
  if (quenFile::System().Status(quenFile::PathBytes(path).c_str(), &st, true) != 0) {
    return std::nullopt;
  }
  return st;
}

// The same file by device and inode, where the system has those (not on
// Windows, whose status leaves them 0).
bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_ino != 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// path with its symbolic links and ".." resolved as far as it exists.
fs::path Resolved(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
  return error ? fs::absolute(path, error).lexically_normal() : resolved;
}

bool Within(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing delimiter
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

// Whether file is, by device and inode, one of the entries of folder.
bool AmongEntries(const struct stat& file, const fs::path& folder) {
  std::vector<quenFile::DirEntry> entries;
  if (quenFile::System().List(quenFile::PathBytes(folder).c_str(), entries) != 0) return false;
  for (const quenFile::DirEntry& entry : entries) {
    const std::optional<struct stat> st = StatusOf(folder / quenFile::PathFromBytes(entry.name));
    if (st && SameFile(*st, file)) return true;
  }
  return false;
}

// Whether file, or a folder it lies in, is the output folder by device and
// inode: another spelling of its path.
bool InsideByIdentity(const fs::path& file, const struct stat& output) {
  for (fs::path at = file; at.has_relative_path(); at = at.parent_path()) {
    const std::optional<struct stat> st = StatusOf(at);
    if (st && SameFile(*st, output)) return true;
  }
  return false;
}

}  // namespace

std::string FindingsTargetRefusal(const fs::path& folder, const fs::path& file) {
  const std::string shown =
      "--findings に指定した \"" + quenShow::ForDisplay(quenFile::PathBytes(file)) + "\" ";
  const std::optional<struct stat> target = StatusOf(file);
  if (target && S_ISDIR(target->st_mode)) {
    return shown + "はフォルダーです。書き出すファイルの名前を指定してください。";
  }
  const fs::path output = folder / quenFile::PathFromBytes(kOutputFolderName);
  const std::optional<struct stat> outputStatus = StatusOf(output);
  const fs::path resolved = Resolved(file);
  if (Within(resolved, Resolved(output)) ||
      (outputStatus && InsideByIdentity(resolved, *outputStatus)) ||
      (target && outputStatus && AmongEntries(*target, output))) {
    return shown +
           "は出力フォルダー 処理後 の中のファイルです。"
           "出力を上書きしないよう、別の場所を指定してください。";
  }
  if (target && AmongEntries(*target, folder)) {
    return shown +
           "は変換するフォルダーのファイルです。"
           "元のファイルを上書きしないよう、別の場所を指定してください。";
  }
  return "";
}

bool IsWorkbookName(const fs::path& file) {
  std::string extension = quenFile::PathBytes(file.extension());
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".xlsx";
}

void SaveFindings(const Findings& findings, const fs::path& file) {
  if (IsWorkbookName(file)) {
    SaveFindingsXlsx(findings, file);
  } else {
    quenFile::SaveAs(file, FindingsCsv(findings));
  }
}
