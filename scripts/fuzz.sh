#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) and runs one of them for SECONDS (default 60), starting
# from its kept corpus in fuzz/corpus/TARGET and from seeds made of the test data. Fails on
# any finding: a crash, hang or broken rule leaves its input in build-fuzz/findings-TARGET/,
# to be kept as a regression case in tests/malformed or tests/dialogues. With --merge, the
# inputs the run found that reach new code are merged into the kept corpus.
#   bash scripts/fuzz.sh job|dialogue|arguments [SECONDS] [--merge]
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?name a target: job, dialogue or arguments}"
seconds="${2:-60}"
merge="${3:-}"
case "$target" in job | dialogue | arguments) ;; *) echo "no fuzz target $target" >&2; exit 2 ;; esac

bash scripts/install-deps.sh build fuzz
CXX=clang++ cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELSTRAM_WERROR="${VELSTRAM_WERROR:-OFF}" >/dev/null
cmake --build build-fuzz --target "fuzz_$target" -j2

work="build-fuzz/work-$target"
findings="build-fuzz/findings-$target"
rm -rf "$work" "$findings"
mkdir -p "$work/found" "$work/seeds" "$findings" "fuzz/corpus/$target"
case "$target" in
  job)
    cp tests/data/*.tif tests/malformed/*.tif "$work/seeds/"
    options=(-dict=fuzz/tiff.dict) ;;
  dialogue)
    # The typed sessions, piped (a first byte of 0) and at a terminal (1), with names that
    # the scratch folder holds or not.
    for session in tests/dialogues/*.typed; do
      for mode in 0 1; do
        { printf "\\x$mode"; sed -e 's#{input}#in.tif#g; s#{output}#out.tif#g; s#{kept}#in.tif#g' \
            -e 's#{missing}#missing.tif#g; s#{folder}#.#g' "$session"; } \
          >"$work/seeds/$mode-$(basename "$session")"
      done
    done
    options=() ;;
  arguments)
    printf -- '--help' >"$work/seeds/help"
    printf -- '--version' >"$work/seeds/version"
    printf -- 'in.tif\0out.tif' >"$work/seeds/names"
    printf -- '--keep\0c9ea9d,#C96A2D\0in.tif\0out.tif' >"$work/seeds/keep"
    printf -- '-qb100000,c9ffff\0in.tif\0out.tif' >"$work/seeds/band"
    printf -- 'in.tif\0--contours\0--\0out.tif' >"$work/seeds/contours"
    printf -- '--red-cast\0in.tif\0dir/in.tif' >"$work/seeds/same"
    printf -- '--colours\0--top=3\0in.tif' >"$work/seeds/colours"
    printf -- '--check\0in.tif\0missing.tif' >"$work/seeds/check"
    options=() ;;
esac

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
"build-fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  "${options[@]}" -artifact_prefix="$findings/" -print_final_stats=1 \
  "$work/found" "fuzz/corpus/$target" "$work/seeds" || status=$?

if [ "$merge" = "--merge" ] && [ "$status" -eq 0 ]; then
  "build-fuzz/fuzz_$target" -merge=1 -rss_limit_mb=2048 -timeout=10 "${options[@]}" \
    "fuzz/corpus/$target" "$work/found" "$work/seeds"
fi
echo "== Kept corpus of $target: $(find "fuzz/corpus/$target" -type f | wc -l) inputs," \
  "$(du -sh "fuzz/corpus/$target" | cut -f1)"
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
  echo "== The fuzzer found a fault (exit status $status); inputs in $findings/:" >&2
  ls -l "$findings" >&2
  exit 1
fi
echo "== No findings in $seconds seconds"
