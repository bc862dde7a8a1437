#include "FileNameText.h"

#include <memory>
#include <optional>

#include <QFile>
#include <QStringDecoder>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

namespace {

bool IsUtf8(std::string_view bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  // The decoder only reports errors once its text has been taken.
  const QString decoded = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  return !utf8.hasError();
}

// The text of CP932 bytes, or nothing when a byte sequence is not CP932:
// no substitution character may stand in for it.
std::optional<QString> FromCp932(std::string_view bytes) {
  UErrorCode error = U_ZERO_ERROR;
  // "windows-31j" is Microsoft's table, NEC and IBM extensions included.
  const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(
      ucnv_open("windows-31j", &error), &ucnv_close);
  if (U_FAILURE(error)) return std::nullopt;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  const icu::UnicodeString text(bytes.data(), int32_t(bytes.size()), converter.get(), error);
  if (U_FAILURE(error)) return std::nullopt;
  return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

}  // namespace

ShownFileName ShowFileName(std::string_view bytes) {
  if (!IsUtf8(bytes)) {
    if (std::optional<QString> text = FromCp932(bytes)) return {*text, true};
  }
  return {QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size()))), false};
}
