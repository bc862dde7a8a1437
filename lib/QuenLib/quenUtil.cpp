#include "quenUtil.h"

#include <bit>
#include <cstdint>
#include <cstring>

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

namespace {

// A byte with its high bit set where word holds the byte b, and nowhere
// else: the low seven bits of each byte are added so that no carry crosses
// into the next byte, which the usual quicker trick lets happen.
uint64_t BytesEqual(uint64_t word, unsigned char b) {
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
  const uint64_t x = word ^ (0x0101010101010101ULL * b);
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The eight bytes at p, the first in the lowest byte whatever the machine.
uint64_t LoadWord(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

}  // namespace

void quenUtil::SplitView(char delimiter, std::string_view text, std::vector<std::string_view>& list,
                         std::size_t maxFields) {
  list.clear();
  if (text.empty() || maxFields == 0) return;
  // Fields are a few bytes each: looking at eight bytes a step is several
  // times as fast as a search call per field, and splitting is what the
  // error check does with every line.
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* field = begin;
  // Adds the field ending at the delimiter at; true when no field follows.
  const auto cut = [&](const char* at) {
    list.emplace_back(field, static_cast<std::size_t>(at - field));
    field = at + 1;
    return list.size() == maxFields || field == end;
  };
  const auto d = static_cast<unsigned char>(delimiter);
  const char* p = begin;
  for (; end - p >= 8; p += 8) {
    for (uint64_t hits = BytesEqual(LoadWord(p), d); hits != 0; hits &= hits - 1) {
      if (cut(p + std::countr_zero(hits) / 8)) return;
    }
  }
  for (; p < end; ++p) {
    if (static_cast<unsigned char>(*p) == d && cut(p)) return;
  }
  list.emplace_back(field, static_cast<std::size_t>(end - field));
}

void quenUtil::Split(char delimiter, std::string_view text, std::vector<std::string>* list) {
  if (list == nullptr) return;
  std::vector<std::string_view> views;
  SplitView(delimiter, text, views);
  list->assign(views.begin(), views.end());
}
