#!/bin/sh
# Runs a Windows program under Wine's 64-bit loader:
#   wine-run.sh WINE64 PREFIX DLL-FOLDER [PROGRAM [ARGUMENTS]]
#   wine-run.sh --which     prints the loader's path
# WINE64 is the loader (empty: found here). DLL-FOLDER is searched for DLLs
# after the program's own folder. The prefix is made once (wineboot, about
# 10 s), under a lock so that tests started together wait for it instead of
# racing; without a program, only that is done. Its server stays up a few
# seconds after the last program, so a suite's many short runs do not each
# start one (about 2 s).
set -eu

# Debian keeps the loader in Wine's library folder, not on PATH, and the
# plain "wine" is the 32-bit loader, which this kernel cannot run.
find_wine64() {
    for candidate in "$(command -v wine64 2>/dev/null || true)" /usr/lib/wine/wine64 \
        /usr/lib64/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
        "$(dpkg -L wine64 2>/dev/null | grep -m1 '/wine64$' || true)"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ] && [ ! -d "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    echo "wine-run.sh: no wine64 loader found; scripts/setup.sh windows installs it" >&2
    return 1
}

if [ "${1:-}" = --which ]; then
    find_wine64
    exit
fi
wine=$1 prefix=$2 dlls=$3
shift 3
[ -n "$wine" ] && [ -x "$wine" ] || wine=$(find_wine64)
server="$(dirname "$wine")/wineserver"
[ -x "$server" ] || server=wineserver
export WINEARCH=win64 WINEPREFIX="$prefix" WINEDEBUG=-all WINEPATH="Z:$dlls"
# Under a lock that Wine's lasting processes do not inherit, with none of
# the caller's output: the prefix made once, then (when none runs) the
# prefix's server started to stay up 10 s after its last program, with
# Wine's own processes, which would otherwise keep the output of the first
# program run open for as long as they live.
mkdir -p "$(dirname "$prefix")"
flock -o "$prefix.lock" sh -c '
    [ -f "$WINEPREFIX/system.reg" ] || "$1" wineboot -i
    if "$2" -p 10; then "$1" cmd /c exit; fi' sh "$wine" "$server" </dev/null >/dev/null 2>&1
[ $# -gt 0 ] || exit 0
exec "$wine" "$@"
