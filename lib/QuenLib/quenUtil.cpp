#include "quenUtil.h"

#include "quenFile.h"
#include "quenText.h"

std::string quenUtil::RemoveSpaces(std::string_view text) {
  if (text.empty()) return {};
  icu::UnicodeString u = quenText::Decode(text);
  u.findAndReplace(icu::UnicodeString(UChar{0x3000}), icu::UnicodeString());
  u.findAndReplace(icu::UnicodeString(UChar{0x0020}), icu::UnicodeString());
  return quenText::Encode(u);
}

bool quenUtil::IsBlank(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
    } else if (text[i] == '\x81' && i + 1 < text.size() && text[i + 1] == '\x40') {
      i += 2;
    } else {
      // Anything else, including a lone lead byte, is a visible character:
      // since only whole spaces are consumed, a 0x40 trail byte of another
      // character is never reached as if it stood alone.
      return false;
    }
  }
  return true;
}

std::string quenUtil::PadLeft(std::string_view text, int width, std::string_view pad) {
  const auto length = static_cast<long long>(text.size());
  std::string out;
  if (length > width) return std::string(text);
  for (long long i = length; i < width; ++i) out.append(pad);
  out.append(text);
  return out;
}

namespace {
constexpr std::size_t kBinarySample = 512;
}  // namespace

bool quenUtil::IsBinaryFile(const std::filesystem::path& path) {
  return IsBinaryHead(quenFile::ReadHead(path, kBinarySample));
}

bool quenUtil::IsBinaryHead(std::string_view head) {
  head = head.substr(0, kBinarySample);
  // 1-based positions 1 .. n-2, zero-based 0 .. n-3. As n is at most 512,
  // the scan never reaches position 511 or 512.
  const std::size_t n = head.size();
  for (std::size_t i = 0; i + 2 < n; ++i) {
    const auto b = static_cast<unsigned char>(head[i]);
    if (b < 8 || b == 0xFF) return true;
  }
  return false;
}

void quenUtil::SplitView(char delimiter, std::string_view text, std::vector<std::string_view>& list,
                         std::size_t maxFields) {
  list.clear();
  while (!text.empty() && list.size() < maxFields) {
    const std::size_t at = text.find(delimiter);
    if (at == std::string_view::npos) {
      list.push_back(text);
      return;
    }
    list.push_back(text.substr(0, at));
    text.remove_prefix(at + 1);
  }
}

void quenUtil::Split(char delimiter, std::string_view text, std::vector<std::string>* list) {
  if (list == nullptr) return;
  std::vector<std::string_view> views;
  SplitView(delimiter, text, views);
  list->assign(views.begin(), views.end());
}
