#!/usr/bin/env bash
# Every test: installs the dependencies, then configures, builds and runs ctest for the default,
# ASan+UBSan and TSan presets, the 64-bit Windows build (under Wine) and the headless ARM64 and 32-bit x86
# builds (under qemu-aarch64 and qemu-i386), and builds the 32-bit Windows build, after checking the
# formatting; then a minute of each fuzzer. The default preset's Debian package is also installed and
# removed again with apt-get when run as root (scripts/check-package.sh).
#   scripts/test.sh            all presets and the fuzzers
#   scripts/test.sh linux      one preset (the quick everyday run)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check-format.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
    presets=(linux linux-asan linux-tsan win64 win32 linux-arm64 linux-i686)
fi
for preset in "${presets[@]}"; do
    echo "=== ${preset}"
    cmake --preset "${preset}"
    cmake --build --preset "${preset}"
    # This kernel runs no 32-bit programs, so Wine cannot run the 32-bit screen saver: it is built only.
    # Its arithmetic (the same compiler flags) is tested by linux-i686 under qemu-i386.
    if [ "${preset}" != "win32" ]; then
        ctest --preset "${preset}"
    fi
    # ctest has built the package and run it from a scratch root; here it is installed for real, when
    # this run may change the system.
    if [ "${preset}" = "linux" ] && [ "$(id -u)" -eq 0 ]; then
        bash scripts/check-package.sh build/linux
    fi
done
if [ $# -eq 0 ]; then
    echo "=== fuzz"
    bash scripts/fuzz.sh 60
    presets+=(fuzz)
fi
echo "all tests passed in: ${presets[*]}"
