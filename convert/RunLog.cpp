#include "RunLog.h"

#include "LineList.h"
#include "RunHost.h"

void RunLog::Clear() {
  lines_.clear();
  host_.LogCleared();
}

void RunLog::Append(std::string_view text) {
  for (;;) {
    const std::size_t br = text.find("\r\n");
    lines_.emplace_back(text.substr(0, br));
    host_.LogAppended(lines_.back());
    if (br == std::string_view::npos) return;
    text.remove_prefix(br + 2);
  }
}

void RunLog::Save(const std::filesystem::path& path) const {
  LineList list;
  list.Reserve(lines_.size());
  for (const std::string& line : lines_) list.Add(line);
  list.SaveToFile(path);
}
