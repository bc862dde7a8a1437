#!/usr/bin/env bash
# libxlsxwriter for x86_64 Windows, cross-built once from Debian's source
# package (the version of the installed libxlsxwriter-dev) as a static
# library with its bundled minizip and Debian's MinGW zlib, into a cache
# folder of its own:
#   ${TEXTCNV_WINDOWS_CACHE:-/var/cache/textcnv-windows}/xlsxwriter-<key>
# It is no stage of the ICU and Qt folder, so that folder's key, and a packed
# copy of it, stay valid. Takes about a minute; `make windows` runs it.
#
#   xlsxwriter.sh              build it where missing, print the folder
#   xlsxwriter.sh --print-dir  print the folder for this key, build nothing
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cache_root=${TEXTCNV_WINDOWS_CACHE:-/var/cache/textcnv-windows}
jobs=${TEXTCNV_WINDOWS_JOBS:-2}

options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
  -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF
  -DUSE_SYSTEM_MINIZIP=OFF -DUSE_OPENSSL_MD5=OFF
)

version_of() {
  dpkg-query -W -f='${Status} ${Version}\n' "$1" 2>/dev/null |
    awk '$3 == "installed" { print $4 }'
}

xlsx_version=$(dpkg-query -W -f='${source:Version}' libxlsxwriter-dev 2>/dev/null || true)
if [ -z "$(version_of libxlsxwriter-dev)" ] || [ -z "$(version_of libz-mingw-w64-dev)" ]; then
  echo "xlsxwriter: libxlsxwriter-dev (make deps) and libz-mingw-w64-dev" \
    "(toolchain.sh --packages) are needed first" >&2
  exit 1
fi
key_text="libxlsxwriter $xlsx_version
$(for p in g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev; do
  echo "$p $(version_of $p)"; done)
cmake: ${options[*]}
toolchain: $(sha256sum "$root/scripts/windows/mingw-w64-x86_64.cmake" | cut -c1-12)"
key=$(printf '%s\n' "$key_text" | sha256sum | cut -c1-12)
dir=$cache_root/xlsxwriter-$key

if [ "${1:-}" = --print-dir ]; then
  echo "$dir"
  exit 0
fi
if [ -f "$dir/stamps/install.done" ]; then
  echo "$dir"
  exit 0
fi

mkdir -p "$dir/stamps"
printf '%s\n' "$key_text" >"$dir/key.txt"
exec 9>"$dir/.lock"
flock 9
log=$dir/build.log
echo "xlsxwriter: building libxlsxwriter $xlsx_version into $dir (log: $log)" >&2
{
  if [ ! -f "$dir/stamps/source.done" ]; then
    bash "$here/toolchain.sh" --source libxlsxwriter "$xlsx_version" "$dir/src"
    touch "$dir/stamps/source.done"
  fi
  src=$(echo "$dir"/src/libxlsxwriter-*)
  rm -rf "$dir/build" "$dir/prefix"
  cmake -S "$src" -B "$dir/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/scripts/windows/mingw-w64-x86_64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$dir/prefix" "${options[@]}"
  cmake --build "$dir/build" --parallel "$jobs"
  cmake --install "$dir/build"
  test -f "$dir/prefix/lib/libxlsxwriter.a"
} >"$log" 2>&1 </dev/null || {
  tail -n 25 "$log" >&2
  echo "xlsxwriter: building libxlsxwriter FAILED; its log: $log" >&2
  exit 1
}
touch "$dir/stamps/install.done"
echo "$dir"
