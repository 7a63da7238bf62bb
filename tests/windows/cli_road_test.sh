#!/bin/sh
# plexmoor-cli.exe as a user runs it under Wine: the stand-in ftd2xx.dll
# beside it, the virtual board chosen by the environment with a Windows
# path, files on disk. The demo image is programmed into the board file,
# then a serial is flashed and read back into a configuration file.
#   cli_road_test.sh WINE-RUN WINE64 PREFIX BIN
set -eu
run="$1 $2 $3 $4"
bin=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/plexmoor-wine-XXXXXX")
trap 'rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
cli() { $run "$bin/plexmoor-cli.exe" "$@"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# Recovery copies of its own: the suites run beside it leave theirs in bin.
export FTD2XX_VIRTUAL_BOARD="$(windows "$work/board.bin")" FTD2XX_VIRTUAL_TIME=1 \
    ZINTRA_RECOVERY_DIR="$(windows "$work")"

$run "$bin/plexmoor-demo-image.exe" "$(windows "$work/demo.b")" >/dev/null
cli parse "$(windows "$work/demo.b")" --out "$(windows "$work/line.ini")" 2>"$work/err" ||
    fail "parse: $(cat "$work/err")"
grep -q "$(printf 'SerialNumber=QV060904001\r')" "$work/line.ini" ||
    fail "parse: no serial with CR LF in line.ini"

cli program "$(windows "$work/demo.b")" 2>"$work/err" || fail "program: $(cat "$work/err")"
size=$(stat -c %s "$work/demo.b")
cmp -n "$size" "$work/demo.b" "$work/board.bin" || fail "program: the board does not hold the image"

serial=$(cli serial --config "$(windows "$work/line.ini")" 2>"$work/err" | tr -d '\r') ||
    fail "serial: $(cat "$work/err")"
case $serial in QV[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]) ;; *) fail "serial: '$serial'" ;; esac
grep -q "$(printf 'SerialNumber=%s\r' "$serial")" "$work/line.ini" ||
    fail "serial: line.ini does not hold $serial"

cli read --config "$(windows "$work/line.ini")" --out "$(windows "$work/board.ini")" 2>"$work/err" ||
    fail "read: $(cat "$work/err")"
grep -q "$(printf 'SerialNumber=%s\r' "$serial")" "$work/board.ini" ||
    fail "read: the board gave back no $serial"
echo "demo image programmed, serial $serial flashed and read back"
