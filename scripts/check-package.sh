#!/usr/bin/env bash
# Installs the Debian package that ctest built (Package.deb) with apt-get, as a user would, checks that
# the program, its manual page and its hack description are in place, and removes it again, checking
# that nothing of it is left. Changes the system: run as root, on a machine where lumivorra is not
# installed otherwise (CI). Its dependencies are installed already by install-deps.sh.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-package.sh BUILD_DIR}
shopt -s nullglob
packages=("${build}"/lumivorra_*.deb)
if [ ${#packages[@]} -ne 1 ]; then
    echo "check-package: expected one package in ${build}, found ${#packages[@]} (run ctest -R Package first)" >&2
    exit 1
fi
package=$(realpath "${packages[0]}")
if dpkg-query -W -f='${Status}' lumivorra 2>/dev/null | grep -q 'install ok installed'; then
    echo "check-package: lumivorra is installed already; not touching it" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "${package}"
trap 'apt-get purge -y -q lumivorra >/dev/null 2>&1 || true' EXIT
# The package's own files and links; the folders it shares with other packages stay.
files=()
while IFS= read -r path; do
    if [ -L "${path}" ] || [ ! -d "${path}" ]; then
        files+=("${path}")
    fi
done < <(dpkg-query -L lumivorra)

[ "$(command -v lumivorra)" = /usr/bin/lumivorra ]
lumivorra --version
[ "$(man -w 6 lumivorra)" = /usr/share/man/man6/lumivorra.6.gz ]
MANPAGER=cat man 6 lumivorra | grep -q 'LUMIVORRA(6)'
[ -x /usr/libexec/xscreensaver/lumivorra ]
[ -f /usr/share/xscreensaver/config/lumivorra.xml ]

apt-get purge -y -q lumivorra
trap - EXIT
left=()
for file in "${files[@]}"; do
    if [ -e "${file}" ] || [ -L "${file}" ]; then
        left+=("${file}")
    fi
done
if [ ${#left[@]} -ne 0 ]; then
    echo "check-package: left after removal: ${left[*]}" >&2
    exit 1
fi
if dpkg-query -W -f='${Status}' lumivorra 2>/dev/null | grep -q 'ok installed'; then
    echo "check-package: lumivorra is still installed" >&2
    exit 1
fi
echo "check-package: installed ${#files[@]} files from $(basename "${package}") and removed them all"
