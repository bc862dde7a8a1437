#include "SortKeyShortcut.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <stdexcept>

#include <unicode/normalizer2.h>
#include <unicode/uniset.h>
#include <unicode/usetiter.h>

namespace {

// In the order the reference character is chosen: digits first.
constexpr std::string_view kCandidates = "0123456789-abcdefghijklmnopqrstuvwxyz";
constexpr char kLevelSeparator = '\x01';
// The tie break of a text that is its own NFD, as every covered key is.
constexpr std::string_view kTieBreakOfNfd = "\x01\x02";

bool IsCandidate(UChar32 c) {
  return c < 0x80 && kCandidates.find(static_cast<char>(c)) != kCandidates.npos;
}

icu::UnicodeString Text(std::string_view ascii) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(ascii.data(), static_cast<int32_t>(ascii.size())));
}

// ICU's sort key of a short text without its terminating zero; empty when
// ICU fails.
std::string IcuKey(const icu::Collator& collator, std::string_view ascii) {
  uint8_t buffer[1024];
  const int32_t need = collator.getSortKey(Text(ascii), buffer, sizeof buffer);
  if (need <= 0 || need > static_cast<int32_t>(sizeof buffer)) return {};
  return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(need - 1));
}

// A sort key cut at its level separators (level bytes are 02 and up): the
// primary level, the middle levels with the separators around them, and the
// identical level.
struct Levels {
  std::string primary, middle, identical;
};

Levels Split(const std::string& key) {
  const std::size_t first = key.find(kLevelSeparator);
  const std::size_t last = key.rfind(kLevelSeparator);
  if (first == std::string::npos) return Levels{key, {}, {}};
  return Levels{key.substr(0, first), key.substr(first, last - first + 1), key.substr(last + 1)};
}

// The candidates the locale does not tailor: neither alone nor inside a
// tailored string (a contraction or context) made only of candidates, which a
// covered key could hold. The root collation has no such string of its own
// (the tests check every locale), so only a tailoring could bring one.
std::string Untailored(const icu::Collator& collator) {
  UErrorCode err = U_ZERO_ERROR;
  const std::unique_ptr<icu::UnicodeSet> tailored(collator.getTailoredSet(err));
  if (U_FAILURE(err) || !tailored) return {};
  std::string result;
  for (char c : kCandidates) {
    if (!tailored->contains(static_cast<UChar32>(c))) result += c;
  }
  icu::UnicodeSetIterator it(*tailored);
  while (it.nextRange()) {
    if (!it.isString()) continue;
    const icu::UnicodeString& s = it.getString();
    bool onlyCandidates = true;
    for (int32_t i = 0; i < s.length(); ++i) onlyCandidates = onlyCandidates && IsCandidate(s[i]);
    if (!onlyCandidates) continue;
    for (int32_t i = 0; i < s.length(); ++i) std::erase(result, static_cast<char>(s[i]));
  }
  return result;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void AppendCodePointInOrder(UChar32 c, std::string& out) {
  const auto u = static_cast<uint32_t>(c);
  if (u < 0x7F) {
    out += static_cast<char>(u + 1);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

void AppendTieBreak(const icu::UnicodeString& folded, std::string& out) {
  UErrorCode err = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(err);
  const bool isNfd = U_SUCCESS(err) && nfd->isNormalized(folded, err);
  if (U_FAILURE(err)) {
    throw std::runtime_error(std::string("キーを正規化できません（ICU: ") + u_errorName(err) +
                             "）");
  }
  if (isNfd) {
    out += kTieBreakOfNfd;
    return;
  }
  const icu::UnicodeString normalized = nfd->normalize(folded, err);
  if (U_FAILURE(err)) {
    throw std::runtime_error(std::string("キーを正規化できません（ICU: ") + u_errorName(err) +
                             "）");
  }
  out += kLevelSeparator;
  out += folded.compareCodePointOrder(normalized) < 0 ? '\x01' : '\x03';
  for (int32_t i = 0; i < folded.length();) {
    const UChar32 c = folded.char32At(i);
    AppendCodePointInOrder(c, out);
    i += U16_LENGTH(c);
  }
}

SortKeyShortcut::SortKeyShortcut(const icu::Collator& collator) {
  UErrorCode err = U_ZERO_ERROR;
  // A numeric collation weighs a run of digits as one number.
  const bool numeric = collator.getAttribute(UCOL_NUMERIC_COLLATION, err) == UCOL_ON;
  if (U_FAILURE(err) || numeric || !Learn(collator, Untailored(collator))) {
    chars_.clear();
    slot_.fill(0);
    primary_.clear();
    identical_.clear();
  }
}

bool SortKeyShortcut::Learn(const icu::Collator& collator, std::string candidates) {
  const Levels none = Split(IcuKey(collator, ""));
  if (none.middle.empty() || !none.primary.empty() || !none.identical.empty()) return false;
  // Every covered character must weigh the same on the middle levels as the
  // reference, so that they depend on the length alone.
  std::string reference;
  std::string middleOfOne;
  for (char c : candidates) {
    const Levels one = Split(IcuKey(collator, std::string(1, c)));
    if (one.primary.empty() || one.identical.empty()) continue;
    if (reference.empty()) {
      reference.assign(1, c);
      middleOfOne = one.middle;
    }
    if (one.middle == middleOfOne) chars_ += c;
  }
  if (chars_.empty()) return false;
  for (std::size_t n = 0; n <= kMaxLength; ++n) {
    middle_[n] = Split(IcuKey(collator, std::string(n, reference[0]))).middle;
    if (std::count(middle_[n].begin(), middle_[n].end(), kLevelSeparator) !=
        std::count(none.middle.begin(), none.middle.end(), kLevelSeparator)) {
      return false;
    }
  }
  for (std::size_t i = 0; i < chars_.size(); ++i) {
    const auto c = static_cast<unsigned char>(chars_[i]);
    slot_[c] = static_cast<uint8_t>(i + 1);
    // Default case folding turns only A-Z into a-z among these bytes.
    if (c >= 'a' && c <= 'z') slot_[c - 'a' + 'A'] = static_cast<uint8_t>(i + 1);
  }
  if (!LearnPairs(collator)) return false;
  // The pieces hold for longer keys when ICU's state between characters is
  // the previous character alone; check that on two long keys.
  const std::string reversed(chars_.rbegin(), chars_.rend());
  return Verify(collator, chars_) && Verify(collator, reversed);
}

bool SortKeyShortcut::LearnPairs(const icu::Collator& collator) {
  const std::size_t m = chars_.size();
  primary_.assign((m + 1) * m, Piece{});
  identical_.assign((m + 1) * m, Piece{});
  auto cut = [](const std::string& whole, const std::string& before, Piece& piece) {
    if (!StartsWith(whole, before) || whole.size() - before.size() > kPieceBytes) {
      return false;
    }
    piece.size = static_cast<uint8_t>(whole.size() - before.size());
    std::copy(whole.begin() + static_cast<long>(before.size()), whole.end(), piece.bytes.begin());
    return true;
  };
  for (std::size_t prev = 0; prev <= m; ++prev) {
    const std::string first = prev == 0 ? std::string() : std::string(1, chars_[prev - 1]);
    const Levels before = Split(IcuKey(collator, first));
    for (std::size_t c = 0; c < m; ++c) {
      const std::string text = first + chars_[c];
      const Levels both = Split(IcuKey(collator, text));
      if (both.middle != middle_[text.size()] ||
          !cut(both.primary, before.primary, primary_[prev * m + c]) ||
          !cut(both.identical, before.identical, identical_[prev * m + c])) {
        return false;
      }
    }
  }
  return true;
}

bool SortKeyShortcut::Verify(const icu::Collator& collator, const std::string& text) const {
  std::string written;
  if (!Append(text, written)) return false;
  std::string expected = IcuKey(collator, text);
  AppendTieBreak(Text(text), expected);
  return written == expected;
}

bool SortKeyShortcut::Append(std::string_view key, std::string& out) const {
  if (key.size() > kMaxLength || chars_.empty()) return false;
  std::array<uint8_t, kMaxLength> slots;
  for (std::size_t i = 0; i < key.size(); ++i) {
    slots[i] = slot_[static_cast<unsigned char>(key[i])];
    if (slots[i] == 0) return false;
  }
  Write(slots.data(), key.size(), out);
  return true;
}

void SortKeyShortcut::Write(const uint8_t* slots, std::size_t n, std::string& out) const {
  const std::size_t m = chars_.size();
  const std::string& middle = middle_[n];
  constexpr std::size_t kCopied = sizeof(Piece::bytes);
  // Pieces are copied whole and the spare bytes overwritten by the next: room
  // for the last one's spare bytes too. Written here first, as growing out
  // would first fill all that room with zeros.
  char written[2 * kMaxLength * kCopied + 256];
  const std::size_t room = 2 * n * kCopied + middle.size() + kTieBreakOfNfd.size() + kCopied;
  std::string grown;
  char* const begin = room <= sizeof written ? written : (grown.resize(room), grown.data());
  char* p = begin;
  auto put = [&p](const Piece& piece) {
    std::memcpy(p, piece.bytes.data(), kCopied);
    p += piece.size;
  };
  for (std::size_t i = 0, prev = 0; i < n; prev = slots[i++])
    put(primary_[prev * m + slots[i] - 1]);
  std::memcpy(p, middle.data(), middle.size());
  p += middle.size();
  for (std::size_t i = 0, prev = 0; i < n; prev = slots[i++])
    put(identical_[prev * m + slots[i] - 1]);
  std::memcpy(p, kTieBreakOfNfd.data(), kTieBreakOfNfd.size());
  p += kTieBreakOfNfd.size();
  out.append(begin, static_cast<std::size_t>(p - begin));
}
