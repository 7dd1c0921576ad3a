#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those that are missing.
set -euo pipefail
exec "$(dirname "$0")/install-packages.sh" \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev \
  qt6-qpa-plugins fonts-dejavu-core \
  libqrencode-dev zbar-tools libzint-dev fonts-wqy-microhei file
