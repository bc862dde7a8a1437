#include "RecordLine.h"

#include <cstdio>

#include "quenText.h"

namespace testing_support {

std::string Cp932(std::string_view utf8) { return quenText::FromUtf8(utf8); }

std::string RecordLine(const Rec& r) {
  std::string line;
  for (int f = 0; f < r.fields; ++f) {
    if (f > 0) line += '\t';
    switch (f) {
      case 0:
        line += r.id;
        break;
      case 1:
        line += "1";
        break;
      case 2:
        line += r.key;
        break;
      case 3:
        line += r.title;
        break;
      case 4:
        line += r.reading;
        break;
      case 9:
        line += r.ndc;
        break;
      default:
        line += "f" + std::to_string(f) + "-" + r.id;
        break;
    }
  }
  return Cp932(line);
}

std::string RecordLine(std::string_view id, std::string_view key, std::string_view title,
                       std::string_view reading, std::string_view ndc) {
  return RecordLine(Rec{std::string(id), std::string(key), std::string(title), std::string(reading),
                        std::string(ndc)});
}

std::string RecordLine(int id, std::string_view key, std::string_view title,
                       std::string_view reading, std::string_view ndc) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08d", id);
  return RecordLine(digits, key, title, reading, ndc);
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace testing_support
