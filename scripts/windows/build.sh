#!/usr/bin/env bash
# `make windows`: builds TextCnv.exe and textcnv-batch.exe for x86_64 Windows
# against the toolchain folder of `make windows-toolchain`, and lays them out
# with what they need to run in dist/windows/, zipped beside it, and an
# installer of the same files, dist/TextCnv-<version>-x64.msi.
#   build.sh [build folder] [dist folder]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-windows}
dist=${2:-$root/dist/windows}
# A cache made before the packaging tools joined the toolchain's packages
# still serves: they are installed where missing.
bash "$here/toolchain.sh" --packages
prefix=$(bash "$here/toolchain.sh" --print-dir)
# libxlsxwriter, built beside the toolchain where it is not yet.
xlsxwriter=$(bash "$here/xlsxwriter.sh")
if [ ! -f "$prefix/stamps/qtbase-install.done" ] || [ ! -f "$prefix/stamps/icu-windows.done" ]; then
  echo "The Windows toolchain is not built yet: run 'make windows-toolchain' first (about an hour)." >&2
  exit 1
fi
triple=x86_64-w64-mingw32

# The programs share one file of the ICU data they use, laid out beside them.
icu_data=$build/icu-data
bash "$here/icu-data.sh" "$prefix" "$icu_data"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/scripts/windows/mingw-w64-x86_64.cmake" \
  -DTEXTCNV_WINDOWS_PREFIX="$prefix" \
  -DTEXTCNV_XLSXWRITER_PREFIX="$xlsxwriter/prefix" -DICU_DATA_LIBRARY_RELEASE="$icu_data/libicudt-file.a" \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target TextCnv textcnv-batch

rm -rf "$dist"
mkdir -p "$dist/platforms" "$dist/styles"
cp "$build/app/TextCnv.exe" "$build/cli/textcnv-batch.exe" "$icu_data"/icudt*.dat "$dist/"
for dll in Qt6Core Qt6Gui Qt6Widgets; do cp "$prefix/qt/bin/$dll.dll" "$dist/"; done
cp "$prefix/qt/plugins/platforms/qwindows.dll" "$dist/platforms/"
cp "$prefix/qt/plugins/styles/"*.dll "$dist/styles/"
# Qt's own words in Japanese (context menus, the parts of dialogs Qt draws):
# Debian's catalogue of the same Qt version, where qt.conf tells Qt to look.
qt_version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$prefix/qt/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake")
catalogue_version=$(dpkg-query -W -f='${Version}' qt6-translations-l10n)
case "$catalogue_version" in
  "$qt_version"*) ;;
  *) echo "qt6-translations-l10n $catalogue_version is not for Qt $qt_version" >&2; exit 1 ;;
esac
mkdir -p "$dist/translations"
cp /usr/share/qt6/translations/qtbase_ja.qm "$dist/translations/"
printf '[Paths]\r\nPrefix=.\r\nPlugins=.\r\nTranslations=translations\r\n' >"$dist/qt.conf"
# The operator's guide, as a page with its pictures.
python3 "$here/guide-html.py" "$root/docs/使い方.md" "$dist/使い方.html" "$dist/使い方"
# The C++ runtime of the compiler that built Qt and the programs.
gcc_dir=$(dirname "$("$triple-g++-posix" -print-libgcc-file-name)")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do cp "$gcc_dir/$dll" "$dist/"; done
cp "/usr/$triple/lib/libwinpthread-1.dll" "$dist/"
find "$dist" -name '*.exe' -o -name '*.dll' | xargs "$triple-strip" --strip-unneeded

# Every DLL a program or plugin imports is either laid out here or one of
# Windows' own.
system_libs=$(ls "/usr/$triple/lib/" | tr 'A-Z' 'a-z')
missing=0
while read -r name; do
  lower=$(echo "$name" | tr 'A-Z' 'a-z')
  case "$lower" in api-ms-win-*) continue ;; esac
  if [ ! -f "$dist/$name" ] && ! grep -qx "lib${lower%.dll}.a" <<<"$system_libs"; then
    echo "dist/windows lacks $name" >&2
    missing=1
  fi
done < <(find "$dist" -name '*.exe' -o -name '*.dll' | xargs "$triple-objdump" -p |
         sed -n 's/^\s*DLL Name: //p' | sort -u)
[ "$missing" = 0 ]

zip_file="$(dirname "$dist")/TextCnv-windows-x86_64.zip"
rm -f "$zip_file"
(cd "$(dirname "$dist")" && cmake -E tar cf "$zip_file" --format=zip "$(basename "$dist")")

# The installer: wixl writes the strings in the code page of the language it
# is told; msi.py marks the database as in that code page.
version=$(sed -n 's/^project(TextCnv VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
msi_file="$(dirname "$dist")/TextCnv-$version-x64.msi"
rm -f "$msi_file" "$build/TextCnv.wxs"
(cd "$root" && python3 "$here/msi.py" "$dist" "$version" app/textcnv.ico "$build/TextCnv.wxs" &&
  WINDOWS_LANGUAGE=ja wixl -a x64 -o "$msi_file" "$build/TextCnv.wxs" &&
  python3 "$here/msi.py" --codepage "$msi_file")
echo "$dist: $(du -sh "$dist" | cut -f1); $zip_file: $(du -h "$zip_file" | cut -f1); $msi_file: $(du -h "$msi_file" | cut -f1)"
