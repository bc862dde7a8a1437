#!/usr/bin/env bash
# Proves a Windows toolchain folder usable: a program using its ICU (the
# windows-31j converter, a Japanese collator) is built and run under wine, and
# a Qt Widgets and Network program is built through CMake with
# mingw-w64-x86_64.cmake, and run under wine on Qt's offscreen platform.
#   check.sh <folder made by toolchain.sh>
set -euo pipefail

dir=$(cd "$1" && pwd)
script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$dir/check
rm -rf "$work"
mkdir -p "$work/icu" "$work/qt"

cat >"$work/icu/hello.cpp" <<'EOF'
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <cstring>
#include <memory>

int main() {
  UErrorCode status = U_ZERO_ERROR;
  UConverter *cnv = ucnv_open("windows-31j", &status);
  if (U_FAILURE(status)) {
    std::printf("ucnv_open: %s\n", u_errorName(status));
    return 1;
  }
  // HIRAGANA LETTER A, then the NEC row 13 circled digit one.
  const char sjis[] = "\x82\xa0\x87\x40";
  UChar text[8];
  int32_t length = ucnv_toUChars(cnv, text, 8, sjis, 4, &status);
  ucnv_close(cnv);
  if (U_FAILURE(status) || length != 2 || text[0] != 0x3042 || text[1] != 0x2460) {
    std::printf("windows-31j decoding went wrong: %s\n", u_errorName(status));
    return 1;
  }

  std::unique_ptr<icu::Collator> coll(icu::Collator::createInstance(icu::Locale("ja"), status));
  if (U_FAILURE(status)) {
    std::printf("collator: %s\n", u_errorName(status));
    return 1;
  }
  const char *actual = coll->getLocale(ULOC_ACTUAL_LOCALE, status).getName();
  UCollationResult order =
      coll->compare(icu::UnicodeString(u"\u3042"), icu::UnicodeString(u"\u3044"), status);
  if (U_FAILURE(status) || std::strcmp(actual, "ja") != 0 || order != UCOL_LESS) {
    std::printf("ja collator went wrong: %s, locale %s\n", u_errorName(status), actual);
    return 1;
  }
  std::printf("ICU %s: windows-31j and the ja collator work\n", U_ICU_VERSION);
  return 0;
}
EOF

cat >"$work/qt/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.21)
project(hello_qt LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(Qt6 REQUIRED COMPONENTS Widgets Network)
find_package(ICU REQUIRED COMPONENTS uc i18n data)
add_executable(hello_qt main.cpp)
target_link_libraries(hello_qt PRIVATE Qt6::Widgets Qt6::Network ICU::i18n ICU::uc ICU::data)
EOF
cat >"$work/qt/main.cpp" <<'EOF'
#include <QApplication>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>
#include <thread>
#include <unicode/ucol.h>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("hello"));
  label.show();
  QLocalServer server;
  if (!server.listen(QStringLiteral("textcnv-check"))) {
    std::printf("QLocalServer: %s\n", qPrintable(server.errorString()));
    return 1;
  }
  QLocalSocket socket;
  socket.connectToServer(QStringLiteral("textcnv-check"));
  const bool connected = socket.waitForConnected(5000);
  UErrorCode status = U_ZERO_ERROR;
  UCollator *coll = ucol_open("ja", &status);
  ucol_close(coll);
  int answer = 0;
  std::jthread worker([&answer] { answer = 42; });
  worker.join();
  std::printf("Qt %s on %s: label %s, local socket %s, ICU %s, jthread %d\n", qVersion(),
              qPrintable(QApplication::platformName()), qPrintable(label.text()),
              connected ? "connected" : "failed", u_errorName(status), answer);
  return connected && U_SUCCESS(status) && answer == 42 ? 0 : 1;
}
EOF

echo "== ICU program, built with $(x86_64-w64-mingw32-g++-posix --version | head -n1)"
# Static, so that wine needs none of the compiler's DLLs for it.
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static "$work/icu/hello.cpp" \
  -I"$dir/icu/include" -L"$dir/icu/lib" -licuin -licuuc -licudt \
  -o "$work/icu/hello_icu.exe"

echo "== Qt program, through CMake and mingw-w64-x86_64.cmake"
cmake -S "$work/qt" -B "$work/qt/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$script_dir/mingw-w64-x86_64.cmake" \
  -DTEXTCNV_WINDOWS_PREFIX="$dir"
cmake --build "$work/qt/build"

echo "== Running both under wine"
tmp=$(mktemp -d /tmp/textcnv-wine.XXXXXX)
cleanup() {
  WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# The compiler's runtime DLLs and Qt's, found the way Windows finds DLLs.
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="$gcc_dlls;/usr/x86_64-w64-mingw32/lib;$dir/qt/bin"
wine "$work/icu/hello_icu.exe"
# wine does not hand QT_QPA_PLATFORM on, so the platform is an argument.
wine "$work/qt/build/hello_qt.exe" -platform offscreen
