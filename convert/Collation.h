// Collation: the one comparison that keys and file names use everywhere.
//
// Keys are CP932 bytes. They are decoded losslessly (bad bytes stay distinct),
// case-folded, and compared by an ICU collator of the user's locale at
// identical strength. So keys equal exactly when they differ only in letter
// case: never across character width, kana type or different bad bytes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <unicode/coll.h>

class KeyCollator {
 public:
  // The collator of the user's locale, built on first use.
  static const KeyCollator& Default();

  // LC_ALL, else LC_COLLATE, else LANG, without ".encoding" and "@modifier";
  // "ja" when that is empty, "C" or "POSIX".
  static std::string LocaleFromEnvironment();

  explicit KeyCollator(const std::string& locale);
  // A copy has a collator of its own, for use on another thread.
  KeyCollator(const KeyCollator& other);
  KeyCollator& operator=(const KeyCollator&) = delete;
  ~KeyCollator();

  // Three-way comparison of two keys: negative, zero or positive.
  int Compare(std::string_view a, std::string_view b) const;
  bool Equal(std::string_view a, std::string_view b) const { return Compare(a, b) == 0; }

  // Appends the key's sort key: comparing sort keys bytewise gives the same
  // answer as Compare, and equal keys have equal sort keys. Computing it once
  // per key is what makes sorting many keys cheap.
  void AppendSortKey(std::string_view key, std::string& out) const;
  std::string SortKey(std::string_view key) const;

  // File names (native, UTF-8) by the same comparison of their text, ties
  // broken by the raw bytes so that distinct names never compare equal.
  int CompareFileNames(const std::filesystem::path& a, const std::filesystem::path& b) const;

 private:
  int CompareText(const icu::UnicodeString& a, const icu::UnicodeString& b) const;
  std::unique_ptr<icu::Collator> collator_;
};
