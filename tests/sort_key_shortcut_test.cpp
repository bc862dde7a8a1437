// The sort keys written without ICU are ICU's own, byte for byte, in every
// locale the run can pick.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unicode/coll.h>
#include <unicode/tblcoll.h>
#include <unicode/ucol.h>
#include <unicode/uniset.h>
#include <unicode/usetiter.h>

#include "KeyCollator.h"
#include "KeyIndexList.h"
#include "LineList.h"
#include "SortKeyShortcut.h"

namespace {

const std::vector<std::string> kLocales = {"ja", "ja_JP", "en", "de",    "sv", "da",  "nb",
                                           "cs", "sk",    "es", "tr",    "lt", "haw", "root",
                                           "th", "hu",    "cy", "fr_CA", "et", "zh",  "ko"};

// The key bytes the shortcut takes: its folded characters and the capital
// letters that fold to them.
std::string CoveredBytes(const KeyCollator& collator) {
  std::string bytes = collator.ShortcutCharacters();
  for (char c : collator.ShortcutCharacters()) {
    if (c >= 'a' && c <= 'z') bytes += static_cast<char>(c - 'a' + 'A');
  }
  return bytes;
}

int Sign(int v) { return (v > 0) - (v < 0); }

// A collator whose shortcut is learned.
KeyCollator Fast(const std::string& locale) {
  KeyCollator collator(locale);
  collator.LearnShortcut();
  return collator;
}

}  // namespace

TEST(SortKeyShortcut, LeavesOutTheCharactersALocaleTailors) {
  struct Case {
    std::string locale;
    std::string covered;
  };
  const std::string all = "0123456789-abcdefghijklmnopqrstuvwxyz";
  const std::vector<Case> cases = {
      {"ja", all},
      {"root", all},
      {"en", all},
      {"tr", all},                                     // only dotless ı and İ are tailored
      {"da", "0123456789-bcdefghijklmnopqrstuvwxyz"},  // aa
      {"cs", "0123456789-abdefgijklmnopqrstuvwxyz"},   // ch
      {"lt", "0123456789-abcdefghijklmnopqrstuvwxz"},  // y with i
      {"haw", "0123456789-abcdfghjklmnpqrstvwxyz"},    // vowels after the consonants
      {"th", "0123456789abcdefghijklmnopqrstuvwxyz"},  // punctuation is shifted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(Fast(c.locale).ShortcutCharacters(), c.covered);
    const KeyCollator off(c.locale, KeyCollator::Shortcut::kOff);
    off.LearnShortcut();
    EXPECT_EQ(off.ShortcutCharacters(), "");
  }
}

TEST(SortKeyShortcut, NoContractionOrContextIsMadeOfCoveredCharactersOnly) {
  for (const std::string& locale : kLocales) {
    SCOPED_TRACE(locale);
    const std::string covered = Fast(locale).ShortcutCharacters();
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale.c_str(), err));
    auto* rules = dynamic_cast<icu::RuleBasedCollator*>(collator.get());
    ASSERT_NE(rules, nullptr);
    icu::UnicodeSet contractions;
    ucol_getContractionsAndExpansions(rules->toUCollator(), contractions.toUSet(), nullptr, true,
                                      &err);
    ASSERT_TRUE(U_SUCCESS(err));
    icu::UnicodeSetIterator it(contractions);
    while (it.next()) {
      if (!it.isString()) continue;
      const icu::UnicodeString& s = it.getString();
      bool onlyCovered = true;
      for (int32_t i = 0; i < s.length(); ++i) {
        onlyCovered = onlyCovered && s[i] < 0x80 &&
                      covered.find(static_cast<char>(s[i])) != std::string::npos;
      }
      std::string utf8;
      EXPECT_FALSE(onlyCovered) << s.toUTF8String(utf8);
    }
  }
}

TEST(SortKeyShortcut, WritesIcusBytesForEveryPairOfCoveredCharacters) {
  for (const std::string& locale : kLocales) {
    SCOPED_TRACE(locale);
    const KeyCollator fast = Fast(locale);
    const KeyCollator icu(locale, KeyCollator::Shortcut::kOff);
    const std::string bytes = CoveredBytes(fast);
    ASSERT_FALSE(bytes.empty());
    std::vector<std::string> keys = {""};
    for (char a : bytes) {
      keys.emplace_back(1, a);
      for (char b : bytes) keys.push_back(std::string{a, b});
    }
    for (const std::string& key : keys) {
      ASSERT_EQ(fast.SortKey(key), icu.SortKey(key)) << key;
    }
    // Order and equality against the collator, single characters by pairs.
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
      for (std::size_t j = 0; j <= bytes.size(); ++j) {
        const std::string& a = keys[i == 0 ? 0 : 1 + (i - 1) * (bytes.size() + 1)];
        const std::string& b = keys[j == 0 ? 0 : 1 + (j - 1) * (bytes.size() + 1)];
        ASSERT_EQ(Sign(fast.SortKey(a).compare(fast.SortKey(b))), icu.Compare(a, b))
            << a << " " << b;
      }
    }
  }
}

TEST(SortKeyShortcut, WritesIcusBytesForGeneratedKeysAndOrdersThemAmongOthers) {
  std::mt19937 rng(20261209);
  // Pieces the shortcut does not take, so that its keys meet ICU's.
  const std::vector<std::string> others = {"\x82\x60", "\x83\x4A", "\xB6",     "_",       " ",
                                           ".",        "\x85\x41", "\x93\xFA", "\xFB\x7E"};
  for (const std::string& locale : kLocales) {
    SCOPED_TRACE(locale);
    const KeyCollator fast = Fast(locale);
    const KeyCollator icu(locale, KeyCollator::Shortcut::kOff);
    const std::string bytes = CoveredBytes(fast);
    auto covered = [&](std::size_t length) {
      std::string s;
      for (std::size_t i = 0; i < length; ++i) s += bytes[rng() % bytes.size()];
      return s;
    };
    for (int n = 0; n < 3000; ++n) {
      std::string a = covered(rng() % 21);
      std::string b = n % 3 == 0 ? a.substr(0, rng() % (a.size() + 1)) + covered(rng() % 4)
                                 : covered(rng() % 21);
      if (n % 5 == 0) b.insert(rng() % (b.size() + 1), others[rng() % others.size()]);
      if (n % 50 == 0) a = covered(SortKeyShortcut::kMaxLength - 1 + rng() % 3);
      const std::string keyA = fast.SortKey(a), keyB = fast.SortKey(b);
      ASSERT_EQ(keyA, icu.SortKey(a)) << a;
      ASSERT_EQ(keyB, icu.SortKey(b)) << b;
      ASSERT_EQ(Sign(keyA.compare(keyB)), icu.Compare(a, b)) << a << " " << b;
    }
  }
}

TEST(SortKeyShortcut, IsLearnedOnlyForAnIndexOfManyKeys) {
  for (const std::size_t count : {std::size_t{1000}, std::size_t{20000}}) {
    SCOPED_TRACE(count);
    const KeyCollator collator("ja");
    const KeyCollator icu("ja", KeyCollator::Shortcut::kOff);
    LineList lines;
    for (std::size_t i = 0; i < count; ++i) lines.Add("978-4-" + std::to_string(i * 7919 % count));
    KeyIndexList index(collator);
    for (std::size_t i = 0; i < count; ++i) index.Add(lines[i], lines, i);
    index.Sort();
    EXPECT_EQ(collator.ShortcutCharacters().empty(), count < 20000);
    for (std::size_t i = 0; i < count; i += 97)
      ASSERT_EQ(index.SortKey(i), icu.SortKey(index.Line(i)));
  }
}

TEST(AppendCodePointInOrder, OrdersBytewiseByCodePointWithoutZeroBytes) {
  // Ascending code point sequences, including the boundaries of each length.
  const std::vector<std::vector<UChar32>> ascending = {
      {},       {0},      {0, 0},      {0, 0x10FFFF}, {1},       {0x7E, 0x10FFFF},
      {0x7F},   {0x80},   {0x7FF},     {0x800},       {0xD7FF},  {0xE000},
      {0xFA19}, {0xFFFF}, {0xFFFF, 0}, {0x10000},     {0x1F600}, {0x10FFFF},
  };
  std::vector<std::string> written;
  for (const auto& text : ascending) {
    std::string out;
    for (UChar32 c : text) AppendCodePointInOrder(c, out);
    EXPECT_EQ(out.find('\0'), std::string::npos);
    written.push_back(out);
  }
  for (std::size_t i = 1; i < written.size(); ++i) {
    EXPECT_LT(written[i - 1], written[i]) << i;
  }
}

TEST(AppendTieBreak, OrdersTextsWithTheSameNfdByCodePoint) {
  // Groups of canonically equivalent texts, each in code point order: texts
  // below their NFD, the NFD itself, texts above it.
  const std::vector<std::vector<std::u16string>> groups = {
      {u"\u0401", u"\u0415\u0308"},                // Ё, Е + diaeresis
      {u"\u2000", u"\u2002"},                      // en quad, en space
      {u"A\u030A", u"\u00C5", u"\u212B"},          // A + ring, Å, angstrom sign
      {u"=\u0338", u"\u2260"},                     // not equal
      {u"\u795E", u"\uFA19"},                      // 神
      {u"a\U0001D157\U0001D165", u"a\U0001D15E"},  // half note: beyond U+FFFF
  };
  for (const auto& group : groups) {
    std::vector<std::string> written;
    for (const std::u16string& text : group) {
      std::string out;
      AppendTieBreak(icu::UnicodeString(text.data(), static_cast<int32_t>(text.size())), out);
      EXPECT_EQ(out.find('\0'), std::string::npos);
      EXPECT_EQ(out[0], '\x01');
      written.push_back(out);
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
      for (std::size_t j = 0; j < group.size(); ++j) {
        const icu::UnicodeString a(group[i].data(), static_cast<int32_t>(group[i].size()));
        const icu::UnicodeString b(group[j].data(), static_cast<int32_t>(group[j].size()));
        EXPECT_EQ(Sign(written[i].compare(written[j])), Sign(a.compareCodePointOrder(b)))
            << i << " " << j;
      }
    }
  }
}
