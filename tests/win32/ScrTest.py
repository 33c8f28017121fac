#!/usr/bin/env python3
"""lumivorra.scr under Wine 64 on a virtual display (Xvfb): the switches, the exit codes and the
debugger lines (read from Wine's debug channel), the close rules, full screen and preview, with a driver
program in the roles of the user, the screen-saver host and an observer of the screen.

    ScrTest.py WINE_RUN PREFIX SCR [DRIVER WINDOWED] CASE

Every program's output goes to a file, never to a pipe: Wine's own processes (the virtual desktop's
explorer, wineserver) outlive the program and would hold a pipe open.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from ScriptChecks import Failure, check  # noqa: E402
from VirtualDisplay import VirtualDisplay, VirtualDisplayError  # noqa: E402

# The settings that every case starts from (the defaults), each case changing what it needs.
DEFAULTS = {"Nums": 40, "Color": 0xFF6464, "ShowFPS": 0, "HeightMapMode": 1, "HeightMapFile": "", "BumpFactor": 5,
            "BGMMode": 1, "MusicFile": ""}
WS_POPUP, WS_VISIBLE, WS_SYSMENU, WS_CHILD = 0x80000000, 0x10000000, 0x00080000, 0x40000000
WS_OVERLAPPEDWINDOW, WS_EX_APPWINDOW, WS_EX_TOPMOST = 0x00CF0000, 0x00040000, 0x00000008


def debug_lines(text):
    """The OutputDebugStringA texts in Wine's log, decoded from code page 932."""
    lines = []
    for quoted in re.findall(r'OutputDebugStringA "((?:[^"\\]|\\.)*)"', text):
        raw = re.sub(rb"\\x([0-9a-fA-F]{2})", lambda m: bytes([int(m.group(1), 16)]), quoted.encode("latin-1"))
        raw = raw.replace(b"\\n", b"\n").replace(b'\\"', b'"').replace(b"\\\\", b"\\")
        lines.append(raw.decode("cp932"))
    return lines


class Session:
    def __init__(self, wine_run, prefix, scr, driver=None, windowed=None, screen=(1024, 768, ())):
        """screen: the virtual display's width, height and more of its server's options."""
        self.wine = ["bash", wine_run, prefix]
        self.scr = scr
        self.driver = driver
        self.windowed = windowed
        self.logs = tempfile.TemporaryDirectory(prefix="lv-scr-")
        self.serial = 0
        try:
            self.xvfb = VirtualDisplay(screen[0], screen[1], options=screen[2])
        except VirtualDisplayError as error:
            self.logs.cleanup()
            raise Failure(str(error))
        self.display = self.xvfb.name
        self.env = dict(os.environ, DISPLAY=self.display, WINEDEBUG="-all,warn+debugstr")
        self.prefix = prefix

    def end_wine(self):
        """Ends the prefix's Wine processes and waits until its server is gone: a program started while the
        old server is still going down can fail to start at all."""
        for flag in ("-k", "-w"):
            subprocess.run(["/usr/lib/wine/wineserver", flag], env=dict(self.env, WINEPREFIX=self.prefix),
                           stderr=subprocess.DEVNULL, timeout=60)

    def close(self):
        self.end_wine()
        self.xvfb.close()
        self.logs.cleanup()

    def wine_setting(self, *args):
        """Changes Wine's own registry (reg.exe's arguments) before the first window is made, and ends the
        Wine processes so that the next program starts the desktop with it."""
        process = self.launch("reg", *args)
        process.wait(timeout=60)
        check(process.returncode == 0, f"reg {args}: {read(process.log)[-500:]}")
        self.end_wine()

    def launch(self, program, *args, stderr=True, channels="", env=None):
        """Starts a Windows program; its output (and Wine's log with stderr) goes to process.log. channels:
        more of Wine's debug channels, such as ",trace+message" (every message a window procedure gets)."""
        self.serial += 1
        path = os.path.join(self.logs.name, f"{self.serial}.log")
        env = dict(self.env, WINEDEBUG=self.env["WINEDEBUG"] + channels, **(env or {}))
        with open(path, "wb") as log:
            with open(path + ".err", "wb") as errors:
                process = subprocess.Popen(self.wine + [program, *map(str, args)], env=env,
                                           stdin=subprocess.DEVNULL, stdout=log, stderr=log if stderr else errors)
        process.log = path
        return process

    def start(self, *args, channels="", env=None):
        return self.launch(self.scr, *args, channels=channels, env=env)

    def run(self, *args, timeout=60):
        return self.finish(self.start(*args), timeout)

    def finish(self, process, timeout):
        """Waits for the program's end: its exit code and its debugger lines."""
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise Failure("the program did not end: " + read(process.log)[-2000:])
        return process.returncode, debug_lines(read(process.log))

    def drive(self, *steps, timeout=150):
        """Runs the driver's steps to their end: its exit code and its output lines."""
        process = self.launch(self.driver, *map(str, steps), stderr=False)
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise Failure(f"the driver did not end: {read(process.log)}")
        if process.returncode != 0:
            print(f"the driver ended with {process.returncode}; Wine said: {read(process.log + '.err')[-1000:]}")
        return process.returncode, read(process.log).splitlines()

    def settings(self, **values):
        """Writes every setting: the defaults, changed by values."""
        steps = []
        for name, value in dict(DEFAULTS, **values).items():
            steps += ["set", f"{name}={value}"]
        code, out = self.drive(*steps)
        check(code == 0, f"settings not written: {out}")


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def line(out, word):
    """The driver's output line that starts with word, split into its fields."""
    for text in out:
        if text.startswith(word + " "):
            return text.split(" ")[1:]
    raise Failure(f"no '{word}' line in {out}")


def fields(out, word):
    """The name=value fields of the driver's line that starts with word."""
    return dict(f.split("=", 1) for f in line(out, word) if "=" in f)


def wait_line(process, word, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        for text in read(process.log).splitlines():
            if text.startswith(word + " "):
                return text.split(" ")[1:]
        check(process.poll() is None, f"the driver ended without '{word}': {read(process.log)}")
        time.sleep(0.1)
    raise Failure(f"no '{word}' from the driver")


def screen_mode(s):
    code, out = s.drive("mode")
    check(code == 0, f"mode: {out}")
    return line(out, "mode")


def case_errors(s):
    s.settings()
    code, lines = s.run("/p", "0")
    check(code == 0, f"/p 0 exits with {code}")
    check(lines == ["failed CreateWindowEx(...) 返値=NULL\n"], f"/p 0 writes {lines}")
    # A handle that names no window at all.
    code, lines = s.run("/p", "7340031")
    check(code == 0 and lines == ["failed CreateWindowEx(...) 返値=NULL\n"], f"/p 7340031: exit {code}, {lines}")
    code, lines = s.run("/x")
    check(code == 1 and lines == [], f"/x: exit {code}, lines {lines}")
    # The built-in song needs a MIDI device: the run ends with the open error and its code.
    code, lines = s.run("/s")
    check(code == 0, f"/s without a MIDI device exits with {code}")
    check(len(lines) == 1 and re.fullmatch(r"midiOutOpen\(\)でエラーが発生しました。\n返値:[1-9][0-9]*\n", lines[0]),
          f"/s without a MIDI device writes {lines}")
    # A height map file that is not there, named in code page 932: the message names it, and the full-screen
    # mode that was already set is given back.
    s.settings(BGMMode=2, HeightMapMode=0, HeightMapFile="C:\\高さ\\ない.bmp")
    code, lines = s.run("/s")
    check(code == 0 and lines == ["C:\\高さ\\ない.bmpをオープンできませんでした。\n"], f"missing map: {code}, {lines}")
    check(screen_mode(s) == ["1024x768"], "the display mode stays changed after the failed start")


def case_errors_english(s):
    """In an English locale (LV_WINE_LOCALE=en_US.UTF-8) the same failures speak English."""
    s.settings()
    code, lines = s.run("/p", "0")
    check(code == 0 and lines == ["failed CreateWindowEx(...) returned NULL\n"], f"/p 0: exit {code}, {lines}")
    s.settings(BGMMode=2, HeightMapMode=0, HeightMapFile="C:\\maps\\missing.bmp")
    code, lines = s.run("/s")
    check(code == 0 and lines == ["Could not open C:\\maps\\missing.bmp.\n"], f"missing map: {code}, {lines}")


def start_saver(s, channels=""):
    process = s.start("/s", channels=channels)
    code, out = s.drive("wait", 60000)
    check(code == 0, f"no full-screen window: {out} {read(process.log)[-1500:]}")
    return process, out


def end_saver(s, process, what):
    code, lines = s.finish(process, 30)
    check(code == 1 and lines == [], f"after {what}: exit {code}, lines {lines}")


def case_close(s):
    s.settings(BGMMode=2)
    # Mouse moves one at a time, until the window goes. Wine moves the pointer into the new window itself
    # (as Windows does), so how many moves the window got is read from Wine's message trace: the close
    # request must follow the fifth, and a system key must not close it.
    process, out = start_saver(s, channels=",trace+message")
    window = "0x%x" % int(line(out, "window")[0])
    code, out = s.drive("sleep", 1000, "send", "syskey", "moves", 6, 400, "gone", 30000)
    check(code == 0 and int(line(out, "moves")[0]) >= 1, f"moves: {out}")
    end_saver(s, process, "the fifth move")
    log = read(process.log)
    closed = log.find(f'({window}) L"Lumivorra"     [0010] WM_CLOSE dispatched')
    check(closed > 0, "no close request in the message trace")
    moves = re.findall(rf"spy_enter_message +\({window}\) +DefWindowProc:\[0200\]", log[:closed])
    check(len(moves) == 5, f"closed after {len(moves)} mouse moves")
    check("DefWindowProc:[0104] WM_SYSKEYDOWN" in log[:closed], "the system key did not reach the window")
    # A key, and each button, closes it at once. While one runs, a second start of any switch does nothing.
    for what in ["key", "lbutton", "mbutton", "rbutton"]:
        process, _ = start_saver(s)
        if what == "key":
            for switch in ["/s", "/c", "/p 0"]:
                code, lines = s.run(*switch.split(), timeout=30)
                check(code == 1 and lines == [], f"second instance {switch}: exit {code}, lines {lines}")
        code, out = s.drive("send", what, "gone", 30000)
        check(code == 0, f"{what}: {out}")
        end_saver(s, process, what)


def case_fullscreen(s):
    s.settings(BGMMode=2, ShowFPS=1)
    before = screen_mode(s)
    process = s.start("/s", env=TRACED)
    code, out = s.drive("wait", 60000, "pixels", 60000, 320 * 240 // 10, "mode", "describe", "fade", 15000, "gone",
                        30000, "sleep", 300, "mode")
    check(code == 0, f"full screen: {out}")
    window = fields(out, "shown")
    style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
    check(style & (WS_POPUP | WS_VISIBLE | WS_SYSMENU) == WS_POPUP | WS_VISIBLE | WS_SYSMENU, f"style {style:x}")
    check(exstyle & WS_EX_APPWINDOW and window["parent"] == "0", f"window {window}")
    modes = [text.split(" ")[1] for text in out if text.startswith("mode ")]
    check(modes[0] == "320x240", f"mode while running: {modes[0]}")
    check(modes[1] == before[0], f"mode after the run: {modes[1]}, before {before}")
    pixels = fields(out, "pixels")
    check(line(out, "pixels")[0] == "320x240", f"picture: {pixels}")
    # The lit swarm covers a good part of the screen, bright at its centre; the frame went through the
    # 5-6-5 conversion: 32 levels of red and of blue, more than 32 of green.
    red, green, blue = map(int, pixels["levels"].split(","))
    check(int(pixels["nonblack"]) > 320 * 240 // 10 and int(pixels["bright"]) > 100, f"picture: {pixels}")
    check(red <= 32 and blue <= 32 and 32 < green <= 64, f"not the 5-6-5 layout: {pixels}")
    # After the key the picture darkens to black while the window and the mode are still there.
    fade = fields(out, "fade")
    check(int(fade["dim"]) > 0 and int(fade["black"]) > 0, f"no fade seen: {fade}")
    lines = traced_run(s, process, "a key")
    check("SDisplay: mode 320x240x16, exclusive full screen.\n" in lines, f"trace: {lines}")


def check_window_picture(out, size):
    """The frame stretched over the client area of size: lit, and in more than 64 levels of green (the
    32-bit off-screen path, not a 16-bit one)."""
    pixels = line(out, "pixels")
    values = fields(out, "pixels")
    area = int(size.split("x")[0]) * int(size.split("x")[1])
    check(pixels[0] == size and int(values["nonblack"]) > area // 10 and int(values["bright"]) > area // 1000,
          f"picture: {pixels}")
    check(int(values["levels"].split(",")[1]) > 64, f"picture in few greens: {pixels}")


def case_preview(s):
    s.settings(BGMMode=2)
    host = s.launch(s.driver, "host", 200, 150, "wait", 60000, "sleep", 1000, "describe", "destroy", "sleep", 200,
                    stderr=False)
    handle = wait_line(host, "host")[0]
    process = s.start("/p", handle)
    s.finish(host, 60)
    out = read(host.log).splitlines()
    check(host.returncode == 0, f"host: {out} {read(process.log)[-1500:]}")
    child = fields(out, "shown")
    check(child["parent"] == handle and child["client"] == "200x150", f"preview window {child}")
    check(int(child["style"], 16) & (WS_CHILD | WS_VISIBLE) == WS_CHILD | WS_VISIBLE, f"style {child['style']}")
    started = time.monotonic()
    code, lines = s.finish(process, 30)
    check(code == 1 and lines == [], f"after the host went: exit {code}, lines {lines}")
    check(time.monotonic() - started < 10, "the preview outlived its host by more than 10 s")
    # A child of another program's window does not reach the screen under Wine; one of the desktop does.
    code, out = s.drive("desktop")
    process = s.start("/p", line(out, "desktop")[0])
    code, out = s.drive("wait", 60000, "pixels", 60000, 1024 * 768 // 10, "close", "gone", 30000)
    check(code == 0, f"desktop preview: {out} {read(process.log)[-1500:]}")
    check_window_picture(out, "1024x768")
    end_saver(s, process, "a close request")


def case_windowed(s):
    s.settings(BGMMode=2)
    process = s.launch(s.windowed)
    code, out = s.drive("wait", 60000, "send", "lbutton", "send", "rbutton", "send", "mbutton", *["send", "move"] * 6,
                        "send", "key", "pixels", 60000, 320 * 240 // 10, "describe", "alive", "send", "esc", "gone",
                        30000)
    check(code == 0, f"windowed: {out} {read(process.log)[-1500:]}")
    window = fields(out, "shown")
    check(window["client"] == "320x240", f"client area {window}")
    check(int(window["style"], 16) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE) == WS_OVERLAPPEDWINDOW | WS_VISIBLE,
          f"style {window['style']}")
    check(line(out, "alive") == ["1"], f"input other than Esc closed the window: {out}")
    check_window_picture(out, "320x240")
    end_saver(s, process, "Esc")


# The trace of the display's way, with LUMIVORRA_TRACE set.
TRACED = {"LUMIVORRA_TRACE": "1"}
REFUSED = " refused (8876024e): full screen scaled on the desktop.\n"


def traced_run(s, process, what):
    """Waits for the end of a run started with TRACED: its trace lines; nothing else on the debugger."""
    code, lines = s.finish(process, 30)
    errors = [text for text in lines if not re.match(r"S[A-Za-z]+: ", text)]
    check(code == 1 and errors == [], f"after {what}: exit {code}, lines {errors}")
    return lines


def check_letterbox(out, size, box):
    """The 320x240 picture scaled by nearest neighbour into box of a window of size, black bars beside it,
    from the 5-6-5 layout (at most 32 levels of red and blue)."""
    fields_ = fields(out, "letterbox")
    check(line(out, "letterbox")[0] == size and fields_["box"] == box, f"letterbox: {fields_}")
    width, height = map(int, box.split(",")[2:])
    check(fields_["bars"] == "0" and int(fields_["nonblack"]) > width * height // 10, f"letterbox: {fields_}")
    check(fields_["mismatched"] == "0", f"not a nearest-neighbour scaling: {fields_}")
    red, _, blue = map(int, fields_["levels"].split(","))
    check(red <= 32 and blue <= 32, f"not the 5-6-5 layout: {fields_}")


def case_scaled(s):
    """A display without the 320x240 mode (the test switch refuses it), on a 16:9 desktop: the picture
    letterboxed on the desktop as it is, the fade, the close rules; then the same way chosen by the user."""
    s.wine_setting("add", "HKCU\\Software\\Wine\\Explorer\\Desktops", "/v", "Default", "/d", "1280x720", "/f")
    try:
        s.settings(BGMMode=2)
        process = s.start("/s", env=dict(TRACED, LUMIVORRA_MODE_SWITCH="refuse"))
        code, out = s.drive("wait", 60000, "pixels", 60000, 960 * 720 // 10, "letterbox", "main", "mode", "describe",
                            "fade", 15000, "gone", 30000, "windows")
        check(code == 0, f"scaled: {out} {read(process.log)[-1500:]}")
        check(line(out, "mode") == ["1280x720"], f"the display mode changed: {out}")
        window = fields(out, "shown")
        check(window["rect"] == "0,0,1280,720" and int(window["exstyle"], 16) & WS_EX_TOPMOST, f"window {window}")
        check_letterbox(out, "1280x720", "160,0,960,720")
        fade = fields(out, "fade")
        check(int(fade["dim"]) > 0 and int(fade["black"]) > 0, f"no fade seen: {fade}")
        check(line(out, "windows") == ["0"], f"windows left after the run: {out}")
        lines = traced_run(s, process, "a key")
        check("SDisplay: mode 320x240x16" + REFUSED in lines, f"trace: {lines}")
        # Chosen by the user: the mode is not even asked for; a button closes it.
        code, out = s.drive("set", "ScaledFullScreen=1")
        process = s.start("/s", env=TRACED)
        code, out = s.drive("wait", 60000, "pixels", 60000, 960 * 720 // 10, "mode", "send", "mbutton", "gone", 30000)
        check(code == 0 and line(out, "mode") == ["1280x720"], f"chosen: {out} {read(process.log)[-1500:]}")
        lines = traced_run(s, process, "a button")
        check("SDisplay: full screen scaled on the desktop, as chosen.\n" in lines, f"trace: {lines}")
    finally:
        s.drive("unset", "ScaledFullScreen")
        s.wine_setting("add", "HKCU\\Software\\Wine\\Explorer\\Desktops", "/v", "Default", "/d", "1024x768", "/f")


def case_monitors(s):
    """Two monitors: Xvfb with two Xinerama heads (without RandR, so that Wine reads Xinerama), and Wine
    without its virtual desktop, where plain X refuses the mode switch. Xvfb puts every head at the
    origin, so the second monitor (640x480) lies over the primary's top-left corner."""
    s.wine_setting("delete", "HKCU\\Software\\Wine\\Explorer", "/v", "Desktop", "/f")
    try:
        s.settings(BGMMode=2)
        process = s.start("/s", env=TRACED)
        code, out = s.drive("wait", 60000, "pixels", 60000, 960 * 720 // 20, "describe", "windows", "letterbox",
                            "cover", "send-cover", "lbutton", "gone", 30000, "windows")
        check(code == 0, f"monitors: {out} {read(process.log)[-1500:]}")
        main = int(line(out, "window")[0])
        cover = fields(out, "cover")
        check(cover["rect"] == "0,0,640,480" and int(cover["owner"]) == main, f"cover: {cover}")
        check(int(cover["exstyle"], 16) & WS_EX_TOPMOST, f"cover not top-most: {cover}")
        check(int(fields(out, "shown")["exstyle"], 16) & WS_EX_TOPMOST, f"main window not top-most: {out}")
        check([text for text in out if text.startswith("windows ")] == ["windows 2", "windows 0"],
              f"windows while and after the run: {out}")
        check_letterbox(out, "640x480", "0,0,640,480")
        lines = traced_run(s, process, "a button on the second monitor")
        refused = [text for text in lines if re.fullmatch(r"SDisplay: .* refused \([0-9a-f]+\): full screen scaled on "
                                                          r"the desktop\.\n", text)]
        check(len(refused) == 1, f"trace: {lines}")
    finally:
        s.wine_setting("add", "HKCU\\Software\\Wine\\Explorer", "/v", "Desktop", "/d", "Default", "/f")


CASES = {"errors": case_errors, "errors_english": case_errors_english, "close": case_close,
         "fullscreen": case_fullscreen, "preview": case_preview, "windowed": case_windowed, "scaled": case_scaled,
         "monitors": case_monitors}
# The virtual display of the cases that need another than 1024x768.
SCREENS = {"scaled": (1280, 720, ()),
           "monitors": (1280, 720, ("-screen", "1", "640x480x24", "+xinerama", "-extension", "RANDR"))}


def run_case(session, case, run):
    """Runs one case, then ends the session; prints the verdict and gives the exit code."""
    try:
        run()
    except Failure as failure:
        print(f"FAIL {case}: {failure}")
        return 1
    finally:
        session.close()
    print(f"ok {case}")
    return 0


def main():
    wine_run, prefix, scr = sys.argv[1:4]
    driver, windowed = (sys.argv[4:6] if len(sys.argv) > 6 else (None, None))
    case = sys.argv[-1]
    session = Session(wine_run, prefix, scr, driver, windowed, SCREENS.get(case, (1024, 768, ())))
    return run_case(session, case, lambda: CASES[case](session))


if __name__ == "__main__":
    sys.exit(main())
