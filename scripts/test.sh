#!/usr/bin/env bash
# The one test command: installs what is missing, builds both configurations
# and runs every test (native, under Wine, fuzz smoke runs). Fails when any fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "$(id -u)" = 0 ]; then
  bash scripts/bootstrap.sh
else
  echo "test: not root, skipping bootstrap (run scripts/bootstrap.sh as root once)"
fi
status=0
echo "== layering guard"
bash scripts/check-layers.sh || status=1

bash scripts/build.sh

echo "== native tests"
ctest --test-dir build/native --output-on-failure -j2 || status=1

# The same tests once more with AddressSanitizer and UBSan (CMake's
# TLX_SANITIZE): a read past a buffer or an overflow that happens to pass
# natively fails here. Its own build directory, without optimisation so that
# it builds in a few minutes.
echo "== native tests under AddressSanitizer and UBSan"
cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DTLX_SANITIZE=ON >/dev/null
cmake --build "$root/build/asan" -j"$(nproc)" || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j2 || status=1

echo "== Windows tests under Wine"
bash scripts/winebed.sh up
trap 'bash scripts/winebed.sh down' EXIT
ctest --test-dir build/win --output-on-failure || status=1

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz smoke runs"
  bash scripts/fuzz.sh smoke || status=1
fi

if [ $status -ne 0 ]; then
  echo "test: FAILED"
else
  echo "test: all passed"
fi
exit $status
