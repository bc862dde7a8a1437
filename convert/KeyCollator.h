// KeyCollator: the one comparison that keys and file names use everywhere.
//
// Keys are CP932 bytes. They are decoded losslessly (bad bytes stay distinct),
// case-folded, and ordered by an ICU collator of the user's locale at
// identical strength; keys the collator ties (canonically equivalent texts,
// such as a CJK compatibility ideograph and its unified form) are ordered by
// their folded text, code point by code point. So keys equal exactly when
// they differ only in letter case: never across character width, kana type,
// compatibility ideographs or different bad bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <unicode/coll.h>

class SortKeyShortcut;

// A key longer than KeyCollator::kMaxKeyBytes; what() is Japanese UTF-8.
class KeyTooLongError : public std::runtime_error {
 public:
  KeyTooLongError(std::size_t bytes, std::size_t limit);
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t bytes_;
};

class KeyCollator {
 public:
  // The collator of the user's locale, built on first use.
  static const KeyCollator& Default();

  // The user's locale (LC_ALL, else LC_COLLATE, else LANG on POSIX; the
  // user's setting on Windows) without ".encoding" and "@modifier"; "ja"
  // when that is empty, "C" or "POSIX".
  static std::string LocaleFromEnvironment();

  // The longest key Compare and the sort keys take; longer ones throw
  // KeyTooLongError. With room for case folding (three code units per byte
  // at most) and the sort key's growth, every length handed to ICU then fits
  // its 32-bit lengths.
  static constexpr std::size_t kMaxKeyBytes = std::size_t{64} << 20;

  // kOff makes every sort key through ICU, as a reference for tests.
  enum class Shortcut { kOn, kOff };

  explicit KeyCollator(const std::string& locale, Shortcut shortcut = Shortcut::kOn);
  // A copy has a collator of its own, for use on another thread.
  KeyCollator(const KeyCollator& other);
  KeyCollator& operator=(const KeyCollator&) = delete;
  ~KeyCollator();

  // Three-way comparison of two keys: -1, 0 or 1.
  int Compare(std::string_view a, std::string_view b) const;

  // Appends the key's sort key: comparing sort keys bytewise gives the same
  // answer as Compare, and equal keys have equal sort keys. Computing it once
  // per key is what makes sorting many keys cheap. A sort key holds no zero
  // byte: ICU's sort key of the folded key without its terminating zero,
  // then what orders the keys ICU ties (see AppendTieBreak).
  void AppendSortKey(std::string_view key, std::string& out) const;
  std::string SortKey(std::string_view key) const;
  // Appends the key's sort key and returns true when the learned shortcut
  // covers the key; otherwise returns false and leaves out as it was.
  bool AppendShortcutSortKey(std::string_view key, std::string& out) const;

  // Learns the shortcut that writes the sort keys of ISBN-like keys without
  // ICU (see SortKeyShortcut), unless learned already or off. It costs about
  // as much as collating 20,000 keys through ICU, so callers with many keys
  // ask for it. Sort keys are the same bytes with it or without it. Copies
  // made before or after share it.
  void LearnShortcut() const;
  // The case-folded characters the learned shortcut covers; empty before
  // LearnShortcut and with Shortcut::kOff.
  std::string ShortcutCharacters() const;

  // File names by the same collation of their text (quenText::FileNameText:
  // UTF-8, or raw CP932 when not UTF-8), ties broken by the raw bytes so that
  // distinct names never compare equal.
  int CompareFileNames(const std::filesystem::path& a, const std::filesystem::path& b) const;
  // The same for names as quenFile::PathBytes gives them.
  int CompareFileNameBytes(std::string_view a, std::string_view b) const;

 private:
  int CompareText(const icu::UnicodeString& a, const icu::UnicodeString& b) const;
  void AppendIcuSortKey(const icu::UnicodeString& folded, std::string& out) const;
  std::unique_ptr<icu::Collator> collator_;
  // Shared by copies; null with Shortcut::kOff.
  struct ShortcutState;
  std::shared_ptr<ShortcutState> shortcut_;
};
