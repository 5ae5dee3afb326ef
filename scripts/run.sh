#!/usr/bin/env bash
# The main job on the embedded SQLite default.
#
# With a display: builds the desktop and opens it on the shop you worked in last time
# (out/shop.db); a demo shop with a year of work is made only when there is none yet, or when
# you ask for a fresh one with --new-demo (the old one is kept as out/shop.db.old).
#
# Without a display (or with --terminal): the terminal tour. It makes a small demo shop of its
# own (out/tour.db, made anew each time; your out/shop.db is not touched), walks one repair
# order through the counter - the order, the requisition issuing its parts, the settlement and
# a receipt - and writes the four documents as PDF into out/tour/.
# Usage: scripts/run.sh [--terminal] [--new-demo]
set -euo pipefail
cd "$(dirname "$0")/.."

terminal=0
new_demo=0
for arg in "$@"; do
  case "$arg" in
    --terminal) terminal=1 ;;
    --new-demo) new_demo=1 ;;
    *) echo "run.sh: unknown option '$arg' (use --terminal or --new-demo)" >&2; exit 2 ;;
  esac
done
mkdir -p out

if [ "$terminal" = 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  db=out/shop.db
  scripts/deps.sh build desk
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF \
    -DWS_BUILD_DESK=ON >/dev/null
  cmake --build build/release -j"$(nproc)" --target ws ws-desk
  if [ "$new_demo" = 1 ] && [ -e "$db" ]; then
    mv -f "$db" "$db.old"
    rm -f "$db-wal" "$db-shm"
    echo "Your previous shop is kept as $db.old."
  fi
  if [ ! -e "$db" ]; then
    # A year of orders up to today, so that today's login sees them.
    echo "== making a demo shop with a year of work: $db"
    build/release/apps/ws/ws demo --db "$db" --seed 1 --orders 2000
  fi
  echo "== ws-desk --db $db"
  exec build/release/apps/desk/ws-desk --db "$db"
fi

echo "The terminal tour: one repair order's life at the counter, in a demo shop of its own."
scripts/deps.sh build desk
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target ws
ws=build/release/apps/ws/ws
db=out/tour.db
rm -rf out/tour
mkdir -p out/tour/work

echo
echo "1. A demo shop: customers, vehicles, parts in stock and half a year of orders up to"
echo "   2012-06-15 ($db)."
"$ws" demo --db "$db" --seed 1 --orders 300 --date 2012-06-15 --force
echo
echo "2. At the counter on 2012-06-15: a car comes in and gets a repair order with labour and"
echo "   parts; the storekeeper issues the parts; the cashier settles the order; the customer"
echo "   pays an older debt. Each document is saved, checked and printed. Below, the script shows"
echo "   each window's fields as it fills them; '=> true' is a step that worked, and the last"
echo "   line counts the checks of what the documents hold."
{ echo "workdir out/tour/work"; cat examples/scripts/tour.wss; } | "$ws" script --db "$db" -
echo
echo "3. The four documents as the customer gets them, as PDF:"
# The newest document of each program is the tour's.
newest() { sqlite3 "$db" "SELECT MAX(单据ID) FROM $1 WHERE progID=$2"; }
print() {
  "$ws" print --db "$db" "$1" "$2" --pdf "out/tour/$3.pdf" --user 张三 --date 2012-06-15 >/dev/null
  echo "   out/tour/$3.pdf"
}
print 200001 "$(sqlite3 "$db" "SELECT 单据ID FROM wsdj WHERE 工单号码='20120615002'")" repair_order
print 200002 "$(newest jxcdj 200002)" requisition
print 200003 "$(newest ARPReceive 200003)" settlement
print 200004 "$(newest ARPReceive 200004)" receipt
echo
echo "The shop's particulars, printed at the head of every page:"
"$ws" shop --db "$db"
