// quenText: conversion between CP932 bytes (the system's byte strings) and
// Unicode, through ICU's "windows-31j" converter.
//
// Record text is never re-encoded for output: decoding is for comparing and
// showing only. Encoding is for texts that start out as Unicode (file names,
// messages) and have to be logged or written into a report.
#pragma once

#include <string>
#include <string_view>

#include <unicode/unistr.h>

namespace quenText {

// What a byte that is not part of a valid, mapped CP932 character becomes.
enum class BadBytes {
  // U+F700 + the byte's value: lossless, so different bytes never compare equal.
  kPrivateUse,
  // U+FFFD per byte: for showing text to a person.
  kReplacement,
};

// Decodes CP932 bytes. Never fails; see BadBytes.
icu::UnicodeString Decode(std::string_view cp932, BadBytes bad = BadBytes::kPrivateUse);

// Encodes to CP932; each code point CP932 cannot hold becomes one "?".
std::string Encode(const icu::UnicodeString& text);

// UTF-8 (source literals, native file names, exception messages) to CP932.
// Invalid UTF-8 bytes become "?" too.
std::string FromUtf8(std::string_view utf8);

// CP932 to UTF-8 for terminals and widgets; bad bytes become U+FFFD.
std::string ToUtf8(std::string_view cp932);

}  // namespace quenText
