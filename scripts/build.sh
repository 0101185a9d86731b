#!/usr/bin/env bash
# Installs what is missing, fetches PDFium and builds into build/.
# Extra arguments go to CMake's configure step.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j2
bash "$root/scripts/fetch-pdfium.sh" "$build/bin"
