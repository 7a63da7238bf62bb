#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the window and the
# fuzz harnesses (clang with its libFuzzer runtime) need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl1-mesa-dev libftdi1-dev
          libgtest-dev xvfb xauth clang libclang-rt-dev libsqlite3-dev libpq-dev nettle-dev
          postgresql)
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
