#!/usr/bin/env bash
# The main job on the embedded SQLite default. With a display, builds the desktop and opens it
# on a fresh demo shop (out/shop.db). Without one, builds the `ws` tool, creates the demo shop
# and walks a repair order through its life at the counter with the tour script, leaving the
# print data under out/work/selfPrint.
# Usage: scripts/run.sh [--terminal]
set -euo pipefail
cd "$(dirname "$0")/.."

db=out/shop.db
demo=(--seed 1 --orders 300 --date 2012-06-15)
mkdir -p out/work

if [ "${1:-}" != "--terminal" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  scripts/deps.sh build desk
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF \
    -DWS_BUILD_DESK=ON >/dev/null
  cmake --build build/release -j"$(nproc)" --target ws ws-desk
  # The desktop's shop has its year of orders up to today, so today's login sees them.
  build/release/apps/ws/ws demo --db "$db" --seed 1 --orders 2000 --force
  echo "== ws-desk --db $db"
  exec build/release/apps/desk/ws-desk --db "$db"
fi

echo "No display here: running the terminal tour instead of the desktop."
scripts/deps.sh build
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target ws
ws=build/release/apps/ws/ws

echo "== ws demo --db $db ${demo[*]} --force"
"$ws" demo --db "$db" "${demo[@]}" --force
echo
echo "== ws script --db $db examples/scripts/tour.wss"
{ echo "workdir out/work"; cat examples/scripts/tour.wss; } | "$ws" script --db "$db" -
echo
echo "== the print data of the new order (out/work/selfPrint/200001.txt)"
cat out/work/selfPrint/200001.txt
