#include <windows.h>

#include <unicode/udata.h>
#include <unicode/utypes.h>

#include <filesystem>
#include <string>

#include "quenFile.h"
#include "quenPlatform.h"

namespace {

std::filesystem::path ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The programs share one file of the ICU data they use, beside them, rather
// than each carrying all of ICU's; with none there (the tests) the data built
// in serves. It is mapped and handed to ICU before main, as ICU wants it
// before any data is opened, and stays mapped while the program runs.
void UseIcuDataBesideProgram() {
  const std::filesystem::path file = ProgramPath().parent_path() / (U_ICUDATA_NAME ".dat");
  const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  const HANDLE mapping = ::CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ::CloseHandle(handle);
  if (mapping == nullptr) return;
  // The view outlives the handle.
  const void* data = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ::CloseHandle(mapping);
  if (data == nullptr) return;
  UErrorCode err = U_ZERO_ERROR;
  udata_setCommonData(data, &err);
}

// wide in the ANSI code page, or "" when a character has no place in it.
std::string InAnsiCodePage(const std::wstring& wide) {
  if (wide.empty()) return {};
  BOOL lost = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
  if (n <= 0 || lost) return {};
  std::string narrow(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        narrow.data(), n, nullptr, nullptr);
  return narrow;
}

[[maybe_unused]] const bool kIcuDataBesideProgram = (UseIcuDataBesideProgram(), true);

}  // namespace

namespace quenPlatform {

std::string ProgramFileName() {
  const std::filesystem::path path = ProgramPath();
  return path.empty() ? std::string() : quenFile::PathBytes(path.filename());
}

// The user's own setting, not LANG: Windows programs collate by it.
std::string UserLocaleName() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  const int n = ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  if (n <= 1) return {};
  return quenFile::PathBytes(std::filesystem::path(std::wstring(name, n - 1)));
}

bool ProcessExists(long id) {
  if (id <= 0) return true;
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

// A short name exists only where the volume keeps them (NTFS by default).
std::string CLibraryPath(const std::filesystem::path& path) {
  if (std::string narrow = InAnsiCodePage(path.native()); !narrow.empty()) return narrow;
  std::wstring shortName(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetShortPathNameW(path.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (n == 0) return {};
    if (n < shortName.size()) {
      shortName.resize(n);
      return InAnsiCodePage(shortName);
    }
    shortName.resize(n);
  }
}

}  // namespace quenPlatform
