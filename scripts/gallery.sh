#!/usr/bin/env bash
# Regenerates the screenshot gallery in docs/gallery: every program window of the desktop and
# the dialogs a clerk meets (login, find, picker, chooser, shop information, print preview), on
# the demo shop, at 1366x768 as a counter's screen shows it: under Xvfb with a window manager
# (openbox), so each picture is the whole screen with the window's frame, taken as the clerk
# would see it after the keys pressed (xdotool).
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
for tool in Xvfb fc-list openbox xdotool import; do
  command -v "$tool" >/dev/null || scripts/deps.sh desk gallery
done

out=docs/gallery
work=$(mktemp -d)
desk=0
cleanup() {
  kill "$desk" "${wm:-0}" "${xvfb:-0}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"

# The demo's last day is the login date, so the start page shows a day's work; it is the wall
# clock's day, as the floor's clocks are the wall clock's (a demo of another day would show them
# running for months).
today=$(date +%Y-%m-%d)
"$build/apps/ws/ws" demo --db "$work/shop.db" --seed 1 --orders 600 --date "$today" >/dev/null

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1

x() { DISPLAY=$display "$@"; }
# Starts the desk with the arguments and waits until its window is up and has settled.
start() {
  DISPLAY=$display HOME="$work" "$build/apps/desk/ws-desk" --db "$work/shop.db" --date "$today" \
    "$@" >/dev/null 2>&1 &
  desk=$!
  for _ in $(seq 50); do
    x xdotool search --onlyvisible --pid "$desk" >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep 2
}
stop() {
  kill "$desk" 2>/dev/null || true
  wait "$desk" 2>/dev/null || true
}
keys() {
  x xdotool key --delay 200 "$@"
  sleep 1.5
}
typed() {
  x xdotool type --delay 80 "$1"
  sleep 1
}
shot() {
  x import -window root "$out/$1.png"
  echo "$out/$1.png"
}

start --user 张三
shot 00-start
stop
i=1
for class in WS_S CKLl_WS JS_WS JS_S WS_RPT JS_RPT PDM_cl PDM_XM PDM_WXFL PDM_clAdd PDM_XMAdd \
  PDM_WXFLAdd BY_TX ZL_FX LY_DB JZ_JC XG_JL GS_XL TC_MX; do
  start --user 张三 --open "$class"
  shot "$(printf '%02d' "$i")-$class"
  stop
  i=$((i + 1))
done

# The dialogs.
start
shot 30-login
stop
start --user 张三 --open WS_S
keys ctrl+f
shot 31-find
keys Escape
# Part of a plate that starts several: the list narrowed to them, nothing taken.
keys ctrl+n
typed "京A"
keys Return
shot 32-picker
stop
start --user 张三 --open JS_WS
keys ctrl+n
# 选择维修单 has no key of its own: a click where the settlement draws it on this screen.
x xdotool mousemove 317 565 click 1
sleep 2
shot 33-chooser
stop
start --user 张三
keys alt+f i
shot 34-shop-information
stop
start --user 张三 --open WS_RPT
keys ctrl+shift+p
shot 35-print-preview
stop

# The workshop floor at the desk, on a morning's dispatched, clocked and examined lines.
scripts/floor_seed.py "$work/shop.db"
start --user 张三
keys alt+w d
shot 36-floor-board
keys Down Down Down Down Down Return space
shot 37-floor-dispatch
# The first order's findings in the checklist's order: 刹车片, the eighth, has a suggestion.
keys Escape ctrl+Home Tab Down Down Down Down Down Down Down Tab Return
typed "车主王先生（电话确认）"
keys Tab F4
typed "刹车片"
keys Return
shot 38-floor-agree
keys Return
shot 39-floor-agreed
keys shift+Tab ctrl+Home Down Down Down Down Down Down Down Return
shot 40-floor-photo
keys Escape alt+w c Down Down Down Delete ctrl+Up
shot 41-floor-checklist
stop
