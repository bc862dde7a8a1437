#!/usr/bin/env bash
# Saves a picture of the TextCnv window after a conversion run:
#
#   scripts/screenshot.sh [FOLDER] [OUTPUT.png] [FINDINGS.png]
#
# FOLDER (default samples/basic) is copied first and left as it is; OUTPUT
# defaults to docs/screenshot.png, FINDINGS (the findings window over the
# main window) to docs/findings.png. The window runs under Xvfb with a runtime
# folder and home of its own; textcnv-screenshot (tests/window) drives it.
# TEXTCNV_SCREENSHOT_BIN names that program, build/tests/window/... by default.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$root/samples/basic}"
output="${2:-$root/docs/screenshot.png}"
findings="${3:-$root/docs/findings.png}"
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
mkdir -m 700 "$work/runtime"
copy="$work/取込データ"
cp -r "$folder" "$copy"
rm -rf "$copy/処理後"
mkdir -p "$(dirname "$output")"
output="$(cd "$(dirname "$output")" && pwd)/$(basename "$output")"
mkdir -p "$(dirname "$findings")"
findings="$(cd "$(dirname "$findings")" && pwd)/$(basename "$findings")"

XDG_RUNTIME_DIR="$work/runtime" HOME="$work" \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$bin" "$copy" "$output" "$findings"
echo "screenshot: $output $findings"
