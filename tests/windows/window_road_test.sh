#!/bin/sh
# Plexmoor.exe as a user runs it under Wine on a virtual X display: copied
# into a folder of its own with the libraries and the stand-in ftd2xx.dll,
# driven from inside through its own controls (PLEXMOOR_DRIVE), the virtual
# board chosen by the environment. It starts with the start caption and the
# four tabs and writes its settings file at close; Init and Flash program
# the demo image into the board, with a row in the record the Record box
# names, which History lists. With a folder as last argument, it also
# saves the four tabs as PNG files there.
#   window_road_test.sh WINE-RUN WINE64 PREFIX BIN [SHOTS]
# Exits with 77 (skipped) where no X display can be had.
set -eu
if [ -z "${PLEXMOOR_XVFB:-}" ]; then
    if command -v xvfb-run >/dev/null && command -v Xvfb >/dev/null; then
        PLEXMOOR_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
    fi
    [ -n "${DISPLAY:-}" ] || { echo "no X display and no Xvfb: skipped"; exit 77; }
fi
# A prefix of the test's own: its desktop process lives on this display.
prefix="$3-window"
bin=$4
run="$1 $2 $prefix $bin"
shots=${5:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/plexmoor-window-XXXXXX")
# Its processes ended with the test rather than waited for: a prefix whose
# server starts again after a window ran there starts rpcss.exe, which keeps
# that server up for good.
trap 'WINEPREFIX="$prefix" "$(dirname "$2")/wineserver" -k; rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
fail() { echo "FAILED: $*" >&2; exit 1; }
mkdir "$work/program"
cp "$bin/Plexmoor.exe" "$bin"/*.dll "$work/program/"
plexmoor() { PLEXMOOR_DRIVE="$1" timeout 120 $run "$work/program/Plexmoor.exe" | tr -d '\r'; }
# Wine draws the window's caption and frame itself, as Windows does, rather
# than leaving them to a window manager the virtual display does not run.
$run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
start_caption="caption: Solvanti Plexmoor ( Ver: 1.17 ) "

out=$(plexmoor "print;close")
echo "$out" | grep -qxF "$start_caption" || fail "start: $out"
echo "$out" | grep -qxF "tabs: Flash|Setting|MIB|Design" || fail "tabs: $out"
[ -f "$work/program/Glinterra.ini" ] || fail "close: no settings file written"

export FTD2XX_VIRTUAL_BOARD="$(windows "$work/board.bin")" FTD2XX_VIRTUAL_TIME=1
$run "$bin/plexmoor-demo-image.exe" "$(windows "$work/demo.b")" >/dev/null
out=$(plexmoor "text txtRecord $(windows "$work/record.db");text txtPath $(windows "$work/demo.b");click Command2;click Command3;print;click Command2;click btnHistory;print;close")
echo "$out" | grep -qxF "caption: 0: Msg = Flash Complete, Solvanti Plexmoor ( Ver: 1.17 )" ||
    fail "flash: $out"
size=$(stat -c %s "$work/demo.b")
cmp -n "$size" "$work/demo.b" "$work/board.bin" || fail "flash: the board does not hold the image"
echo "$out" | grep -qxF "history: 1 / 1 of the latest rows shown" || fail "history: $out"
echo "$out" | grep -q "^row: 1|.*|C2 20 15|flash||done|programmed $size bytes at 00000000" ||
    fail "history: no row of the flash: $out"

if [ -n "$shots" ]; then
    steps="print" n=0
    for tab in flash setting mib design; do
        steps="$steps;tab $n;shot $(windows "$work/$tab.bmp")" n=$((n + 1))
    done
    plexmoor "$steps;close" >/dev/null
    for tab in flash setting mib design; do
        convert "$work/$tab.bmp" "$shots/plexmoor-windows-$tab.png"
    done
fi
echo "Plexmoor.exe started, closed with its settings written, and flashed the demo image"
