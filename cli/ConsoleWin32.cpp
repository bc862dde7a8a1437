#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <filesystem>
#include <memory>

#include "Console.h"
#include "quenFile.h"

namespace {

// A console shows UTF-8 and the escapes that clear the progress line.
void PrepareConsole(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return;
  ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace

void PrepareConsoleStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  PrepareConsole(STD_OUTPUT_HANDLE);
  PrepareConsole(STD_ERROR_HANDLE);
}

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

// argv is in the ANSI code page, which cannot hold every name: the wide
// command line can.
std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) {
    args.push_back(quenFile::PathBytes(std::filesystem::path(wide.get()[i])));
  }
  return args;
}
