#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running TextCnv need,
# and only those that are missing, so a machine that has them all is left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libicu-dev
  # the findings as an Excel workbook; its test reads the workbook back with python3
  libxlsxwriter-dev python3
  # Qt's own words in Japanese; the svg icon engine draws the program's icon
  qt6-translations-l10n libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont xvfb xauth
  # the window frame test reads the hints with xprop and xwininfo; the window writes them with xcb
  x11-utils libxcb1-dev
  # make fuzz: clang (14 on bookworm) and its libFuzzer and sanitizer runtimes
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
