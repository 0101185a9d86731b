#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Benchmarks are not part of the test command.
bash "$root/scripts/build.sh" -DDUNMARROW_BENCHMARKS=OFF
cd "$root/build"
ctest --output-on-failure -j2 "$@"
