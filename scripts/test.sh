#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
# Usage: scripts/test.sh [default|asan|noqt]
set -euo pipefail
preset=${1:-default}
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
