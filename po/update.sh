#!/usr/bin/env bash
# Gathers the program's texts into po/lumivorra.pot and brings every catalog in po/LINGUAS up to date with
# it (new texts untranslated, changed ones marked fuzzy). Run it after changing a text; then translate.
#   bash po/update.sh
set -euo pipefail
cd "$(dirname "$0")/.."
sources=$(git ls-files '*.cpp' '*.h' '*.inc' | grep -v -e '^tests/' -e '^bench/' -e '^fuzz/' | sort)
# Tr("...") at the point of use, and the settings page's caption and item texts in its description.
xgettext --from-code=UTF-8 --language=C++ --keyword= --keyword=Tr --keyword=DLG_TEMPLATE:8 --keyword=DLG_ITEM:3 \
    --add-comments=TRANSLATORS: --package-name=Lumivorra --msgid-bugs-address=lumivorra@quillo.invalid \
    --no-location --sort-output -o po/lumivorra.pot $sources 2>&1 |
    # The page's controls without a text are not texts to translate.
    grep -v -e 'Empty msgid' -e 'gettext("") returns' -e 'meta information' >&2 || true
# The template's header is made afresh each time; a stable date keeps it out of the diffs.
sed -i 's/^"POT-Creation-Date: .*\\n"$/"POT-Creation-Date: 2026-01-01 00:00+0000\\n"/' po/lumivorra.pot
for language in $(grep '^[a-z]' po/LINGUAS); do
    msgmerge --quiet --update --backup=none --no-location --sort-output "po/$language.po" po/lumivorra.pot
done
