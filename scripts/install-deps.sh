#!/usr/bin/env bash
# Installs the Debian packages that the given groups need, only when some are missing.
#   build: compiler, CMake, libedit, GoogleTest   tools: real TIFF writers and readers for checks
#   fixtures: the writers that tests/data/make_fixtures.py runs beyond the tools group
#   windows: MinGW-w64 cross compiler      wine: Wine, to run the Windows build's tests
#   package: what CPack's .deb needs to work out the package's dependencies
#   fuzz: clang with libFuzzer             analysis: clang-tidy and cppcheck
set -euo pipefail
declare -A groups=(
  [build]="g++ cmake make pkg-config libedit-dev libgtest-dev"
  [tools]="libtiff-tools python3 python3-numpy python3-tifffile python3-pil"
  [windows]="cmake make g++-mingw-w64-x86-64-posix"
  [wine]="wine wine64"
  [fixtures]="imagemagick libvips-tools gdal-bin"
  [package]="dpkg-dev file"
  [fuzz]="clang libclang-rt-14-dev"
  [analysis]="clang-tidy cppcheck"
)
wanted=()
for group in "${@:-build}"; do
  if [ -z "${groups[$group]+set}" ]; then
    echo "$0: no group '$group'; the groups are: ${!groups[*]}" >&2
    exit 2
  fi
  for package in ${groups[$group]}; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || wanted+=("$package")
  done
done
if [ ${#wanted[@]} -gt 0 ]; then
  echo "Installing: ${wanted[*]}"
  # A user other than root installs through sudo where the machine has it.
  asRoot=()
  if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then
    asRoot=(sudo)
  fi
  "${asRoot[@]}" apt-get update -q
  "${asRoot[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${wanted[@]}"
fi
