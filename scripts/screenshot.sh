#!/usr/bin/env bash
# Saves pictures of the TextCnv window after a conversion run, and of its
# folder browser open over it:
#
#   scripts/screenshot.sh [FOLDER] [OUTPUT.png] [BROWSER.png] [FINDINGS.png]
#
# FOLDER (default samples/basic) is copied first and left as it is; OUTPUT
# defaults to docs/screenshot.png, BROWSER to folder-browser.png beside it,
# FINDINGS (the findings window over the main window) to findings.png beside
# it, and the record view over that to correction.png beside FINDINGS. The window runs under Xvfb as a Japanese desktop would have it: a home
# and runtime folder of its own, the desktop named "デスクトップ" and the copy
# "取込データ" on it. textcnv-screenshot (tests/window) drives it.
# TEXTCNV_SCREENSHOT_BIN names that program, build/tests/window/... by default.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$root/samples/basic}"
output="${2:-$root/docs/screenshot.png}"
browser="${3:-$(dirname "$output")/folder-browser.png}"
findings="${4:-$(dirname "$output")/findings.png}"
bin="${TEXTCNV_SCREENSHOT_BIN:-$root/build/tests/window/textcnv-screenshot}"

if [ ! -x "$bin" ]; then
  echo "screenshot: $bin is not built (make build)" >&2
  exit 1
fi
if [ ! -d "$folder" ]; then
  echo "screenshot: no folder $folder" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Hidden, so the folder browser does not list it.
mkdir -m 700 "$work/.runtime"
mkdir -p "$work/.config" "$work/デスクトップ"
echo 'XDG_DESKTOP_DIR="$HOME/デスクトップ"' >"$work/.config/user-dirs.dirs"
copy="$work/デスクトップ/取込データ"
cp -r "$folder" "$copy"
rm -rf "$copy/処理後"
mkdir -p "$(dirname "$output")" "$(dirname "$browser")"
output="$(cd "$(dirname "$output")" && pwd)/$(basename "$output")"
browser="$(cd "$(dirname "$browser")" && pwd)/$(basename "$browser")"
mkdir -p "$(dirname "$findings")"
findings="$(cd "$(dirname "$findings")" && pwd)/$(basename "$findings")"

XDG_RUNTIME_DIR="$work/.runtime" HOME="$work" XDG_CONFIG_HOME="$work/.config" \
  LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$bin" "$copy" "$output" "$browser" \
  "$findings"
echo "screenshot: $output"
echo "screenshot: $browser"
echo "screenshot: $findings"
echo "screenshot: $(dirname "$findings")/correction.png"
