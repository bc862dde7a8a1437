#include <windows.h>

#include <filesystem>
#include <string>

#include "quenFile.h"
#include "quenPlatform.h"

namespace quenPlatform {

std::string ProgramFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return quenFile::PathBytes(std::filesystem::path(path).filename());
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

}  // namespace quenPlatform
