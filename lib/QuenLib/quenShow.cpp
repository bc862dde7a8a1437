#include "quenShow.h"

#include <cstdio>

#include <unicode/utf8.h>

#include "quenText.h"

namespace quenShow {
namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string Escape(char32_t c) {
  switch (c) {
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    default:
      break;
  }
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, c < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c));
  return buffer;
}

}  // namespace

std::string EscapeControls(std::string_view utf8, bool keepTab) {
  std::string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto length = static_cast<int64_t>(utf8.size());
  for (int64_t i = 0; i < length;) {
    const int64_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c >= 0 && IsControl(static_cast<char32_t>(c)) && !(keepTab && c == '\t')) {
      out += Escape(static_cast<char32_t>(c));
    } else {
      out.append(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
  }
  return out;
}

std::string ForDisplay(std::string_view native) {
  return EscapeControls(quenText::FileNameUtf8(native));
}

std::string ForLog(std::string_view native) {
  if (!quenText::IsValidUtf8(native) && quenText::DecodeCp932Strict(native)) {
    // Control bytes are single-byte characters in CP932 (lead bytes start
    // at 0x81), so they can be escaped byte by byte.
    std::string out;
    for (std::size_t i = 0; i < native.size(); ++i) {
      const auto b = static_cast<unsigned char>(native[i]);
      const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      if (lead && i + 1 < native.size()) {
        out.append(native.substr(i, 2));
        ++i;
      } else {
        out += IsControl(b) ? Escape(b) : std::string(1, native[i]);
      }
    }
    return out;
  }
  return quenText::FromUtf8(EscapeControls(native));
}

}  // namespace quenShow
