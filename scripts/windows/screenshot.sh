#!/usr/bin/env bash
# Saves a picture of the Windows TextCnv window after a conversion run, as
# wine draws it on an Xvfb screen:
#
#   scripts/windows/screenshot.sh [BIN] [FOLDER] [OUTPUT.png]
#
# BIN is the folder holding TextCnv.exe (default build-windows/app, or a
# dist folder); FOLDER (default samples/basic) is copied to "取込データ" on
# the desktop of a private wine prefix and left as it is; OUTPUT defaults to
# docs/windows.png. The tests' driver (textcnv-screenshot.exe --start,
# tests/window/TextCnvDriver.h), put beside the programs, starts the window as
# TextCnv.exe does, takes the copy as if confirmed in its folder browser,
# converts it with its boxes answered unseen, prints the texts of the log's
# context menu and saves what the screen shows of the window.
# Wine runs as a virtual desktop, so the window has the frame Windows draws.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bin=$(cd "${1:-$root/build-windows/app}" && pwd)
folder=$(cd "${2:-$root/samples/basic}" && pwd)
output=${3:-$root/docs/windows.png}
[ -f "$bin/TextCnv.exe" ] || { echo "screenshot: no $bin/TextCnv.exe" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")

if [ "${TEXTCNV_INSIDE_XVFB:-}" != 1 ]; then
  TEXTCNV_INSIDE_XVFB=1 exec timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash "${BASH_SOURCE[0]}" "$bin" "$folder" "$output"
fi

# shellcheck source=scripts/windows/wine-env.sh disable=SC2154  # it sets textcnv_wine_tmp
source "$root/scripts/windows/wine-env.sh"
textcnv_wine_setup
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# Wine's own fonts (the caption's, the dialogs') have no Japanese: it is
# drawn from the IPA font, as a Japanese Windows links its fonts.
for font in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "$font" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1
done
wineserver -w

desktop=$(find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -name Desktop | head -n1)
[ -n "$desktop" ] || { echo "screenshot: the prefix has no desktop folder" >&2; exit 1; }
copy=$desktop/取込データ
cp -r "$folder" "$copy"
rm -rf "$copy/処理後"
picture=$textcnv_wine_tmp/windows.png
log=$textcnv_wine_tmp/log

driven=$(textcnv_driver_folder "$bin")
timeout 300 wine "$driven/textcnv-screenshot.exe" --start --answer-boxes --log-menu \
  --convert "$(textcnv_wine_path "$copy")" --picture "$(textcnv_wine_path "$picture")" \
  >"$log" 2>&1 || true
if ! textcnv_has_line "$log" "picture saved"; then
  echo "screenshot: no picture; the program printed:" >&2
  cat "$log" >&2
  exit 1
fi
cp "$picture" "$output"
# What the driver printed of the log's context menu.
tr -d '\r' <"$log" | grep -a '^log menu: ' || true
echo "screenshot: $output"
