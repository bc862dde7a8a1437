#include "KeyCollator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>

#include "SortKeyShortcut.h"
#include "quenFile.h"
#include "quenPlatform.h"
#include "quenShow.h"
#include "quenText.h"

namespace {

std::string TooLongMessage(std::size_t bytes, std::size_t limit) {
  return "キーが長すぎるため照合できません（" + std::to_string(bytes) + " バイト、上限 " +
         std::to_string(limit) + " バイト）";
}

void CheckKeyLength(std::string_view key) {
  if (key.size() > KeyCollator::kMaxKeyBytes) {
    throw KeyTooLongError(key.size(), KeyCollator::kMaxKeyBytes);
  }
}

icu::UnicodeString Folded(icu::UnicodeString s) {
  s.foldCase(U_FOLD_CASE_DEFAULT);
  if (s.isBogus()) throw std::bad_alloc();
  return s;
}

icu::UnicodeString FoldedKey(std::string_view cp932) {
  CheckKeyLength(cp932);
  return Folded(quenText::Decode(cp932));
}

icu::UnicodeString FoldedName(std::string_view native) {
  return Folded(quenText::FileNameText(native));
}

}  // namespace

struct KeyCollator::ShortcutState {
  std::once_flag learning;
  std::unique_ptr<const SortKeyShortcut> learned;
  // Set once learned is complete; sort keys are made on any thread.
  std::atomic<const SortKeyShortcut*> ready{nullptr};
};

KeyTooLongError::KeyTooLongError(std::size_t bytes, std::size_t limit)
    : std::runtime_error(TooLongMessage(bytes, limit)), bytes_(bytes) {}

const KeyCollator& KeyCollator::Default() {
  static const KeyCollator collator(LocaleFromEnvironment());
  return collator;
}

std::string KeyCollator::LocaleFromEnvironment() {
  std::string name = quenPlatform::UserLocaleName();
  name = name.substr(0, name.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return "ja";
  return name;
}

KeyCollator::KeyCollator(const std::string& locale, Shortcut shortcut) {
  UErrorCode err = U_ZERO_ERROR;
  collator_.reset(icu::Collator::createInstance(icu::Locale(locale.c_str()), err));
  if (U_FAILURE(err) || !collator_) {
    throw std::runtime_error("照合順序のロケール「" + quenShow::EscapeControls(locale) +
                             "」は使えません（ICU の照合器を作れません）");
  }
  collator_->setStrength(icu::Collator::IDENTICAL);
  if (shortcut == Shortcut::kOn) shortcut_ = std::make_shared<ShortcutState>();
}

KeyCollator::KeyCollator(const KeyCollator& other)
    : collator_(other.collator_->clone()), shortcut_(other.shortcut_) {
  if (!collator_) throw std::runtime_error("照合器を複製できません（ICU）");
}

KeyCollator::~KeyCollator() = default;

int KeyCollator::CompareText(const icu::UnicodeString& a, const icu::UnicodeString& b) const {
  UErrorCode err = U_ZERO_ERROR;
  const UCollationResult result = collator_->compare(a, b, err);
  if (U_FAILURE(err)) {
    throw std::runtime_error(std::string("キーを照合できません（ICU: ") + u_errorName(err) + "）");
  }
  return static_cast<int>(result);
}

int KeyCollator::Compare(std::string_view a, std::string_view b) const {
  const icu::UnicodeString fa = FoldedKey(a);
  const icu::UnicodeString fb = FoldedKey(b);
  if (const int c = CompareText(fa, fb); c != 0) return c;
  const int c = fa.compareCodePointOrder(fb);
  return (c > 0) - (c < 0);
}

bool KeyCollator::AppendShortcutSortKey(std::string_view key, std::string& out) const {
  // The shortcut takes short keys only, so no key it covers is too long.
  const SortKeyShortcut* shortcut =
      shortcut_ ? shortcut_->ready.load(std::memory_order_acquire) : nullptr;
  return shortcut != nullptr && shortcut->Append(key, out);
}

void KeyCollator::AppendSortKey(std::string_view key, std::string& out) const {
  CheckKeyLength(key);
  if (AppendShortcutSortKey(key, out)) return;
  const icu::UnicodeString folded = FoldedKey(key);
  AppendIcuSortKey(folded, out);
  AppendTieBreak(folded, out);
}

void KeyCollator::AppendIcuSortKey(const icu::UnicodeString& folded, std::string& out) const {
  const std::size_t start = out.size();
  // Enough for most keys at once; ICU tells what it needs when not.
  int32_t room = quenText::IcuLength(static_cast<std::size_t>(folded.length()), 4, 16);
  for (;;) {
    out.resize(start + static_cast<std::size_t>(room));
    const int32_t need =
        collator_->getSortKey(folded, reinterpret_cast<uint8_t*>(out.data() + start), room);
    if (need <= 0) {
      out.resize(start);
      throw std::runtime_error("キーの照合順序を求められません（ICU の照合キーを作れません）");
    }
    if (need <= room) {
      // Drop the terminating zero byte: sort keys hold no other zero.
      out.resize(start + static_cast<std::size_t>(need - 1));
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

void KeyCollator::LearnShortcut() const {
  if (!shortcut_) return;
  std::call_once(shortcut_->learning, [this] {
    shortcut_->learned = std::make_unique<const SortKeyShortcut>(*collator_);
    shortcut_->ready.store(shortcut_->learned.get(), std::memory_order_release);
  });
}

std::string KeyCollator::ShortcutCharacters() const {
  const SortKeyShortcut* shortcut =
      shortcut_ ? shortcut_->ready.load(std::memory_order_acquire) : nullptr;
  return shortcut != nullptr ? shortcut->Characters() : std::string();
}

int KeyCollator::CompareFileNames(const std::filesystem::path& a,
                                  const std::filesystem::path& b) const {
  return CompareFileNameBytes(quenFile::PathBytes(a), quenFile::PathBytes(b));
}

int KeyCollator::CompareFileNameBytes(std::string_view a, std::string_view b) const {
  if (int c = CompareText(FoldedName(a), FoldedName(b)); c != 0) return c;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}
