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
         lib/udev/rules.d/70-plexmoor-ftdi.rules; do
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
