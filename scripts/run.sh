#!/usr/bin/env bash
# Builds what is missing and starts the program. Without a display it runs
# on a virtual one.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh"

program="$root/build/bin/quorvalent-dunmarrow"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$program" "$@"
fi
exec "$program" "$@"
