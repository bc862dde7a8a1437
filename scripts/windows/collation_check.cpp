// Built twice by test.sh, against ICU's whole data and against the programs'
// trimmed data (icu-data.sh); both must print the same lines.
//   collation_check list        the locale names a Windows user may have set:
//                               ICU's locales, as ICU and as Windows names them
//   collation_check keys FILE   per name in FILE: the collator's actual locale
//                               and a hash of its sort keys for a fixed text
//                               set, collating as the run does
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char16_t* const kTexts[] = {
    u"",   u"a",  u"A",  u"b",  u"ab", u"Ab", u"ä",  u"æ",  u"ß",  u"ch", u"ll", u"ñ",
    u"ø",  u"å",  u"ö",  u"ı",  u"İ",  u"ş",  u"č",  u"ł",  u"ő",  u"10", u"9",  u"-",
    u" ",  u"あ", u"ア", u"ｱ",  u"ぁ", u"が", u"か", u"ー", u"亜", u"唖", u"漢", u"字",
    u"丂", u"①",  u"Ⅰ",  u"ｶﾞ", u"가", u"한", u"ก",  u"เก", u"я",  u"ё",  u"е",  u"α",
    u"ω",  u"א",  u"ب",  u"क",  u"中", u"文", u"Ǆ",  u"ǅ",  u"ǆ",  u"ﬁ"};

std::uint64_t Fnv(std::uint64_t h, const std::uint8_t* p, std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

void List() {
  std::set<std::string> names;
  int32_t count = 0;
  const icu::Locale* all = icu::Locale::getAvailableLocales(count);
  for (int32_t i = 0; i < count; ++i) {
    std::string name = all[i].getName();
    names.insert(name);
    icu::Locale full = all[i];
    UErrorCode err = U_ZERO_ERROR;
    full.addLikelySubtags(err);
    for (std::string n : {name, std::string(U_SUCCESS(err) ? full.getName() : "")}) {
      if (n.empty()) continue;
      names.insert(n);
      for (char& c : n) c = c == '_' ? '-' : c;  // as Windows writes it
      names.insert(n);
    }
  }
  for (const std::string& n : names) std::printf("%s\n", n.c_str());
}

int Keys(const char* file) {
  std::ifstream in(file);
  std::string name;
  while (std::getline(in, name)) {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(icu::Locale(name.c_str()), err));
    if (U_FAILURE(err) || !c) {
      std::printf("%s: %s\n", name.c_str(), u_errorName(err));
      continue;
    }
    c->setStrength(icu::Collator::IDENTICAL);
    std::uint64_t h = 14695981039346656037ull;
    std::vector<std::uint8_t> key(4096);
    for (const char16_t* t : kTexts) {
      const int32_t n = c->getSortKey(icu::UnicodeString(t), key.data(), 4096);
      h = Fnv(h, key.data(), n);
    }
    const std::string actual = c->getLocale(ULOC_ACTUAL_LOCALE, err).getName();
    std::printf("%s: %s %016llx\n", name.c_str(), actual.c_str(),
                static_cast<unsigned long long>(h));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "list") {
    List();
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "keys") return Keys(argv[2]);
  std::fprintf(stderr, "usage: collation_check list | keys FILE\n");
  return 2;
}
