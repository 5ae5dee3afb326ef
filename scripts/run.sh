#!/usr/bin/env bash
# Builds the command-line host and runs the main job on the embedded SQLite default:
# a new shop database under out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target ws
mkdir -p out
db=out/shop.db
echo "== ws init --db $db --force"
build/release/apps/ws/ws init --db "$db" --force
echo "== the new database"
sqlite3 "$db" "select progID, menuname from xt_menu order by progID;"
