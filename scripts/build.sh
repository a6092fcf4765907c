#!/usr/bin/env bash
# Configures and builds both configurations: build/native and build/win.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs=$(nproc)

cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTLX_WERROR=$werror >/dev/null
cmake --build "$root/build/native" -j"$jobs"

cmake -S "$root" -B "$root/build/win" -DCMAKE_BUILD_TYPE=Release -DTLX_WERROR=$werror \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$root/build/win" -j"$jobs"
