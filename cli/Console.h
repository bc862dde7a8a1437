// Console: what the command line asks of the platform's console, one
// implementation per platform (ConsolePosix.cpp, ConsoleWin32.cpp).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Call first: standard output and error then carry the program's bytes as
// they are (no line-end translation), and a Windows console shows UTF-8.
void PrepareConsoleStreams();

// Whether stream is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

// The program's arguments after its name, as PathBytes text: the bytes as
// given on POSIX, UTF-8 from the wide command line on Windows.
std::vector<std::string> ProgramArguments(int argc, char** argv);
