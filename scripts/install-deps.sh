#!/usr/bin/env bash
# Installs, from Debian's archive, whatever the build and the tests need and this machine lacks.
# The 32-bit DLL runs under Wine's 32-bit loader, so i386 is added as a foreign architecture first.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev googletest libgtest-dev
  libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xdotool x11-utils icoutils imagemagick nsis wixl msitools
  osslsigncode openssl faketime uuid-runtime zip unzip fonts-wine fonts-ipafont-gothic
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 && $need_update -eq 0 ]] && exit 0

log=$(mktemp)
if ! { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
         --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps: could not install: ${missing[*]}" >&2
  exit 1
fi
rm -f "$log"
