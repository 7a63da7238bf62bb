#!/usr/bin/env bash
# Cross-builds the Windows presets with MinGW-w64 and runs the Windows tests:
# windows-x64 (Zintra.dll, the stand-ins, plexmoor-cli.exe) with its suites
# under Wine's 64-bit loader, and windows-x86 (the 32-bit DLL), whose
# exports are checked but which does not run here (the kernel runs no
# 32-bit programs). Ends with the 64-bit zip in build/windows-x64/package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64
# The 32-bit build is checked by its export tables alone: its two DLLs.
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target Zintra ftd2xx
ctest --preset windows-x64 -j2
(cd build/windows-x86 && ctest --output-on-failure -R _exports)
(cd build/windows-x64 && cpack -G ZIP >/dev/null && ls package/*.zip)
