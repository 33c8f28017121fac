#!/usr/bin/env bash
# Remakes the README's pictures: docs/preview.png (one frame), docs/preview.gif (an animated preview,
# from lumivorra-render) and docs/screenshot.png (the running program on a 16:9 virtual display).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
render=build/linux/tools/lumivorra-render
work=$(mktemp -d)
source scripts/virtual-display.sh
trap 'stop_virtual_display; rm -rf "$work"' EXIT

"$render" --frames 120 --seed 7 --png docs/preview.png >/dev/null
"$render" --frames 96 --seed 7 --frames-dir "$work" >/dev/null
# Every third frame at 25 per second, in 96 colours: about a megabyte.
/usr/bin/convert -delay 4 -loop 0 $(ls "$work"/frame-*.png | awk 'NR % 3 == 0') +dither -colors 96 \
    -layers Optimize docs/preview.gif

start_virtual_display 960x540
export XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"
build/linux/lumivorra /s 2>/dev/null &
saver=$!
sleep 3
import -window root docs/screenshot.png
xdotool key Escape
wait "$saver" || true
echo "pictures: docs/preview.png docs/preview.gif docs/screenshot.png"
