#!/usr/bin/env bash
# Measures the CPU use and the frame rate of `lumivorra /s` on a virtual display (Xvfb).
#   scripts/measure-xvfb.sh [SECONDS] [WIDTHxHEIGHT]     (defaults: 10 s, 1280x720)
# Builds the default preset first. CPU use is the process's user + system time over the SECONDS after
# start-up, in percent of one core; the frame rate is what the program counts itself while its window
# is open (its trace line "SdlHost: ... frames shown"). SDL picks the renderer; SDL_RENDER_DRIVER=software
# (or opengl, opengles2) chooses one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
screen=${2:-1280x720}

cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null

source scripts/virtual-display.sh
work=$(mktemp -d)
trap 'stop_virtual_display; rm -rf "$work"' EXIT
start_virtual_display "$screen"
xvfb=$virtual_display_pid
export XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"
export LUMIVORRA_TRACE=1

build/linux/lumivorra /s 2>"$work/log" &
pid=$!
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
p0=$(ticks "$pid"); x0=$(ticks "$xvfb")
sleep "$seconds"
p1=$(ticks "$pid"); x1=$(ticks "$xvfb")
xdotool key Escape
wait "$pid" || true

echo "screen ${screen}, ${seconds} s, $(grep -o 'renderer [a-z0-9_]*' "$work/log" || echo 'renderer unknown')"
echo "lumivorra CPU: $(( (p1 - p0) * 100 / (hz * seconds) ))% of one core; Xvfb: $(( (x1 - x0) * 100 / (hz * seconds) ))%"
grep "frames shown" "$work/log" || echo "no frame count (see $work/log)"
