#include "RecordGenerator.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

class Generator {
 public:
  explicit Generator(uint64_t seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

  // Two-byte CP932 characters from one row range: lead byte fixed per call
  // site, trail bytes 0x40..0x7E and 0x80..0x9E (all assigned in these rows).
  void AppendTwoByte(std::string& out, unsigned leadLow, unsigned leadHigh, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      unsigned lead = leadLow + static_cast<unsigned>(Below(leadHigh - leadLow + 1));
      unsigned trail = 0x40 + static_cast<unsigned>(Below(0x5E));
      if (trail >= 0x7F) ++trail;
      out += static_cast<char>(lead);
      out += static_cast<char>(trail);
    }
  }
  void Kanji(std::string& out, std::size_t n) { AppendTwoByte(out, 0x89, 0x97, n); }
  void Katakana(std::string& out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      out += '\x83';
      unsigned trail = 0x40 + static_cast<unsigned>(Below(0x56));
      if (trail >= 0x7F) ++trail;
      out += static_cast<char>(trail);
    }
  }
  void Digits(std::string& out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out += static_cast<char>('0' + Below(10));
  }

 private:
  std::mt19937_64 rng_;
};

std::string Isbn(Generator& g) {
  std::string key = "978-4-";
  g.Digits(key, 2);
  key += '-';
  g.Digits(key, 6);
  key += '-';
  g.Digits(key, 1);
  return key;
}

std::string RecordLine(Generator& g, std::size_t n, const std::string& key) {
  char id[16];
  std::snprintf(id, sizeof id, "%08zu", n % 100000000);
  std::string line = id;
  line += "\t1\t" + key + '\t';
  if (!g.Chance(0.0025)) g.Kanji(line, 4 + g.Below(10));  // title
  line += '\t';
  if (!g.Chance(0.0025)) g.Katakana(line, 8 + g.Below(16));  // reading
  line += '\t';
  g.Kanji(line, 3 + g.Below(3));  // author
  line += '\t';
  g.Kanji(line, 3 + g.Below(4));  // publisher
  line += "\t20";
  g.Digits(line, 2);
  line += '\t';
  g.Digits(line, 3);
  line += "p\t";
  g.Digits(line, 3);  // NDC
  line += '.';
  g.Digits(line, g.Chance(0.005) ? 10 : 1 + g.Below(3));
  // Twenty short fields up to the usual width of a line.
  for (int f = 10; f < 30; ++f) {
    line += '\t';
    if (f == 17) {
      g.Kanji(line, 2);
    } else {
      g.Digits(line, 6 + g.Below(6));
    }
  }
  return line;
}

}  // namespace

std::uintmax_t GenerateRecordFolder(const std::filesystem::path& folder,
                                    const GeneratorOptions& options) {
  namespace fs = std::filesystem;
  fs::remove_all(folder);
  fs::create_directories(folder);
  Generator g(options.seed);
  std::vector<std::string> keys;
  keys.reserve(options.records);
  std::uintmax_t total = 0;
  std::size_t n = 0;
  for (std::size_t f = 0; f < options.files; ++f) {
    const std::size_t count =
        options.records / options.files + (f < options.records % options.files);
    std::string bytes;
    bytes.reserve(count * 310);
    for (std::size_t i = 0; i < count; ++i, ++n) {
      if (i > 4 && g.Chance(0.0005)) bytes += "\r\n";  // a stray blank line
      std::string key = !keys.empty() && g.Chance(0.01) ? keys[g.Below(keys.size())] : Isbn(g);
      bytes += RecordLine(g, n + 1, key);
      keys.push_back(std::move(key));
      // The last file ends without a final line break.
      if (!(f + 1 == options.files && i + 1 == count)) bytes += "\r\n";
    }
    char name[32];
    std::snprintf(name, sizeof name, "batch%02zu.txt", f + 1);
    std::ofstream(folder / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    total += bytes.size();
  }
  return total;
}
