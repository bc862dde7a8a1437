// Whole files as bytes, for the tests and the fuzz targets. A file that
// cannot be read or written throws, so that it fails the check using it
// instead of passing for an empty one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// Creates or truncates path and writes bytes to it.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

std::string ReadBytes(const std::filesystem::path& path);

}  // namespace testing_support
