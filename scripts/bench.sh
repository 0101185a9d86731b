#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the test command).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DDUNMARROW_BENCHMARKS=ON >/dev/null
cmake --build "$root/build" -j2
bash "$root/scripts/fetch-pdfium.sh" "$root/build/bin"
for bench in "$root"/build/bin/bench_*; do
  echo "== $(basename "$bench")"
  "$bench"
done
