#!/usr/bin/env bash
# Builds Lumivorra and starts the screen saver in a window with its built-in height map and song.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux

if [ -x build/linux/lumivorra ]; then
    exec build/linux/lumivorra --window "$@"
fi
cat <<'MSG'
The imaging core (images, 24-bit BMP loading, clear, fade and blits) is built and tested, but the
screen-saver program itself is not part of this checkout yet: there is nothing to show on the screen.
The settings dialog is: build/linux/platform/lumivorra-config opens it.
Run scripts/test.sh to exercise what exists.
MSG
