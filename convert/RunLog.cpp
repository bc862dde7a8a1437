#include "RunLog.h"

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

void RunLog::Save(const quenFile::OutputFolder& folder, std::string_view name) const {
  quenFile::AtomicWriter out(folder, name);
  for (const std::string& line : lines_) {
    out.Write(line);
    out.Write("\r\n");
  }
  out.Commit();
}
