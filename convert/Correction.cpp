#include "Correction.h"

#include <map>

#include "KeyCollator.h"
#include "LineList.h"
#include "RecordFormat.h"
#include "quenFile.h"
#include "quenOutputFolder.h"
#include "quenText.h"
#include "quenUtil.h"

namespace {

// Where field i of line lies as Split cuts it: nothing when the line has
// no field i (a delimiter at the very end adds no empty field).
std::optional<std::pair<std::size_t, std::size_t>> FieldSpan(std::string_view line, std::size_t i) {
  std::size_t start = 0;
  for (std::size_t skip = 0; skip < i; ++skip) {
    const std::size_t tab = line.find(record::kDelimiter, start);
    if (tab == std::string_view::npos) return std::nullopt;
    start = tab + 1;
  }
  if (i > 0 && start == line.size()) return std::nullopt;
  const std::size_t end = std::min(line.find(record::kDelimiter, start), line.size());
  return std::pair{start, end};
}

std::string_view FieldOf(std::string_view line, std::size_t i) {
  const auto span = FieldSpan(line, i);
  return span ? line.substr(span->first, span->second - span->first) : std::string_view();
}

// The record as the messages name it.
std::string Named(const Finding& f) {
  return "キー「" + quenText::ToUtf8(f.key) + "」（" + quenText::FileNameUtf8(f.file) + " " +
         std::to_string(f.line) + "行目）";
}

// The edit in CP932; refused when a character would not come back as
// itself (CP932 cannot hold it, and saving it would write "?").
std::string Encoded(const std::string& utf8, const std::string& record, const char* field) {
  if (utf8.find_first_of(std::string_view("\t\r\n\0", 4)) != std::string::npos) {
    throw CorrectionRefused(record + "の" + field + "にタブや改行は入れられません");
  }
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    const icu::UnicodeString one(text.char32At(i));
    if (quenText::Decode(quenText::Encode(one)) != one) {
      std::string shown;
      one.toUTF8String(shown);
      throw CorrectionRefused(record + "の" + field + "の文字「" + shown +
                              "」はShift_JIS（CP932）で保存できません");
    }
  }
  return quenText::Encode(text);
}

struct Edit {
  std::size_t field;
  const char* name;
  const std::optional<std::string>& text;
};

std::string CorrectedLine(const Finding& f, const Correction& c) {
  const std::string record = Named(f);
  std::string line(f.text);
  // From the last field back, so that the earlier fields stay where they are.
  const Edit edits[] = {{field::kNdc, "NDC", c.ndc},
                        {field::kReading, "ヨミ", c.reading},
                        {field::kTitle, "書名", c.title}};
  for (const Edit& e : edits) {
    if (!e.text) continue;
    const auto span = FieldSpan(line, e.field);
    if (!span) throw CorrectionRefused(record + "には" + e.name + "の項目がありません");
    line.replace(span->first, span->second - span->first, Encoded(*e.text, record, e.name));
  }
  if (quenUtil::IsBlank(FieldOf(line, field::kTitle))) {
    throw CorrectionRefused(record + "の書名が空白です");
  }
  if (quenUtil::IsBlank(FieldOf(line, field::kReading))) {
    throw CorrectionRefused(record + "のヨミが空白です");
  }
  if (FieldOf(line, field::kNdc).size() > record::kMaxNdcBytes) {
    throw CorrectionRefused(record + "のNDCが" + std::to_string(record::kMaxNdcBytes) +
                            "バイトを超えています");
  }
  return line;
}

// The run's key of a line: field 2, or empty with fewer fields.
std::string_view KeyOf(std::string_view line) { return FieldOf(line, field::kKey); }

}  // namespace

std::vector<std::string> CorrectedLines(const Findings& findings,
                                        const std::vector<Correction>& corrections,
                                        std::string_view importBytes, const KeyCollator& collator) {
  std::vector<std::string> lines;
  // Sort key to the record written with it.
  std::map<std::string, std::string> written;
  for (const Correction& c : corrections) {
    const Finding f = findings[c.finding];
    lines.push_back(CorrectedLine(f, c));
    auto [at, added] = written.emplace(collator.SortKey(KeyOf(lines.back())), Named(f));
    if (!added) throw CorrectionRefused(Named(f) + "と" + at->second + "はキーが同じです");
  }
  if (written.empty()) return lines;
  LineList imported;
  imported.LoadFromBytes(std::string(importBytes));
  if (imported.size() > 20000) collator.LearnShortcut();
  std::string sortKey;
  for (std::string_view line : imported) {
    if (quenUtil::IsBlank(line)) continue;
    sortKey.clear();
    collator.AppendSortKey(KeyOf(line), sortKey);
    if (const auto at = written.find(sortKey); at != written.end()) {
      throw CorrectionRefused(at->second + "のキーは取込用.txtにすでにあります");
    }
  }
  return lines;
}

std::size_t SaveReRegistration(const std::filesystem::path& outputFolder, const Findings& findings,
                               const std::vector<Correction>& corrections) {
  if (corrections.empty()) throw CorrectionRefused("再登録する記録がありません");
  quenFile::OutputFolder folder(outputFolder);
  if (!folder.TryLock()) throw std::runtime_error("このフォルダーは別の変換処理が処理中です");
  // A collator of its own: a run on another folder may be using the
  // shared one on its thread meanwhile.
  const KeyCollator collator(KeyCollator::LocaleFromEnvironment());
  const std::vector<std::string> lines =
      CorrectedLines(findings, corrections, folder.ReadAll(kImportFileName), collator);
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  quenFile::WriteAll(folder, kReRegistrationFileName, bytes);
  folder.Sync();
  return lines.size();
}
