#include "RunLog.h"

#include "RunHost.h"
#include "quenText.h"

void RunLog::Clear() {
  lines_.clear();
  host_.LogCleared();
}

namespace {

std::vector<std::string_view> CrlfLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (;;) {
    const std::size_t br = text.find("\r\n");
    lines.push_back(text.substr(0, br));
    if (br == std::string_view::npos) return lines;
    text.remove_prefix(br + 2);
  }
}

}  // namespace

void RunLog::Append(const quenShow::LogText& text) {
  const std::vector<std::string_view> lines = CrlfLines(text.Cp932());
  // A name's own UTF-8 form is shown where the CP932 form has "?"; it breaks
  // where the CP932 text does (names hold no CR LF, their escapes do).
  std::string utf8;
  std::vector<std::string_view> shown;
  if (text.HasOwnUtf8()) {
    utf8 = text.Utf8();
    shown = CrlfLines(utf8);
    if (shown.size() != lines.size()) shown.clear();
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    lines_.push_back(quenShow::EscapeCp932Controls(lines[i]));
    const std::string display = shown.empty()
                                    ? quenText::ToUtf8(lines_.back())
                                    : quenShow::EscapeControls(shown[i], /*keepTab=*/true);
    host_.LogAppended(lines_.back(), display);
  }
}

void RunLog::Save(const quenFile::OutputFolder& folder, std::string_view name) const {
  quenFile::AtomicWriter out(folder, name);
  for (const std::string& line : lines_) {
    out.Write(line);
    out.Write("\r\n");
  }
  out.Commit();
}
