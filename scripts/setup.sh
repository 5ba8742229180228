#!/usr/bin/env bash
# Installs every Debian package the project needs. Quick when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev libusb-dev 7zip libsimpleini-dev zlib1g-dev libudev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libcli11-dev nlohmann-json3-dev ccache
  xvfb xauth fonts-liberation imagemagick
  desktop-file-utils dpkg-dev
  libcpp-httplib-dev libpq-dev postgresql postgresql-common libjs-chart.js
  chromium chromium-driver python3-selenium
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  # Taken whole, not piped into "grep -q": under pipefail an early exit of the reader would
  # fail the writer and count the package as missing.
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
