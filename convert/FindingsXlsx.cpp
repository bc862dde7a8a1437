#include "FindingsXlsx.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "quenFile.h"
#include "quenPlatform.h"
#include "quenSaveAs.h"

namespace fs = std::filesystem;
using quenFile::FileError;

namespace {

// The 行 column: a number the run counted, never record bytes.
constexpr std::size_t kLineCell = kFindingColumns - 1;
// What a cell holds at most, in characters.
constexpr std::size_t kCellCharacters = 32767;
// Column widths, in Excel's units (about one half-width character each).
constexpr std::size_t kNarrowest = 6;
constexpr std::size_t kWidest = 80;

[[noreturn]] void Fail(FileError::Kind kind, const fs::path& shown, int errorNumber) {
  throw FileError(kind, shown, errorNumber != 0 ? errorNumber : EIO);
}

// A folder of its own in the system's temporary folder, for the workbook
// and the library's scratch files; removed with all it holds. Its name is
// new, so nothing another user put there is written through.
class ScratchFolder {
 public:
  explicit ScratchFolder(const fs::path& shown) {
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (error) Fail(FileError::Kind::kCreate, shown, ENOENT);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
      const unsigned long long name = (static_cast<unsigned long long>(random()) << 32) ^ random();
      path_ = temporary / ("textcnv-xlsx-" + std::to_string(name));
      if (quenFile::MakePrivateDirectory(path_)) return;
      if (errno != EEXIST) Fail(FileError::Kind::kCreate, shown, errno);
    }
    Fail(FileError::Kind::kCreate, shown, EEXIST);
  }
  ~ScratchFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The first at most kCellCharacters characters of utf8.
std::string_view Fitting(std::string_view utf8) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
    if (characters++ == kCellCharacters) return utf8.substr(0, i);
  }
  return utf8;
}

// How wide utf8 shows, a full-width character counting two.
std::size_t Width(std::string_view utf8) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80 || (b & 0xE0) == 0xC0) {
      ++width;
    } else if ((b & 0xC0) != 0x80) {
      // Half-width katakana (U+FF61 to U+FF9F) is the one narrow range above.
      const bool halfWidth =
          b == 0xEF && i + 1 < utf8.size() && (utf8[i + 1] == '\xBD' || utf8[i + 1] == '\xBE');
      width += halfWidth ? 1 : 2;
    }
  }
  return width;
}

class Sheet {
 public:
  Sheet(lxw_workbook* book, const fs::path& shown)
      : shown_(shown), sheet_(workbook_add_worksheet(book, kFindingsSheetName)) {
    if (sheet_ == nullptr) Fail(FileError::Kind::kWrite, shown_, ENOMEM);
    header_ = workbook_add_format(book);
    if (header_ == nullptr) Fail(FileError::Kind::kWrite, shown_, ENOMEM);
    format_set_bold(header_);
  }

  void AddHeader() {
    const auto& header = FindingHeader();
    for (std::size_t c = 0; c < header.size(); ++c) AddText(c, header[c], header_);
    ++rows_;
  }

  void AddFinding(const Finding& finding) {
    const FindingRow row = RowOf(finding);
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c != kLineCell) {
        AddText(c, row[c], nullptr);
        continue;
      }
      // The line counter's number is the one number; a record's text stays text.
      widths_[c] = std::max(widths_[c], row[c].size());
      Check(worksheet_write_number(sheet_, rows_, static_cast<lxw_col_t>(c),
                                   static_cast<double>(finding.line), nullptr));
    }
    ++rows_;
  }

  // The header frozen, the filter over every row, the widths.
  void Finish() {
    worksheet_freeze_panes(sheet_, 1, 0);
    Check(worksheet_autofilter(sheet_, 0, 0, rows_ - 1, kFindingColumns - 1));
    for (std::size_t c = 0; c < kFindingColumns; ++c) {
      const double width = static_cast<double>(std::clamp(widths_[c] + 2, kNarrowest, kWidest));
      const auto column = static_cast<lxw_col_t>(c);
      Check(worksheet_set_column(sheet_, column, column, width, nullptr));
    }
  }

 private:
  void AddText(std::size_t c, std::string_view text, lxw_format* format) {
    text = Fitting(text);
    widths_[c] = std::max(widths_[c], Width(text));
    Check(worksheet_write_string(sheet_, rows_, static_cast<lxw_col_t>(c),
                                 std::string(text).c_str(), format));
  }

  void Check(lxw_error error) const {
    if (error == LXW_NO_ERROR) return;
    Fail(FileError::Kind::kWrite, shown_,
         error == LXW_ERROR_MEMORY_MALLOC_FAILED ? ENOMEM : (errno != 0 ? errno : EIO));
  }

  const fs::path& shown_;
  lxw_worksheet* sheet_;
  lxw_format* header_ = nullptr;
  lxw_row_t rows_ = 0;
  std::array<std::size_t, kFindingColumns> widths_{};
};

// The workbook of findings written to file (a path for the C library), with
// the library's scratch files in folder.
void WriteWorkbook(const Findings& findings, const std::string& file, std::string& folder,
                   const fs::path& shown) {
  // Rows go to the file as they come, not into memory: a run can have
  // millions of findings. Strings are then written in their cells.
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = folder.data();
  errno = 0;
  lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
  if (book == nullptr) Fail(FileError::Kind::kCreate, shown, errno);
  try {
    Sheet sheet(book, shown);
    sheet.AddHeader();
    for (const Finding& finding : findings) sheet.AddFinding(finding);
    sheet.Finish();
  } catch (...) {
    // Closing writes the file; it goes with the scratch folder.
    workbook_close(book);
    throw;
  }
  errno = 0;
  if (workbook_close(book) != LXW_NO_ERROR) Fail(FileError::Kind::kWrite, shown, errno);
}

}  // namespace

void SaveFindingsXlsx(const Findings& findings, const fs::path& path) {
  // A sheet has room for so many rows, the header's among them.
  if (findings.size() >= LXW_ROW_MAX) Fail(FileError::Kind::kWrite, path, EFBIG);
  const ScratchFolder scratch(path);
  std::string folder = quenPlatform::CLibraryPath(scratch.path());
  if (folder.empty()) Fail(FileError::Kind::kCreate, path, ENAMETOOLONG);
  constexpr std::string_view kName = "findings.xlsx";
  WriteWorkbook(findings, folder + static_cast<char>(fs::path::preferred_separator) + kName.data(),
                folder, path);
  std::string bytes;
  try {
    bytes = quenFile::ReadAll(scratch.path() / kName);
  } catch (const FileError& e) {
    // The scratch file is no name the user knows.
    Fail(FileError::Kind::kWrite, path, e.errorNumber());
  }
  quenFile::SaveAs(path, bytes);
}
