// CP932 decoding and encoding, and the one comparison of keys and names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>

#include "Collation.h"
#include "TestSupport.h"
#include "quenText.h"

using namespace testing_support;

TEST(Decode, EveryBadByteBecomesItsOwnPrivateUseCharacter) {
  const icu::UnicodeString unassigned = quenText::Decode("\x85\x41");
  ASSERT_EQ(unassigned.length(), 2);
  EXPECT_EQ(unassigned[0], 0xF785);
  EXPECT_EQ(unassigned[1], 0xF741);
  EXPECT_NE(quenText::Decode("\x85\x41"), quenText::Decode("\x85\x42"));
  EXPECT_NE(quenText::Decode("\xFD"), quenText::Decode("\xFE"));
  EXPECT_EQ(quenText::Decode("\x93\xFA\x96\x7B"), icu::UnicodeString::fromUTF8("日本"));
}

TEST(Encode, EachCodePointCp932CannotHoldBecomesOneQuestionMark) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"日本", "\x93\xFA\x96\x7B"},
      {"a\u200Bb", "a?b"},  // ICU's own substitute would drop it silently
      {"😀", "?"},
      {"é", "?"},
      {"", ""},
  };
  for (const auto& [utf8, cp932] : cases) {
    SCOPED_TRACE(utf8);
    EXPECT_EQ(quenText::FromUtf8(utf8), cp932);
  }
}

TEST(ToUtf8, ShowsBadBytesAsReplacementCharacters) {
  EXPECT_EQ(quenText::ToUtf8("A\x85\x41"
                             "B"),
            "A\uFFFD\uFFFDB");
  EXPECT_EQ(quenText::ToUtf8(Cp932("書名（ヨミ）空白")), "書名（ヨミ）空白");
}

TEST(KeyCollator, KeysDifferingOnlyInLetterCaseAreEqualAndNothingElse) {
  const KeyCollator collator("ja");
  struct Case {
    std::string a, b;
    bool equal;
  };
  const std::vector<Case> cases = {
      {"K1", "k1", true},
      {"\x82\x6A\x82\x50", "\x82\x8B\x82\x50", true},  // Ｋ１ / ｋ１
      {"K1", "\x82\x6A\x82\x50", false},               // K1 / Ｋ１: width counts
      {"\x83\x4A", "\x82\xA9", false},                 // カ / か: kana type counts
      {"\xB6", "\x83\x4A", false},                     // ｶ / カ
      {"\x85\x41", "\x85\x42", false},                 // different bad bytes
      {"\xFD", "\xFE", false},
      {"", "", true},
      {"ISBN-X", "isbn-x", true},
      {"ab", "a b", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.a) + " vs " + testing::PrintToString(c.b));
    EXPECT_EQ(collator.Equal(c.a, c.b), c.equal);
    EXPECT_EQ(collator.SortKey(c.a) == collator.SortKey(c.b), c.equal);
  }
}

TEST(KeyCollator, SortKeysOrderLikeTheCollator) {
  const KeyCollator collator("ja");
  std::mt19937 rng(7);
  const std::vector<std::string> pieces = {"a",    "A",        "b",        "1",
                                           "-",    "\x82\x60", "\x83\x4A", "\x82\xA9",
                                           "\xB6", "\x85\x41", " ",        "\x93\xFA"};
  auto random = [&] {
    std::string s;
    for (int n = rng() % 5; n > 0; --n) s += pieces[rng() % pieces.size()];
    return s;
  };
  for (int i = 0; i < 5000; ++i) {
    const std::string a = random(), b = random();
    const int byCollator = collator.Compare(a, b);
    const int byKey = collator.SortKey(a).compare(collator.SortKey(b));
    ASSERT_EQ(byCollator < 0, byKey < 0) << testing::PrintToString(a) << testing::PrintToString(b);
    ASSERT_EQ(byCollator == 0, byKey == 0);
    ASSERT_EQ(-collator.Compare(b, a) < 0, byCollator < 0);
  }
}

TEST(KeyCollator, LocaleComesFromTheEnvironmentWithJapaneseAsFallback) {
  struct Case {
    std::optional<std::string> all, collate, lang;
    std::string locale;
  };
  const std::vector<Case> cases = {
      {"de_DE.UTF-8", "fr_FR", "en_US", "de_DE"},
      {"", "fr_FR@euro", "en_US", "fr_FR"},
      {std::nullopt, std::nullopt, "ja_JP.UTF-8", "ja_JP"},
      {"C", "fr_FR", "en_US", "ja"},
      {std::nullopt, std::nullopt, "POSIX", "ja"},
      {std::nullopt, std::nullopt, std::nullopt, "ja"},
  };
  const char* names[] = {"LC_ALL", "LC_COLLATE", "LANG"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i) {
    if (const char* v = std::getenv(names[i])) saved[i] = v;
  }
  auto set = [&](int i, const std::optional<std::string>& v) {
    v ? ::setenv(names[i], v->c_str(), 1) : ::unsetenv(names[i]);
  };
  for (const Case& c : cases) {
    set(0, c.all);
    set(1, c.collate);
    set(2, c.lang);
    EXPECT_EQ(KeyCollator::LocaleFromEnvironment(), c.locale);
  }
  for (int i = 0; i < 3; ++i) set(i, saved[i]);
}

TEST(KeyCollator, FileNamesCompareWithoutCaseThenByTheirBytes) {
  const KeyCollator collator("ja");
  EXPECT_LT(collator.CompareFileNames("a.txt", "B.txt"), 0);
  EXPECT_GT(collator.CompareFileNames("b.txt", "A.txt"), 0);
  const int upperFirst = collator.CompareFileNames("A.txt", "a.txt");
  EXPECT_NE(upperFirst, 0);
  EXPECT_EQ(collator.CompareFileNames("a.txt", "A.txt"), -upperFirst);
  EXPECT_EQ(collator.CompareFileNames("名前.txt", "名前.txt"), 0);
}
