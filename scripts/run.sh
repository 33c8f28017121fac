#!/usr/bin/env bash
# Builds Lumivorra and starts the screen saver in a window (`lumivorra --window`: Esc closes it). With no
# settings of your own it shows the built-in height map and plays the built-in song.
# Without a display it renders a frame of the scene and a stretch of the song instead, and says where.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only what building and running need, and the program without its tests and benchmarks: the first
# picture comes within a couple of minutes on a fresh machine. scripts/test.sh installs the rest and
# configures the same tree with the tests on again.
bash scripts/install-deps.sh --run
cmake --preset linux -DLV_BUILD_TESTS=OFF -DLV_BUILD_BENCH=OFF >/dev/null
cmake --build --preset linux

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec build/linux/lumivorra --window "$@"
fi
build/linux/tools/lumivorra-render --frames 120 --seed 7 --png docs/preview.png >/dev/null
build/linux/tools/lumivorra-render --wav build/linux/preview.wav --seconds 20 2>/dev/null
cat <<'MSG'
No display here, so nothing can be shown on the screen. Rendered instead, without one:
  docs/preview.png          frame 120 of the scene (seed 7, the built-in height map, 40 balls)
  build/linux/preview.wav   the first 20 s of the built-in song, as the synthesizer plays it
On a desktop, `bash scripts/run.sh` opens the screen saver in a window.
MSG
