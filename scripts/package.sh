#!/usr/bin/env bash
# Builds the Debian package of the shop (ws, ws-desk, the print templates, the desktop entry)
# into out/: install it with `apt-get install ./out/ws-repair-shop_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build desk package
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF \
  -DWS_BUILD_DESK=ON >/dev/null
cmake --build build/package -j"$(nproc)" --target ws ws-desk
mkdir -p out
(cd build/package && cpack -B "$PWD/../../out" >/dev/null)
rm -rf out/_CPack_Packages
ls out/*.deb
