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
#            for the windows-x64 and windows-x86 presets, a virtual X
#            server for Plexmoor.exe's window, and SQLite's amalgamation
#            for the record (below)
#   bench    the emulation set and flashrom, the peer bench/bench_peers.sh
#            measures plexmoor-cli against
set -euo pipefail
cd "$(dirname "$0")/.."
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
# The amalgamation comes through npm, which Node.js brings where it is
# installed; Debian's npm otherwise.
windows_set=false
for set in "${@:-product}"; do [ "$set" != windows ] || windows_set=true; done
if $windows_set && ! command -v npm >/dev/null; then missing+=(npm); fi
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
$windows_set || exit 0

# SQLite's amalgamation (sqlite3.c and sqlite3.h, public domain) for the
# Windows builds' record, which Debian has no MinGW build of: taken from
# the npm package that ships it, pinned by version and by the SHA-256 of
# its tarball, unpacked into build/ (not committed) once.
sqlite_package=better-sqlite3@12.11.1 # SQLite 3.53.2
sqlite_sha256=ebf0ed75a7a59dbcb3b24bbd014ef49d9f15bc328e4adcbf516f2a8fadfa2835
sqlite_dir=build/sqlite-amalgamation
pin="$sqlite_package $sqlite_sha256"
if [ "$(cat "$sqlite_dir/PINNED" 2>/dev/null)" != "$pin" ]; then
  fetch=$(mktemp -d)
  trap 'rm -rf "$fetch"' EXIT
  (cd "$fetch" && npm pack --silent "$sqlite_package" >/dev/null)
  tarball=("$fetch"/*.tgz)
  if ! echo "$sqlite_sha256  ${tarball[0]}" | sha256sum -c --quiet -; then
    echo "setup.sh: $sqlite_package is not the tarball pinned here (SHA-256 differs)" >&2
    exit 1
  fi
  tar -xzf "${tarball[0]}" -C "$fetch" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  # Dated now, not as npm dates every file, so a build rebuilds a new pin.
  touch "$fetch"/package/deps/sqlite3/*
  echo "$pin" >"$fetch/package/deps/sqlite3/PINNED"
  mkdir -p build
  rm -rf "$sqlite_dir"
  mv "$fetch/package/deps/sqlite3" "$sqlite_dir"
fi
