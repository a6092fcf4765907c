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
