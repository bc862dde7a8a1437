// quenShow: how texts from outside the program (file names, paths, record
// bytes) are shown to a person. Control characters never reach a log line,
// a report, a box or a terminal as they are: they could end a line early,
// forge a line of the run's own, or drive a terminal. Each becomes a
// visible escape: \t, \n and \r for TAB, LF and CR, \xHH for the other C0
// characters and DEL, \uHHHH for C1.
#pragma once

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

}  // namespace quenShow
