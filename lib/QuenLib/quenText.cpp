#include "quenText.h"

#include <memory>
#include <stdexcept>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

namespace quenText {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Writes one code point per reported byte, so nothing is merged or dropped.
void ToUnicodePerByte(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits,
                      int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
  const UChar base = *static_cast<const UChar*>(context);
  *err = U_ZERO_ERROR;
  for (int32_t i = 0; i < length; ++i) {
    UChar c = base == 0xFFFD ? UChar{0xFFFD}
                             : static_cast<UChar>(base + static_cast<unsigned char>(codeUnits[i]));
    ucnv_cbToUWriteUChars(args, &c, 1, 0, err);
    if (U_FAILURE(*err)) return;
  }
}

// One "?" per code point. ICU's own substitute callback would write 0xFC 0xFC
// and silently skip default-ignorable characters such as U+200B.
void FromUnicodeQuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                             UChar32, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
}

const UChar kPrivateBase = 0xF700;
const UChar kReplacementChar = 0xFFFD;

ConverterPtr OpenConverter(BadBytes bad) {
  UErrorCode err = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open("windows-31j", &err));
  if (U_FAILURE(err)) throw std::runtime_error("ICU converter windows-31j is not available");
  const void* context = bad == BadBytes::kPrivateUse ? &kPrivateBase : &kReplacementChar;
  ucnv_setToUCallBack(conv.get(), ToUnicodePerByte, context, nullptr, nullptr, &err);
  ucnv_setFromUCallBack(conv.get(), FromUnicodeQuestionMark, nullptr, nullptr, nullptr, &err);
  if (U_FAILURE(err)) throw std::runtime_error("ICU converter callbacks could not be set");
  return conv;
}

// Converters keep state, so each thread has its own pair.
UConverter* Converter(BadBytes bad) {
  thread_local ConverterPtr lossless = OpenConverter(BadBytes::kPrivateUse);
  thread_local ConverterPtr display = OpenConverter(BadBytes::kReplacement);
  UConverter* c = bad == BadBytes::kPrivateUse ? lossless.get() : display.get();
  ucnv_reset(c);
  return c;
}

}  // namespace

icu::UnicodeString Decode(std::string_view cp932, BadBytes bad) {
  icu::UnicodeString out;
  if (cp932.empty()) return out;
  UConverter* conv = Converter(bad);
  // A CP932 byte never yields more than one UTF-16 unit; the rest is slack.
  const int32_t capacity = static_cast<int32_t>(cp932.size()) * 2 + 1;
  UChar* buffer = out.getBuffer(capacity);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n =
      ucnv_toUChars(conv, buffer, capacity, cp932.data(), static_cast<int32_t>(cp932.size()), &err);
  out.releaseBuffer(U_SUCCESS(err) || err == U_STRING_NOT_TERMINATED_WARNING ? n : 0);
  return out;
}

std::string Encode(const icu::UnicodeString& text) {
  std::string out;
  if (text.isEmpty()) return out;
  UConverter* conv = Converter(BadBytes::kPrivateUse);
  // At most two bytes per UTF-16 unit; a "?" for a surrogate pair is shorter.
  out.resize(static_cast<size_t>(text.length()) * 2);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), text.getBuffer(),
                              text.length(), &err);
  out.resize(U_SUCCESS(err) || err == U_STRING_NOT_TERMINATED_WARNING ? n : 0);
  return out;
}

std::string FromUtf8(std::string_view utf8) {
  return Encode(icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size()))));
}

std::string ToUtf8(std::string_view cp932) {
  std::string out;
  Decode(cp932, BadBytes::kReplacement).toUTF8String(out);
  return out;
}

}  // namespace quenText
