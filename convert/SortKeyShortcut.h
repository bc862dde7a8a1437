// SortKeyShortcut: the sort keys of short keys made only of the characters of
// ISBN-like codes (digits, Latin letters, hyphen), written without ICU.
//
// Such a key's ICU sort key is a sequence of small pieces: each character's
// primary and identical weights (which depend only on the character before
// it), and the middle levels, which depend only on the length. The pieces
// are read once from the collator's own sort keys of one- and two-character
// strings, so the result is byte for byte what ICU writes. A character the
// locale treats specially (tailored, or in a contraction or with weights unlike
// the others) is left out, and keys holding it take ICU's way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/coll.h>
#include <unicode/unistr.h>

// Appends c so that texts written this way compare bytewise in code point
// order and hold no zero byte: UTF-8, except that code points below U+007F
// are raised by one (U+007F takes UTF-8's unused two-byte form C1 BF).
void AppendCodePointInOrder(UChar32 c, std::string& out);

// Appends what follows ICU's sort key in a key's sort key, so that texts ICU
// ties are ordered code point by code point. ICU ties only texts with the
// same NFD (its identical level), so these are: byte 01 (below every byte of
// a sort key level, as ICU's terminating zero is), then 01 and the text for a
// text below its NFD, 02 for the NFD itself, 03 and the text for a text above
// its NFD.
void AppendTieBreak(const icu::UnicodeString& folded, std::string& out);

class SortKeyShortcut {
 public:
  // Longer keys take ICU's way; ISBNs with hyphens have 17 characters.
  static constexpr std::size_t kMaxLength = 40;

  // Learns from collator as it is set now. Covers nothing when the locale
  // leaves no character to it.
  explicit SortKeyShortcut(const icu::Collator& collator);

  // When key has at most kMaxLength bytes and all of them are covered,
  // appends ICU's sort key of the case-folded key (without its terminating
  // zero) and its AppendTieBreak, and returns true. Otherwise returns false
  // and leaves out as it was.
  bool Append(std::string_view key, std::string& out) const;

  // The case-folded characters covered.
  const std::string& Characters() const { return chars_; }

 private:
  // A piece holds up to kPieceBytes bytes; its array has one more, always
  // zero, so that a piece is copied as one 8-byte word.
  static constexpr std::size_t kPieceBytes = 7;
  struct Piece {
    std::array<char, kPieceBytes + 1> bytes{};
    uint8_t size = 0;
  };
  bool Learn(const icu::Collator& collator, std::string candidates);
  bool LearnPairs(const icu::Collator& collator);
  bool Verify(const icu::Collator& collator, const std::string& text) const;
  void Write(const uint8_t* slots, std::size_t n, std::string& out) const;

  std::string chars_;
  // Per byte: 1 + the index in chars_ of its folded character, 0 when not covered.
  std::array<uint8_t, 256> slot_{};
  // Indexed by previous slot (0 at the start) * chars_.size() + index.
  std::vector<Piece> primary_;
  std::vector<Piece> identical_;
  // The levels between primary and identical, separators included, by length.
  std::array<std::string, kMaxLength + 1> middle_;
};
