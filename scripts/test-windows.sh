#!/usr/bin/env bash
# Builds velstram.exe and runs the process-level tests (the Program* suites) against it
# under Wine: the Linux test binary drives the Windows program with Windows paths (Z:\...)
# and CR LF line ends. Installs MinGW-w64 and Wine when they are missing.
#   VELSTRAM_TEST_BUILD: build folder of the Linux test binary (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
testBuild=${VELSTRAM_TEST_BUILD:-build}

bash scripts/build-windows.sh
bash scripts/install-deps.sh build wine

echo "== Linux test binary in $testBuild"
if [ ! -f "$testBuild/CMakeCache.txt" ]; then
  cmake -S . -B "$testBuild" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$testBuild" -j2 --target velstram_tests

echo "== Wine prefix"
export WINEPREFIX
WINEPREFIX=$(mktemp -d)
export WINEDEBUG=-all
# Wine decodes the arguments it passes on by the locale; the tests write them in UTF-8.
export LC_ALL=C.UTF-8
# No Mono or Gecko: their install prompts would wait for a user who is not there.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
# The first start goes on setting up the prefix in the background; runs that begin
# while it does can fail, so wait until it is done, then keep one server for all runs.
wineserver -w
wineserver -p
wine cmd /c exit >/dev/null 2>&1

echo "== Process-level tests of velstram.exe under Wine"
VELSTRAM_RUNNER=wine VELSTRAM_PROGRAM="$root/build-win/velstram.exe" VELSTRAM_WINDOWS_PATHS=1 \
  "$testBuild/tests/velstram_tests" --gtest_filter='Program*'
