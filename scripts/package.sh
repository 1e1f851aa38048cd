#!/usr/bin/env bash
# Release packages: the Linux .deb and the Windows .zip, or only the ones named.
#   bash scripts/package.sh [deb] [zip]
#   VELSTRAM_LINUX_BUILD: build folder of the Linux package (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
linuxBuild=${VELSTRAM_LINUX_BUILD:-build}

kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then
  kinds=(deb zip)
fi
for kind in "${kinds[@]}"; do
  case "$kind" in
    deb)
      bash scripts/install-deps.sh build package
      cmake -S . -B "$linuxBuild" -DCMAKE_BUILD_TYPE=Release
      cmake --build "$linuxBuild" -j2 --target package
      ;;
    zip)
      bash scripts/build-windows.sh
      (cd build-win && cpack -G ZIP)
      ;;
    *)
      echo "usage: $0 [deb] [zip]" >&2
      exit 2
      ;;
  esac
done
