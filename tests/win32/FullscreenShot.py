#!/usr/bin/env python3
"""Takes a screenshot of lumivorra.scr /s under Wine's virtual desktop on Xvfb (the frame-rate counter on,
no music): the X root window's top-left 320x240, where the desktop sits after the mode switch.

    FullscreenShot.py BUILD OUT.png      (BUILD: a built win64 preset folder whose Wine prefix is booted,
                                          e.g. build/win64 after ctest --preset win64)
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ScrTest import Session, check, fields  # noqa: E402


def main():
    build, out = os.path.abspath(sys.argv[1]), sys.argv[2]
    here = os.path.dirname(os.path.abspath(__file__))
    s = Session(os.path.join(here, "wine-run.sh"), os.path.join(build, "wineprefix"), os.path.join(build, "lumivorra.scr"),
                os.path.join(build, "tests", "win32", "lumivorra-scr-driver.exe"))
    try:
        s.settings(BGMMode=2, ShowFPS=1)
        process = s.start("/s")
        # A few seconds of flying, so that the counter shows a rate.
        code, lines = s.drive("wait", 60000, "pixels", 60000, 320 * 240 // 10, "sleep", 3000)
        check(code == 0 and int(fields(lines, "pixels")["nonblack"]) > 0, f"no picture: {lines}")
        subprocess.run(["import", "-display", s.display, "-window", "root", "-crop", "320x240+0+0", "+repage", out],
                       check=True)
        s.drive("send", "key", "gone", 15000)
        s.finish(process, 30)
    finally:
        s.close()
    print(out)


if __name__ == "__main__":
    main()
