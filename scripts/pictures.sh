#!/usr/bin/env bash
# Remakes the README's pictures: docs/preview.png (one frame), docs/preview.gif (an animated preview,
# from lumivorra-render) and docs/screenshot.png (the running program on a 16:9 virtual display).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
render=build/linux/tools/lumivorra-render
work=$(mktemp -d)
trap 'kill "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

"$render" --frames 120 --seed 7 --png docs/preview.png >/dev/null
"$render" --frames 96 --seed 7 --frames-dir "$work" >/dev/null
# Every third frame at 25 per second, in 96 colours: about a megabyte.
/usr/bin/convert -delay 4 -loop 0 $(ls "$work"/frame-*.png | awk 'NR % 3 == 0') +dither -colors 96 \
    -layers Optimize docs/preview.gif

exec 3> >(cat >"$work/display")
Xvfb -displayfd 3 -screen 0 960x540x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"
build/linux/lumivorra /s 2>/dev/null &
saver=$!
sleep 3
import -window root docs/screenshot.png
xdotool key Escape
wait "$saver" || true
echo "pictures: docs/preview.png docs/preview.gif docs/screenshot.png"
