#include "MBox.h"

#include <atomic>
#include <cstdio>

#include <unicode/locid.h>

#include "quenPlatform.h"
#include "quenText.h"

namespace {

class StderrPresenter : public MessagePresenter {
 public:
  int Present(const MessageBoxRequest& box) override {
    std::fprintf(stderr, "%s\n", box.Utf8Text().c_str());
    return MBox::kIdOk;
  }
};

StderrPresenter defaultPresenter;
std::atomic<MessagePresenter*> presenter{&defaultPresenter};

}  // namespace

std::string MessageBoxRequest::Utf8Text() const {
  return shown.empty() ? quenText::ToUtf8(text) : shown;
}

int MBox::Info(const quenShow::LogText& text, std::string_view caption, bool topmost) {
  return Show(text, MBox::kIconInformation, caption, 1, topmost);
}

int MBox::Error(const quenShow::LogText& text, std::string_view caption, bool topmost) {
  return Show(text, MBox::kIconError, caption, 1, topmost);
}

int MBox::Show(const quenShow::LogText& text, unsigned iconFlags, std::string_view caption,
               int defaultButton, bool topmost) {
  unsigned flags = iconFlags;
  if (topmost) flags |= MBox::kTopmost;
  if (defaultButton == 2) flags |= MBox::kDefButton2;
  if (defaultButton == 3) flags |= MBox::kDefButton3;
  if (defaultButton == 4) flags |= MBox::kDefButton4;
  if (caption.empty()) return ShowRaw(text, ApplicationTitle(), flags);
  return ShowRaw(text, caption, flags);
}

int MBox::ShowRaw(const quenShow::LogText& text, std::string_view caption, unsigned flags) {
  return presenter.load()->Present(
      MessageBoxRequest{text.Cp932(), std::string(caption), flags, text.Utf8(), {}});
}

int MBox::ErrorOfferingCopy(const quenShow::LogText& text, std::string_view copyUtf8) {
  return presenter.load()->Present(MessageBoxRequest{text.Cp932(), ApplicationTitle(), kIconError,
                                                     text.Utf8(), std::string(copyUtf8)});
}

MessagePresenter* MBox::SetPresenter(MessagePresenter* p) {
  MessagePresenter* old = presenter.exchange(p ? p : &defaultPresenter);
  return old == &defaultPresenter ? nullptr : old;
}

std::string MBox::ApplicationTitle() {
  static const std::string title = TitleFromProgramFile(quenPlatform::ProgramFileName());
  return title;
}

std::string MBox::TitleFromProgramFile(std::string_view programFileUtf8) {
  auto name = icu::UnicodeString::fromUTF8(
      icu::StringPiece(programFileUtf8.data(), static_cast<int32_t>(programFileUtf8.size())));
  const int32_t dot = name.indexOf(UChar{'.'});
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return {};
  const int32_t firstEnd = name.moveIndex32(0, 1);
  icu::UnicodeString rest(name, firstEnd);
  rest.toLower(icu::Locale::getRoot());
  return quenText::Encode(icu::UnicodeString(name, 0, firstEnd) + rest);
}

std::string ExceptionBoxText(std::string_view utf8Message) {
  std::string text = quenText::FromUtf8(utf8Message);
  // Every character's first byte decides how it sorts against ".": a lead
  // byte of a two-byte character is above it, so only the last character's
  // first byte matters.
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    last = i;
    const auto b = static_cast<unsigned char>(text[i]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead && i + 1 < text.size()) ++i;
  }
  // A message that already ends in a full stop (the system's reasons end in
  // 。) gets no second one.
  const std::string_view end = std::string_view(text).substr(last);
  const bool stopped = end == "\x81\x42" || end == "\x81\x44" || end == "\xA1";  // 。．｡
  if (!text.empty() && !stopped && static_cast<unsigned char>(text[last]) > '.') text += '.';
  return text;
}

void ShowException(const std::exception& e) {
  // The box shows the message's names in full; the stop is the CP932 rule's.
  const std::string_view message = e.what();
  std::string text = ExceptionBoxText(message);
  std::string shown = quenText::IsValidUtf8(message)
                          ? std::string(message)
                          : quenText::ToUtf8(quenText::FromUtf8(message));
  if (text.size() > quenText::FromUtf8(message).size()) shown += '.';
  MBox::ShowRaw(quenShow::LogText(std::move(text), std::move(shown)), MBox::ApplicationTitle(),
                MBox::kIconError);
}
