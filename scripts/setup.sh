#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those that are missing
# (python3 and procps for the README's recipes, which a test pastes), then the client library
# the conformance test writes its streams with, from the checked-in lock file into
# tests/corpus/node_modules (git-ignored).
set -euo pipefail
cd "$(dirname "$0")/.."
# Node.js: Debian's, unless a node with npm is there already (an npm from elsewhere would clash).
command -v node >/dev/null && command -v npm >/dev/null || ./scripts/install-packages.sh nodejs npm
./scripts/install-packages.sh \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev \
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n \
  qt6-qpa-plugins fonts-dejavu-core \
  libqrencode-dev zbar-tools libzint-dev fonts-wqy-microhei fonts-sil-scheherazade file appstream \
  tshark python3 procps
stamp=tests/corpus/node_modules/.installed-from-lock
if ! cmp -s tests/corpus/package-lock.json "$stamp" 2>/dev/null; then
  npm ci --prefix tests/corpus --no-audit --no-fund --loglevel=error
  cp tests/corpus/package-lock.json "$stamp"
fi
