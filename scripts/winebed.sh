#!/usr/bin/env bash
# The Wine test bed: a simulated controller PC.
#   winebed.sh up     fresh prefix under build/wine, D: mapped to a fixed
#                     drive directory, Xvfb when no display is set, code page 936
#   winebed.sh down   ends the prefix's processes and the Xvfb it started
# One prefix serves a whole test run: its first start is the slow one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bed="${TLX_BED_DIR:-$root/build/wine}"
envfile="$bed/env"

up() {
  mkdir -p "$bed"
  rm -rf "$bed/prefix" "$bed/d-drive"
  mkdir -p "$bed/d-drive"
  local display="${DISPLAY:-}"
  if [ -z "$display" ]; then
    local n=77
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$bed/xvfb.pid"
    display=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  cat >"$envfile" <<ENV
export WINEPREFIX="$bed/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export DISPLAY="$display"
export TLX_DDRIVE="$bed/d-drive"
ENV
  # shellcheck disable=SC1090
  . "$envfile"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  ln -sfn "$bed/d-drive" "$WINEPREFIX/dosdevices/d:"
  # Keep the prefix alive for the whole run so each program starts quickly,
  # and start Wine's background services now: started by the first test,
  # they would hold its output pipe open until ctest's timeout.
  wineserver -p >/dev/null 2>&1 || true
  wine cmd /c exit >/dev/null 2>&1 || true
  echo "winebed: prefix $WINEPREFIX, D: -> $bed/d-drive, DISPLAY=$display"
}

down() {
  if [ -f "$envfile" ]; then
    # shellcheck disable=SC1090
    . "$envfile"
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -f "$bed/xvfb.pid" ]; then
    kill "$(cat "$bed/xvfb.pid")" 2>/dev/null || true
    rm -f "$bed/xvfb.pid"
  fi
  rm -f "$envfile"
}

case "${1:-up}" in
  up) up ;;
  down) down ;;
  *) echo "usage: $0 up|down" >&2; exit 2 ;;
esac
