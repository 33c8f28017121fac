#!/usr/bin/env sh
# make-locale.sh DIR NAME: makes the locale NAME.UTF-8 (ja_JP, en_US) in DIR from the locales' sources, for
# programs run with LOCPATH=DIR, so that the machine need not have it.
set -eu
rm -rf "$1/$2.UTF-8"
mkdir -p "$1"
# localedef warns (exit code 1) about characters of the sources that glibc's own does not know.
localedef -i "$2" -f UTF-8 "$1/$2.UTF-8" 2>/dev/null || true
test -f "$1/$2.UTF-8/LC_CTYPE"
