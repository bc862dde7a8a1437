// quenText::Decode loses no bytes, and the key collation is a consistent
// order whose sort keys agree with it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "KeyCollator.h"
#include "FuzzSupport.h"
#include "quenText.h"

namespace {

// Bad bytes decode to U+F700 + byte; no valid CP932 character lands there.
bool IsBadByteUnit(char16_t c) { return c >= 0xF700 && c <= 0xF7FF; }

// The bytes are only valid, mapped characters: shown to a person, nothing
// becomes U+FFFD.
bool AllValid(std::string_view bytes) {
  return quenText::Decode(bytes, quenText::BadBytes::kReplacement).indexOf(char16_t{0xFFFD}) < 0;
}

void CheckDecoding(std::string_view a) {
  const icu::UnicodeString lossless = quenText::Decode(a);
  const icu::UnicodeString shown = quenText::Decode(a, quenText::BadBytes::kReplacement);
  // Both ways decode the same characters and differ only at the bad bytes.
  FUZZ_CHECK(lossless.length() == shown.length());
  FUZZ_CHECK(lossless.length() <= static_cast<int32_t>(a.size()));
  for (int32_t i = 0; i < lossless.length(); ++i) {
    const char16_t l = lossless[i];
    const char16_t s = shown[i];
    FUZZ_CHECK(IsBadByteUnit(l) ? s == 0xFFFD : s == l);
  }
  if (AllValid(a)) {
    // Valid text survives a trip through Unicode (duplicate codes may be
    // re-encoded as their preferred form, which decodes the same).
    FUZZ_CHECK(quenText::Decode(quenText::Encode(lossless)) == lossless);
  }
}

void CheckInjective(std::string_view a, std::string_view b) {
  if (a != b && quenText::Decode(a) == quenText::Decode(b)) {
    // Only characters with two codes (NEC and IBM duplicates) may meet.
    FUZZ_CHECK(AllValid(a) && AllValid(b));
  }
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const KeyCollator collator("ja");
  FuzzedDataProvider input(data, size);
  const std::string a = input.ConsumeRandomLengthString(size);
  const std::string b = input.ConsumeRemainingBytesAsString();

  CheckDecoding(a);
  CheckDecoding(b);
  CheckInjective(a, b);
  // The same text re-encoded: bad bytes become "?", duplicates their
  // preferred code.
  const std::string reencoded = quenText::Encode(quenText::Decode(a));
  CheckInjective(a, reencoded);

  const int ab = collator.Compare(a, b);
  FUZZ_CHECK(Sign(ab) == -Sign(collator.Compare(b, a)));
  const std::string keyA = collator.SortKey(a);
  const std::string keyB = collator.SortKey(b);
  FUZZ_CHECK(Sign(keyA.compare(keyB)) == Sign(ab));
  // The key index pads short sort keys with zero bytes, which relies on
  // sort keys holding none.
  FUZZ_CHECK(keyA.find('\0') == std::string::npos && keyB.find('\0') == std::string::npos);
  FUZZ_CHECK(collator.Compare(a, a) == 0);
  FUZZ_CHECK((collator.Compare(a, b) == 0) == (keyA == keyB));
  std::string appended = keyA;
  collator.AppendSortKey(b, appended);
  FUZZ_CHECK(appended == keyA + keyB);
  return 0;
}
