#!/usr/bin/env bash
# Builds the benchmarks (optimised, no sanitizers) and runs them all, or those
# whose names contain the words given: tools/bench.sh [trees|reports|card ...]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --test
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKOLVA_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)"
echo "cores: $(nproc)"
for b in build-bench/bench/bench_*; do
  [ -x "$b" ] || continue
  if [ $# -gt 0 ]; then
    match=0
    for w in "$@"; do [[ "$(basename "$b")" == *"$w"* ]] && match=1; done
    [ $match -eq 1 ] || continue
  fi
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$b"
done
