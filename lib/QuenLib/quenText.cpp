#include "quenText.h"

#include <climits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/utf8.h>

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

ConverterPtr OpenWindows31j() {
  UErrorCode err = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open("windows-31j", &err));
  if (U_FAILURE(err)) throw std::runtime_error("文字コード変換器 windows-31j を使えません（ICU）");
  return conv;
}

ConverterPtr OpenConverter(BadBytes bad) {
  ConverterPtr conv = OpenWindows31j();
  UErrorCode err = U_ZERO_ERROR;
  const void* context = bad == BadBytes::kPrivateUse ? &kPrivateBase : &kReplacementChar;
  ucnv_setToUCallBack(conv.get(), ToUnicodePerByte, context, nullptr, nullptr, &err);
  ucnv_setFromUCallBack(conv.get(), FromUnicodeQuestionMark, nullptr, nullptr, nullptr, &err);
  if (U_FAILURE(err)) throw std::runtime_error("文字コード変換器を設定できません（ICU）");
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

// Stops at the first byte that is not part of a valid, mapped character.
UConverter* StrictConverter() {
  thread_local ConverterPtr strict = [] {
    ConverterPtr conv = OpenWindows31j();
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) throw std::runtime_error("文字コード変換器を設定できません（ICU）");
    return conv;
  }();
  ucnv_reset(strict.get());
  return strict.get();
}

[[noreturn]] void ThrowIcuFailure(UErrorCode err) {
  if (err == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
  throw std::runtime_error(std::string("文字コードを変換できません（ICU: ") + u_errorName(err) +
                           "）");
}

bool IsConversionError(UErrorCode err) {
  return err == U_INVALID_CHAR_FOUND || err == U_TRUNCATED_CHAR_FOUND ||
         err == U_ILLEGAL_CHAR_FOUND;
}

// Converts all of cp932 into a new text; false when conv stopped at a bad byte.
bool ToUnicode(UConverter* conv, std::string_view cp932, icu::UnicodeString& out) {
  out.remove();
  if (cp932.empty()) return true;
  const int32_t length = IcuLength(cp932.size());
  // A CP932 byte never yields more than one UTF-16 unit; the rest is slack.
  const int32_t capacity = IcuLength(cp932.size(), 2, 1);
  UChar* buffer = out.getBuffer(capacity);
  if (buffer == nullptr) throw std::bad_alloc();
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(conv, buffer, capacity, cp932.data(), length, &err);
  out.releaseBuffer(U_SUCCESS(err) ? n : 0);
  if (IsConversionError(err)) return false;
  if (U_FAILURE(err)) ThrowIcuFailure(err);
  return true;
}

icu::UnicodeString FromUtf8Text(std::string_view utf8) {
  icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), IcuLength(utf8.size())));
  if (text.isBogus()) throw std::bad_alloc();
  return text;
}

}  // namespace

int32_t IcuLength(std::size_t count, std::size_t unit, std::size_t extra) {
  constexpr std::size_t kMax = INT32_MAX;
  if (extra > kMax || (unit != 0 && count > (kMax - extra) / unit)) {
    throw std::length_error("テキストが長すぎるため文字コードを変換できません（長さ " +
                            std::to_string(count) + "）");
  }
  return static_cast<int32_t>(count * unit + extra);
}

icu::UnicodeString Decode(std::string_view cp932, BadBytes bad) {
  icu::UnicodeString out;
  // The callbacks take every byte, so the converter never stops early.
  if (!ToUnicode(Converter(bad), cp932, out)) ThrowIcuFailure(U_ILLEGAL_CHAR_FOUND);
  return out;
}

std::string Encode(const icu::UnicodeString& text) {
  std::string out;
  if (text.isEmpty()) return out;
  UConverter* conv = Converter(BadBytes::kPrivateUse);
  // At most two bytes per UTF-16 unit; a "?" for a surrogate pair is shorter.
  const int32_t capacity = IcuLength(static_cast<std::size_t>(text.length()), 2);
  out.resize(static_cast<std::size_t>(capacity));
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n =
      ucnv_fromUChars(conv, out.data(), capacity, text.getBuffer(), text.length(), &err);
  if (U_FAILURE(err)) ThrowIcuFailure(err);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string FromUtf8(std::string_view utf8) { return Encode(FromUtf8Text(utf8)); }

std::string ToUtf8(std::string_view cp932) {
  std::string out;
  Decode(cp932, BadBytes::kReplacement).toUTF8String(out);
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const std::size_t length = bytes.size();
  for (std::size_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::optional<icu::UnicodeString> DecodeCp932Strict(std::string_view cp932) {
  icu::UnicodeString out;
  if (!ToUnicode(StrictConverter(), cp932, out)) return std::nullopt;
  return out;
}

icu::UnicodeString FileNameText(std::string_view name) {
  if (!IsValidUtf8(name)) {
    if (std::optional<icu::UnicodeString> text = DecodeCp932Strict(name)) return *text;
  }
  return FromUtf8Text(name);
}

std::string FileNameUtf8(std::string_view name) {
  std::string out;
  FileNameText(name).toUTF8String(out);
  return out;
}

}  // namespace quenText
