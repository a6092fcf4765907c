#!/usr/bin/env bash
# Installs what the builds and tests need, from Debian only. Idempotent: a
# second run checks and skips. Run as root.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/build/deps"
mingw_prefix="$deps/mingw"

need_pkgs=(
  cmake make g++ pkg-config
  g++-mingw-w64-i686 mingw-w64 mingw-w64-tools binutils-mingw-w64-i686
  wine wine32:i386 wine64 xvfb xdotool imagemagick
  googletest libgtest-dev libbenchmark-dev
  liblzo2-dev zlib1g-dev libz-mingw-w64-dev libssl-dev
  fonts-wqy-microhei locales
  nsis clang libclang-rt-14-dev llvm
  python3-lzo lzop
  chromium
)

missing=()
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Chinese controller PCs run with code page 936; Wine takes it from the locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# LZO for the Windows build: Debian ships no mingw build, so cross-compile
# Debian's own source package into a build-local prefix.
if [ ! -f "$mingw_prefix/lib/liblzo2.a" ]; then
  mkdir -p "$deps/src"
  cd "$deps/src"
  if ! ls lzo2_*.orig.tar.gz >/dev/null 2>&1; then
    if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >/etc/apt/sources.list.d/debian-src.sources
      apt-get update -qq
    fi
    apt-get source --download-only lzo2 >/dev/null
  fi
  rm -rf lzo-2.10
  tar xzf lzo2_*.orig.tar.gz
  cd lzo-2.10
  ./configure --host=i686-w64-mingw32 --disable-shared --prefix="$mingw_prefix" \
    CC=i686-w64-mingw32-gcc-posix >/dev/null
  make -j"$(nproc)" >/dev/null
  make install >/dev/null
fi

echo "bootstrap: ready"
