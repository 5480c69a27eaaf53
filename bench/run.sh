#!/usr/bin/env bash
# Runs every benchmark built in the given build folder, one after the other.
set -uo pipefail
build=${1:-build-bench}
status=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
