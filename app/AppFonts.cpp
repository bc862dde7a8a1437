#include "AppFonts.h"

#include <QStringList>

namespace {

QFont FontOf(const QStringList& families, int pixelSize) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

QFont PGothicFont(int pixelSize) {
  return FontOf({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                 QStringLiteral("IPA Pゴシック")},
                pixelSize);
}

QFont MinchoFont(int pixelSize) {
  return FontOf(
      {QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"), QStringLiteral("IPA明朝")},
      pixelSize);
}
