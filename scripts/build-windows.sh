#!/usr/bin/env bash
# Builds the self-contained Windows program build-win/velstram.exe with MinGW-w64,
# installing the cross compiler first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVELSTRAM_WERROR="${VELSTRAM_WERROR:-OFF}"
cmake --build build-win -j2

# A DLL outside Windows itself would have to be shipped beside the program.
foreign=$(x86_64-w64-mingw32-objdump -p build-win/velstram.exe | sed -n 's/^\s*DLL Name: //p' |
  grep -viE '^(kernel32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+|user32|advapi32|ntdll)\.dll$' || true)
if [ -n "$foreign" ]; then
  echo "velstram.exe needs DLLs that Windows does not ship: $foreign" >&2
  exit 1
fi
echo "Built build-win/velstram.exe"
