// CP932 decoding and encoding, and the one comparison of keys and names.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include <unicode/normalizer2.h>

#include "ErrorEntryList.h"
#include "KeyCollator.h"
#include "KeyIndexList.h"
#include "LineList.h"
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
    EXPECT_EQ(collator.Compare(c.a, c.b) == 0, c.equal);
    EXPECT_EQ(collator.SortKey(c.a) == collator.SortKey(c.b), c.equal);
  }
}

#ifndef _WIN32  // Windows takes the locale from the user's settings
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
#endif

TEST(KeyCollator, FileNamesCompareWithoutCaseThenByTheirBytes) {
  const KeyCollator collator("ja");
  EXPECT_LT(collator.CompareFileNames("a.txt", "B.txt"), 0);
  EXPECT_GT(collator.CompareFileNames("b.txt", "A.txt"), 0);
  const int upperFirst = collator.CompareFileNames("A.txt", "a.txt");
  EXPECT_NE(upperFirst, 0);
  EXPECT_EQ(collator.CompareFileNames("a.txt", "A.txt"), -upperFirst);
  EXPECT_EQ(collator.CompareFileNames("名前.txt", "名前.txt"), 0);
}

TEST(IcuLength, RefusesEveryLengthBeyondIcusInt32WithoutWrappingAround) {
  struct Case {
    std::size_t count, unit, extra;
    std::optional<int32_t> length;
  };
  const std::size_t max = INT32_MAX;
  const std::vector<Case> cases = {
      {0, 1, 0, 0},
      {max, 1, 0, INT32_MAX},
      {max, 1, 1, std::nullopt},
      {max + 1, 1, 0, std::nullopt},
      {(max - 1) / 2, 2, 1, INT32_MAX},  // Decode's buffer for the longest text it takes
      {(max - 1) / 2 + 1, 2, 1, std::nullopt},
      {std::size_t{1} << 31, 2, 1, std::nullopt},  // wraps to 1 in 32 bits
      {SIZE_MAX / 2 + 1, 4, 16, std::nullopt},     // wraps to 16 in 64 bits
      {3 * KeyCollator::kMaxKeyBytes, 4, 16,
       static_cast<int32_t>(12 * KeyCollator::kMaxKeyBytes + 16)},
      {5, 0, max, INT32_MAX},
      {0, 1, max + 1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " * " << c.unit << " + " << c.extra);
    if (c.length) {
      EXPECT_EQ(quenText::IcuLength(c.count, c.unit, c.extra), *c.length);
    } else {
      EXPECT_THROW(quenText::IcuLength(c.count, c.unit, c.extra), std::length_error);
    }
  }
}

TEST(KeyCollator, AKeyOverTheLimitThrowsKeyTooLongErrorFromEveryEntry) {
  const KeyCollator collator("ja");
  const std::string tooLong(KeyCollator::kMaxKeyBytes + 1, '9');
  const std::string_view fine = "978-4-12-345678-9";
  std::string out = "kept";
  EXPECT_THROW(collator.Compare(tooLong, fine), KeyTooLongError);
  EXPECT_THROW(collator.Compare(fine, tooLong), KeyTooLongError);
  EXPECT_THROW(collator.SortKey(tooLong), KeyTooLongError);
  EXPECT_THROW(collator.AppendSortKey(tooLong, out), KeyTooLongError);
  EXPECT_EQ(out, "kept");
  try {
    collator.SortKey(tooLong);
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "キーが長すぎるため照合できません（67108865 バイト、上限 67108864 バイト）");
  }
}

TEST(KeyCollator, TheKeyLimitKeepsEverySortKeyWithinIcusInt32) {
  // The longest key made of the character whose sort key grows most must
  // still have a sort key ICU can write; a single character's key includes
  // the level separators, so this overstates the growth.
  for (const char* locale : {"ja", "root"}) {
    const KeyCollator collator(locale, KeyCollator::Shortcut::kOff);
    std::size_t worstPerByte = 0;
    std::string worst;
    auto check = [&](const std::string& c) {
      const std::size_t perByte = (collator.SortKey(c).size() + c.size() - 1) / c.size();
      if (perByte > worstPerByte) worstPerByte = perByte, worst = c;
    };
    for (int b = 0; b < 0x100; ++b) check(std::string(1, static_cast<char>(b)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      for (int trail = 0x40; trail <= 0xFC && (lead <= 0x9F || lead >= 0xE0); ++trail) {
        check(std::string{static_cast<char>(lead), static_cast<char>(trail)});
      }
    }
    SCOPED_TRACE(locale + (" " + testing::PrintToString(worst)));
    EXPECT_LE(worstPerByte * KeyCollator::kMaxKeyBytes, std::size_t{INT32_MAX});
  }
}

namespace {

std::string Bytes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) {
    if (c > 0xFF) s += static_cast<char>(c >> 8);
    s += static_cast<char>(c & 0xFF);
  }
  return s;
}

}  // namespace

TEST(KeyCollator, EveryCp932CharacterWithACanonicalDecompositionStaysDistinct) {
  const KeyCollator collator("ja");
  UErrorCode err = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(err);
  ASSERT_TRUE(U_SUCCESS(err));
  int pairs = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC && (lead <= 0x9F || lead >= 0xE0); ++trail) {
      const std::string code = Bytes({lead << 8 | trail});
      const icu::UnicodeString text = quenText::Decode(code);
      const icu::UnicodeString decomposed = nfd->normalize(text, err);
      const std::string other = quenText::Encode(decomposed);
      if (decomposed == text || quenText::Decode(other) != decomposed) continue;
      SCOPED_TRACE(testing::PrintToString(code) + " vs " + testing::PrintToString(other));
      ++pairs;
      EXPECT_NE(collator.Compare(code, other), 0);
      EXPECT_NE(collator.SortKey(code), collator.SortKey(other));
    }
  }
  EXPECT_GE(pairs, 40);  // the IBM extension and NEC-selected ideographs
}

TEST(KeyCollator, OrderOfMixedKeysIsTheCollatorsWithTiesByCodePoint) {
  const KeyCollator collator("ja");
  // Groups in ascending order; the keys of a group are equal.
  const std::vector<std::vector<std::string>> groups = {
      {""},
      {" "},
      {"-"},
      {"1"},
      {Bytes({0x8250})},  // １
      {"978-4-12-345678-9"},
      {"978-4-12-345678-X", "978-4-12-345678-x"},
      {"9784123456789"},
      {"a1"},
      {"ab-c"},
      {"abc", "ABC"},
      {Bytes({0x8281, 0x8282, 0x8283}), Bytes({0x8260, 0x8261, 0x8262})},  // ａｂｃ ＡＢＣ
      {"Abd"},
      {"z"},
      {Bytes({0x82A9, 0x82C8})},  // かな
      {Bytes({0x834A, 0x8369})},  // カナ
      {Bytes({0xB6, 0xC5})},      // ｶﾅ
      {Bytes({0x8AD9})},          // 館 unified, then its compatibility form
      {Bytes({0xFBF9}), Bytes({0xEEDD})},
      {Bytes({0x905F})},  // 神
      {Bytes({0xFB7E}), Bytes({0xEE62})},
      {Bytes({0x92CB})},  // 塚
      {Bytes({0xFA9C}), Bytes({0xED80})},
      {Bytes({0x9373})},  // 都
      {Bytes({0xFBB7}), Bytes({0xEE9B})},
      {Bytes({0x93FA, 0x967B})},  // 日本
      {Bytes({0xEDE6})},
      {Bytes({0x8541})},  // unmapped bytes
      {"\xFD"},
  };
  for (std::size_t i = 0; i < groups.size(); ++i) {
    for (std::size_t j = 0; j < groups.size(); ++j) {
      for (const std::string& a : groups[i]) {
        for (const std::string& b : groups[j]) {
          SCOPED_TRACE(testing::PrintToString(a) + " vs " + testing::PrintToString(b));
          const int expected = (i > j) - (i < j);
          ASSERT_EQ(collator.Compare(a, b), expected);
          const int byKey = collator.SortKey(a).compare(collator.SortKey(b));
          ASSERT_EQ((byKey > 0) - (byKey < 0), expected);
        }
      }
    }
  }
}

TEST(KeyCollator, LookupsTellCompatibilityIdeographsApart) {
  const KeyCollator collator("ja");
  const std::string unified = Bytes({0x905F}), compatibility = Bytes({0xFB7E});
  ErrorEntryList errors(collator);
  errors.Add(compatibility, TMyRec{});
  EXPECT_EQ(errors.IndexOfSortKey(collator.SortKey(unified)), -1);
  EXPECT_EQ(errors.IndexOfSortKey(collator.SortKey(compatibility)), 0);

  LineList lines;
  for (const std::string& key : {compatibility, unified, compatibility}) lines.Add(key);
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
  index.Sort();
  EXPECT_EQ(index.Line(0), unified);
  EXPECT_FALSE(index.SameKey(0, 1));
  EXPECT_TRUE(index.SameKey(1, 2));
  EXPECT_EQ(index.IndexOfSortKey(collator.SortKey(unified)), 0);
  EXPECT_EQ(index.IndexOfSortKey(collator.SortKey(compatibility)), 1);
}

TEST(KeyIndexList, AKeyThatCannotBeCollatedFailsSortOnlyAfterEveryThreadIsJoined) {
  const KeyCollator collator("ja");
  // Enough keys for a helper thread when there are two cores.
  const std::size_t count = 2 * KeyIndexList::kKeysPerThread;
  LineList lines;
  for (std::size_t i = 0; i < count; ++i) lines.Add("978-4-" + std::to_string(i));
  lines.Add(std::string(KeyCollator::kMaxKeyBytes + 1, '9'));
  const std::size_t tooLong = count;
  struct Case {
    const char* name;
    std::vector<std::size_t> at;
  };
  const std::vector<Case> cases = {
      {"in the caller's share", {10}},
      {"in a helper's share", {count - 10}},
      {"in both", {10, count - 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyIndexList index(collator);
    for (std::size_t i = 0; i < count; ++i) {
      const bool bad = std::find(c.at.begin(), c.at.end(), i) != c.at.end();
      index.Add(lines[bad ? tooLong : i], lines, bad ? tooLong : i);
    }
    EXPECT_THROW(index.Sort(), KeyTooLongError);
  }
  // A progress report that throws fails the caller's share the same way.
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < count; ++i) index.Add(lines[i], lines, i);
  EXPECT_THROW(index.Sort([](int) { throw std::runtime_error("stop"); }), std::runtime_error);
}

// The index orders by heads and then by the bytes past them, on two threads
// for a large index: keys that part only past the heads, keys that are the
// start of others, equal keys (the later line first) and keys ICU collates
// must all come out as one comparison of whole sort keys puts them.
TEST(KeyIndexList, OrdersLikeWholeSortKeysWhereKeysPartOnlyPastTheHeads) {
  const KeyCollator collator("ja");
  std::mt19937 random(11);
  const std::string start = "978-4-0000000000000000000-";  // beyond both heads
  const std::vector<std::string> tails = {"", "1", "1a", "1A", "10", "2", "x-99", "\x93\xFA"};
  LineList lines;
  for (std::size_t i = 0; i < 3 * 50000; ++i) {
    const std::string& tail = tails[random() % tails.size()];
    const bool longer = random() % 3 == 0;
    lines.Add((longer ? start : std::string("978-4-")) + tail + std::to_string(random() % 500));
  }
  for (const std::size_t count : {std::size_t{1000}, lines.size()}) {
    SCOPED_TRACE(count);
    KeyIndexList index(collator);
    index.Reserve(count);
    for (std::size_t i = 0; i < count; ++i) index.Add(lines[i], lines, i);
    index.Sort();
    std::vector<std::size_t> expected(count);
    for (std::size_t i = 0; i < count; ++i) expected[i] = i;
    std::vector<std::string> sortKeys;
    for (std::size_t i = 0; i < count; ++i) sortKeys.push_back(collator.SortKey(lines[i]));
    std::sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
      const int c = sortKeys[a].compare(sortKeys[b]);
      return c != 0 ? c < 0 : a > b;
    });
    ASSERT_EQ(index.size(), count);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < count; ++i) wrong += index.LineIndex(i) != expected[i];
    EXPECT_EQ(wrong, 0u);
    for (std::size_t i = 1; i < count; ++i) {
      ASSERT_EQ(index.SameKey(i - 1, i), sortKeys[expected[i - 1]] == sortKeys[expected[i]]) << i;
    }
  }
}

// Reserving a large room touches its fresh pages ahead, on two threads: the
// entries added before it must keep every byte, whether collated already or
// still holding their keys.
TEST(KeyIndexList, ReservingALargeRoomLeavesTheEntriesBeforeItAlone) {
  const KeyCollator collator("ja");
  LineList lines;
  for (int i = 0; i < 600; ++i) lines.Add("K" + std::to_string(i * 7919 % 400));
  const auto order = [&](std::size_t room) {
    KeyIndexList index(collator);
    for (std::size_t i = 0; i < 300; ++i) index.Add(lines[i], lines, i);
    index.Reserve(room);
    for (std::size_t i = 300; i < lines.size(); ++i) index.Add(lines[i], lines, i);
    index.Sort();
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < index.size(); ++i) order.push_back(index.LineIndex(i));
    return order;
  };
  const std::vector<std::size_t> expected = order(0);
  EXPECT_EQ(order(std::size_t{1} << 20), expected);
}

// A process out of threads (a limit on processes, no room for a stack) still
// sorts: the shares no helper could take are collated by the caller.
TEST(KeyIndexList, SortsOnTheCallingThreadWhenHelperThreadsCannotStart) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: Sort starts no helper";
  static int allowed;
  static int refused;
  struct Restore {
    ~Restore() { KeyIndexList::SetThreadStarter(nullptr); }
  } restore;
  const KeyCollator collator("ja");
  const std::size_t count = 8 * KeyIndexList::kKeysPerThread;
  LineList lines;
  std::mt19937 random(7);
  for (std::size_t i = 0; i < count; ++i) lines.Add("978-4-" + std::to_string(random() % count));
  const auto sorted = [&] {
    KeyIndexList index(collator);
    for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
    index.Sort();
    std::vector<std::string_view> order;
    for (std::size_t i = 0; i < index.size(); ++i) order.push_back(index.Line(i));
    return order;
  };
  const std::vector<std::string_view> expected = sorted();
  for (const int startable : {0, 1}) {
    SCOPED_TRACE(std::to_string(startable) + " helper(s) can start");
    allowed = startable;
    refused = 0;
    KeyIndexList::SetThreadStarter([](std::function<void()> work) {
      if (allowed-- > 0) return std::jthread(std::move(work));
      ++refused;
      throw std::system_error(EAGAIN, std::generic_category());
    });
    EXPECT_EQ(sorted(), expected);
    if (startable == 0) {
      EXPECT_GT(refused, 0);
    }
  }
}

namespace {

std::jthread RefuseThread(std::function<void()>) {
  throw std::system_error(EAGAIN, std::generic_category());
}

std::string Padded(std::size_t k) {
  std::string digits = std::to_string(k);
  return std::string(7 - digits.size(), '0') + digits;
}

}  // namespace

// A long index has its runs found on two threads, split at a word of the
// marks, and its walks split where a run starts. Runs of one to three keys,
// one straddling the split, must come out as ForEachGroup finds them, with a
// helper or without; so must the walk of any two parts that meet at a start.
TEST(KeyIndexList, RunsFoundInTwoHalvesAreTheRunsOfEqualKeys) {
  const KeyCollator collator("ja");
  std::mt19937 random(5);
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n < KeyIndexList::kEntriesPerWalkThread + 5000; n += sizes.back()) {
    sizes.push_back(1 + random() % 3);
  }
  // The first run grows until one straddles the word the marks split at.
  for (;;) {
    std::size_t n = 0;
    for (const std::size_t size : sizes) n += size;
    const std::size_t split = n / 2 / 64 * 64;
    std::size_t at = 0;
    for (std::size_t k = 0; at < split; ++k) at += sizes[k];
    if (at != split) break;
    ++sizes[0];
  }
  LineList lines;
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    for (std::size_t c = 0; c < sizes[k]; ++c) lines.Add("978-4-" + Padded(k));
  }
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
  index.Sort();
  using Runs = std::vector<std::pair<std::size_t, std::size_t>>;
  Runs expected;
  std::size_t repeated = 0;
  index.ForEachGroup([&](std::size_t b, std::size_t e) {
    expected.emplace_back(b, e);
    repeated += e - b > 1 ? e - b : 0;
  });
  ASSERT_EQ(expected.size(), sizes.size());
  struct Restore {
    ~Restore() { KeyIndexList::SetThreadStarter(nullptr); }
  } restore;
  for (const bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "no helper" : "a helper");
    KeyIndexList::SetThreadStarter(refuse ? &RefuseThread : nullptr);
    const KeyIndexList::Groups groups = index.FindGroups();
    EXPECT_EQ(groups.Repeated(), repeated);
    Runs found;
    groups.ForEach([&](std::size_t b, std::size_t e) { found.emplace_back(b, e); });
    EXPECT_EQ(found, expected);
    // Split anywhere, the two parts walk every run once, in order.
    for (const std::size_t at : {std::size_t{0}, std::size_t{1}, index.size() / 2,
                                 index.size() / 2 / 64 * 64, index.size() - 1, index.size()}) {
      const std::size_t split = groups.StartFrom(at);
      const auto next = std::find_if(expected.begin(), expected.end(),
                                     [&](const auto& run) { return run.first >= at; });
      EXPECT_EQ(split, next == expected.end() ? index.size() : next->first) << at;
      Runs parts;
      const auto add = [&](std::size_t b, std::size_t e) { parts.emplace_back(b, e); };
      groups.ForEachIn(0, split, add);
      groups.ForEachIn(split, index.size(), add);
      EXPECT_EQ(parts, expected) << at;
    }
  }
}

// The error keys are looked up in ascending order, each search going on from
// the last, by the entries' heads: each must land where a search of whole
// sort keys lands, for keys present, absent between, before and after all,
// not sharing the start all keys share, and parting only past the heads.
TEST(KeyIndexList, LookupsInOrderFindWhatOneLookupFinds) {
  const KeyCollator collator("ja");
  const std::string longer = "978-4-0000000000000000000-";  // beyond both heads
  LineList lines;
  for (std::size_t k = 0; k < 3000; k += 3) {
    lines.Add("978-4-" + Padded(k));
    lines.Add("978-4-" + Padded(k));
    lines.Add(longer + Padded(k));
  }
  KeyIndexList index(collator);
  for (std::size_t i = 0; i < lines.size(); ++i) index.Add(lines[i], lines, i);
  index.Sort();
  std::vector<std::string> keys = {"978-3", "979", "978-4-", "0", "", "978-4-0000000000000000000"};
  for (std::size_t k = 0; k < 3000; ++k) {
    keys.push_back(collator.SortKey("978-4-" + Padded(k)));
    keys.push_back(collator.SortKey(longer + Padded(k)));
    keys.push_back(collator.SortKey(longer + Padded(k) + "9"));
  }
  for (const char* key : {"978-3", "979", "978-4", "9", "978-4-0000000000000000000", "978-4-00"}) {
    keys.push_back(collator.SortKey(key));
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  const std::vector<std::string_view> wanted(keys.begin(), keys.end());
  const std::vector<long> found = index.IndexesOfSortKeys(wanted);
  ASSERT_EQ(found.size(), wanted.size());
  std::size_t hits = 0;
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    EXPECT_EQ(found[k], index.IndexOfSortKey(wanted[k])) << k;
    hits += found[k] >= 0 ? 1 : 0;
  }
  EXPECT_EQ(hits, 2000u);
}

TEST(FileNameText, IsUtf8ElseStrictCp932ElseUtf8WithReplacements) {
  struct Case {
    std::string bytes;
    bool utf8;
    std::optional<std::string> cp932;  // as UTF-8
    std::string text;                  // FileNameUtf8
  };
  const std::vector<Case> cases = {
      {"", true, "", ""},
      {"abc.txt", true, "abc.txt", "abc.txt"},
      {"名前.txt", true, "蜷榊燕.txt", "名前.txt"},       // read as CP932 it means something else
      {"\uFFFD", true, std::nullopt, "\uFFFD"},           // EF BF: no CP932 character
      {Bytes({0x96BC, 0x914F}), false, "名前", "名前"},   // Shift_JIS 名前
      {Bytes({0xB6, 0xC5}), false, "ｶﾅ", "ｶﾅ"},           // half-width katakana
      {Bytes({0xC2, 0xB1}), true, "ﾂｱ", "±"},             // both
      {Bytes({0x82}), false, std::nullopt, "\uFFFD"},     // lead byte without trail
      {Bytes({0x8541}), false, std::nullopt, "\uFFFDA"},  // unmapped
      {Bytes({0xFD}) + "a", false, std::nullopt, "\uFFFDa"},
      {Bytes({0xC0, 0xAF}), false, "ﾀｯ", "ﾀｯ"},  // overlong "/" in UTF-8
      {Bytes({0xED, 0xA0, 0x80}), false, std::nullopt, "\uFFFD\uFFFD\uFFFD"},  // surrogate
      {Bytes({0xF0, 0x9F, 0x98, 0x80}), true, std::nullopt, "😀"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(quenText::IsValidUtf8(c.bytes), c.utf8);
    const std::optional<icu::UnicodeString> text = quenText::DecodeCp932Strict(c.bytes);
    std::string utf8;
    if (text) text->toUTF8String(utf8);
    EXPECT_EQ(text ? std::optional<std::string>(utf8) : std::nullopt, c.cp932);
    EXPECT_EQ(quenText::FileNameUtf8(c.bytes), c.text);
  }
}

#ifndef _WIN32  // Windows names are Unicode: never raw Shift_JIS bytes
TEST(KeyCollator, FileNamesInShiftJisSortAsTheirText) {
  const KeyCollator collator("ja");
  // Ascending; Shift_JIS and UTF-8 names mixed as copies from Windows media
  // and from this system leave them.
  const std::vector<std::string> names = {
      "A.txt",
      "b.txt",
      Bytes({0x82A0}) + ".txt",  // あ in Shift_JIS
      "い.txt",
      Bytes({0x82A4}) + ".txt",  // う
      "え.txt",
      Bytes({0x82A9}) + ".txt",          // か
      Bytes({0x96BC, 0x914F}) + ".txt",  // 名前
      Bytes({0xFD}) + ".txt",            // neither: U+FFFD, after the letters
  };
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = 0; j < names.size(); ++j) {
      SCOPED_TRACE(testing::PrintToString(names[i]) + " vs " + testing::PrintToString(names[j]));
      const int c = collator.CompareFileNames(names[i], names[j]);
      EXPECT_EQ((c > 0) - (c < 0), (i > j) - (i < j));
    }
  }
}
#endif
