#!/usr/bin/env bash
# Places libpdfium.so beside the program: fetched once with npm, checked
# against its known digest, never committed.
#
#   fetch-pdfium.sh DEST_FOLDER
set -euo pipefail

package="@craftlions/pdfium-rs-linux-x64-gnu"
version="0.0.15"
sha256="246872bdd5e05843b70051e6378216cc584535a1f4a7248b9f88059715d70f7c"

dest=${1:?usage: fetch-pdfium.sh DEST_FOLDER}
mkdir -p "$dest"
target="$dest/libpdfium.so"

digest_ok() { [ -f "$1" ] && echo "$sha256  $1" | sha256sum --quiet -c - >/dev/null 2>&1; }

digest_ok "$target" && exit 0

cache="${XDG_CACHE_HOME:-$HOME/.cache}/quorvalent-dunmarrow/pdfium-$version"
if ! digest_ok "$cache/libpdfium.so"; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$package@$version" >/dev/null)
  tar -xzf "$work"/*.tgz -C "$work" package/libpdfium.so
  if ! digest_ok "$work/package/libpdfium.so"; then
    echo "libpdfium.so from $package@$version does not match its known digest" >&2
    exit 1
  fi
  mkdir -p "$cache"
  install -m 644 "$work/package/libpdfium.so" "$cache/libpdfium.so"
fi
install -m 644 "$cache/libpdfium.so" "$target"
