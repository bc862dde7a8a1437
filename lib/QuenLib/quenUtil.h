// quenUtil: text and file routines on the system's byte strings (CP932).
// Lengths are byte lengths: a two-byte character counts 2.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class quenUtil {
 public:
  // The text without its half-width (U+0020) and ideographic (U+3000) spaces.
  // Everything else, tabs included, stays.
  static std::string RemoveSpaces(std::string_view text);

  // Same answer as RemoveSpaces(text).empty(), without converting: true when
  // the text is made only of 0x20 and the two-byte space 0x81 0x40.
  static bool IsBlank(std::string_view text);

  // text right-aligned to width bytes with copies of pad in front; a text
  // longer than width comes back unchanged.
  static std::string PadLeft(std::string_view text, int width, std::string_view pad);

  // True when one of the examined first bytes is below 8 or is 0xFF. Of the
  // first min(size, 512) bytes, the last two are never examined, nor byte
  // 512. Throws quenFile::FileError when the file cannot be opened or read.
  static bool IsBinaryFile(const std::filesystem::path& path);
  // The same test on the first bytes of a file already read (any number of
  // them, the whole file when shorter than 512 bytes).
  static bool IsBinaryHead(std::string_view head);

  // Fills list with the fields of text. A delimiter at the very end adds no
  // empty field; empty fields elsewhere are kept. No list, nothing done.
  static void Split(char delimiter, std::string_view text, std::vector<std::string>* list);

  // Split without copying: the fields are views into text. With maxFields,
  // only the first maxFields fields are cut; they are the same as Split's.
  static void SplitView(char delimiter, std::string_view text, std::vector<std::string_view>& list,
                        std::size_t maxFields = SIZE_MAX);
};
