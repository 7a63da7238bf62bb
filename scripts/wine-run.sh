#!/bin/sh
# Runs a Windows program under Wine's 64-bit loader:
#   wine-run.sh WINE64 PREFIX DLL-FOLDER PROGRAM [ARGUMENTS]
# DLL-FOLDER is searched for DLLs after the program's own folder. The prefix
# is made once (wineboot, about 10 s), under a lock so that tests started
# together wait for it instead of racing.
set -eu
wine=$1 prefix=$2 dlls=$3
shift 3
export WINEARCH=win64 WINEPREFIX="$prefix" WINEDEBUG=-all WINEPATH="Z:$dlls"
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    flock "$prefix.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$1" wineboot -i >/dev/null 2>&1' sh "$wine"
fi
exec "$wine" "$@"
