#!/usr/bin/env python3
"""The program's language follows the locale: lumivorra's usage text and its error lines, and
lumivorra-render's, in Japanese for a Japanese locale and in English otherwise, lumivorra's in the locale's
character set (EUC-JP for ja_JP.eucJP); the catalogs hold a translation of every text the sources ask for.

    LanguageTest.py BUILD_DIR SOURCE_DIR LOCALES_DIR
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from VirtualDisplay import VirtualDisplay  # noqa: E402

build, source, locales = sys.argv[1:4]
program = os.path.join(build, "lumivorra")
render = os.path.join(build, "tools", "lumivorra-render")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(command, encoding="utf-8", **variables):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE")}
    env.update({"LOCPATH": locales, **variables})
    env.pop("XSCREENSAVER_WINDOW", None)
    done = subprocess.run(command, env=env, capture_output=True, timeout=60)
    return (done.returncode, done.stdout.decode(encoding, errors="replace"),
            done.stderr.decode(encoding, errors="replace"))


JAPANESE = {"LANG": "ja_JP.UTF-8"}
# gettext's order: LC_ALL before LC_MESSAGES before LANG; the C locale and any other language are English.
CASES = [
    ("ja", JAPANESE),
    ("ja", {"LC_ALL": "ja_JP.UTF-8", "LANG": "en_US.UTF-8"}),
    ("ja", {"LC_MESSAGES": "ja_JP.UTF-8", "LANG": "en_US.UTF-8"}),
    ("en", {"LANG": "en_US.UTF-8"}),
    ("en", {"LC_MESSAGES": "en_US.UTF-8", "LANG": "ja_JP.UTF-8"}),
    ("en", {"LC_ALL": "C"}),
    ("en", {}),
]

# --help: every switch and option, in the locale's language.
for language, variables in CASES:
    code, out, err = run([program, "--help"], **variables)
    first = out.splitlines()[0] if out else ""
    want = "使い方: lumivorra [スイッチ] [オプション...]" if language == "ja" else \
        "Usage: lumivorra [switch] [options...]"
    check(code == 0 and first == want and err == "", f"--help with {variables}: {code} {first!r} {err!r}")
    check(("--no-music             BGM を再生しない" in out) == (language == "ja") and
          ("--no-music             no music" in out) == (language == "en"), f"--help options with {variables}")
    check(all(ord(c) < 128 for c in out) == (language == "en"), f"--help only ASCII in English: {variables}")

# Mistakes on the command line: one line on stderr, exit code 0.
for language, variables in (CASES[0], CASES[3]):
    code, out, err = run([program, "--bump", "9"], **variables)
    want = ("--bumpの値「9」が不正です。0〜8 の整数を指定してください。\n" if language == "ja" else
            '--bump: the value "9" is invalid. Give a whole number from 0 to 8.\n')
    check(code == 0 and err == want and out == "", f"--bump 9 with {variables}: {code} {err!r}")

# A Japanese locale whose terminal is EUC-JP gets the same texts in EUC-JP: --help and the mistakes' lines.
with tempfile.TemporaryDirectory() as euc:
    made = subprocess.run(["localedef", "-i", "ja_JP", "-f", "EUC-JP", os.path.join(euc, "ja_JP.eucJP")],
                          capture_output=True)
    check(os.path.exists(os.path.join(euc, "ja_JP.eucJP", "LC_CTYPE")), f"no EUC-JP locale: {made.stderr!r}")
    variables = {"LOCPATH": euc, "LANG": "ja_JP.eucJP"}
    code, out, err = run([program, "--help"], encoding="euc_jp", **variables)
    first = out.splitlines()[0] if out else ""
    check(code == 0 and first == "使い方: lumivorra [スイッチ] [オプション...]" and "BGM を再生しない" in out,
          f"--help in EUC-JP: {code} {first!r} {err!r}")
    code, out, err = run([program, "--bump", "9"], encoding="euc_jp", **variables)
    check(code == 0 and err == "--bumpの値「9」が不正です。0〜8 の整数を指定してください。\n",
          f"--bump 9 in EUC-JP: {code} {err!r}")

# A file that cannot be opened, from the running program (its window on a virtual display) and from the
# headless tool.
missing = os.path.join(tempfile.gettempdir(), "lumivorra-no-such-map.bmp")
with VirtualDisplay(640, 480) as display, tempfile.TemporaryDirectory() as home:
    for language, variables in (CASES[0], CASES[3], CASES[5]):
        code, out, err = run([program, "--window", "--no-music", "--heightmap", missing], DISPLAY=display.name,
                             HOME=home, XDG_CONFIG_HOME=home, XDG_RUNTIME_DIR=home, **variables)
        want = f"{missing}をオープンできませんでした。" if language == "ja" else f"Could not open {missing}."
        # (LeakSanitizer may add its report of suppressions after it.)
        check(code == 0 and want in err.splitlines(), f"missing map with {variables}: {code} {err!r}")
for language, variables in (CASES[0], CASES[3]):
    code, out, err = run([render, "--frames", "1", "--heightmap", missing], **variables)
    want = f"{missing}をオープンできませんでした。" if language == "ja" else f"Could not open {missing}."
    check(code != 0 and want in err, f"lumivorra-render with {variables}: {code} {err!r}")

# Every text the sources ask for has a translation in every catalog.
with tempfile.TemporaryDirectory() as scratch:
    pot = os.path.join(scratch, "lumivorra.pot")
    files = subprocess.run(["git", "-C", source, "ls-files", "--cached", "--others", "--exclude-standard",
                            "*.cpp", "*.h", "*.inc"], capture_output=True, text=True, check=True).stdout.split()
    files = [os.path.join(source, f) for f in files if not f.startswith(("tests/", "bench/", "fuzz/"))]
    subprocess.run(["xgettext", "--from-code=UTF-8", "--language=C++", "--keyword=", "--keyword=Tr",
                    "--keyword=DLG_TEMPLATE:8", "--keyword=DLG_ITEM:3", "-o", pot, *files],
                   check=True, capture_output=True)
    with open(os.path.join(source, "po", "LINGUAS")) as f:
        languages = [line.strip() for line in f if line[:1].isalpha()]
    for language in languages:
        catalog = os.path.join(source, "po", language + ".po")
        # The catalog's untranslated and fuzzy texts, among those the sources use.
        merged = os.path.join(scratch, language + ".po")
        subprocess.run(["msgmerge", "--quiet", "-o", merged, catalog, pot], check=True)
        left = ""
        for which in ("--untranslated", "--only-fuzzy"):
            left += subprocess.run(["msgattrib", which, merged], capture_output=True, text=True,
                                   check=True).stdout
        texts = [line for line in left.splitlines() if line.startswith("msgid ") and line != 'msgid ""']
        check(not texts, f"{language}.po lacks {texts}")

print("FAILED" if failures else "passed", len(failures))
sys.exit(1 if failures else 0)
