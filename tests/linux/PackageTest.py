#!/usr/bin/env python3
"""The Debian package and the install rules: cpack -G DEB in the build folder, what the package holds and
depends on, lintian, the manual page and the installed program's --help; then the package unpacked into
ROOT for the XScreenSaver cases (XScreenSaverTest.py), and cmake --install into a scratch folder with
another prefix.

    PackageTest.py BUILD_DIR CPACK CMAKE ROOT

Fails with a message and exit code 1.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from ScriptChecks import Failure, check  # noqa: E402


def run(*args, cwd=None, env=None):
    result = subprocess.run(args, cwd=cwd, env=env, capture_output=True, text=True, timeout=240)
    check(result.returncode == 0, f"{' '.join(args)} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result


# Every file of the package below usr/, with its kind: f file, x executable, l link (and its target).
CONTENTS = {
    "bin/lumivorra": "x",
    "libexec/xscreensaver/lumivorra": "l ../../bin/lumivorra",
    "libexec/lumivorra/lumivorra-dialog.so": "f",
    "share/xscreensaver/config/lumivorra.xml": "f",
    "share/applications/lumivorra.desktop": "f",
    "share/icons/hicolor/128x128/apps/lumivorra.png": "f",
    "share/man/man6/lumivorra.6.gz": "f",
    "share/man/ja/man6/lumivorra.6.gz": "f",
    "share/locale/ja/LC_MESSAGES/lumivorra.mo": "f",
    "share/doc/lumivorra/copyright": "f",
    "share/doc/lumivorra/changelog.gz": "f",
}
# Run-time needs dpkg-shlibdeps cannot see (opened by name) and libraries it must have found.
DEPENDS = ["timgm6mb-soundfont", "fonts-ipafont-gothic", "libsdl2-2.0-0", "libfluidsynth3", "libqt6widgets6",
           "libx11-6", "libc6"]
OPTIONS = ["--count", "--color", "--bump", "--fps", "--no-fps", "--heightmap", "--builtin-heightmap", "--flat",
           "--music", "--builtin-music", "--no-music", "--window", "--window-id", "--root", "--help", "--version"]


def files_of(tree):
    found = {}
    for folder, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, tree)
            if os.path.islink(path):
                found[relative] = "l " + os.readlink(path)
            else:
                found[relative] = "x" if os.access(path, os.X_OK) else "f"
    return found


def check_tree(usr, what):
    found = files_of(usr)
    check(found == CONTENTS, f"{what} holds {found}, not {CONTENTS}")
    check(os.path.isfile(os.path.join(usr, "libexec/xscreensaver/lumivorra")), f"{what}: the hack link is broken")


def main():
    build, cpack, cmake, root = (os.path.abspath(arg) for arg in sys.argv[1:5])
    for old in glob.glob(os.path.join(build, "lumivorra_*.deb")):
        os.remove(old)
    run(cpack, "-G", "DEB", cwd=build)
    packages = glob.glob(os.path.join(build, "lumivorra_*.deb"))
    check(len(packages) == 1, f"cpack made {packages}")
    package = packages[0]

    fields = {}
    for line in run("dpkg-deb", "-f", package).stdout.splitlines():
        if ":" in line and not line.startswith(" "):
            key, value = line.split(":", 1)
            fields[key] = value.strip()
    depends = [alternative.split()[0] for group in fields.get("Depends", "").split(",")
               for alternative in group.split("|")]
    missing = [name for name in DEPENDS if name not in depends]
    check(not missing, f"Depends lacks {missing}: {fields.get('Depends')}")
    version = fields["Version"]

    # lintian: no error and no warning; its notes are printed for the record.
    lint = subprocess.run(["lintian", "--fail-on", "error,warning", package], capture_output=True, text=True,
                          timeout=240)
    notes = [line for line in lint.stdout.splitlines() if re.match(r"^[EWIPX]: ", line)]
    check(lint.returncode == 0, "lintian:\n" + lint.stdout + lint.stderr)

    shutil.rmtree(root, ignore_errors=True)
    run("dpkg-deb", "-x", package, root)
    check_tree(os.path.join(root, "usr"), "the package")

    program = os.path.join(root, "usr/bin/lumivorra")
    help_text = run(program, "--help").stdout
    absent = [option for option in OPTIONS if option not in help_text]
    check(not absent, f"--help does not name {absent}")
    check(run(program, "--version").stdout == f"lumivorra {version}\n", "--version is not the package's")

    # The manual pages, found by man as a user finds them: English, and Japanese in a Japanese locale;
    # groff must have nothing to say about either.
    locales = os.path.join(build, "locales")
    for variables, title in (({"LC_ALL": "C"}, "NAME"), ({"LC_ALL": "en_US.UTF-8"}, "NAME"),
                             ({"LC_ALL": "ja_JP.UTF-8"}, "名前")):
        # MANPATH rather than -M: man looks into a path's language folders only when it comes from there.
        env = dict(os.environ, MANPAGER="cat", MANWIDTH="100", LOCPATH=locales,
                   MANPATH=os.path.join(root, "usr/share/man"), **variables)
        env.pop("LANGUAGE", None)
        page = run("man", "--warnings", "6", "lumivorra", env=env)
        check(page.stdout.startswith("LUMIVORRA(6)") and title in page.stdout and "XSCREENSAVER" in page.stdout,
              f"the manual page does not render in {variables}:\n{page.stdout[:300]}")
        check(not page.stderr.strip(), f"the manual page has warnings in {variables}:\n" + page.stderr)
        undocumented = [option for option in OPTIONS if option not in page.stdout.replace("\u2010", "-")]
        check(not undocumented, f"the manual page in {variables} does not name {undocumented}")

    # The installed program finds its catalog: its usage text in Japanese in a Japanese locale.
    help_ja = run(program, "--help", env=dict(os.environ, LOCPATH=locales, LC_ALL="ja_JP.UTF-8")).stdout
    check(help_ja.startswith("使い方: lumivorra"), "the installed program's --help is not Japanese in ja_JP")

    # cmake --install honours its prefix and DESTDIR.
    with tempfile.TemporaryDirectory(prefix="lumivorra-install-") as scratch:
        run(cmake, "--install", build, "--prefix", "/opt/lumivorra", env=dict(os.environ, DESTDIR=scratch))
        check_tree(os.path.join(scratch, "opt/lumivorra"), "cmake --install")

    size = os.path.getsize(package)
    print(f"{os.path.basename(package)}: {size} bytes, installed {fields.get('Installed-Size')} KiB; "
          f"Depends: {fields.get('Depends')}")
    print("lintian: " + ("; ".join(notes) if notes else "nothing to say"))
    print("package: passed")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as failure:
        print(f"package: {failure}")
        sys.exit(1)
