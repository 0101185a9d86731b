#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks what it holds.
#   check-package.sh BUILD_DIR
set -euo pipefail

build=$1
packaging=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../packaging" && pwd)
cd "$build"
rm -f quorvalent-dunmarrow_*_amd64.deb
cpack -G DEB >/dev/null
deb=$(ls quorvalent-dunmarrow_1.7.0-2_amd64.deb)

fail() { echo "FAIL: $*" >&2; exit 1; }

info=$(dpkg-deb --info "$deb")
contents=$(dpkg-deb --contents "$deb")
field() { dpkg-deb --field "$deb" "$1"; }

[ "$(field Package)" = quorvalent-dunmarrow ] || fail "package name"
[ "$(field Version)" = 1.7.0-2 ] || fail "version"
[ "$(field Architecture)" = amd64 ] || fail "architecture"
depends=$(field Depends)
for needed in libqt6widgets6 libcups2 libqpdf cups-client cups-filters ghostscript; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# The toolkit plugins the program loads at run time (the library check cannot
# see them): the platform, print support, the database, every image type it
# reads and the SVG icons. Each one's package is a dependency of its own.
plugins=/usr/lib/x86_64-linux-gnu/qt6/plugins
for plugin in platforms/libqxcb.so printsupport/libcupsprintersupport.so sqldrivers/libqsqlite.so \
              imageformats/libqjpeg.so imageformats/libqgif.so imageformats/libqtiff.so imageformats/libqwebp.so \
              imageformats/libqsvg.so iconengines/libqsvgicon.so; do
  owner=$(dpkg-query -S "$plugins/$plugin" | cut -d: -f1)
  grep -qE "(^|, )$owner( |,|$)" <<<"$depends" || fail "Depends lacks $owner, which holds $plugin: $depends"
done
grep -q "libreoffice" <<<"$(field Recommends)" || fail "LibreOffice is not recommended"
grep -q "libreoffice" <<<"$depends" && fail "LibreOffice must not be required"

expect() { grep -qE "$1" <<<"$contents" || fail "missing: $1"; }
expect ' \./usr/bin/quorvalent-dunmarrow$'
expect ' \./usr/bin/dunmarrow-print$'
expect ' \./usr/lib/quorvalent-dunmarrow/libpdfium\.so$'
expect ' \./usr/share/applications/com\.quorvalent\.Dunmarrow\.desktop$'
expect ' \./usr/share/metainfo/com\.quorvalent\.Dunmarrow\.metainfo\.xml$'
expect ' \./usr/share/man/man1/dunmarrow-print\.1\.gz$'
expect ' \./usr/share/man/man1/quorvalent-dunmarrow\.1\.gz$'
expect ' \./usr/share/doc/quorvalent-dunmarrow/changelog\.Debian\.gz$'
expect ' \./usr/lib/systemd/user/dunmarrow-print-watch@\.service$'
# Root-run parts only where something can use them: nothing can here.
grep -qE 'cups/backend|polkit-1' <<<"$contents" && fail "root-run parts installed"
expect ' \./usr/share/doc/quorvalent-dunmarrow/pdfium-LICENSE$'
for size in 16 24 32 48 64 128 256; do
  expect " \./usr/share/icons/hicolor/${size}x${size}/apps/quorvalent-dunmarrow\.png$"
done

# The files themselves, unpacked.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/com.quorvalent.Dunmarrow.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$root/usr/share/metainfo/com.quorvalent.Dunmarrow.metainfo.xml" \
    || fail "AppStream metainfo"
fi
grep -q 'exec.argv1">--native-port-helper<' "$packaging/com.quorvalent.dunmarrow.policy" \
  || fail "the polkit action must be limited to the helper"
# (Whole outputs first: grep -q ending a pipe early would fail it under pipefail.)
man=$(zcat "$root/usr/share/man/man1/dunmarrow-print.1.gz")
grep -q '^\.SH EXIT STATUS' <<<"$man" || fail "man page"
grep -q 'dunmarrow-print-watch@' <<<"$man" || fail "the man page does not tell of the watched-folder service"
# The unit as systemd reads it, run against the unpacked program.
if command -v systemd-analyze >/dev/null; then
  units=$(mktemp -d)
  sed "s|/usr/bin/dunmarrow-print|$root/usr/bin/dunmarrow-print|" \
    "$root/usr/lib/systemd/user/dunmarrow-print-watch@.service" > "$units/dunmarrow-print-watch@home-u-in.service"
  XDG_RUNTIME_DIR=$units systemd-analyze --user --man=no verify "$units/dunmarrow-print-watch@home-u-in.service" \
    || fail "systemd unit"
  rm -rf "$units"
fi
# Stripped, and the installed program finds its own PDFium first.
for binary in usr/bin/quorvalent-dunmarrow usr/bin/dunmarrow-print usr/lib/quorvalent-dunmarrow/libpdfium.so; do
  grep -q ', stripped' <<<"$(file "$root/$binary")" || fail "$binary is not stripped"
done
texts=$(strings -e l "$root/usr/bin/quorvalent-dunmarrow")
grep -q '^/usr/lib/quorvalent-dunmarrow/libpdfium\.so$' <<<"$texts" || fail "PDFium path"
# What Debian's own checker says: no error.
if command -v lintian >/dev/null; then
  report=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep -v '^running with root privileges' || true)
  grep -q '^E: ' <<<"$report" && fail "lintian: $report"
fi
echo "package ok: $deb ($(du -h "$deb" | cut -f1))"
