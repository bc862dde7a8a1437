// BatchOptions: the command line of textcnv-batch and the texts that
// explain it.
#pragma once

#include <string>
#include <vector>

struct Arguments {
  const std::string* folder = nullptr;
  const std::string* findings = nullptr;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// False for a wrong command line. --help and --version stand alone.
bool Parse(const std::vector<std::string>& argv, Arguments& args);

// For a wrong command line (standard error), for --help and --version
// (standard output).
extern const char* const kUsage;
const std::string& HelpText();
// "textcnv-batch <version>\n".
const std::string& VersionLine();
