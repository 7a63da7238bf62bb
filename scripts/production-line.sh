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
#   --virtual         each board a virtual one, in virtual time
# Each run keeps its records in a folder of its own,
# build/production/<date>-<time>/ (the image, board-N.ini read back from
# each board, board-N.bin for a virtual board); a run never touches the
# records of an earlier one. The line stops at the first board that fails,
# with plexmoor-cli's messages on the terminal, and exits 1.
set -euo pipefail
usage() { sed -n '5,16p' "$0" | cut -c3-; }
fail() { echo "production-line.sh: $*" >&2; exit 2; }
[ $# -ge 1 ] || { usage >&2; exit 2; }
case "$1" in -h|--help) usage; exit 0 ;; -*) fail "the first argument is the configuration file" ;; esac
[ -f "$1" ] || fail "$1: no such configuration file"
config=$(realpath -- "$1"); shift
boards=10 released=() virtual=
while [ $# -gt 0 ]; do
  case "$1" in
    --boards)
      [[ ${2:-} =~ ^[1-9][0-9]{0,5}$ ]] || fail "--boards takes a number of boards, 1 or more"
      boards=$2; shift 2 ;;
    --released)
      [ -f "${2:-}" ] || fail "--released takes an image file that exists"
      released=(--released "$(realpath -- "$2")"); shift 2 ;;
    --virtual) virtual=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) fail "unknown option $1" ;;
  esac
done
cd "$(dirname "$0")/.."
cli=build/default/bin/plexmoor-cli
if [ ! -x "$cli" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target plexmoor-cli
fi
# A folder no earlier run has: the time stamp, and a count when two runs
# start within one second.
stamp=build/production/$(date +%Y%m%d-%H%M%S)
run=$stamp n=1
mkdir -p build/production
until mkdir "$run" 2>/dev/null; do n=$((n + 1)); run=$stamp-$n; done
run=$(realpath "$run")
echo "records of this run: $run"
image=$run/image.b
"$cli" pack --config "$config" "${released[@]}" --out "$image" --no >/dev/null ||
  { echo "the pack failed; no board was touched" >&2; exit 1; }
for n in $(seq 1 "$boards"); do
  if [ -n "$virtual" ]; then
    export FTD2XX_VIRTUAL_BOARD="$run/board-$n.bin" FTD2XX_VIRTUAL_TIME=1
  else
    read -r -p "Board $n: connect it and press Enter " _
  fi
  "$cli" program "$image" || { echo "board $n: programming failed; the line stops" >&2; exit 1; }
  serial=$("$cli" serial --config "$config") ||
    { echo "board $n: the serial number was not written; the line stops" >&2; exit 1; }
  "$cli" read --config "$config" --out "$run/board-$n.ini" ||
    { echo "board $n: the read-back failed; the line stops" >&2; exit 1; }
  grep -q "^SerialNumber=$serial" "$run/board-$n.ini" ||
    { echo "board $n: the serial read back is not $serial" >&2; exit 1; }
  echo "board $n: $serial"
done
