#!/usr/bin/env bash
# Installs what the product needs, builds the programs and their libraries
# (no tests: a build folder made here has BUILD_TESTING off until
# scripts/test.sh turns it on), and starts Plexmoor.
# Usage: scripts/run.sh [--virtual-board [FILE]]
#   --virtual-board  talk to the virtual board instead of a USB bridge; its
#                    flash lives in FILE (default: build/virtual-board.bin).
#                    A demo image is packed at the flash panel's default path
#                    (build/default/bin/firmware.b) when none is there.
# Plexmoor needs a display; without one, run it as xvfb-run scripts/run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh product
if [ -f build/default/CMakeCache.txt ]; then
  cmake --preset default >/dev/null
else
  cmake --preset default -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build --preset default --target product
bin=build/default/bin
if [ "${1:-}" = "--virtual-board" ]; then
  export FTD2XX_VIRTUAL_BOARD="$(realpath -m "${2:-build/virtual-board.bin}")"
  [ -e "$bin/firmware.b" ] || "$bin/plexmoor-demo-image" "$bin/firmware.b"
fi
exec "$bin/Plexmoor"
