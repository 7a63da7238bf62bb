#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs the installed programs
# there, away from the build tree: the demo tool (linked to Zintra) packs an
# image and plexmoor-cli (which loads Zintra by name) parses it back.
# Usage: installed_programs_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/plexmoor-cli lib/plexmoor/libZintra.so lib/plexmoor/libftd2xx.so \
         lib/udev/rules.d/70-plexmoor-ftdi.rules; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
cd "$prefix"
env -u LD_LIBRARY_PATH bin/plexmoor-cli --help >/dev/null
env -u LD_LIBRARY_PATH bin/plexmoor-demo-image demo.b
env -u LD_LIBRARY_PATH bin/plexmoor-cli parse demo.b --out demo.ini
grep -q '^SerialNumber=QV060904001' demo.ini
