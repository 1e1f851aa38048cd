#!/usr/bin/env bash
# Static analysis of the program's sources: clang-tidy with the checks in .clang-tidy, then
# cppcheck. Fails on any finding of either.
#   bash scripts/static-analysis.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build analysis

# Only the compile commands are needed, not a build.
cmake -S . -B build-tidy -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

echo "== clang-tidy"
report=build-tidy/clang-tidy.txt
run-clang-tidy -p build-tidy -quiet -j 2 "$PWD/src/" >"$report" 2>&1 || true
# run-clang-tidy colours its output even into a file.
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$report" | grep -E "^$PWD/src/.*: (warning|error):" | sort -u || true)
if [ -n "$findings" ] || ! grep -q "clang-tidy" "$report"; then
  cat "$report"
  echo "== clang-tidy findings:" >&2
  echo "$findings" >&2
  exit 1
fi
echo "no findings in $(grep -c "\"file\": \"$PWD/src/" build-tidy/compile_commands.json) sources"

echo "== cppcheck"
# The project file gives each source its real flags; only the program's own sources count.
cppcheck --project=build-tidy/compile_commands.json --file-filter='src/*' \
  --enable=warning,performance,portability --std=c++20 --inline-suppr \
  --error-exitcode=1 -q
echo "no findings"
