#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs the installed programs
# there, away from the build tree: the demo tool (linked to Zintra) packs an
# image and plexmoor-cli (which loads Zintra by name) parses it back.
# Usage: installed_programs_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/plexmoor-cli lib/plexmoor/libZintra.so lib/plexmoor/libftd2xx.so \
         lib/udev/rules.d/70-plexmoor-ftdi.rules share/man/man1/plexmoor-cli.1 \
         share/bash-completion/completions/plexmoor-cli; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
cd "$prefix"
env -u LD_LIBRARY_PATH bin/plexmoor-cli --help >/dev/null
env -u LD_LIBRARY_PATH bin/plexmoor-demo-image demo.b
env -u LD_LIBRARY_PATH bin/plexmoor-cli parse demo.b --out demo.ini
grep -q '^SerialNumber=QV060904001' demo.ini

# An installed program's folder takes no files: the window keeps its
# settings in the user's folder for settings, reads them from there at the
# next start, and writes nothing beside itself. Root may write anywhere, so
# the window then runs as nobody.
if [ -x bin/Plexmoor ]; then
  home=$(mktemp -d)
  trap 'rm -rf "$prefix" "$home"' EXIT
  mkdir -p "$home/.config/plexmoor"
  printf 'MEMOALL=K\xe4se\r\n' >"$home/.config/plexmoor/Glinterra.ini"
  chmod 755 "$prefix"
  chmod a-w bin
  as_user=()
  if [ "$(id -u)" = 0 ]; then
    chown -R nobody "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  "${as_user[@]}" env -u LD_LIBRARY_PATH -u XDG_CONFIG_HOME HOME="$home" \
    QT_QPA_PLATFORM=offscreen PLEXMOOR_SCREENSHOT="$home/shot.png" bin/Plexmoor
  chmod u+w bin
  [ ! -e bin/Glinterra.ini ] || { echo "settings written beside the installed program" >&2; exit 1; }
  LC_ALL=C grep -q $'^MEMOALL=K\xe4se\r$' "$home/.config/plexmoor/Glinterra.ini"
  grep -q '^FLASHPATH=' "$home/.config/plexmoor/Glinterra.ini"
fi

# plexmoor-cli as a user of the installed programs: the record it starts at
# its default place goes to the user's data folder, and a board is
# programmed and serialised without a file beside the program.
user=$(mktemp -d)
trap 'rm -rf "$prefix" "${home:-}" "$user"' EXIT
chmod 755 "$prefix" "$user"
cp demo.b demo.ini "$user/"
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown -R nobody "$user"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod a-w bin lib/plexmoor
run_as_user() {
  (cd "$user" && "${as_user[@]}" env -u LD_LIBRARY_PATH -u XDG_DATA_HOME -u XDG_STATE_HOME \
    -u PLEXMOOR_RECORD -u ZINTRA_RECOVERY_DIR HOME="$user" FTD2XX_VIRTUAL_BOARD="$user/board.bin" \
    FTD2XX_VIRTUAL_TIME=1 "$prefix/bin/plexmoor-cli" "$@")
}
run_as_user program demo.b 2>/dev/null
run_as_user serial --config demo.ini >/dev/null 2>&1
chmod u+w bin lib/plexmoor
[ -f "$user/.local/share/plexmoor/plexmoor-record.db" ] ||
  { echo "the record is not in the user's data folder" >&2; exit 1; }
left=$(find bin lib/plexmoor -type f ! -name plexmoor-cli ! -name plexmoor-demo-image \
  ! -name Plexmoor ! -name '*.so')
[ -z "$left" ] || { echo "files written beside the installed programs: $left" >&2; exit 1; }
