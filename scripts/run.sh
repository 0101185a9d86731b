#!/usr/bin/env bash
# Builds what is missing and starts the program. Without a reachable
# printer it starts a private scheduler with a virtual printer that writes
# every job as a PDF into a folder it names; without a display it runs on a
# virtual one.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh"

if ! lpstat -r 2>/dev/null | grep -q "scheduler is running" || [ -z "$(lpstat -e 2>/dev/null)" ]; then
  demo="${XDG_CACHE_HOME:-$HOME/.cache}/quorvalent-dunmarrow/demo-printer"
  bash "$root/scripts/cups-private.sh" demo "$demo"
  export $(bash "$root/scripts/cups-private.sh" env "$demo")
  echo "No printer was reachable: printing to the virtual printer Dunmarrow_PDF,"
  echo "which writes every job as a PDF into $demo/printed"
fi

program="$root/build/bin/quorvalent-dunmarrow"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$program" "$@"
fi
exec "$program" "$@"
