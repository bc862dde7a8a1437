// quenPlatform: the few facts the program asks of the operating system
// itself, one implementation per platform (quenPlatformPosix.cpp with
// quenProgramNameLinux.cpp or quenProgramNamePosix.cpp, quenPlatformWin32.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace quenPlatform {

// The running program's file name without its folder ("TextCnv.exe"), as
// UTF-8; "" when it cannot be had.
std::string ProgramFileName();

// The user's locale as the system names it ("ja_JP.UTF-8" from LC_ALL,
// LC_COLLATE or LANG on POSIX; "ja-JP" from the user's settings on
// Windows); "" when none is set.
std::string UserLocaleName();

// Whether a process with this id is running (or may be: one that cannot be
// asked counts as running).
bool ProcessExists(long id);

// An existing path as a C library that only has fopen opens it: the native
// bytes on POSIX; on Windows its bytes in the ANSI code page, or those of its
// short name where a character has none there; "" when neither serves.
std::string CLibraryPath(const std::filesystem::path& path);

}  // namespace quenPlatform
