// The helper library: field splitting, padding, the blank test, binary-file
// sniffing, message-box captions and flags, the program's log texts.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <type_traits>

#include "MBox.h"
#include "quenBackground.h"
#include "TestSupport.h"
#include "quenFile.h"
#include "quenPlatform.h"
#include "quenShow.h"
#include "quenUtil.h"

using namespace testing_support;

TEST(Split, TrailingDelimiterAddsNoFieldButEmptyFieldsElsewhereStay) {
  struct Case {
    std::string text;
    std::vector<std::string> fields;
  };
  const std::vector<Case> cases = {
      {"a\tb", {"a", "b"}},
      {"a\tb\t", {"a", "b"}},
      {"a\t\t", {"a", ""}},
      {"\tb", {"", "b"}},
      {"", {}},
      {"\t", {""}},
      {"abc", {"abc"}},
      {"\t\t\t", {"", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> list = {"left", "over"};
    quenUtil::Split('\t', c.text, &list);
    EXPECT_EQ(list, c.fields);
    std::vector<std::string_view> views;
    quenUtil::SplitView('\t', c.text, views, 2);
    ASSERT_EQ(views.size(), std::min<std::size_t>(2, c.fields.size()));
    for (std::size_t i = 0; i < views.size(); ++i) EXPECT_EQ(views[i], c.fields[i]);
  }
  quenUtil::Split('\t', "a", nullptr);  // no list: nothing to fill, no crash
}

// The split looks at eight bytes at a time: a delimiter at any place in a
// word, bytes one bit off it and fields of any length must cut as a search
// field by field does.
TEST(Split, FieldsAreCutAsAFieldByFieldSearchCutsThemWhereverTheyFall) {
  const auto reference = [](std::string_view text, std::size_t maxFields) {
    std::vector<std::string_view> fields;
    while (!text.empty() && fields.size() < maxFields) {
      const std::size_t at = text.find('\t');
      fields.push_back(text.substr(0, at));
      if (at == std::string_view::npos) break;
      text.remove_prefix(at + 1);
    }
    return fields;
  };
  const std::string alphabet("\t\t\x08\x89\x80\x00a\x81", 8);
  uint32_t seed = 12345;
  std::vector<std::string_view> views;
  for (int round = 0; round < 20000; ++round) {
    seed = seed * 1103515245 + 12345;
    std::string text(seed >> 26, ' ');
    for (char& c : text) {
      seed = seed * 1103515245 + 12345;
      c = alphabet[(seed >> 16) % alphabet.size()];
    }
    const std::size_t maxFields = 1 + (seed >> 8) % 12;
    quenUtil::SplitView('\t', text, views, maxFields);
    ASSERT_EQ(views, reference(text, maxFields)) << testing::PrintToString(text) << " " << maxFields;
  }
}

// Work beside the caller: run once whether or not a thread starts, its
// failure thrown by Finish, and what it holds let go by then.
TEST(Background, RunsOnceAndFinishRethrowsItsFailureWithOrWithoutAThread) {
  const auto refuse = [](std::function<void()>) -> std::jthread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  for (const bool refused : {false, true}) {
    for (const bool fails : {false, true}) {
      SCOPED_TRACE(std::string(refused ? "refused" : "started") + (fails ? ", failing" : ""));
      quenThread::Background::SetThreadStarter(refused ? +refuse : nullptr);
      int runs = 0;
      auto held = std::make_shared<int>(1);
      std::weak_ptr<int> watch = held;
      quenThread::Background work([&runs, fails, held = std::move(held)] {
        ++runs;
        if (fails) throw std::runtime_error("failed");
      });
      if (fails) {
        EXPECT_THROW(work.Finish(), std::runtime_error);
      } else {
        EXPECT_NO_THROW(work.Finish());
      }
      EXPECT_EQ(runs, 1);
      EXPECT_TRUE(watch.expired());
      EXPECT_NO_THROW(work.Finish());  // a failure is thrown once
    }
  }
  quenThread::Background::SetThreadStarter(nullptr);
}

TEST(PadLeft, RightAlignsByBytesAndRepeatsThePadWhole) {
  struct Case {
    std::string text;
    int width;
    std::string pad;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"12", 4, " ", "  12"},
      {"12345", 4, " ", "12345"},
      {"1234", 4, " ", "1234"},
      {"\x82\xA0", 4, " ", "  \x82\xA0"},  // a two-byte character counts 2
      {"1", 3, "ab", "abab1"},
      {"", 2, " ", "  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(quenUtil::PadLeft(c.text, c.width, c.pad), c.expected);
  }
}

TEST(RemoveSpaces, RemovesOnlyHalfWidthAndIdeographicSpaces) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {" \x81\x40 \x81\x40", ""},
      {"\t", "\t"},
      {"a b", "ab"},
      {"\x83\x40", "\x83\x40"},  // ァ: its trail byte 0x40 is no space
      {"\x81\x40"
       "A\x81\x40",
       "A"},
      {"\x85\x41", "??"},  // unmapped bytes never vanish
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(quenUtil::RemoveSpaces(c.text), c.expected);
  }
}

TEST(IsBinaryFile, ExaminesTheFirstBytesButNeverTheLastTwoOfTheSample) {
  struct Case {
    std::size_t size;
    std::size_t position;  // 1-based; 0 for none
    unsigned char byte;
    bool binary;
  };
  const std::vector<Case> cases = {
      {600, 512, 0x00, false}, {600, 1, 0x00, true},   {1, 1, 0x00, false},
      {0, 0, 0, false},        {2, 1, 0x00, false},    {3, 1, 0x00, true},
      {3, 2, 0x00, false},     {600, 510, 0xFF, true}, {600, 511, 0xFF, false},
      {100, 50, 0x07, true},   {100, 50, 0x08, false}, {100, 50, 0x1A, false},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size << " bytes, byte " << c.position);
    std::string bytes(c.size, 'a');
    if (c.position > 0) bytes[c.position - 1] = static_cast<char>(c.byte);
    WriteBytes(dir / "f.bin", bytes);
    EXPECT_EQ(quenUtil::IsBinaryFile(dir / "f.bin"), c.binary);
  }
}

TEST(IsBinaryFile, AFileThatCannotBeOpenedFailsWithItsName) {
  TempDir dir;
  try {
    quenUtil::IsBinaryFile(dir / "missing.txt");
    FAIL() << "no failure";
  } catch (const quenFile::FileError& e) {
    EXPECT_EQ(e.kind(), quenFile::FileError::Kind::kOpen);
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
  }
}

// The boxes' caption comes from it: each system's own way must find it.
TEST(Platform, ProgramFileNameIsTheRunningProgramsOwn) {
  EXPECT_TRUE(quenPlatform::ProgramFileName().starts_with("quen_lib_test"))
      << quenPlatform::ProgramFileName();
}

TEST(MBox, CaptionIsTheProgramFileNameCutAtItsFirstDotWithTheRestLowerCase) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"TextCnv", "Textcnv"},
      {"TextCnv.exe", "Textcnv"},
      {"textcnv-batch", "textcnv-batch"},
      {"TEXTCNV", "Textcnv"},
      {"A.B.C", "A"},
      {"", ""},
      {"ＴｅｘｔＣＮＶ", Cp932("Ｔｅｘｔｃｎｖ")},
  };
  for (const auto& [file, title] : cases) {
    SCOPED_TRACE(file);
    EXPECT_EQ(MBox::TitleFromProgramFile(file), title);
  }
}

TEST(MBox, BoxesCarryIconDefaultButtonTopmostAndTheTitleWhenNoCaption) {
  RecordingPresenter boxes;
  MBox::Error(u8"e");
  MBox::Info(u8"i", "c");
  MBox::Show(u8"s", MBox::kIconInformation, "", 2, true);
  MBox::Show(u8"s", MBox::kIconError, "x", 3, false);
  MBox::Show(u8"s", MBox::kIconError, "x", 4, false);
  ASSERT_EQ(boxes.boxes.size(), 5u);
  EXPECT_EQ(boxes.boxes[0].caption, MBox::ApplicationTitle());
  EXPECT_FALSE(boxes.boxes[0].caption.empty());
  EXPECT_EQ(boxes.boxes[0].flags, unsigned{MBox::kIconError});
  EXPECT_EQ(boxes.boxes[1].caption, "c");
  EXPECT_EQ(boxes.boxes[1].flags, unsigned{MBox::kIconInformation});
  EXPECT_EQ(boxes.boxes[2].flags, 0x40u | 0x100u | 0x40000u);
  EXPECT_EQ(boxes.boxes[3].flags, 0x10u | 0x200u);
  EXPECT_EQ(boxes.boxes[4].flags, 0x10u | 0x300u);
}

// A plain literal could be either encoding, so it is no log text; u8""
// program text is encoded to CP932 the way a name's neighbours are.
static_assert(!std::is_convertible_v<const char*, quenShow::LogText>);
static_assert(std::is_convertible_v<std::string, quenShow::LogText>);

TEST(LogText, ProgramTextIsEncodedToCp932AndShownAsWritten) {
  const quenShow::LogText text = u8"終了しました";
  EXPECT_EQ(text.Cp932(), Cp932("終了しました"));
  EXPECT_FALSE(text.HasOwnUtf8());
  EXPECT_EQ(text.Utf8(), "終了しました");
  const quenShow::LogText named = u8" [○]" + quenShow::LogName("na\xC3\xAFve.txt") + u8"件";
  EXPECT_EQ(named.Cp932(), Cp932(" [○]na?ve.txt件"));
  EXPECT_EQ(named.Utf8(), " [○]na\xC3\xAFve.txt件");
}
