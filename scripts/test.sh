#!/usr/bin/env bash
# Installs what is missing, builds the product with its tests and
# benchmarks, and runs every test suite.
# Usage: scripts/test.sh [default|asan|noqt]
set -euo pipefail
preset=${1:-default}
cd "$(dirname "$0")/.."
scripts/setup.sh test
cmake --preset "$preset" -DBUILD_TESTING=ON >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
