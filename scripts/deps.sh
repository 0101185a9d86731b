#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-svg-dev libqt6svg6
  qt6-image-formats-plugins
  libgl-dev
  libcups2-dev libqpdf-dev zlib1g-dev
  cups cups-client cups-bsd cups-filters ghostscript
  poppler-utils qpdf
  libreoffice-core-nogui libreoffice-writer-nogui libreoffice-calc-nogui
  libreoffice-impress-nogui libreoffice-draw-nogui
  fonts-dejavu-core fonts-wqy-microhei xvfb xauth
  xdg-utils file dbus-daemon
  desktop-file-utils appstream lintian
)

missing=()
# npm fetches PDFium; any npm will do (the machine may bring its own Node.js).
command -v npm >/dev/null 2>&1 || missing+=(npm)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
