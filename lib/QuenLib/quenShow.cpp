#include "quenShow.h"

#include <cstdio>

#include <unicode/utf8.h>

#include "quenText.h"

namespace quenShow {
namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool IsCp932Control(unsigned char b) { return (b < 0x20 && b != '\t') || b == 0x7F; }

bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

bool IsCp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

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
    // Its own bytes, as a record text would be; TAB escaped too, as in
    // every name.
    std::string out;
    for (const char c : EscapeCp932Controls(native)) {
      if (c == '\t') {
        out += "\\t";
      } else {
        out += c;
      }
    }
    return out;
  }
  return quenText::FromUtf8(EscapeControls(native));
}

std::string EscapeCp932Controls(std::string_view cp932) {
  std::size_t i = 0;
  while (i < cp932.size() && !IsCp932Control(static_cast<unsigned char>(cp932[i]))) ++i;
  if (i == cp932.size()) return std::string(cp932);
  std::string out;
  out.reserve(cp932.size() + 8);
  for (i = 0; i < cp932.size(); ++i) {
    const auto b = static_cast<unsigned char>(cp932[i]);
    // A lead byte takes its trail byte along: a trail byte may look like
    // anything but a control.
    if (IsCp932Lead(b) && i + 1 < cp932.size() &&
        IsCp932Trail(static_cast<unsigned char>(cp932[i + 1]))) {
      out.append(cp932.substr(i, 2));
      ++i;
    } else if (IsCp932Control(b)) {
      out += Escape(b);
    } else {
      out += cp932[i];
    }
  }
  return out;
}

LogText::LogText(std::u8string_view utf8)
    : cp932_(quenText::FromUtf8(
          std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()))) {}

std::string LogText::Utf8() const {
  if (utf8_) return *utf8_;
  // Escaped as the CP932 lines will be, line by line, so that both forms
  // show the same escapes: ICU's windows-31j swaps 0x1A, 0x1C and 0x7F.
  std::string out;
  std::string_view rest = cp932_;
  for (;;) {
    const std::size_t br = rest.find("\r\n");
    out += quenText::ToUtf8(EscapeCp932Controls(rest.substr(0, br)));
    if (br == std::string_view::npos) return out;
    out += "\r\n";
    rest.remove_prefix(br + 2);
  }
}

LogText operator+(LogText a, const LogText& b) {
  if (a.utf8_ || b.utf8_) a.utf8_ = a.Utf8() + b.Utf8();
  a.cp932_ += b.cp932_;
  return a;
}

LogText LogName(std::string_view native) {
  std::string cp932 = ForLog(native);
  std::string utf8 = ForDisplay(native);
  if (quenText::ToUtf8(cp932) == utf8) return LogText(std::move(cp932));
  return LogText(std::move(cp932), std::move(utf8));
}

}  // namespace quenShow
