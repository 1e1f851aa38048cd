#!/usr/bin/env bash
# Line coverage of src/ by the whole test suite: a Release build with clang's source-based
# coverage, every test run (the program's own runs included), one summary per file.
#   bash scripts/coverage.sh [BUILD_DIR]      (default build-coverage)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-coverage}"
flags="-fprofile-instr-generate -fcoverage-mapping"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" > /dev/null
cmake --build "$build" -j2 > /dev/null
rm -rf "$build/profiles"
LLVM_PROFILE_FILE="$PWD/$build/profiles/%p.profraw" ctest --test-dir "$build" > /dev/null
llvm-profdata-14 merge -sparse "$build"/profiles/*.profraw -o "$build/coverage.profdata"
llvm-cov-14 report "$build/velstram" -object "$build/tests/velstram_tests" \
  -instr-profile="$build/coverage.profdata" "$PWD/src"
