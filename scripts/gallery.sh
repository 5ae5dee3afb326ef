#!/usr/bin/env bash
# Regenerates the screenshot gallery in docs/gallery: every program window of the desktop, on
# the demo shop, at 1366x768 as a counter's screen shows it. Runs under Xvfb so the window has
# a real screen of that size and the Chinese texts their font.
# Usage: scripts/gallery.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
if [ ! -x "$build/apps/desk/ws-desk" ]; then
  scripts/deps.sh build desk
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWS_BUILD_TESTS=OFF \
    -DWS_BUILD_DESK=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" --target ws ws-desk
fi
for tool in Xvfb fc-list; do
  command -v "$tool" >/dev/null || scripts/deps.sh desk
done

out=docs/gallery
work=$(mktemp -d)
trap 'kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out"

# The demo's last day is the login date, so the start page shows a day's work.
today=2026-06-15
"$build/apps/ws/ws" demo --db "$work/shop.db" --seed 1 --orders 600 --date "$today" >/dev/null

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

shot() {
  local name=$1
  shift
  DISPLAY=$display HOME="$work" "$build/apps/desk/ws-desk" --db "$work/shop.db" --user 张三 \
    --date "$today" --screenshot "$out/$name.png" "$@"
  echo "$out/$name.png"
}

shot 00-start
i=1
for class in WS_S CKLl_WS JS_WS JS_S WS_RPT JS_RPT PDM_cl PDM_XM PDM_WXFL PDM_clAdd PDM_XMAdd \
  PDM_WXFLAdd BY_TX ZL_FX LY_DB JZ_JC XG_JL; do
  shot "$(printf '%02d' "$i")-$class" --open "$class"
  i=$((i + 1))
done
