#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the test command), against a
# private scheduler of their own.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
bash "$root/scripts/build.sh" -DDUNMARROW_BENCHMARKS=ON

cups="/tmp/dunmarrow-bench-cups"
bash "$root/scripts/cups-private.sh" start "$cups" 2>/dev/null
trap 'bash "$root/scripts/cups-private.sh" stop "$cups"' EXIT
export DUNMARROW_TEST_CUPS_DIR="$cups"
export $(bash "$root/scripts/cups-private.sh" env "$cups")

echo "== start-up"
"$build/bin/bench_startup"
echo "== queue"
"$build/bin/bench_queue"
echo "== batch"
"$build/bin/bench_batch"
echo "== print cache"
"$build/bin/bench_cache"
echo "== LibreOffice"
"$build/bin/bench_libreoffice"
echo "== print command"
"$build/bin/bench_printcommand"
echo "== forms"
"$build/bin/bench_forms"
echo "== image layout"
"$build/bin/bench_imagelayout"
echo "== pdfium"
for scenario in vector ghostscript longtext scanned longscan analyze; do
  "$build/bin/bench_pdfium" "$scenario"
done
