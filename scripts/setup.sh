#!/usr/bin/env bash
# Installs the Debian packages a set needs; safe to run again (what is
# already there is skipped, and nothing is fetched then).
# Usage: scripts/setup.sh [product|emulation|test|fuzz|windows|bench]...   (default: product)
#   product  what building and running Plexmoor and plexmoor-cli needs
#   emulation  the product's set and umockdev, for the emulated USB bridge
#   test     the emulation set, GoogleTest, a virtual X server, and what
#            packaging and the installed-programs test use
#   fuzz     clang with its libFuzzer runtime, for the fuzz preset
#   windows  the MinGW-w64 cross compilers, GoogleTest's sources and Wine,
#            for the windows-x64 and windows-x86 presets, and a virtual X
#            server for Plexmoor.exe's window
#   bench    the emulation set and flashrom, the peer bench/bench_peers.sh
#            measures plexmoor-cli against
set -euo pipefail
product=(cmake ninja-build g++ pkg-config qt6-base-dev libgl1-mesa-dev libftdi1-dev
         libcli11-dev libsqlite3-dev libpq-dev nettle-dev)
emulation=("${product[@]}" umockdev libumockdev-dev)
test=("${emulation[@]}" libgtest-dev xvfb xauth dpkg-dev postgresql)
fuzz=(cmake ninja-build pkg-config libftdi1-dev clang libclang-rt-dev)
windows=(cmake ninja-build libcli11-dev libgtest-dev g++-mingw-w64-x86-64-posix
         g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64
         xvfb xauth)
bench=("${emulation[@]}" flashrom)
packages=()
for set in "${@:-product}"; do
  case "$set" in
    product) packages+=("${product[@]}") ;;
    emulation) packages+=("${emulation[@]}") ;;
    test) packages+=("${test[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    bench) packages+=("${bench[@]}") ;;
    *) echo "setup.sh: unknown set $set (product, emulation, test, fuzz, windows or bench)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
