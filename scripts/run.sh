#!/usr/bin/env bash
# Installs what is missing, builds, and starts Plexmoor.
# Usage: scripts/run.sh [--virtual-board [FILE]]
#   --virtual-board  talk to the virtual board instead of a USB bridge; its
#                    flash lives in FILE (default: build/virtual-board.bin)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [ "${1:-}" = "--virtual-board" ]; then
  export FTD2XX_VIRTUAL_BOARD="$(realpath -m "${2:-build/virtual-board.bin}")"
fi
exec build/default/bin/Plexmoor
