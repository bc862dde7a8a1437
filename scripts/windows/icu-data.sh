#!/usr/bin/env bash
# The Windows programs' ICU data, trimmed to what they use: the windows-31j
# converter and the converter aliases, every collation (the run collates by
# whatever locale the user has chosen in Windows), the locale fallback and
# likely-subtag tables the collators are found by, and the root, Japanese and
# English locales. Without it each program carries all of ICU's data (31 MB).
#   icu-data.sh TOOLCHAIN_FOLDER OUT_FOLDER
# leaves in OUT_FOLDER, as drop-ins for the toolchain's data library (same
# symbol):
#   icudt<major>l.dat    the trimmed data, shipped once beside the programs
#   libicudt-file.a      no data of its own: ICU reads the file instead
#   libicudt-trimmed.a   the trimmed data built in (the engine tests)
# ICU's own icupkg and genccode (Debian's icu-devtools, the same ICU major
# version) do the work.
set -euo pipefail

prefix=$1
out=$2
triple=x86_64-w64-mingw32
full=$prefix/icu/lib/sicudt.a
mkdir -p "$out"
work=$(mktemp -d "$out/.icu-data.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The static data library holds one object whose read-only section is ICU's
# common data file, icudt<major>l.dat.
member=$(ar t "$full" | grep -x 'icudt[0-9]*l_dat\.o')
name=${member%_dat.o}         # icudt72l
entry=${name%l}               # icudt72: the symbol is icudt72_dat
(cd "$work" && ar x "$full" "$member")
"$triple-objcopy" -O binary --only-section=.rodata "$work/$member" "$work/$name.dat"

icupkg -l "$work/$name.dat" >"$work/all"
keep='^(coll/.*|cnvalias\.icu|ibm-943_P15A-2003\.cnv|nfkc(_cf)?\.nrm'
keep+='|(root|res_index|pool|likelySubtags|langInfo|metadata|keyTypeData|supplementalData|icuver|icustd)\.res'
keep+='|(ja|en)\.res)$'
grep -Ev "$keep" "$work/all" >"$work/remove.txt"
grep -q '^coll/ucadata\.icu$' "$work/all"
icupkg -r "$work/remove.txt" "$work/$name.dat" "$out/$name.dat" >/dev/null

# data library: a package as an object with ICU's symbol, in an archive.
data_library() { # package.dat library.a
  rm -rf "$work/obj" "$2"
  mkdir "$work/obj"
  genccode -a gcc-mingw64 -e "$entry" -d "$work/obj" "$1" >/dev/null
  "$triple-gcc-posix" -c "$work/obj/"*.S -o "$work/obj/data.o"
  "$triple-ar" rcs "$2" "$work/obj/data.o"
}
data_library "$out/$name.dat" "$out/libicudt-trimmed.a"
mkdir -p "$work/empty"
icupkg new "$work/empty/$name.dat"
data_library "$work/empty/$name.dat" "$out/libicudt-file.a"
