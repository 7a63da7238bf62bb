#!/usr/bin/env bash
# A production run without a window: one pack of the engineer's
# configuration, then for each board the image, a configuration block with
# the next serial number, and a read-back that checks the board took it.
# Usage: scripts/production-line.sh CONFIG.ini [--boards N] [--released IMAGE] [--virtual]
#   CONFIG.ini        saved with "Save config" in Plexmoor; its SerialNumber
#                     is advanced board by board
#   --boards N        how many boards (default 10); on a real bridge the
#                     script waits for Enter between boards
#   --released IMAGE  pack from this released image instead of the sources
#   --virtual         each board a virtual one, build/boards/board-N.bin,
#                     in virtual time
set -euo pipefail
config=$(realpath "$1"); shift
boards=10 released=() virtual=
while [ $# -gt 0 ]; do
  case "$1" in
    --boards) boards=$2; shift 2 ;;
    --released) released=(--released "$(realpath "$2")"); shift 2 ;;
    --virtual) virtual=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
cli=build/default/bin/plexmoor-cli
[ -x "$cli" ] || { cmake --preset default >/dev/null && cmake --build --preset default; }
image=$PWD/build/production-image.b
"$cli" pack --config "$config" "${released[@]}" --out "$image" --no >/dev/null
mkdir -p build/boards
for n in $(seq 1 "$boards"); do
  if [ -n "$virtual" ]; then
    export FTD2XX_VIRTUAL_BOARD="$PWD/build/boards/board-$n.bin" FTD2XX_VIRTUAL_TIME=1
  else
    read -r -p "Board $n: connect it and press Enter " _
  fi
  "$cli" program "$image" 2>/dev/null
  serial=$("$cli" serial --config "$config")
  "$cli" read --config "$config" --out "build/boards/board-$n.ini"
  grep -q "^SerialNumber=$serial" "build/boards/board-$n.ini" ||
    { echo "board $n: the serial read back is not $serial" >&2; exit 1; }
  echo "board $n: $serial"
done
