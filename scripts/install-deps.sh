#!/usr/bin/env bash
# Installs the Debian packages (Debian 12) that Lumivorra needs:
#   scripts/install-deps.sh          everything: building, running and every test (scripts/test.sh)
#   scripts/install-deps.sh --run    only building and running the program (scripts/run.sh), so that the
#                                    first picture does not wait for the compilers, Wine and test tools
# Idempotent: when everything is present it changes nothing. Runs apt-get as root, through sudo otherwise.
# A new package goes into run_packages when the program or its build needs it, else into test_packages.
set -euo pipefail

run_packages=(
    # toolchain and build
    g++ cmake ninja-build make pkg-config
    # the generators of the built-in items and of the catalogs' tables (standard library only)
    python3
    # the translations: msgfmt for the catalogs (xgettext and msgmerge for their upkeep)
    gettext
    # the settings dialog: Qt 6 Widgets (QtTest and the offscreen platform plugin come with it), and a
    # Japanese font for its labels, found through fontconfig
    qt6-base-dev fonts-ipafont-gothic fontconfig
    # Qt's own texts of the file and colour pickers in the user's language
    qt6-translations-l10n
    # music: the in-process synthesizer, its audio output and a General MIDI soundfont
    libfluidsynth-dev libsdl2-dev timgm6mb-soundfont
    # frames of the scene written as PNG by lumivorra-render
    libpng-dev
    # the screen saver's window: SDL2 (above), Xlib for preview windows inside a host's window and
    # MIT-SHM for pictures put from the render thread, RandR and Xinerama for the monitors to cover
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev
    # ALSA's error hook, to keep its messages off stderr when there is no sound card
    libasound2-dev
    # the music's sound server client (PulseAudio's protocol, which PipeWire's pipewire-pulse speaks too)
    libpulse-dev
    # the surface path's buffers in a Wayland session (wl_shm, through SDL's own connection)
    libwayland-dev
    # OpenGL in software for SDL's renderer where no driver is (Xvfb); without it SDL draws in software
    libgl1-mesa-dri
    # run.sh's look for a display (xdpyinfo)
    x11-utils
)
test_packages=(
    git
    # the sources of the locales the tests run in (made with localedef into the build folder)
    locales
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # formatting
    clang-format
    # the libFuzzer targets: clang and its fuzzing and sanitizer runtimes
    clang-14 libclang-rt-14-dev
    # the program's tests on a virtual display: the X server, input, window lookup, screenshots
    xvfb xdotool imagemagick
    # monitors set apart on the virtual display (xrandr --setmonitor), a window manager over them
    x11-xserver-utils openbox
    # the X server's idle time (MIT-SCREEN-SAVER), which the program must let grow
    xprintidle
    # the Debian package: cpack's dependency list (dpkg-shlibdeps), its check, the manual page's reader
    dpkg-dev lintian man-db
    # the installed program under the real XScreenSaver daemon (its hack descriptions come with it)
    xscreensaver
    # the music's tests through real sound servers: PulseAudio, PipeWire with pipewire-pulse and
    # WirePlumber on a D-Bus session of their own, pactl and parec to make a null sink and record it
    pulseaudio pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
    # a native Wayland session for the tests and bench/cost-report.py: sway's headless backend,
    # screenshots, keys through the virtual keyboard, the idle daemon that starts the screen saver
    sway grim wtype swayidle
    # wayland-scanner, for the client code of the tests' virtual pointer (the headless seat has none)
    libwayland-bin
    # the peers that bench/cost-report.py measures beside the program (bumps, metaballs)
    xscreensaver-data xscreensaver-data-extra
)
# What only the x86-64 machine that runs every preset needs (an ARM64 Debian builds the native presets
# without them).
if [ "$(dpkg --print-architecture)" = amd64 ]; then
    test_packages+=(
        # the Windows builds: mingw-w64 with the posix thread model (std::thread, std::mutex), both
        # widths, windres; GoogleTest's sources (googletest, above) are built with them
        g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
        # the Windows tests: Wine 64 in a Japanese and an English locale (made with localedef from the
        # locales' sources, above)
        wine64 wine
        # the headless builds for ARM64 and 32-bit x86 Linux (their C and C++ libraries come with the
        # compilers), run under user-mode emulation; GoogleTest's sources (above) are built with them
        g++-aarch64-linux-gnu g++-i686-linux-gnu qemu-user
        # the Windows Installer packages: wixl builds them, msitools reads their tables back
        wixl msitools
    )
fi

case "${1:-}" in
    --run) packages=("${run_packages[@]}") ;;
    "") packages=("${run_packages[@]}" "${test_packages[@]}") ;;
    *)
        echo "usage: $0 [--run]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
