#!/usr/bin/env bash
# A private CUPS scheduler in a folder of its own, with test queues.
#
#   cups-private.sh start DIR [CAPTURE_BACKEND]
#                               start it (idempotent) and add the queues; with
#                               the program's capture backend built, install
#                               it, so temporary capture queues can be made
#   cups-private.sh stop DIR    stop it
#   cups-private.sh env DIR     print the CUPS_SERVER line for clients
#   cups-private.sh demo DIR    start it with one virtual printer,
#                               Dunmarrow_PDF, that writes every job as a PDF
#                               into DIR/printed
#
# Queues (each job of both lands as its own file under DIR/out/<queue>/):
#   Dunmarrow_Raw  raw, no filters: the bytes sent are the bytes stored
#   Dunmarrow_PS   PostScript (generic PPD, duplexer installed): the
#                  printer's own filter chain runs, so the output shows copies,
#                  duplex and page size
#   Dunmarrow_Closed  enabled but rejecting jobs, as a queue an administrator
#                  closed
#   Dunmarrow_A4   PostScript like Dunmarrow_PS, its administrator's default
#                  paper A4 (the driver description's default page size)
#   Dunmarrow_A3   raw, its administrator's default paper A3 (media-default)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cmd=${1:-}
dir=${2:-}
capture_backend=${3:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|env DIR" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
sock="$dir/cups.sock"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

is_running() {
  [ -f "$dir/cupsd.pid" ] || return 1
  local pid
  pid=$(cat "$dir/cupsd.pid")
  [ -d "/proc/$pid" ] && ! grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null
}

write_config() {
  local port=$1
  mkdir -p "$dir"/{bin/backend,cache,spool/tmp,state,log,ppd,out}
  chmod 755 "$dir" "$dir/bin" "$dir/bin/backend"
  chmod 1777 "$dir/out"
  for d in filter daemon driver cgi-bin monitor notifier; do
    ln -sfn "/usr/lib/cups/$d" "$dir/bin/$d"
  done
  # Not world-executable: CUPS then runs it as root, so it can write into
  # DIR/out whoever owns the tree.
  install -m 700 "$here/cups-spool-backend.sh" "$dir/bin/backend/dunmarrow-spool"

  cat > "$dir/cupsd.conf" <<CONF
Listen $sock
Listen 127.0.0.1:$port
LogLevel warn
Browsing No
DefaultShared No
WebInterface No
DefaultAuthType None
ErrorPolicy abort-job
PreserveJobHistory Yes
MaxJobs 0
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF
  cat > "$dir/cups-files.conf" <<CONF
FileDevice Yes
ServerRoot $dir
ServerBin $dir/bin
StateDir $dir/state
CacheDir $dir/cache
RequestRoot $dir/spool
TempDir $dir/spool/tmp
Printcap $dir/printcap
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
CONF
  echo "$port" > "$dir/port"
  install_capture_backend
}

add_queues() {
  local server="localhost:$(cat "$dir/port")"
  mkdir -p "$dir/out/Dunmarrow_Raw" "$dir/out/Dunmarrow_PS"
  chmod 1777 "$dir/out/Dunmarrow_Raw" "$dir/out/Dunmarrow_PS"
  lpadmin -h "$server" -p Dunmarrow_Raw -E -v "dunmarrow-spool:$dir/out/Dunmarrow_Raw" 2>/dev/null
  lpadmin -h "$server" -p Dunmarrow_PS -E -v "dunmarrow-spool:$dir/out/Dunmarrow_PS" \
    -m drv:///sample.drv/generic.ppd -o Option1=True
  lpadmin -h "$server" -p Dunmarrow_Closed -E -v "dunmarrow-spool:$dir/out/Dunmarrow_Raw"
  cupsreject -h "$server" Dunmarrow_Closed
  mkdir -p "$dir/out/Dunmarrow_A4" "$dir/out/Dunmarrow_A3"
  chmod 1777 "$dir/out/Dunmarrow_A4" "$dir/out/Dunmarrow_A3"
  lpadmin -h "$server" -p Dunmarrow_A4 -E -v "dunmarrow-spool:$dir/out/Dunmarrow_A4" \
    -m drv:///sample.drv/generic.ppd -o Option1=True -o PageSize=A4 2>/dev/null
  lpadmin -h "$server" -p Dunmarrow_A3 -E -v "dunmarrow-spool:$dir/out/Dunmarrow_A3" \
    -o media-default=iso_a3_297x420mm 2>/dev/null
}

install_capture_backend() {
  [ -n "$capture_backend" ] || return 0
  # Mode 0700, as installed for the system's scheduler: run as root, it
  # gives root up for the user who listed the port.
  install -m 700 "$capture_backend" "$dir/bin/backend/dunmarrow-capture"
}

start() {
  if is_running; then
    install_capture_backend
    return 0
  fi
  # Jobs of an earlier run would be mistaken for this run's.
  rm -rf "$dir/out"
  write_config "$(free_port)"
  cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
  echo $! > "$dir/cupsd.pid"
  for _ in $(seq 1 200); do
    if lpstat -h "$sock" -r 2>/dev/null | grep -q "scheduler is running"; then
      add_queues
      return 0
    fi
    is_running || break
    sleep 0.05
  done
  echo "The private CUPS scheduler did not start; see $dir/log" >&2
  cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null >&2 || true
  return 1
}

demo() {
  if ! is_running; then
    write_config "$(free_port)"
    cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
    echo $! > "$dir/cupsd.pid"
    for _ in $(seq 1 200); do
      lpstat -h "$sock" -r 2>/dev/null | grep -q "scheduler is running" && break
      sleep 0.05
    done
  fi
  mkdir -p "$dir/printed"
  chmod 1777 "$dir/printed"
  # The program sends PDF: a raw queue keeps it as it is.
  lpadmin -h "localhost:$(cat "$dir/port")" -p Dunmarrow_PDF -E \
    -v "dunmarrow-spool:$dir/printed#pdf" -D "Virtual PDF printer" \
    -o print-color-mode-default=color 2>/dev/null
  lpadmin -h "localhost:$(cat "$dir/port")" -d Dunmarrow_PDF 2>/dev/null
}

stop() {
  is_running || { rm -f "$dir/cupsd.pid"; return 0; }
  local pid
  pid=$(cat "$dir/cupsd.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do
    if [ ! -d "/proc/$pid" ] || grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null; then
      rm -f "$dir/cupsd.pid"
      return 0
    fi
    sleep 0.05
  done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$dir/cupsd.pid"
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  env) echo "CUPS_SERVER=localhost:$(cat "$dir/port")" ;;
  demo) demo ;;
  *) echo "usage: $0 start|stop|env|demo DIR" >&2; exit 2 ;;
esac
