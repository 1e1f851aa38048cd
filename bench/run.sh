#!/usr/bin/env bash
# Benchmarks velstram against `cat in > out` and ImageMagick on generated map images and
# writes the table to bench/results.md (bench/work/results-smoke.md for --smoke).
#   bash bench/run.sh [--size WxH] [--runs N] [--no-scaling] [--no-compare] [--smoke]
#                     [--build-dir DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="$root/build-bench"
results="$here/results.md"
pass=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build="$(realpath -m "$2")"; shift 2 ;;
    --smoke) results="$here/work/results-smoke.md"; pass+=("$1"); shift ;;
    *) pass+=("$1"); shift ;;
  esac
done

wanted=()
for package in imagemagick libtiff-tools python3-numpy python3-pil python3-tifffile time; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || wanted+=("$package")
done
if [ ${#wanted[@]} -gt 0 ]; then
  echo "Installing: ${wanted[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${wanted[@]}"
fi

# Configure only a new build folder, so an existing one keeps its own settings.
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j2 --target velstram

mkdir -p "$here/work"
status=0
/usr/bin/python3 "$here/bench.py" --binary "$build/velstram" --work "$here/work" \
  --results "$results" "${pass[@]}" || status=$?
[ "$status" -le 1 ] || exit "$status"
# The quality of the keep on synthetic scans, appended to the same results; a smoke run's
# small scans are not judged.
case " ${pass[*]} " in
  *" --smoke "*) /usr/bin/python3 "$here/scans.py" --binary "$build/velstram" --size 300x360 \
                   --results "$results" || true ;;
  *) /usr/bin/python3 "$here/scans.py" --binary "$build/velstram" --results "$results" || status=1 ;;
esac
exit "$status"
