#include "Collation.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "quenText.h"

namespace {

icu::UnicodeString Folded(icu::UnicodeString s) {
  s.foldCase(U_FOLD_CASE_DEFAULT);
  return s;
}

icu::UnicodeString FoldedKey(std::string_view cp932) { return Folded(quenText::Decode(cp932)); }

icu::UnicodeString FoldedName(const std::string& utf8) {
  return Folded(icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size()))));
}

}  // namespace

const KeyCollator& KeyCollator::Default() {
  static const KeyCollator collator(LocaleFromEnvironment());
  return collator;
}

std::string KeyCollator::LocaleFromEnvironment() {
  std::string name;
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  name = name.substr(0, name.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return "ja";
  return name;
}

KeyCollator::KeyCollator(const std::string& locale) {
  UErrorCode err = U_ZERO_ERROR;
  collator_.reset(icu::Collator::createInstance(icu::Locale(locale.c_str()), err));
  if (U_FAILURE(err) || !collator_) {
    throw std::runtime_error("ICU collator for locale " + locale + " is not available");
  }
  collator_->setStrength(icu::Collator::IDENTICAL);
}

KeyCollator::KeyCollator(const KeyCollator& other) : collator_(other.collator_->clone()) {
  if (!collator_) throw std::runtime_error("ICU collator could not be copied");
}

KeyCollator::~KeyCollator() = default;

int KeyCollator::CompareText(const icu::UnicodeString& a, const icu::UnicodeString& b) const {
  UErrorCode err = U_ZERO_ERROR;
  return static_cast<int>(collator_->compare(a, b, err));
}

int KeyCollator::Compare(std::string_view a, std::string_view b) const {
  return CompareText(FoldedKey(a), FoldedKey(b));
}

void KeyCollator::AppendSortKey(std::string_view key, std::string& out) const {
  const icu::UnicodeString folded = FoldedKey(key);
  const std::size_t start = out.size();
  int32_t room = folded.length() * 4 + 16;
  for (;;) {
    out.resize(start + static_cast<std::size_t>(room));
    const int32_t need =
        collator_->getSortKey(folded, reinterpret_cast<uint8_t*>(out.data() + start), room);
    if (need <= room) {
      // Drop the terminating zero byte: sort keys hold no other zero.
      out.resize(start + static_cast<std::size_t>(need > 0 ? need - 1 : 0));
      return;
    }
    room = need;
  }
}

std::string KeyCollator::SortKey(std::string_view key) const {
  std::string out;
  AppendSortKey(key, out);
  return out;
}

int KeyCollator::CompareFileNames(const std::filesystem::path& a,
                                  const std::filesystem::path& b) const {
  const std::string& na = a.native();
  const std::string& nb = b.native();
  if (int c = CompareText(FoldedName(na), FoldedName(nb)); c != 0) return c;
  return na.compare(nb) < 0 ? -1 : (na == nb ? 0 : 1);
}
