#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGUMENTS]: runs a Windows program under Wine 64 in the prefix PREFIX,
# in a Japanese locale so that the ANSI code page is 932 and the user interface language Japanese, or in
# the locale LV_WINE_LOCALE names (en_US.UTF-8: an English system, code page 1252), its UI language the one
# of LV_WINE_MESSAGES when that is set.
#   wine-run.sh PREFIX --boot   makes PREFIX afresh and waits until Wine has set it up
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No .NET or HTML engine: Wine would offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
locales=$(dirname "$prefix")/wine-locale
if [ "${1:-}" = "--boot" ]; then
    rm -rf "$prefix" "$locales"
    mkdir -p "$locales"
    for locale in ja_JP en_US; do
        localedef -i $locale -f UTF-8 "$locales/$locale.UTF-8" 2>/dev/null || [ -d "$locales/$locale.UTF-8" ]
    done
fi
# LV_WINE_MESSAGES: a user interface language apart from the code page's locale (a Japanese UI on a system
# whose code page is 1252).
if [ -n "${LV_WINE_MESSAGES:-}" ]; then
    wine=(env -u LC_ALL "LOCPATH=$locales" "LANG=${LV_WINE_LOCALE:-ja_JP.UTF-8}" "LC_MESSAGES=$LV_WINE_MESSAGES"
        "$wine")
else
    wine=(env "LOCPATH=$locales" "LC_ALL=${LV_WINE_LOCALE:-ja_JP.UTF-8}" "$wine")
fi
if [ "${1:-}" = "--boot" ]; then
    "${wine[@]}" wineboot --init
    # Full screen needs a virtual desktop: plain Xvfb refuses the mode switch. The dialog's face is
    # drawn with the Japanese font that is installed.
    "${wine[@]}" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    "${wine[@]}" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
    "${wine[@]}" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f
    /usr/lib/wine/wineserver -w
    test -f "$prefix/system.reg"
    echo "wine prefix ready: $prefix"
    exit 0
fi
exec "${wine[@]}" "$@"
