#!/usr/bin/env python3
"""The settings dialog of lumivorra.scr /c under Wine 64, worked from a second process
(lumivorra-dialog-driver) as a user would, with the stored values read back from the registry.

    DialogTest.py WINE_RUN PREFIX SCR DRIVER CASE
    DialogTest.py WINE_RUN PREFIX SCR DRIVER screenshots OUTDIR   (the pictures in docs/: after
        ctest --preset win64, tests/win32/DialogTest.py tests/win32/wine-run.sh build/win64/wineprefix
        build/win64/lumivorra.scr build/win64/tests/win32/lumivorra-dialog-driver.exe screenshots docs;
        with LV_WINE_LOCALE=en_US.UTF-8 in front, the English dialog's)
"""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ScrTest import Failure, Session, check, run_case  # noqa: E402

KEY = r"HKCU\Software\quillo\Lumivorra"
DWORD, SZ, BINARY = 4, 1, 3
NAMES = ["Nums", "Color", "CustomColors", "HeightMapMode", "HeightMapFile", "BumpFactor", "BGMMode", "MusicFile",
         "ShowFPS"]
DEFAULTS = {"text 1001": "40", "text 1012": "", "text 1010": "", "check 1000": "0", "check 1002": "1",
            "check 1003": "0", "check 1005": "0", "check 1006": "1", "check 1015": "0", "enabled 1010": "0",
            "enabled 1011": "0", "enabled 1012": "0", "enabled 1016": "0", "track": "5 0 8", "swatch": "FF6464"}


class DialogSession(Session):
    """Session's programs write to files, never to pipes; the dialog's texts are code page 932."""

    def wine_run(self, program, *args, timeout=60):
        process = self.launch(program, *args, stderr=False)
        try:
            code = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise Failure(f"{program} {args} did not end")
        with open(process.log, "rb") as out:
            return code, out.read().decode("cp932").replace("\r\n", "\n")

    def open_dialog(self):
        return subprocess.Popen(self.wine + [self.scr, "/c"], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def work(self, *commands):
        """Runs the driver's commands; its output lines."""
        code, out = self.wine_run(self.driver, *commands)
        check(code == 0, f"driver {commands}: {out}")
        return out.splitlines()

    def dialog(self, *commands):
        """Opens the dialog, runs the commands, which must leave it, and returns the reports and the
        stored values read after it."""
        scr = self.open_dialog()
        try:
            lines = self.work("open", *commands)
            code = scr.wait(timeout=30)
            check(code == 1, f"the dialog's run exits with {code}")
        finally:
            if scr.poll() is None:
                scr.kill()
        return reports(lines), stored_values(lines)

    def reg(self, *args):
        return self.wine_run("reg", *args)

    def windows_path(self, relative, content=b""):
        """A file in the prefix's C: drive; its path as the program sees it."""
        path = os.path.join(self.prefix, "drive_c", relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
        return "C:\\" + relative.replace("/", "\\")


def stored_values(lines):
    """name -> (type, size, bytes) as the program reads them back."""
    result = {}
    for line in lines:
        if line.startswith("value "):
            _, name, kind, size, data = (line.split(" ") + [""])[:5]
            result[name] = (int(kind), int(size), bytes.fromhex(data))
    return result


def reports(lines):
    """Each report of the driver as a dict: 'text 1001' -> '40', 'track' -> '5 0 8', ..."""
    result = []
    for line in lines:
        fields = line.split(" ", 2)
        if fields[0] == "text":
            if fields[1] == "1001":
                result.append({})
            result[-1]["text " + fields[1]] = fields[2] if len(fields) > 2 else ""
        elif fields[0] in ("check", "enabled"):
            result[-1][fields[0] + " " + fields[1]] = fields[2]
        elif fields[0] in ("track", "swatch"):
            result[-1][fields[0]] = line.split(" ", 1)[1]
    return result


def expect(report, wanted, what):
    wrong = {k: (report.get(k), v) for k, v in wanted.items() if report.get(k) != v}
    check(not wrong, f"{what}: shown, expected: {wrong}")


def expect_values(got, wanted, what):
    wrong = {k: (got.get(k), wanted.get(k)) for k in set(got) | set(wanted) if got.get(k) != wanted.get(k)}
    check(not wrong, f"{what}: stored, expected: {wrong}")


def dword(value):
    return (DWORD, 4, value.to_bytes(4, "little"))


def path_value(text):
    raw = text.encode("cp932")
    return (SZ, 256, raw + bytes(256 - len(raw)))


def reg_query(s):
    """name -> (type name, data text) as another program (reg query) shows the key."""
    code, out = s.reg("query", KEY)
    check(code == 0, f"reg query: {out}")
    rows = {}
    for line in out.splitlines():
        m = re.match(r"\s+(\S+)\s+(REG_\w+)\s*(.*)$", line)
        if m:
            rows[m.group(1)] = (m.group(2), m.group(3))
    return rows


def case_defaults(s):
    s.work("clear")
    music = s.windows_path("lumivorra-test/曲の森.mid", b"MThd")
    bitmap = s.windows_path("lumivorra-test/高さ.bmp", b"BM")

    # First open: the defaults. The count edit takes digits only, and its arrows stop at 0 and 255.
    # Then all nine settings are changed through the controls and stored with OK.
    shown, values = s.dialog("report",
                     "text", "1001", "254", "spin", "up", "spin", "up", "report",
                     "text", "1001", "1", "spin", "down", "spin", "down", "report",
                     "text", "1001", "", "type", "1001", "3x0-0", "report",
                     "click", "1000", "file", "1011", music, "report",
                     "click", "1003", "click", "1005", "file", "1016", bitmap, "click", "1015", "track", "7",
                     "color", "0000FF", "report", "ok", "values")
    check(len(shown) == 6, f"{len(shown)} reports")
    expect(shown[0], DEFAULTS, "first open")
    check(shown[1]["text 1001"] == "255" and shown[2]["text 1001"] == "0",
          f"arrows past the limits: {shown[1]['text 1001']}, {shown[2]['text 1001']}")
    check(shown[3]["text 1001"] == "300", f"typed 3x0-0 shows {shown[3]['text 1001']!r}")
    expect(shown[4], {"text 1010": music, "check 1000": "1", "check 1002": "0", "enabled 1010": "1",
                      "enabled 1011": "1"}, "music from a file")
    # No music disables the music path but keeps its text.
    changed = {"text 1001": "300", "text 1010": music, "text 1012": bitmap, "check 1000": "0", "check 1002": "0",
               "check 1003": "1", "check 1005": "1", "check 1006": "0", "check 1015": "1", "enabled 1010": "0",
               "enabled 1011": "0", "enabled 1012": "1", "enabled 1016": "1", "track": "7 0 8",
               "swatch": "0000FF"}
    expect(shown[5], changed, "after the changes")

    stored = {"Nums": dword(300), "Color": dword(0x0000FF),
              "CustomColors": (BINARY, 64, bytes([0, 0, 0xFF, 0]) + b"\xff" * 60), "HeightMapMode": dword(0),
              "HeightMapFile": path_value(bitmap), "BumpFactor": dword(7), "BGMMode": dword(2),
              "MusicFile": path_value(music), "ShowFPS": dword(1)}
    expect_values(values, stored, "after OK")
    rows = reg_query(s)
    check(sorted(rows) == sorted(NAMES), f"reg query shows {sorted(rows)}")
    check(rows["Nums"] == ("REG_DWORD", "0x12c") and rows["Color"] == ("REG_DWORD", "0xff") and
          rows["CustomColors"] == ("REG_BINARY", "0000FF00" + "FF" * 60) and rows["MusicFile"] == ("REG_SZ", music)
          and rows["HeightMapFile"] == ("REG_SZ", bitmap) and rows["ShowFPS"] == ("REG_DWORD", "0x1"),
          f"reg query shows {rows}")

    # Reopened, the dialog shows what was stored, but the up-down control holds its position, and so the
    # count it shows, inside 0-255. Cancel and the close box store none of the changes.
    reopened = dict(changed, **{"text 1001": "255"})
    edits = ["click", "1002", "text", "1001", "5", "track", "1", "click", "1015", "color", "00FF00"]
    shown, _ = s.dialog("report", *edits, "report", "cancel")
    expect(shown[0], reopened, "reopened")
    expect(shown[1], {"text 1001": "5", "check 1002": "1", "track": "1 0 8", "swatch": "00FF00"}, "edited")
    shown, values = s.dialog("report", *edits, "close", "values")
    expect(shown[0], reopened, "reopened after Cancel")
    expect_values(values, stored, "after Cancel and the close box")


def case_stored(s):
    """Stored values of other sizes or out of range, as another program may leave them."""
    values = [("Nums", BINARY, "07"), ("Color", BINARY, "0000FF0000000000"), ("CustomColors", BINARY, "11223344"),
              ("BumpFactor", DWORD, dword(20)[2].hex()), ("BGMMode", DWORD, dword(5)[2].hex()),
              ("HeightMapMode", DWORD, dword(7)[2].hex()), ("MusicFile", BINARY, "61" * 257),
              ("HeightMapFile", SZ, "62" * 300 + "00")]
    s.work("clear", *[field for name, kind, data in values for field in ("set", name, str(kind), data)])
    shown, stored = s.dialog("report", "ok", "values")
    # A shorter value replaces the low bytes of the default; a longer one is not read. A mode out of
    # range checks no button of its set, disables its path and is stored again unchanged; the slider
    # holds the stored strength inside its range; a 257-byte path without a zero is cut to 256.
    expect(shown[0], {"text 1001": "7", "swatch": "FF6464", "track": "8 0 8", "check 1000": "0", "check 1002": "0",
                      "check 1003": "0", "check 1005": "0", "check 1006": "0", "enabled 1010": "0",
                      "enabled 1012": "0", "text 1010": "a" * 256, "text 1012": ""}, "stored values")
    expected = {"Nums": dword(7), "Color": dword(0xFF6464),
                "CustomColors": (BINARY, 64, bytes([0x11, 0x22, 0x33, 0x44]) + b"\xff" * 60),
                "HeightMapMode": dword(7), "HeightMapFile": path_value(""), "BumpFactor": dword(8),
                "BGMMode": dword(5), "MusicFile": path_value("a" * 255), "ShowFPS": dword(0)}
    expect_values(stored, expected, "after OK")


def case_english(s):
    """In an English locale (LV_WINE_LOCALE=en_US.UTF-8) the module's English page opens, in the same
    places of the same controls, and stores as the Japanese one does."""
    s.work("clear")
    scr = s.open_dialog()
    try:
        lines = s.work("open", "caption", *[w for i in ("2", "1015", "1002", "1006") for w in ("label", i)],
                       "report", "click", "1003", "ok", "values")
        code = scr.wait(timeout=30)
        check(code == 1, f"the dialog's run exits with {code}")
    finally:
        if scr.poll() is None:
            scr.kill()
    check("caption Lumivorra Settings" in lines, f"caption: {lines[:1]}")
    labels = {line.split(" ", 2)[1]: line.split(" ", 2)[2] for line in lines if line.startswith("label ")}
    check(labels == {"2": "Cancel", "1015": "Show frame &rate", "1002": "&Built-in music",
                     "1006": "Built-in height map"}, f"labels: {labels}")
    expect(reports(lines)[0], DEFAULTS, "first open")
    check(stored_values(lines).get("BGMMode") == dword(2), f"stored: {stored_values(lines).get('BGMMode')}")


def screenshots(s, outdir):
    """The dialog, the open-file picker (showing a folder of songs with Japanese names) and the colour
    picker, cut out of the virtual desktop; in an English locale (LV_WINE_LOCALE=en_US.UTF-8) the English
    dialog alone, as win32-config-dialog-en.png."""
    s.work("clear")
    songs = [s.windows_path("lumivorra-songs/" + name, b"MThd") for name in ["曲の森.mid", "夜想曲.mid", "readme.txt"]]
    folder = songs[0].rsplit("\\", 1)[0]
    scr = s.open_dialog()
    try:
        shots = [("win32-config-dialog.png", []),
                 ("win32-open-file.png", ["click", "1000", "picker", "1011", "folder", folder]),
                 ("win32-choose-color.png", ["dismiss", "picker", "1014"])]
        if os.environ.get("LV_WINE_LOCALE", "").startswith("en"):
            shots = [("win32-config-dialog-en.png", [])]
        for name, commands in shots:
            lines = s.work("open", *commands, "rect")
            x, y, w, h = lines[-1].split(" ")[1:]
            time.sleep(1)  # the last of the painting, for the eye only
            subprocess.run(["import", "-display", s.env["DISPLAY"], "-window", "root", "-crop", f"{w}x{h}+{x}+{y}",
                            "+repage", os.path.join(outdir, name)], check=True)
        s.work("open", *(["dismiss"] if len(shots) > 1 else []), "cancel")
    finally:
        if scr.poll() is None:
            scr.kill()


def main():
    wine_run, prefix, scr, driver = map(os.path.abspath, sys.argv[1:5])
    case = sys.argv[5]
    session = DialogSession(wine_run, prefix, scr, driver)
    if case == "screenshots":
        return run_case(session, case, lambda: screenshots(session, sys.argv[6]))
    cases = {"defaults": case_defaults, "stored": case_stored, "english": case_english}
    return run_case(session, case, lambda: cases[case](session))


if __name__ == "__main__":
    sys.exit(main())
