#!/usr/bin/env bash
# Runs a command with an emulated FT2232H bridge on the USB bus, so the D2XX
# stand-in takes its real road (libftdi1, libusb, usbfs) to the virtual
# board's flash. The programs of the build (plexmoor-cli, Plexmoor, ...) are
# found by name.
# Usage: scripts/emulated-bridge.sh COMMAND [ARG...]
#   EMULATED_BRIDGE_BOARD=FILE  the board's flash (default build/emulated-board.bin;
#                               created erased when missing)
#   EMULATED_BRIDGE_FAULTS=...  nodevice, busy, bulk=N, stall=N, unplug=N
#   EMULATED_BRIDGE_BIN=DIR     the programs' folder (default build/default/bin)
# FTD2XX_VIRTUAL_PART, FTD2XX_VIRTUAL_BRIDGE and FTD2XX_VIRTUAL_FAULTS describe
# the board behind the bridge, as for the virtual board.
# Plexmoor needs a display: scripts/emulated-bridge.sh xvfb-run -a Plexmoor
set -euo pipefail
[ $# -gt 0 ] || { sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${EMULATED_BRIDGE_BIN:-$root/build/default/bin}
if [ -z "${EMULATED_BRIDGE_BIN:-}" ] && [ ! -x "$bin/emulated-bridge" ]; then
  (cd "$root" && scripts/setup.sh emulation &&
   { [ -f build/default/CMakeCache.txt ] || cmake --preset default -DBUILD_TESTING=OFF >/dev/null; } &&
   cmake --preset default >/dev/null &&
   cmake --build --preset default --target product emulated-bridge) >&2
fi
export EMULATED_BRIDGE_BOARD=$(realpath -m "${EMULATED_BRIDGE_BOARD:-$root/build/emulated-board.bin}")
export PATH="$bin:$PATH"
exec "$bin/emulated-bridge" "$@"
