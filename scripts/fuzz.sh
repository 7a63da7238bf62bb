#!/usr/bin/env bash
# Builds the libFuzzer harnesses in fuzz/ with clang (the "fuzz" preset:
# ASan and UBSan) and runs each for a while from its seed corpus.
# Usage: [FUZZ_RUNS=N] scripts/fuzz.sh [SECONDS [grow]]
#   SECONDS    per harness at most (default 20)
#   FUZZ_RUNS  stop each harness after N inputs (the smoke CI runs)
#   grow       keep the new inputs that add coverage in fuzz/corpus/
# The smoke starts from a fixed seed and stops after a fixed number of
# inputs, so the same tree fuzzes the same inputs every time, however fast
# the machine: a finding is the tree's, never the clock's. A finding is
# left in build/fuzz/findings/; rerun it with
# build/fuzz/bin/NAME build/fuzz/findings/crash-...
set -euo pipefail
seconds=${1:-20}
grow=${2:-}
runs=${FUZZ_RUNS:--1}
cd "$(dirname "$0")/.."
scripts/setup.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
status=0
for corpus in fuzz/corpus/*_fuzz; do
  name=$(basename "$corpus")
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/
  echo "== $name, $seconds s"
  if ! build/fuzz/bin/"$name" -seed=1 -runs="$runs" -max_total_time="$seconds" -timeout=10 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
       "$work" 2>"$work.log"; then
    tail -n 40 "$work.log"
    status=1
  fi
  grep -E '^(Done|stat::average_exec_per_sec)' "$work.log" | sort -u || true
  if [ "$grow" = grow ]; then
    build/fuzz/bin/"$name" -merge=1 "$corpus" "$work" >/dev/null 2>&1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
