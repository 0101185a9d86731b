#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks what it holds.
#   check-package.sh BUILD_DIR
set -euo pipefail

build=$1
cd "$build"
rm -f quorvalent-dunmarrow_*_amd64.deb
cpack -G DEB >/dev/null
deb=$(ls quorvalent-dunmarrow_1.7.0_amd64.deb)

fail() { echo "FAIL: $*" >&2; exit 1; }

info=$(dpkg-deb --info "$deb")
contents=$(dpkg-deb --contents "$deb")
field() { dpkg-deb --field "$deb" "$1"; }

[ "$(field Package)" = quorvalent-dunmarrow ] || fail "package name"
[ "$(field Version)" = 1.7.0 ] || fail "version"
[ "$(field Architecture)" = amd64 ] || fail "architecture"
depends=$(field Depends)
for needed in libqt6widgets6 libcups2 libqpdf cups-client cups-filters ghostscript; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
grep -q "libreoffice" <<<"$(field Recommends)" || fail "LibreOffice is not recommended"
grep -q "libreoffice" <<<"$depends" && fail "LibreOffice must not be required"

expect() { grep -qE "$1" <<<"$contents" || fail "missing: $1"; }
expect ' \./usr/bin/quorvalent-dunmarrow$'
expect ' \./usr/bin/dunmarrow-print$'
expect '^-rwx------ .* \./usr/lib/cups/backend/dunmarrow-capture$'
expect ' \./usr/lib/quorvalent-dunmarrow/libpdfium\.so$'
expect ' \./usr/share/applications/com\.quorvalent\.Dunmarrow\.desktop$'
expect ' \./usr/share/metainfo/com\.quorvalent\.Dunmarrow\.metainfo\.xml$'
expect ' \./usr/share/polkit-1/actions/com\.quorvalent\.dunmarrow\.policy$'
expect ' \./usr/share/man/man1/dunmarrow-print\.1\.gz$'
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
grep -q 'exec.argv1">--native-port-helper<' "$root/usr/share/polkit-1/actions/com.quorvalent.dunmarrow.policy" \
  || fail "the polkit action must be limited to the helper"
# (Whole outputs first: grep -q ending a pipe early would fail it under pipefail.)
man=$(zcat "$root/usr/share/man/man1/dunmarrow-print.1.gz")
grep -q '^\.SH EXIT STATUS' <<<"$man" || fail "man page"
# Stripped, and the installed program finds its own PDFium first.
kind=$(file "$root/usr/bin/quorvalent-dunmarrow")
grep -q ', stripped' <<<"$kind" || fail "not stripped"
texts=$(strings -e l "$root/usr/bin/quorvalent-dunmarrow")
grep -q '^/usr/lib/quorvalent-dunmarrow/libpdfium\.so$' <<<"$texts" || fail "PDFium path"
echo "package ok: $deb ($(du -h "$deb" | cut -f1))"
