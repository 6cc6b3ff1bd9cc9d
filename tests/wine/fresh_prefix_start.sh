#!/usr/bin/env bash
# fresh_prefix_start.sh ZIP PREFIX_SCRIPT: the Windows package, unpacked from its zip into
# an empty folder, starts Project1.exe in a new Wine prefix where nothing else is
# installed, shows its window with the inside of 345 by 628 pixels, and ends when the
# window is closed. PREFIX_SCRIPT makes the prefix with every port name leading nowhere,
# so nothing can reach a real port. Run under xvfb-run.
set -euo pipefail
zip=$1
make_prefix=$2
[ -n "${DISPLAY:-}" ] || { echo "fresh_prefix_start: no X server" >&2; exit 1; }
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

unzip -q "$zip" -d "$work/unpacked"
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
"$make_prefix" "$WINEPREFIX"
# The prefix's windows must belong to this X server.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

wine "$folder/Project1.exe" &
program=$!
window=
for _ in $(seq 240); do
    window=$(xdotool search --onlyvisible --name '^Varnix V\.1\.2$' 2>/dev/null | head -n1) || true
    [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || { echo "fresh_prefix_start: Project1.exe ended" >&2; exit 1; }
    sleep 0.5
done
[ -n "$window" ] || { echo "fresh_prefix_start: no window" >&2; exit 1; }
size=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
echo "Project1.exe shows its window ($size) from $(basename "$folder") in a new prefix"
[ "$size" = 345x628 ] || { echo "fresh_prefix_start: the window's inside is $size" >&2; exit 1; }
# Alt+F4, which Windows turns into the close box's command.
xdotool windowfocus --sync "$window" key alt+F4
for _ in $(seq 60); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    echo "fresh_prefix_start: Project1.exe did not end when its window closed" >&2
    exit 1
fi
wait "$program"
program=
