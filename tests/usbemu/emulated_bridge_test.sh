#!/usr/bin/env bash
# plexmoor-cli on the bridge road (the D2XX stand-in's USB backend, libftdi1,
# libusb, the emulated FT2232H) beside the same command on the virtual board:
# each case must end alike on both roads, in exit status, messages, files
# and flash.
# Usage: emulated_bridge_test.sh BUILD_DIR CASE
set -uo pipefail
bin=$(cd "$1" && pwd)/bin case=$2
bridge=$(cd "$(dirname "$0")/../.." && pwd)/scripts/emulated-bridge.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
# Recovery copies of this run's configuration writes stay in its own folder:
# a copy beside the shared library would make every other test's run wait
# for a recovery.
export ZINTRA_RECOVERY_DIR=$work/recovery XDG_STATE_HOME=$work/state
mkdir -p "$ZINTRA_RECOVERY_DIR"
"$bin/plexmoor-demo-image" demo.b >/dev/null
head -c 8192 demo.b >small.b # the bridge road keeps real time: a short image for the exact mode
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# road usb|vb USB_FAULTS BOARD_FAULTS CLI_ARGS...: one command in folder usb/ or vb/,
# on a copy of seed.bin when there is one.
road() {
  local name=$1 usb_faults=$2 board_faults=$3
  shift 3
  mkdir -p "$name"
  [ ! -f seed.bin ] || cp seed.bin "$name/board.bin"
  [ ! -f line.ini ] || cp line.ini "$name/"
  if [ "$name" = usb ]; then
    # Real time is the model's: a 1 ms latency timer keeps the exact mode's
    # short reads from waiting 16 ms each.
    (cd usb && EMULATED_BRIDGE_BIN=$bin EMULATED_BRIDGE_BOARD=$PWD/board.bin \
      EMULATED_BRIDGE_FAULTS=$usb_faults FTD2XX_VIRTUAL_LATENCY_MS=1 "$bridge" plexmoor-cli "$@")
  else
    (cd vb && FTD2XX_VIRTUAL_BOARD=$PWD/board.bin FTD2XX_VIRTUAL_TIME=1 \
      FTD2XX_VIRTUAL_FAULTS=$board_faults "$bin/plexmoor-cli" "$@")
  fi >"$name/out" 2>"$name/err"
  echo $? >"$name/status"
  sed -i '/^programmed/d' "$name/out" "$name/err" # progress carries times
}

# alike USB_FAULTS BOARD_FAULTS CLI_ARGS...: both roads, every file compared.
alike() {
  rm -rf usb vb
  road usb "$1" "" "${@:3}"
  road vb "" "$2" "${@:3}"
  diff -r usb vb >/dev/null || fail "$case ($1 / $2): $(diff -r usb vb | head -5)"
}

succeeded() { [ "$(cat usb/status)" = 0 ] || fail "$case: exit status $(cat usb/status)"; }
seed_with() { rm -f seed.bin && road vb "" "" "$@" && cp vb/board.bin seed.bin; }
holds() { cmp -s -n "$(stat -c %s "$1")" "$1" "$2" || fail "$case: $2 does not hold $1"; }

case $case in
init_read)
  seed_with program ../demo.b --fast --no-record
  alike "" "" read --out got.ini --no-record
  succeeded ;;
program_exact)
  alike "" "" program ../small.b --raw --no-record
  succeeded
  holds small.b usb/board.bin ;;
program_fast)
  seed_with program ../small.b --raw --fast --no-record
  alike "" "" program ../demo.b --fast --no-record
  succeeded
  holds demo.b usb/board.bin ;;
serial)
  seed_with program ../demo.b --fast --no-record
  "$bin/plexmoor-cli" parse demo.b --out line.ini >/dev/null
  alike "" "" serial --config line.ini --no-record
  succeeded ;;
backup_restore)
  seed_with program ../demo.b --fast --no-record
  road usb "" "" program ../small.b --raw --fast --backup backups --no-record
  backup=$(ls usb/backups/backup-*.bin)
  first=${backup%-*}
  road usb "" "" program "../$backup" --raw --address "0x${first##*-}" --fast --no-record
  cmp -s seed.bin usb/board.bin || fail "$case: the restore did not bring the flash back" ;;
faults)
  # In the exact mode, whose transfers do not depend on the chip's timing.
  alike nodevice nodevice program ../small.b --raw --no-record
  alike busy open program ../small.b --raw --no-record
  alike bulk=30 write=30 program ../small.b --raw --no-record
  # A read that times out: the run goes on as after a failed read.
  alike stall=30 read=12 program ../small.b --raw --no-record ;;
unplug)
  # Unplugged mid-run: the run fails, and the next finds no bridge.
  rm -rf usb && road usb unplug=30 "" program ../small.b --raw --no-record
  [ "$(cat usb/status)" = 1 ] && [ "$(tail -1 usb/err)" = "FT_Write fail!" ] ||
    fail "$case: the run did not fail where the bridge went: $(tail -2 usb/err)"
  last=$(EMULATED_BRIDGE_BIN=$bin EMULATED_BRIDGE_BOARD=$PWD/b.bin EMULATED_BRIDGE_FAULTS=unplug=30 \
    "$bridge" sh -c 'plexmoor-cli program small.b --raw --no-record; plexmoor-cli read --out x.ini --no-record' 2>&1 | tail -1)
  [ "$last" = "Open usb device error" ] || fail "$case: the bridge was still there: $last"
  # Unplugged while serial writes the block page by page: the lost bridge
  # is told once, then the block's message naming the recovery copy.
  FTD2XX_VIRTUAL_BOARD=$PWD/s.bin FTD2XX_VIRTUAL_TIME=1 "$bin/plexmoor-cli" program demo.b --fast \
    --no-record >/dev/null 2>&1
  "$bin/plexmoor-cli" parse demo.b --out s.ini >/dev/null 2>&1
  EMULATED_BRIDGE_BIN=$bin EMULATED_BRIDGE_BOARD=$PWD/s.bin EMULATED_BRIDGE_FAULTS=unplug=535 \
    FTD2XX_VIRTUAL_LATENCY_MS=1 "$bridge" plexmoor-cli serial --config s.ini --no-record 2>s.err
  [ "$(wc -l <s.err)" = 2 ] && [ "$(head -1 s.err)" = "FT_Write fail!" ] &&
    tail -1 s.err | grep -q "is saved in $ZINTRA_RECOVERY_DIR/zintra-flash-" ||
    fail "$case: an unplug during serial: $(head -c 600 s.err)" ;;
socket)
  # A board put on and taken off the bridge through its socket, named by
  # the bridge's serial number: no chip, the chip, a chip that does not answer.
  probe() {
    FTD2XX_VIRTUAL_SOCKET=$PWD/socket-%s EMULATED_BRIDGE_BIN=$bin EMULATED_BRIDGE_BOARD=$PWD/unused.bin \
      "$bridge" plexmoor-cli list --probe | sed 's/^EB000001 *Dual RS232-HS *//'
  }
  for content in "" "board.bin" "board.bin\nfaults=nochip"; do
    printf "$content" >socket-EB000001
    want="C2 20 15 MX25L16-class 2048 KiB"
    [ "$content" = "board.bin" ] || want=none
    [ "$(probe)" = "$want" ] || fail "$case ($content): $(probe)"
  done
  [ ! -e unused.bin ] || fail "$case: the board the socket replaces was made" ;;
*) fail "no case $case" ;;
esac
[ $failures -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $((failures > 0))
