#!/usr/bin/env bash
# `make windows-test`: the Windows build, checked under wine.
# 1. The engine test suite, built for Windows, run by CTest under wine.
# 2. textcnv-batch.exe (from dist/windows) and the Linux textcnv-batch
#    convert the same folders (samples/basic and 10,000 generated records):
#    every output file, standard output and standard error must be the same
#    bytes.
# 3. The single-instance guard between TextCnv.exe processes.
# 4. A picture of TextCnv.exe after a run under wine and Xvfb.
#   test.sh LINUX_BUILD   the Linux build folder (textcnv-batch and
#                         textcnv-make-folder built there)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
linux=$(cd "${1:-$root/build}" && pwd)
dist=$root/dist/windows
tests=$root/build-windows-test
prefix=$(bash "$here/toolchain.sh" --print-dir)
[ -x "$dist/textcnv-batch.exe" ] || { echo "windows-test: run 'make windows' first" >&2; exit 1; }

echo "== engine tests under wine"
cmake -S "$root" -B "$tests" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/scripts/windows/mingw-w64-x86_64.cmake" \
  -DTEXTCNV_WINDOWS_PREFIX="$prefix" -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
cmake --build "$tests" -j "$(nproc)"
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"
textcnv_wine_setup
(cd "$tests" && ctest --output-on-failure -j "$(nproc)")

echo "== textcnv-batch.exe against the Linux build"
work=$textcnv_wine_tmp/compare
mkdir -p "$work"
"$linux/bench/textcnv-make-folder" "$work/gen10000" 10000 >/dev/null
failed=0
for source in "$root/samples/basic" "$work/gen10000"; do
  name=$(basename "$source")
  for side in linux windows; do
    rm -rf "$work/$side-$name"
    cp -r "$source" "$work/$side-$name"
  done
  status_linux=0
  status_windows=0
  "$linux/cli/textcnv-batch" "$work/linux-$name" >"$work/linux-$name.out" \
    2>"$work/linux-$name.err" || status_linux=$?
  # C.UTF-8: wine names the host's files in the host locale's encoding.
  LC_ALL=C.UTF-8 wine "$dist/textcnv-batch.exe" "$work/windows-$name" >"$work/windows-$name.out" \
    2>"$work/windows-$name.err" || status_windows=$?
  outputs_linux=$(cd "$work/linux-$name/処理後" && ls -A)
  outputs_windows=$(cd "$work/windows-$name/処理後" && ls -A)
  same=1
  [ "$status_linux" = "$status_windows" ] || same=0
  [ "$outputs_linux" = "$outputs_windows" ] || same=0
  cmp -s "$work/linux-$name.out" "$work/windows-$name.out" || same=0
  cmp -s "$work/linux-$name.err" "$work/windows-$name.err" || same=0
  while read -r file; do
    cmp -s "$work/linux-$name/処理後/$file" "$work/windows-$name/処理後/$file" || same=0
  done <<<"$outputs_linux"
  if [ "$same" = 1 ]; then
    echo "$name: exit status, standard output, standard error and $(wc -l <<<"$outputs_linux") outputs the same bytes"
  else
    echo "$name: the Windows build differs from the Linux build (kept in $work)" >&2
    diff <(cd "$work/linux-$name/処理後" && ls -l) <(cd "$work/windows-$name/処理後" && ls -l) >&2 || true
    failed=1
  fi
done
if [ "$failed" = 1 ]; then
  trap - EXIT  # keep the folders for a look
  exit 1
fi
textcnv_wine_cleanup
trap - EXIT

echo "== single-instance guard"
bash "$here/instance-test.sh" "$dist"

echo "== the window under wine"
bash "$here/screenshot.sh" "$dist" "$root/samples/basic" "$root/build-windows-test/windows.png"
