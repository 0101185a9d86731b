#!/usr/bin/env bash
# Builds the Debian package: the same set-up and build as the other
# commands, then cpack. Prints the package's path.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh"
(cd "$root/build" && cpack -G DEB >/dev/null)
ls "$root/build"/quorvalent-dunmarrow_*_amd64.deb
