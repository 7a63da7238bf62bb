#!/usr/bin/env bash
# Installs what is missing, builds, and starts Plexmoor.
# Usage: scripts/run.sh [--virtual-board [FILE]]
#   --virtual-board  talk to the virtual board instead of a USB bridge; its
#                    flash lives in FILE (default: build/virtual-board.bin).
#                    A demo image is packed at the flash panel's default path
#                    (build/default/bin/firmware.b) when none is there.
# Plexmoor needs a display; without one, run it as xvfb-run scripts/run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
bin=build/default/bin
if [ "${1:-}" = "--virtual-board" ]; then
  export FTD2XX_VIRTUAL_BOARD="$(realpath -m "${2:-build/virtual-board.bin}")"
  [ -e "$bin/firmware.b" ] || "$bin/plexmoor-demo-image" "$bin/firmware.b"
fi
exec "$bin/Plexmoor"
