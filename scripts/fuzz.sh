#!/usr/bin/env bash
# Builds the libFuzzer target (fuzz/) and runs it for SECONDS (default 60), seeded with the
# test fixtures and the malformed-file corpus. Fails on any finding; a crash, hang or broken
# rule leaves its input in build-fuzz/findings/ to be turned into a regression test.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/install-deps.sh build fuzz

CXX=clang++ cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz --target fuzz_job -j2

# New inputs go to corpus/ and are kept between runs; seeds/ and findings/ start afresh.
rm -rf build-fuzz/findings
mkdir -p build-fuzz/corpus build-fuzz/findings build-fuzz/seeds
cp tests/data/*.tif build-fuzz/seeds/
if compgen -G "tests/malformed/*.tif" >/dev/null; then
  cp tests/malformed/*.tif build-fuzz/seeds/
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
build-fuzz/fuzz_job -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -dict=fuzz/tiff.dict -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 \
  build-fuzz/corpus build-fuzz/seeds || status=$?

echo "== Corpus: $(find build-fuzz/corpus -type f | wc -l) inputs"
if [ "$status" -ne 0 ] || [ -n "$(ls -A build-fuzz/findings)" ]; then
  echo "== The fuzzer found a fault (exit status $status); inputs in build-fuzz/findings/:" >&2
  ls -l build-fuzz/findings >&2
  exit 1
fi
echo "== No findings in $seconds seconds"
