#!/usr/bin/env bash
# Builds ICU and qtbase for x86_64 Windows once, from Debian's own source
# packages, into a cache folder outside the source tree:
#   ${TEXTCNV_WINDOWS_CACHE:-/var/cache/textcnv-windows}/<key>/{icu,qt}
# The key is a short hash of the Debian package versions and the configure
# options, so a change of either builds into a new folder. Each finished stage
# leaves a stamp, so an interrupted or failed run resumes where it stopped.
#
#   toolchain.sh              build what is missing (a complete cache: one line)
#   toolchain.sh --print-dir  print the cache folder for this key, build nothing
#   toolchain.sh --until STAGE  stop after that stage (see stage_order)
#   toolchain.sh --packages   install the toolchain's packages that are missing
#   toolchain.sh --source PACKAGE VERSION FOLDER  unpack Debian's source of
#                             PACKAGE=VERSION into FOLDER (xlsxwriter.sh's)
#   toolchain.sh --unpack FOLDER  where FOLDER holds a packed cache for the key
#                             this machine gets (FOLDER/<key>.tar.xz), install
#                             the packages and unpack it instead of building;
#                             exit 3 when there is none (nothing installed)
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache_root=${TEXTCNV_WINDOWS_CACHE:-/var/cache/textcnv-windows}
jobs=${TEXTCNV_WINDOWS_JOBS:-2}
triple=x86_64-w64-mingw32

packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64
  # wine's own fonts for its captions, and a screen for the window under test
  fonts-wine xvfb
  build-essential dpkg-dev cmake ninja-build perl python3
  # The host Qt whose moc, rcc and uic the Windows Qt uses; same version.
  qt6-base-dev qt6-base-dev-tools
  # Its version names the ICU source to build.
  libicu72
  # make windows: the ICU data trimmed (icupkg, genccode), Qt's Japanese
  # words, and the installer (wixl)
  icu-devtools qt6-translations-l10n wixl
  # a ja_JP.UTF-8 locale of its own, for a Japanese user under wine
  locales
  # zlib for the libxlsxwriter that xlsxwriter.sh builds beside this cache
  libz-mingw-w64-dev
)

icu_common_options=(--disable-tests --disable-samples --disable-extras)
# ICU's configure prefers clang when it is there; one compiler, whatever is installed.
icu_native_compilers=(CC=gcc CXX=g++)
icu_windows_options=(
  --host=$triple --enable-static --disable-shared
  --with-data-packaging=static
  # ICU 72's tools do not link in a static MinGW build; the native ones serve.
  --disable-tools
)
qt_options=(
  -release -xplatform win32-g++ -qt-host-path /usr
  -nomake examples -nomake tests
  # Debian's source package lacks the wintab headers.
  -no-feature-tabletevent
  -no-dbus -no-opengl -no-feature-vulkan -no-feature-sql -no-feature-printsupport
  # Direct2D stays on: without it qtbase 6.4.2's Windows platform plugin does
  # not link (Gui builds its DirectWrite font database only along with it).
  -no-icu -no-openssl -no-pkg-config
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz
)
# The toolchain qtbase is built with; kept in the cache because Qt's installed
# CMake files load it again by its path.
qt_build_toolchain="set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
find_program(CMAKE_AR $triple-ar)
find_program(CMAKE_RANLIB $triple-ranlib)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
"

say() { echo "windows-toolchain: $*"; }

installed_version() {
  dpkg-query -W -f='${Status} ${Version}\n' "$1" 2>/dev/null |
    awk '$3 == "installed" { print $4 }'
}

source_version() {
  dpkg-query -W -f='${source:Version}' "$1"
}

# The version apt would install where a package is not there yet, so the key
# is known before anything is installed.
candidate_version() {
  local v
  v=$(apt-cache policy "$1" 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)" { print $2 }')
  if [ -z "$v" ] && [ $apt_updated = no ]; then
    apt_update
    v=$(apt-cache policy "$1" 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)" { print $2 }')
  fi
  echo "$v"
}
prospective=no
key_version() {
  local v
  v=$(installed_version "$1")
  [ -n "$v" ] || [ $prospective = no ] || v=$(candidate_version "$1")
  echo "$v"
}
key_source_version() {
  if [ -n "$(installed_version "$1")" ] || [ $prospective = no ]; then
    source_version "$1"
  else
    # A binary package built from its own source carries the same version.
    candidate_version "$1"
  fi
}

as_root() {
  if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

apt_updated=no
apt_update() {
  if [ $apt_updated = no ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    apt_updated=yes
  fi
}

install_missing_packages() {
  local missing=() p
  for p in "${packages[@]}"; do
    [ -n "$(installed_version "$p")" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  apt_update
  local log
  log=$(mktemp /tmp/textcnv-windows-apt.XXXXXX)
  if ! as_root env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >"$log" 2>&1; then
    tail -n 25 "$log"
    say "installing the packages FAILED; the log: $log"
    exit 1
  fi
  rm -f "$log"
}

# apt-get source needs deb-src entries: a copy of Debian's deb entries, in
# files of their own (deb822 stanzas and one-line entries kept apart).
deb_src_stanzas=/etc/apt/sources.list.d/textcnv-deb-src.sources
deb_src_lines=/etc/apt/sources.list.d/textcnv-deb-src.list
add_deb_src_entries() {
  local tmp f
  tmp=$(mktemp -d)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != $deb_src_stanzas ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /Types:[^\n]*deb/ && /URIs:[^\n]*debian/ {
           gsub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
  done >"$tmp/stanzas"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && [ "$f" != $deb_src_lines ] || continue
    sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' "$f"
  done >"$tmp/lines"
  if [ ! -s "$tmp/stanzas" ] && [ ! -s "$tmp/lines" ]; then
    echo "no Debian entries in /etc/apt/sources.list* to copy as deb-src" >&2
    return 1
  fi
  [ -s "$tmp/stanzas" ] && as_root install -m 644 "$tmp/stanzas" $deb_src_stanzas
  [ -s "$tmp/lines" ] && as_root install -m 644 "$tmp/lines" $deb_src_lines
  rm -rf "$tmp"
}

ensure_source_available() { # package version
  if apt-cache showsrc --only-source "$1" 2>/dev/null | grep -qx "Version: $2"; then
    return 0
  fi
  if [ ! -e $deb_src_stanzas ] && [ ! -e $deb_src_lines ]; then
    add_deb_src_entries
  fi
  apt_updated=no
  apt_update
}

fetch_source() { # package version folder
  ensure_source_available "$1" "$2"
  rm -rf "$3"
  mkdir -p "$3"
  (cd "$3" && apt-get source -qq --only-source "$1=$2")
}

# --- the key -----------------------------------------------------------------

print_only=no
until_stage=
archives=
case "${1:-}" in
  --print-dir) print_only=yes ;;
  --until) until_stage=${2:?--until needs a stage} ;;
  --unpack) archives=${2:?--unpack needs a folder} ;;
  --packages) install_missing_packages; exit 0 ;;
  --source) fetch_source "${2:?package}" "${3:?version}" "${4:?folder}"; exit 0 ;;
  "") ;;
  *) echo "usage: $0 [--print-dir | --until STAGE | --packages | --unpack FOLDER]" >&2; exit 2 ;;
esac

[ $print_only = yes ] || [ -n "$archives" ] || install_missing_packages

compute_key() {
icu_version=$(key_source_version libicu72)
qt_version=$(key_source_version qt6-base-dev-tools)
key_text="$(for p in g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev; do
  echo "$p $(key_version $p)"; done)
icu $icu_version
qt6-base $qt_version
icu native: ${icu_native_compilers[*]} ${icu_common_options[*]}
icu windows: ${icu_windows_options[*]} ${icu_common_options[*]}
qtbase: ${qt_options[*]}
$qt_build_toolchain"
key=$(printf '%s\n' "$key_text" | sha256sum | cut -c1-12)
dir=$cache_root/$key
}

# --unpack: the packages, then the packed cache in place of the stages.
unpack_archive() {
  prospective=yes
  compute_key
  local archive=$archives/$key.tar.xz start tmp
  if [ -f "$dir/stamps/check.done" ]; then
    say "up to date in $dir, nothing to unpack"
    return 0
  fi
  # No packed cache for this machine: the caller says so.
  [ -f "$archive" ] || exit 3
  # Qt's installed CMake files name the folder the cache was made in.
  if [ "$cache_root" != /var/cache/textcnv-windows ]; then
    say "$archive is laid out for /var/cache/textcnv-windows, not $cache_root"
    exit 3
  fi
  install_missing_packages
  prospective=no
  compute_key
  if [ "$archives/$key.tar.xz" != "$archive" ]; then
    say "the installed packages give key $key, not that of $archive"
    exit 1
  fi
  start=$(date +%s)
  mkdir -p "$cache_root"
  tmp=$(mktemp -d "$cache_root/.unpack.XXXXXX")
  tar -xJf "$archive" -C "$tmp"
  if [ ! -f "$tmp/$key/stamps/check.done" ]; then
    rm -rf "$tmp"
    say "$archive holds no complete cache for $key"
    exit 1
  fi
  # An unfinished build of the same key gives way to the complete one.
  rm -rf "$dir"
  mv "$tmp/$key" "$dir"
  rmdir "$tmp"
  say "unpacked $archive into $dir in $(($(date +%s) - start)) s"
}

if [ -n "$archives" ]; then
  unpack_archive
  exit 0
fi

compute_key

if [ $print_only = yes ]; then
  echo "$dir"
  exit 0
fi

stamps=$dir/stamps
logs=$dir/logs
src=$dir/src
build=$dir/build

if [ -f "$stamps/check.done" ]; then
  say "up to date in $dir (ICU $icu_version, qtbase $qt_version), nothing to do"
  exit 0
fi

mkdir -p "$stamps" "$logs" "$src" "$build"
printf '%s\n' "$key_text" >"$dir/key.txt"

# One run at a time per cache folder.
exec 9>"$dir/.lock"
if ! flock -n 9; then
  say "another run is building $dir; waiting for it"
  flock 9
fi

# --- the stages --------------------------------------------------------------

icu_src() { echo "$src"/icu/icu-*/source; }
qt_src() { echo "$src"/qt6-base/qt6-base-*; }

stage_icu_source() {
  fetch_source icu "$icu_version" "$src/icu"
  test -x "$(icu_src)/configure"
}

stage_qtbase_source() {
  fetch_source qt6-base "$qt_version" "$src/qt6-base"
  test -x "$(qt_src)/configure"
}

stage_icu_native() {
  # ICU's cross build runs the host's tools from a native build of the same
  # source.
  mkdir -p "$build/icu-native"
  cd "$build/icu-native"
  # A finished configure is kept, so a failed make resumes where it stopped.
  [ -f config.status ] ||
    env "${icu_native_compilers[@]}" "$(icu_src)/configure" "${icu_common_options[@]}"
  make -j"$jobs"
}

stage_icu_windows() {
  mkdir -p "$build/icu-windows"
  cd "$build/icu-windows"
  [ -f config.status ] ||
    CC=$triple-gcc-posix CXX=$triple-g++-posix AR=$triple-ar RANLIB=$triple-ranlib \
      "$(icu_src)/configure" --build="$(gcc -dumpmachine)" --prefix="$dir/icu" \
      --with-cross-build="$build/icu-native" \
      "${icu_windows_options[@]}" "${icu_common_options[@]}"
  make -j"$jobs"
  rm -rf "$dir/icu"
  # On Windows the data library is installed into bin/ (where DLLs go), which
  # nothing else creates when the tools are off; it belongs with the others.
  mkdir -p "$dir/icu/bin"
  make install
  mv "$dir/icu/bin/sicudt.a" "$dir/icu/lib/"
  # Programs must know that this ICU is static, or its headers declare its
  # functions as imported from a DLL; ICU's own advice is to say so at the top
  # of uconfig.h.
  local uconfig=$dir/icu/include/unicode/uconfig.h
  {
    echo '/* This ICU is static only: nothing is imported from a DLL. */'
    echo '#ifndef U_STATIC_IMPLEMENTATION'
    echo '#define U_STATIC_IMPLEMENTATION'
    echo '#endif'
    echo
    cat "$uconfig"
  } >"$uconfig.new"
  mv "$uconfig.new" "$uconfig"
  # The static libraries are named sicu*, and the data archive even lacks the
  # lib prefix; CMake's FindICU looks for icuuc, icuin and icudt.
  cd "$dir/icu/lib"
  ln -sf sicudt.a libsicudt.a
  ln -sf libsicuuc.a libicuuc.a
  ln -sf libsicuin.a libicuin.a
  ln -sf sicudt.a libicudt.a
  ls -l
}

stage_qtbase_configure() {
  rm -rf "$build/qtbase"
  mkdir -p "$build/qtbase"
  printf '%s' "$qt_build_toolchain" >"$dir/qt-build-toolchain.cmake"
  cd "$build/qtbase"
  "$(qt_src)/configure" -prefix "$dir/qt" "${qt_options[@]}" -- \
    -DCMAKE_TOOLCHAIN_FILE="$dir/qt-build-toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/$(gcc -dumpmachine)/cmake
}

stage_qtbase_build() {
  # Ninja picks up where an interrupted build stopped.
  cmake --build "$build/qtbase" --parallel "$jobs"
}

stage_qtbase_install() {
  rm -rf "$dir/qt"
  cmake --install "$build/qtbase"
}

stage_check() {
  bash "$script_dir/check.sh" "$dir"
}

stage_order=(icu-source qtbase-source qtbase-configure icu-native icu-windows
             qtbase-build qtbase-install check)

run_stage() {
  local name=$1 log=$logs/$1.log start rc
  [ -f "$stamps/$name.done" ] && return 0
  say "$name (log: $log)"
  start=$(date +%s)
  set +e
  (
    set -e
    # The machine is shared: the long builds take only idle CPU and disk.
    renice -n 19 -p $BASHPID >/dev/null
    ionice -c3 -p $BASHPID 2>/dev/null || true
    "stage_${name//-/_}"
  ) >"$log" 2>&1 </dev/null
  rc=$?
  set -e
  if [ $rc -ne 0 ]; then
    tail -n 25 "$log" | sed 's/^/    /'
    echo
    say "stage $name FAILED (exit $rc); its log: $log"
    exit 1
  fi
  echo "$(($(date +%s) - start))" >"$stamps/$name.done"
  say "$name done in $(($(date +%s) - start)) s"
}

say "building into $dir (ICU $icu_version, qtbase $qt_version, -j$jobs, low priority)"
for s in "${stage_order[@]}"; do
  run_stage "$s"
  if [ "$s" = "$until_stage" ]; then
    say "stopped after $s as asked"
    exit 0
  fi
done

total=0
for s in "${stage_order[@]}"; do total=$((total + $(cat "$stamps/$s.done"))); done
say "complete in $dir: icu $(du -sh "$dir/icu" | cut -f1), qt $(du -sh "$dir/qt" | cut -f1), stages took $((total / 60)) min"
