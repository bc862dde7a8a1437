// MBox: message boxes with a single OK button.
//
// Texts and captions are CP932 byte strings like every other system text.
// The box itself is drawn by whatever presenter the front end installs (the
// window shows a real box, the command line prints it, tests record it).
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "quenShow.h"

struct MessageBoxRequest {
  MessageBoxRequest(std::string text_ = {}, std::string caption_ = {}, unsigned flags_ = 0,
                    std::string shown_ = {}, std::string copyText_ = {})
      : text(std::move(text_)),
        caption(std::move(caption_)),
        flags(flags_),
        shown(std::move(shown_)),
        copyText(std::move(copyText_)) {}

  std::string text;     // CP932
  std::string caption;  // CP932
  unsigned flags = 0;
  // The text as the box shows it (UTF-8, names in full); empty: the text
  // decoded.
  std::string shown;
  // UTF-8; when not empty the box offers a 「コピー」 button that puts it on
  // the clipboard.
  std::string copyText;

  std::string Utf8Text() const;
};

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  // Shows the box and returns the button pressed.
  virtual int Present(const MessageBoxRequest& box) = 0;
};

class MBox {
 public:
  // Icon, default-button and topmost flags, with the values of the classic
  // message-box interface so recorded boxes can be compared by number. Names
  // of their own, inside the class: a platform header's macros cannot reach
  // them.
  enum Flag : unsigned {
    kOk = 0x0,
    kIconError = 0x10,
    kIconInformation = 0x40,
    kDefButton2 = 0x100,
    kDefButton3 = 0x200,
    kDefButton4 = 0x300,
    kTopmost = 0x40000,
  };
  // The answer of the one button.
  static constexpr int kIdOk = 1;

  // Texts are CP932, or hold names in both their forms (quenShow::LogName).
  static int Info(const quenShow::LogText& text, std::string_view caption = "",
                  bool topmost = false);
  static int Error(const quenShow::LogText& text, std::string_view caption = "",
                   bool topmost = false);
  static int Show(const quenShow::LogText& text, unsigned iconFlags, std::string_view caption,
                  int defaultButton, bool topmost);
  static int ShowRaw(const quenShow::LogText& text, std::string_view caption, unsigned flags);
  // An error box that offers to copy copyUtf8 (a path, say) besides its OK.
  static int ErrorOfferingCopy(const quenShow::LogText& text, std::string_view copyUtf8);

  // Installs the presenter every later box goes to and returns the previous
  // one; nullptr restores the default, which prints the box on stderr.
  static MessagePresenter* SetPresenter(MessagePresenter* presenter);

  // The caption of boxes without one, in CP932: the program file's name
  // without folder, cut at its first ".", all but the first character lower
  // case ("TextCnv" gives "Textcnv").
  static std::string ApplicationTitle();
  static std::string TitleFromProgramFile(std::string_view programFileUtf8);
};

// Shows an exception that reached the top as the application's error box:
// the stop icon, the application title as caption and a full stop appended
// when the message's last character sorts after ".".
void ShowException(const std::exception& e);
// The box text for a message (UTF-8 in, CP932 out).
std::string ExceptionBoxText(std::string_view utf8Message);
