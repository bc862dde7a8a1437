#include "FileNameText.h"

#include <optional>

#include <QFile>

#include "quenText.h"

ShownFileName ShowFileName(const std::filesystem::path& name) {
  const std::string& bytes = name.native();
  // The same rules as the engine's names in the log and reports.
  if (!quenText::IsValidUtf8(bytes)) {
    if (std::optional<icu::UnicodeString> text = quenText::DecodeCp932Strict(bytes)) {
      return {QString(reinterpret_cast<const QChar*>(text->getBuffer()), text->length()), true};
    }
  }
  return {QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size()))), false};
}
