#!/usr/bin/env bash
# Makes the Windows icon app/textcnv.ico from app/textcnv.svg: the picture
# at the sizes Explorer and the taskbar ask for, each as a PNG inside the
# icon file. Run on Linux with the host's Qt (its SVG image plug-in draws):
#   scripts/windows/make-icon.sh [SVG] [ICO]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
svg=${1:-$root/app/textcnv.svg}
ico=${2:-$root/app/textcnv.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/make_icon.cpp" <<'CPP'
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QList<int> sizes = {16, 20, 24, 32, 40, 48, 64, 256};
  QList<QByteArray> pngs;
  for (int size : sizes) {
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    reader.setScaledSize({size, size});
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
      std::fprintf(stderr, "cannot draw %s: %s\n", argv[1], qPrintable(reader.errorString()));
      return 1;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    pngs << png;
  }
  QFile file(QString::fromLocal8Bit(argv[2]));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint16(0) << quint16(1) << quint16(sizes.size());
  quint32 offset = 6 + 16 * sizes.size();
  for (qsizetype i = 0; i < sizes.size(); ++i) {
    const quint8 side = sizes[i] >= 256 ? 0 : quint8(sizes[i]);  // 0 means 256
    out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
        << quint32(pngs[i].size()) << offset;
    offset += pngs[i].size();
  }
  for (const QByteArray& png : pngs) out.writeRawData(png.constData(), int(png.size()));
  return out.status() == QDataStream::Ok && file.flush() ? 0 : 1;
}
CPP

# shellcheck disable=SC2046  # pkg-config's words are meant to split
g++ -std=c++20 -fPIC "$work/make_icon.cpp" -o "$work/make_icon" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/make_icon" "$svg" "$ico"
echo "make-icon: $ico"
