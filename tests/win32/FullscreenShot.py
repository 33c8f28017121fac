#!/usr/bin/env python3
"""Takes a screenshot of lumivorra.scr /s under Wine's virtual desktop on Xvfb (the frame-rate counter on,
no music): the X root window's top-left 320x240, where the desktop sits after the mode switch; with
--scaled, the whole 1280x720 desktop of a display that refuses the mode (the picture letterboxed on it).

    FullscreenShot.py BUILD OUT.png [--scaled]   (BUILD: a built win64 preset folder whose Wine prefix is
                                                  booted, e.g. build/win64 after ctest --preset win64)
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ScrTest import SCREENS, Session, check, fields  # noqa: E402

DESKTOPS = r"HKCU\Software\Wine\Explorer\Desktops"


def main():
    build, out = os.path.abspath(sys.argv[1]), sys.argv[2]
    scaled = sys.argv[3:] == ["--scaled"]
    here = os.path.dirname(os.path.abspath(__file__))
    s = Session(os.path.join(here, "wine-run.sh"), os.path.join(build, "wineprefix"), os.path.join(build, "lumivorra.scr"),
                os.path.join(build, "tests", "win32", "lumivorra-scr-driver.exe"),
                screen=SCREENS["scaled"] if scaled else (1024, 768, ()))
    try:
        if scaled:
            s.wine_setting("add", DESKTOPS, "/v", "Default", "/d", "1280x720", "/f")
        s.settings(BGMMode=2, ShowFPS=1)
        process = s.start("/s", env={"LUMIVORRA_MODE_SWITCH": "refuse"} if scaled else None)
        # A few seconds of flying, so that the counter shows a rate.
        code, lines = s.drive("wait", 60000, "pixels", 60000, 320 * 240 // 10, "sleep", 3000)
        check(code == 0 and int(fields(lines, "pixels")["nonblack"]) > 0, f"no picture: {lines}")
        crop = "1280x720+0+0" if scaled else "320x240+0+0"
        subprocess.run(["import", "-display", s.display, "-window", "root", "-crop", crop, "+repage", out], check=True)
        s.drive("send", "key", "gone", 15000)
        s.finish(process, 30)
    finally:
        if scaled:
            s.wine_setting("add", DESKTOPS, "/v", "Default", "/d", "1024x768", "/f")
        s.close()
    print(out)


if __name__ == "__main__":
    main()
