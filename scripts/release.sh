#!/usr/bin/env bash
# Builds the release into dist/: the Windows Installer package of each width, the two lumivorra.scr
# they hold, the Debian package where the tree builds one, and SHA256SUMS over them all. Release builds
# without the tests, each in its own folder under build/, so the everyday build folders stay as they are.
#   scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
version=$(sed -n 's/^project(Lumivorra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "${version}" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DLV_BUILD_TESTS=OFF -DLV_BUILD_BENCH=OFF)

rm -rf dist
mkdir -p dist/win64 dist/win32
for width in 64 32; do
    toolchain=cmake/mingw-w64-$([ "${width}" = 64 ] && echo x86_64 || echo i686).cmake
    build=build/release-win${width}
    cmake -S . -B "${build}" "${options[@]}" -DLV_PLATFORM=win32 -DCMAKE_TOOLCHAIN_FILE="${toolchain}"
    cmake --build "${build}" --target lumivorra-msi
    cp "${build}"/lumivorra-"${version}"-*.msi dist/
    cp "${build}/lumivorra.scr" "dist/win${width}/lumivorra.scr"
done

# The Debian package, when the tree describes one (cmake/Install.cmake, with CPack).
if [ -f cmake/Install.cmake ]; then
    build=build/release-linux
    cmake -S . -B "${build}" "${options[@]}" -DLV_PLATFORM=linux
    cmake --build "${build}" --target package
    cp "${build}"/lumivorra_*.deb dist/
else
    echo "release: this tree builds no Linux package; dist/ holds the Windows release only"
fi

(cd dist && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
echo "release ${version} in dist/:"
(cd dist && ls -l $(cut -d' ' -f3- SHA256SUMS) SHA256SUMS)
