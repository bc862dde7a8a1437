// quenText: conversion between CP932 bytes (the system's byte strings) and
// Unicode, through ICU's "windows-31j" converter.
//
// Record text is never re-encoded for output: decoding is for comparing and
// showing only. Encoding is for texts that start out as Unicode (file names,
// messages) and have to be logged or written into a report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <unicode/unistr.h>

namespace quenText {

// ICU takes lengths as int32_t. The length count * unit + extra, checked:
// throws std::length_error (Japanese message) when it does not fit.
int32_t IcuLength(std::size_t count, std::size_t unit = 1, std::size_t extra = 0);

// What a byte that is not part of a valid, mapped CP932 character becomes.
enum class BadBytes {
  // U+F700 + the byte's value: lossless, so different bytes never compare equal.
  kPrivateUse,
  // U+FFFD per byte: for showing text to a person.
  kReplacement,
};

// Decodes CP932 bytes; see BadBytes. Throws (never returns a shortened
// text) when the bytes are too long for ICU or ICU fails.
icu::UnicodeString Decode(std::string_view cp932, BadBytes bad = BadBytes::kPrivateUse);

// Encodes to CP932; each code point CP932 cannot hold becomes one "?".
// Throws like Decode.
std::string Encode(const icu::UnicodeString& text);

// UTF-8 (source literals, native file names, exception messages) to CP932.
// Invalid UTF-8 bytes become "?" too.
std::string FromUtf8(std::string_view utf8);

// CP932 to UTF-8 for terminals and widgets; bad bytes become U+FFFD.
std::string ToUtf8(std::string_view cp932);

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// The text of CP932 bytes when every byte belongs to a valid, mapped
// character; nothing otherwise.
std::optional<icu::UnicodeString> DecodeCp932Strict(std::string_view cp932);

// The text of a native file name: UTF-8 when it is valid UTF-8, else CP932
// when it is valid CP932 (raw Shift_JIS names copied from Windows media),
// else UTF-8 with U+FFFD for the bad bytes.
icu::UnicodeString FileNameText(std::string_view name);
std::string FileNameUtf8(std::string_view name);

}  // namespace quenText
