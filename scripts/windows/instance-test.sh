#!/usr/bin/env bash
# Proves the Windows single-instance guard under wine, with real TextCnv.exe
# processes on an Xvfb display (Qt's windows platform, so real top-level
# windows that carry the property), the first of them, where it must be
# minimised or open its folder browser, the tests' driver running the same
# start-up (textcnv-screenshot.exe --start, tests/window/TextCnvDriver.h):
#   instance-test.sh [FOLDER]   FOLDER holds TextCnv.exe (default
#                               build-windows/app, or a dist folder)
# The guard's trace (app/InstanceTrace.h) tells what each process did.
# 1. A first start, minimised, runs and says "listening".
# 2. A second start finds its window, restores and raises it, ends with 0
#    without ever listening; the first is restored and still runs.
# 3. A third start does the same.
# 4. Once the first has ended, a new start runs as the first again.
# 5. With the folder browser open over the first (it disables the window),
#    a later start still finds the window and ends.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
folder=$(cd "${1:-$root/build-windows/app}" && pwd)
exe=$folder/TextCnv.exe
[ -f "$exe" ] || { echo "instance-test: no $exe" >&2; exit 1; }

if [ "${TEXTCNV_INSIDE_XVFB:-}" != 1 ]; then
  TEXTCNV_INSIDE_XVFB=1 exec timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash "${BASH_SOURCE[0]}" "$folder"
fi

# shellcheck source=scripts/windows/wine-env.sh disable=SC2154  # it sets textcnv_wine_tmp
source "$root/scripts/windows/wine-env.sh"
textcnv_wine_setup
folder=$(textcnv_driver_folder "$folder")
exe=$folder/TextCnv.exe
driver=$folder/textcnv-screenshot.exe
# Wine hands no QT_ variable of the host to a Windows program, only the
# WINEQT_ ones, without their WINE.
export WINEQT_LOGGING_RULES=textcnv.instance.debug=true WINEQT_FORCE_STDERR_LOGGING=1
trace='textcnv.instance: '
log=$textcnv_wine_tmp/logs
mkdir -p "$log"
failures=0

fail() {
  echo "instance-test: FAIL: $*" >&2
  failures=$((failures + 1))
}

# wait_for FILE TEXT SECONDS
wait_for() {
  local i
  for ((i = 0; i < $3 * 2; i++)); do
    textcnv_has_line "$1" "$2" && return 0
    sleep 0.5
  done
  return 1
}

# start_first NAME PROGRAM [DRIVER OPTION...]
start_first() {
  local name=$1
  shift
  wine "$@" >"$log/$name" 2>&1 &
  first_pid=$!
  wait_for "$log/$name" "${trace}listening" 90 || fail "$name never listened: $(cat "$log/$name")"
}

# later_start NAME: a start while the first runs must end at once.
later_start() {
  local status=0
  timeout 120 wine "$exe" >"$log/$1" 2>&1 || status=$?
  [ "$status" = 0 ] || fail "$1 ended with $status"
  textcnv_has_line "$log/$1" "${trace}listening" && fail "$1 ran as a second instance"
  textcnv_has_line "$log/$1" "${trace}brought forward" || fail "$1 did not find the running window"
}

start_first first "$driver" --start --minimized
later_start second
wait_for "$log/first" "${trace}minimized=1->0" 30 || fail "the first was not restored: $(cat "$log/first")"
kill -0 "$first_pid" 2>/dev/null || fail "the first ended"
later_start third
kill -0 "$first_pid" 2>/dev/null || fail "the first ended after the third start"

# Ending every wine process ends the first; its mutex goes with it.
wineserver -k
wait "$first_pid" 2>/dev/null || true
start_first next "$exe"
wineserver -k

wait "$first_pid" 2>/dev/null || true
start_first browsing "$driver" --start --open browser
wait_for "$log/browsing" modal 60 || fail "the folder browser did not open: $(cat "$log/browsing")"
later_start over-browser
kill -0 "$first_pid" 2>/dev/null || fail "the first ended under its folder browser"
wineserver -k

if [ "$failures" = 0 ]; then
  echo "instance-test: passed"
else
  for f in "$log"/*; do echo "== $(basename "$f")"; cat "$f"; done >&2
  exit 1
fi
