// quenShow: how texts from outside the program (file names, paths, record
// bytes) are shown to a person. Control characters never reach a log line,
// a report, a box or a terminal as they are: they could end a line early,
// forge a line of the run's own, or drive a terminal. Each becomes a
// visible escape: \t, \n and \r for TAB, LF and CR, \xHH for the other C0
// characters and DEL, \uHHHH for C1.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenShow {

// UTF-8 in and out; keepTab leaves TAB as it is (a terminal shows it).
std::string EscapeControls(std::string_view utf8, bool keepTab = false);

// A native name or path for boxes and terminals: quenText::FileNameUtf8,
// controls escaped.
std::string ForDisplay(std::string_view native);

// A native name or path for the CP932 log and reports, controls escaped: a
// name that is not UTF-8 but valid CP932 keeps its own bytes; otherwise each
// character CP932 cannot hold, and each byte that is not UTF-8, becomes "?".
std::string ForLog(std::string_view native);

// CP932 bytes with their control characters escaped as EscapeControls does,
// TAB kept: every byte below 0x20 but TAB, and 0x7F. They are single-byte
// characters in CP932 (never a trail byte); no CP932 byte decodes to C1.
// Every other byte is kept as it is, undecodable bytes too.
std::string EscapeCp932Controls(std::string_view cp932);

// A text in the two forms it is shown in: CP932 for the log file and the
// reports, UTF-8 for the window, terminals and boxes. They differ only where
// a name holds a character CP932 cannot: "?" in the CP932 form, the
// character itself in the UTF-8 form. A plain CP932 text has no UTF-8 form
// of its own: it is decoded when asked for.
//
// The program's own texts are u8"" literals, encoded here; a string of
// bytes is CP932. A plain "" literal is neither for certain, so it does not
// compile: write u8"" for program text.
class LogText {
 public:
  LogText() = default;
  LogText(std::string cp932) : cp932_(std::move(cp932)) {}
  LogText(std::string_view cp932) : cp932_(cp932) {}
  LogText(const char8_t* utf8) : LogText(std::u8string_view(utf8)) {}
  LogText(std::u8string_view utf8);
  LogText(const char*) = delete;
  LogText(std::string cp932, std::string utf8) : cp932_(std::move(cp932)), utf8_(std::move(utf8)) {}

  const std::string& Cp932() const { return cp932_; }
  std::string Utf8() const;
  bool HasOwnUtf8() const { return utf8_.has_value(); }

  friend LogText operator+(LogText a, const LogText& b);

 private:
  std::string cp932_;
  std::optional<std::string> utf8_;
};

// A native name or path as ForLog (CP932) and ForDisplay (UTF-8) show it.
LogText LogName(std::string_view native);

}  // namespace quenShow
