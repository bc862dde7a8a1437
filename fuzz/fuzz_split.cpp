// quenUtil::Split and SplitView cut the same fields, a limited SplitView
// cuts a prefix of them, and the fields rebuild the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "quenUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // Mostly the record delimiter, so that the text bytes stay meaningful.
  const char delimiter = input.ConsumeBool() ? '\t' : input.ConsumeIntegral<char>();
  const std::size_t maxFields = input.ConsumeIntegralInRange<std::size_t>(0, 40);
  const std::string text = input.ConsumeRemainingBytesAsString();

  std::vector<std::string> fields{"stale"};  // Split replaces what is there
  quenUtil::Split(delimiter, text, &fields);
  quenUtil::Split(delimiter, text, nullptr);
  std::vector<std::string_view> views{"stale"};
  quenUtil::SplitView(delimiter, text, views);
  std::vector<std::string_view> limited;
  quenUtil::SplitView(delimiter, text, limited, maxFields);

  const auto delimiters = static_cast<std::size_t>(std::count(text.begin(), text.end(), delimiter));
  std::size_t expected = delimiters + 1;
  if (text.empty()) {
    expected = 0;
  } else if (text.back() == delimiter) {
    expected = delimiters;
  }
  FUZZ_CHECK(fields.size() == expected);
  FUZZ_CHECK(views.size() == expected);
  FUZZ_CHECK(limited.size() == std::min(expected, maxFields));

  std::string rebuilt;
  for (std::size_t i = 0; i < expected; ++i) {
    FUZZ_CHECK(views[i] == fields[i]);
    FUZZ_CHECK(fields[i].find(delimiter) == std::string::npos);
    // Views point into the text itself, not into a copy.
    FUZZ_CHECK(views[i].data() >= text.data() &&
               views[i].data() + views[i].size() <= text.data() + text.size());
    if (i < limited.size()) FUZZ_CHECK(limited[i] == fields[i]);
    if (i > 0) rebuilt += delimiter;
    rebuilt += fields[i];
  }
  // Only a delimiter at the very end is lost.
  if (!text.empty() && text.back() == delimiter) rebuilt += delimiter;
  FUZZ_CHECK(rebuilt == text);
  return 0;
}
