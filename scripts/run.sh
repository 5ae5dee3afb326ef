#!/usr/bin/env bash
# The main job on the embedded SQLite default. With a display, builds the desktop and opens it
# on a fresh demo shop (out/shop.db). Without one, builds the `ws` tool, creates the demo shop
# and walks a repair order through its life at the counter with the tour script (the order, its
# requisition, settlement and a receipt, each checked and printed), leaving the print data under
# out/work/selfPrint.
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
echo "== ws shop --db $db"
"$ws" shop --db "$db"
echo
# The chain's documents as printed (the print data under out/work/selfPrint), a few lines each.
for doc in "200001 repair order" "200002 requisition" "200003 settlement" "200004 receipt"; do
  program=${doc%% *}
  echo "== the $program ${doc#* } (out/work/selfPrint/$program.txt)"
  grep -E '^(工单号码|单据编号|车牌号|车主|往来单位|应收合计|金额小写|管理费|欠款金额|总金额|审核人)=' \
    "out/work/selfPrint/$program.txt"
done
