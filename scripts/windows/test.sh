#!/usr/bin/env bash
# `make windows-test`: the Windows build, checked under wine.
# 1. The engine test suite, built for Windows, run by CTest under wine.
# 2. textcnv-batch.exe (from dist/windows) and the Linux textcnv-batch
#    convert the same folders (samples/basic and 10,000 generated records):
#    every output file, standard output and standard error must be the same
#    bytes.
#    The engine tests and textcnv-batch.exe run with the programs' trimmed
#    ICU data, which must collate every locale as the whole data does.
# 3. The installer: installed per machine, its files, shortcut and
#    Add/Remove Programs entry; the installed textcnv-batch.exe compared
#    the same way; uninstalled, the prefix as before.
# 4. The single-instance guard between TextCnv.exe processes.
# 5. A picture of TextCnv.exe after a run under wine and Xvfb, whose log's
#    context menu must be in Japanese.
#   test.sh LINUX_BUILD   the Linux build folder (textcnv-batch and
#                         textcnv-make-folder built there)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
linux=$(cd "${1:-$root/build}" && pwd)
dist=$root/dist/windows
tests=$root/build-windows-test
prefix=$(bash "$here/toolchain.sh" --print-dir)
# libxlsxwriter, built beside the toolchain where it is not yet.
xlsxwriter=$(bash "$here/xlsxwriter.sh")
[ -x "$dist/textcnv-batch.exe" ] || { echo "windows-test: run 'make windows' first" >&2; exit 1; }

echo "== engine tests under wine, with the programs' trimmed ICU data"
bash "$here/icu-data.sh" "$prefix" "$tests/icu-data"
icu_data=$tests/icu-data/libicudt-trimmed.a
cmake -S "$root" -B "$tests" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/scripts/windows/mingw-w64-x86_64.cmake" \
  -DTEXTCNV_WINDOWS_PREFIX="$prefix" \
  -DTEXTCNV_XLSXWRITER_PREFIX="$xlsxwriter/prefix" -DICU_DATA_LIBRARY_RELEASE="$icu_data" \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
cmake --build "$tests" -j "$(nproc)"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
textcnv_wine_setup
(cd "$tests" && ctest --output-on-failure -j "$(nproc)")

echo "== collation with the trimmed ICU data against the whole"
# Every locale a Windows user may have chosen collates as with all of ICU's data.
for data in whole trimmed; do
  library=$prefix/icu/lib/sicudt.a
  [ $data = whole ] || library=$icu_data
  x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -static "$here/collation_check.cpp" \
    -I"$prefix/icu/include" -L"$prefix/icu/lib" -licuin -licuuc "$library" \
    -o "$textcnv_wine_tmp/collation-$data.exe"
done
wine "$textcnv_wine_tmp/collation-whole.exe" list | tr -d '\r' >"$textcnv_wine_tmp/locales"
for data in whole trimmed; do
  wine "$textcnv_wine_tmp/collation-$data.exe" keys "$(textcnv_wine_path "$textcnv_wine_tmp/locales")" |
    tr -d '\r' >"$textcnv_wine_tmp/collation-$data"
done
if ! diff "$textcnv_wine_tmp/collation-whole" "$textcnv_wine_tmp/collation-trimmed" >&2; then
  echo "windows-test: the trimmed ICU data collates differently" >&2
  exit 1
fi
echo "$(wc -l <"$textcnv_wine_tmp/locales") locale names collate the same"

echo "== textcnv-batch.exe against the Linux build"
work=$textcnv_wine_tmp/compare
mkdir -p "$work"
"$linux/bench/textcnv-make-folder" "$work/gen10000" 10000 >/dev/null
# Wine takes the user's Windows locale from LC_ALL: C.UTF-8 gives en-US; a
# ja_JP.UTF-8 of our own (the host may have none) gives ja-JP. Both name the
# host's files in UTF-8.
export LOCPATH=$textcnv_wine_tmp/host-locales
mkdir -p "$LOCPATH"
localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
[ -d "$LOCPATH/ja_JP.UTF-8" ] || { echo "windows-test: cannot make the ja_JP.UTF-8 locale" >&2; exit 1; }
failed=0
# compare EXE LC_ALL SOURCE...: the Windows program converts copies of each
# source as the Linux one does, to the byte.
compare() {
  local exe=$1 locale=$2 source name linux_side windows_side status_linux status_windows
  shift 2
  for source in "$@"; do
    name=$(basename "$source")
    linux_side=$work/linux-$name
    windows_side=$work/windows-$name-$locale
    rm -rf "$linux_side" "$windows_side"
    cp -r "$source" "$linux_side"
    cp -r "$source" "$windows_side"
    status_linux=0
    status_windows=0
    "$linux/cli/textcnv-batch" "$linux_side" >"$linux_side.out" 2>"$linux_side.err" || status_linux=$?
    LC_ALL=$locale wine "$exe" "$windows_side" >"$windows_side.out" 2>"$windows_side.err" ||
      status_windows=$?
    local outputs_linux outputs_windows same=1 file
    outputs_linux=$(cd "$linux_side/処理後" && ls -A)
    outputs_windows=$(cd "$windows_side/処理後" 2>/dev/null && ls -A) || true
    [ "$status_linux" = "$status_windows" ] || same=0
    [ "$outputs_linux" = "$outputs_windows" ] || same=0
    cmp -s "$linux_side.out" "$windows_side.out" || same=0
    cmp -s "$linux_side.err" "$windows_side.err" || same=0
    while read -r file; do
      cmp -s "$linux_side/処理後/$file" "$windows_side/処理後/$file" || same=0
    done <<<"$outputs_linux"
    if [ "$same" = 1 ]; then
      echo "$name, $(LC_ALL=$locale wine "$textcnv_wine_tmp/locale.exe" | tr -d '\r'): exit status, standard output, standard error and $(wc -l <<<"$outputs_linux") outputs the same bytes"
    else
      echo "$name ($exe, LC_ALL=$locale): the Windows build differs from the Linux build (kept in $work)" >&2
      diff <(cd "$linux_side/処理後" && ls -l) <(cd "$windows_side/処理後" && ls -l) >&2 || true
      failed=1
    fi
  done
}
# The user's locale as Windows programs see it, for the lines above.
printf '%s\n' '#include <windows.h>' '#include <stdio.h>' \
  'int main(void) { wchar_t n[LOCALE_NAME_MAX_LENGTH]; GetUserDefaultLocaleName(n, LOCALE_NAME_MAX_LENGTH); printf("%ls\n", n); return 0; }' \
  >"$textcnv_wine_tmp/locale.c"
x86_64-w64-mingw32-gcc-posix "$textcnv_wine_tmp/locale.c" -o "$textcnv_wine_tmp/locale.exe"
# The program shares its ICU data file; from a folder with a Japanese name
# too, as an operator may unzip it.
copy=$work/配布
cp -r "$dist" "$copy"
compare "$copy/textcnv-batch.exe" C.UTF-8 "$root/samples/basic" "$work/gen10000"
compare "$copy/textcnv-batch.exe" ja_JP.UTF-8 "$work/gen10000"
# The findings workbook holds the same sheet (its file's dates differ).
for side in linux windows; do cp -r "$root/samples/basic" "$work/一覧-$side"; done
"$linux/cli/textcnv-batch" --findings "$work/一覧-linux.xlsx" "$work/一覧-linux" >/dev/null 2>&1
wine "$copy/textcnv-batch.exe" --findings "$work/一覧-windows.xlsx" "$work/一覧-windows" \
  >/dev/null 2>&1 || true
if cmp -s <(python3 "$root/tests/tools/xlsx_cells.py" "$work/一覧-linux.xlsx") \
          <(python3 "$root/tests/tools/xlsx_cells.py" "$work/一覧-windows.xlsx" 2>&1); then
  echo "--findings 一覧.xlsx: the same sheet as the Linux build's"
else
  echo "--findings 一覧.xlsx: the Windows build's workbook differs (kept in $work)" >&2
  failed=1
fi

echo "== the installer under wine"
msi=$(ls "$root"/dist/TextCnv-*-x64.msi)
version=$(sed -n 's/^project(TextCnv VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/TextCnv"
# What the prefix holds, less what Windows itself keeps changing (Windows
# Installer's own cache, temporary files).
snapshot() {
  (cd "$drive" && find . \( -path ./windows/Installer -o -path ./windows/temp \
    -o -path './users/*/AppData/Local/Temp' \) -prune -o -print | sort)
}
# uninstall_entry FILE: the product's Add/Remove Programs entries, as text.
uninstall_entry() {
  wine reg export 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
    "$(textcnv_wine_path "$1.reg")" /y >/dev/null 2>&1 || true
  iconv -f UTF-16 -t UTF-8 "$1.reg" | tr -d '\r' >"$1"
}
msi_fail() {
  echo "windows-test: the installer: $*" >&2
  failed=1
}
snapshot >"$work/before-install"
LC_ALL=C.UTF-8 wine msiexec /i "$(textcnv_wine_path "$msi")" /qn \
  /l*v "$(textcnv_wine_path "$work/install.log")" || msi_fail "msiexec /i ended with $?"
wineserver -w
grep -aq 'Property(S): ALLUSERS = 1' "$work/install.log" || msi_fail "not installed per machine"
diff -r "$dist" "$installed" >&2 || msi_fail "Program Files\\TextCnv differs from dist/windows"
shortcut=$(find "$drive" -path '*/Start Menu/Programs/Velmoraテキストユーティリティ.lnk')
[ -n "$shortcut" ] || msi_fail "no Start-menu shortcut 「Velmoraテキストユーティリティ」"
uninstall_entry "$work/installed.reg"
grep -qx '"DisplayName"="Velmoraテキストユーティリティ"' "$work/installed.reg" ||
  msi_fail "no Add/Remove Programs entry named 「Velmoraテキストユーティリティ」"
grep -qx "\"DisplayVersion\"=\"$version\"" "$work/installed.reg" ||
  msi_fail "Add/Remove Programs does not show version $version"
compare "$installed/textcnv-batch.exe" C.UTF-8 "$work/gen10000"
LC_ALL=C.UTF-8 wine msiexec /x "$(textcnv_wine_path "$msi")" /qn || msi_fail "msiexec /x ended with $?"
wineserver -w
snapshot >"$work/after-uninstall"
diff "$work/before-install" "$work/after-uninstall" >&2 ||
  msi_fail "uninstalling did not leave the prefix as it was"
uninstall_entry "$work/uninstalled.reg"
grep -q 'Velmora' "$work/uninstalled.reg" && msi_fail "the Add/Remove Programs entry is left"
wine reg query 'HKLM\Software\Velmora' >/dev/null 2>&1 && msi_fail "HKLM\\Software\\Velmora is left"
[ "$failed" = 1 ] || echo "$(basename "$msi"): installed per machine with its shortcut and entry, ran, and uninstalled without a trace"

if [ "$failed" = 1 ]; then
  trap - EXIT  # keep the folders for a look
  exit 1
fi
textcnv_wine_cleanup
trap - EXIT

echo "== single-instance guard"
bash "$here/instance-test.sh" "$dist"

echo "== the window under wine"
shown=$(TEXTCNV_LOG_MENU_FOR_TEST=1 bash "$here/screenshot.sh" "$dist" "$root/samples/basic" \
  "$root/build-windows-test/windows.png")
echo "$shown"
# Qt's Japanese words are found beside the program.
if ! grep -q '^log menu: .*コピー' <<<"$shown"; then
  echo "windows-test: the log's context menu is not in Japanese" >&2
  exit 1
fi
