# shellcheck shell=bash
# Sourced by the scripts that run the Windows build under wine. Sets up a
# private, quiet wine prefix (removed on exit, with its wine server), the
# DLL search path for a build folder (the
# compiler's runtime and the cache's Qt; a dist folder has them beside the
# program) and the IPA fonts in the prefix's Fonts folder, where Qt and
# wine's own dialogs find them.
#   textcnv_wine_setup        after sourcing; then run programs with wine
#   textcnv_wine_path FILE    the Windows path of a Linux one
#   textcnv_has_line FILE TEXT  whether a program's output has that line
#                               (a Windows program ends its lines in CR LF)
#   textcnv_driver_folder FOLDER  a copy of FOLDER (a build folder or dist,
#                               holding TextCnv.exe) with the tests' driver
#                               textcnv-screenshot.exe (tests/window) beside
#                               the programs, so it finds what they find;
#                               TEXTCNV_WINDOWS_DRIVER names the driver
#                               (default build-windows/tests/window/...)

textcnv_wine_setup() {
  local script_dir gcc_dlls cache font
  script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  textcnv_wine_tmp=$(mktemp -d /tmp/textcnv-wine.XXXXXX)
  trap textcnv_wine_cleanup EXIT
  export WINEPREFIX=$textcnv_wine_tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine links the user's shell folders to these; keep them out of the real home.
  export HOME=$textcnv_wine_tmp/home
  mkdir -p "$HOME"
  gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  cache=$(bash "$script_dir/toolchain.sh" --print-dir)
  export WINEPATH="$gcc_dlls;/usr/x86_64-w64-mingw32/lib;$cache/qt/bin"
  wineboot --init >/dev/null 2>&1
  wineserver -w
  # Marlett draws the title bar's buttons; wine finds it only in the prefix.
  for font in /usr/share/fonts/opentype/ipafont-*/*.ttf /usr/share/wine/fonts/marlett.ttf; do
    [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
}

textcnv_wine_cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$textcnv_wine_tmp"
}

textcnv_wine_path() {
  winepath -w "$1" 2>/dev/null
}

textcnv_driver_folder() {
  local root driver copy
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  driver=${TEXTCNV_WINDOWS_DRIVER:-$root/build-windows/tests/window/textcnv-screenshot.exe}
  [ -f "$driver" ] || { echo "no $driver (make windows builds it)" >&2; return 1; }
  copy=$textcnv_wine_tmp/driven
  rm -rf "$copy"
  mkdir -p "$copy"
  cp -r "$1/." "$copy/"
  cp "$driver" "$copy/"
  echo "$copy"
}

textcnv_has_line() {
  [ -f "$1" ] && tr -d '\r' <"$1" | grep -qxF -- "$2"
}
