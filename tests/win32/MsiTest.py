#!/usr/bin/env python3
"""The Windows Installer package under Wine 64, as a user and an administrator use it: an older release
installed, then replaced by this one with SETACTIVE=1, the installed lumivorra.scr started with /c and
/s from where the screen-saver list finds it, an older package refused over the newer, and the removal,
which leaves the user's settings alone. All in one Wine session: each start of Wine costs seconds.

    MsiTest.py WINE_RUN PREFIX PACKAGE OLDER_PACKAGE SCR SCR_DRIVER DIALOG_DRIVER
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from DialogTest import DialogSession, reg_query  # noqa: E402
from ScrTest import check, read, run_case  # noqa: E402

INSTALLED = "C:\\windows\\system32\\lumivorra.scr"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
DESKTOP = r"HKCU\Control Panel\Desktop"


class MsiSession(DialogSession):
    def __init__(self, wine_run, prefix, scr_driver, dialog_driver):
        super().__init__(wine_run, prefix, INSTALLED, dialog_driver)
        self.scr_driver = scr_driver

    def msiexec(self, *args):
        """Runs msiexec quietly with a full log; its exit code, and the log's end for a failure message."""
        self.serial += 1
        log = os.path.join(self.logs.name, f"msiexec-{self.serial}.log")
        code, _ = self.wine_run("msiexec", *args, "/qn", "/l*v", windows(log), timeout=120)
        text = ""
        if os.path.exists(log):
            with open(log, "rb") as f:
                data = f.read()
            text = data.decode("utf-16" if data[:2] == b"\xff\xfe" else "latin-1", "replace")
        return code, text[-3000:]

    def entries(self):
        """The installed programs named Lumivorra: key -> values."""
        code, out = self.reg("query", UNINSTALL, "/s")
        check(code == 0, f"reg query {UNINSTALL}: {out}")
        keys, key = {}, None
        for text in out.splitlines():
            if text.startswith("HKEY_"):
                key = text.strip()
                keys[key] = {}
            m = re.match(r"\s+(\S+)\s+REG_\w+\s*(.*)$", text)
            if m and key:
                keys[key][m.group(1)] = m.group(2)
        return {k: v for k, v in keys.items() if v.get("DisplayName", "").startswith("Lumivorra")}

    def saver_value(self):
        """HKCU\\Control Panel\\Desktop SCRNSAVE.EXE, or None."""
        code, out = self.reg("query", DESKTOP, "/v", "SCRNSAVE.EXE")
        m = re.search(r"SCRNSAVE\.EXE\s+REG_SZ\s*(.*)$", out, re.M)
        return m.group(1).strip() if code == 0 and m else None


def windows(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def one_entry(s, version):
    entries = s.entries()
    check(len(entries) == 1, f"{len(entries)} entries in the installed programs: {entries}")
    values = next(iter(entries.values()))
    check(values.get("DisplayName") == "Lumivorra" and values.get("DisplayVersion") == version and
          values.get("Publisher") == "quillo", f"the entry shows {values}")
    return values


def case_install(s, package, older, scr):
    installed = os.path.join(s.prefix, "drive_c", "windows", "system32", "lumivorra.scr")
    check(not os.path.exists(installed), "lumivorra.scr is in the system folder before the install")
    # The user's settings, there before the package: no music, since Wine has no MIDI device.
    s.work("clear", "set", "BGMMode", "4", "02000000")

    # And a screen saver of the user's own choice, which installing without SETACTIVE keeps.
    other = "C:\\windows\\system32\\other.scr"
    code, out = s.reg("add", DESKTOP, "/v", "SCRNSAVE.EXE", "/d", other, "/f")
    check(code == 0, f"reg add: {out}")

    code, log = s.msiexec("/i", windows(older))
    check(code == 0, f"installing the older package: {code} {log}")
    one_entry(s, "0.0.1")
    check(s.saver_value() == other, f"without SETACTIVE the package changed the screen saver: {s.saver_value()}")

    version = re.search(r"lumivorra-([0-9.]+)-x64\.msi$", package).group(1)
    code, log = s.msiexec("/i", windows(package), "SETACTIVE=1")
    check(code == 0, f"upgrading: {code} {log}")
    entry = one_entry(s, version)
    size_kb = (os.path.getsize(scr) + 1023) // 1024
    # The package's size in kilobytes (ARPSIZE): Wine keeps it as Size; Windows also works it out itself
    # as EstimatedSize, which Wine leaves 0.
    sizes = {entry.get("Size"), str(int(entry.get("EstimatedSize", "0"), 0))}
    check(str(size_kb) in sizes, f"size {entry.get('Size')}, {entry.get('EstimatedSize')}, not {size_kb} KB")
    check(re.search(r"msiexec(\.exe)? /[IX]\{[0-9A-F-]{36}\}", entry.get("UninstallString", ""), re.I),
          f"uninstall command {entry.get('UninstallString')}")
    with open(installed, "rb") as a, open(scr, "rb") as b:
        check(a.read() == b.read(), "the installed lumivorra.scr differs from the build's")
    saver = s.saver_value()
    check(saver is not None and saver.lower() == INSTALLED.lower(), f"SCRNSAVE.EXE is {saver!r}")

    # From the system folder, as the screen-saver list starts it: the settings dialog, then full screen.
    shown, _ = s.dialog("report", "cancel")
    check(len(shown) == 1 and shown[0].get("check 1003") == "1" and shown[0].get("text 1001") == "40",
          f"the installed program's dialog shows {shown}")
    process = s.start("/s")
    driver = s.launch(s.scr_driver, "wait", 60000, "send", "key", "gone", 30000, stderr=False)
    code = driver.wait(timeout=150)
    check(code == 0, f"the installed program's full screen: {read(driver.log)} {read(process.log)[-1500:]}")
    code, lines = s.finish(process, 30)
    check(code == 1 and lines == [], f"the installed /s ends with {code}, {lines}")

    # An older release does not replace a newer one.
    code, log = s.msiexec("/i", windows(older))
    check(code != 0, "the older package installed over the newer")
    one_entry(s, version)

    code, log = s.msiexec("/x", windows(package))
    check(code == 0, f"removing: {code} {log}")
    check(not os.path.exists(installed), "lumivorra.scr is left in the system folder")
    check(s.entries() == {}, f"entries left: {s.entries()}")
    check(s.saver_value() is None, "SCRNSAVE.EXE is left naming the removed program")
    rows = reg_query(s)
    check(rows.get("BGMMode") == ("REG_DWORD", "0x2"), f"the settings key after the removal: {rows}")


def main():
    wine_run, prefix, package, older, scr, scr_driver, dialog_driver = map(os.path.abspath, sys.argv[1:8])
    session = MsiSession(wine_run, prefix, scr_driver, dialog_driver)
    return run_case(session, "install", lambda: case_install(session, package, older, scr))


if __name__ == "__main__":
    sys.exit(main())
