#!/usr/bin/env python3
"""The lumivorra program on a virtual display (Xvfb): what a user sees and does, checked from outside with
screenshots (ImageMagick's import), synthetic input (xdotool) and exit codes.

    ProgramTest.py PATH/TO/lumivorra CASE     (CASE: one of the functions named in CASES)

Each case gets its own X server, settings folder and lock folder, so that cases and other users' runs on
the same machine never meet. Fails with a message and exit code 1.
"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from ScriptChecks import Failure, check, read_log  # noqa: E402
from VirtualDisplay import VirtualDisplay, VirtualDisplayError  # noqa: E402

# 16:9, so that the 4:3 picture is letterboxed: 100 black columns on each side.
SCREEN_W, SCREEN_H = 800, 450
LETTERBOX = (SCREEN_W - SCREEN_H * 4 // 3) // 2


class Session:
    def __init__(self, program, screens=1, size=(SCREEN_W, SCREEN_H)):
        self.program = program
        self.folder = tempfile.TemporaryDirectory(prefix="lumivorra-xvfb-")
        try:
            self.xvfb = VirtualDisplay(*size, screens=screens)
        except VirtualDisplayError as error:
            self.folder.cleanup()
            raise Failure(str(error))
        runtime = os.path.join(self.folder.name, "run")
        os.mkdir(runtime, 0o700)
        self.env = dict(os.environ, DISPLAY=self.xvfb.name, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(self.folder.name, "config"), LUMIVORRA_TRACE="1")
        self.env.pop("XSCREENSAVER_WINDOW", None)
        self.logs = []
        self.processes = []

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        self.xvfb.close()
        self.folder.cleanup()

    def start(self, *args, env=None):
        log = tempfile.TemporaryFile(dir=self.folder.name)
        self.logs.append(log)
        process = subprocess.Popen([self.program, *args], env=env or self.env, stdout=log, stderr=log)
        self.processes.append(process)
        return process

    def stderr_of(self, index=-1):
        return read_log(self.logs[index])

    def tool(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=20).stdout

    def find_window(self, name, timeout=60.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            ids = self.tool("xdotool", "search", "--name", name).split()
            if ids:
                return int(ids[0])
            time.sleep(0.1)
        # What the server holds tells a window under another name from one that was never made.
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env, capture_output=True, text=True,
                              timeout=20)
        raise Failure(f"no window named {name!r} appeared; the server has:\n{tree.stdout}{tree.stderr}")

    def screenshot(self, screen=0):
        """The root window of the screen as rows of (r, g, b) bytes."""
        env = dict(self.env, DISPLAY=f"{self.xvfb.name}.{screen}")
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=env,
                              capture_output=True, timeout=20).stdout
        fields = data.split(maxsplit=4)
        check(fields[0] == b"P6", "import gave no picture")
        width, height = int(fields[1]), int(fields[2])
        return width, height, fields[4]

    @staticmethod
    def mean(shot, left, top, right, bottom):
        width, _, pixels = shot
        total = 0
        for y in range(top, bottom):
            row = pixels[(y * width + left) * 3:(y * width + right) * 3]
            total += sum(row)
        return total / ((right - left) * (bottom - top) * 3)


WIDE5 = {v * 255 // 31 for v in range(32)}  # what a 5- or 6-bit channel is shown as
WIDE6 = {v * 255 // 63 for v in range(64)}


def pixel(shot, x, y):
    width, _, pixels = shot
    at = (y * width + x) * 3
    return pixels[at:at + 3]


def scaled_by_rule(shot, box, source=(320, 240)):
    """Checks that the box of the screenshot is a source-sized picture scaled by nearest neighbour: every
    pixel equals the one at the centre of its source pixel's block. A destination pixel whose centre
    falls exactly on a block's edge may show either neighbour (a GPU's sampler rounds either way)."""
    left, top, right, bottom = box
    width, height = right - left, bottom - top

    def sources(d, size, source_size):
        exact, rest = divmod((2 * d + 1) * source_size, 2 * size)
        return (exact, exact - 1) if rest == 0 and exact > 0 else (exact,)

    def centre(s, size, source_size):  # a destination pixel well inside source pixel s's block
        return ((2 * s + 1) * size) // (2 * source_size)

    columns = [sources(x, width, source[0]) for x in range(width)]
    wrong = 0
    for y in range(height):
        rows = sources(y, height, source[1])
        for x in range(width):
            got = pixel(shot, left + x, top + y)
            if not any(got == pixel(shot, left + centre(sx, width, source[0]), top + centre(sy, height, source[1]))
                       for sy in rows for sx in columns[x]):
                wrong += 1
                if wrong == 1:
                    first = (x, y)
    check(wrong == 0, f"{wrong} pixels break the nearest-neighbour rule, the first at {wrong and first}")


def five_six_five_share(shot, box):
    """The share of the box's pixels whose colour a 5-6-5 pixel gives."""
    left, top, right, bottom = box
    hits = 0
    for y in range(top, bottom):
        for x in range(left, right):
            r, g, b = pixel(shot, x, y)
            hits += r in WIDE5 and g in WIDE6 and b in WIDE5
    return hits / ((right - left) * (bottom - top))


def maps_qt(process):
    with open(f"/proc/{process.pid}/maps") as maps:
        return "libQt6" in maps.read()


def wait_drawn(session, process, box, timeout=60.0, screen=0):
    """Waits until the area box (left, top, right, bottom) of the screen shows the picture: a mean
    brightness above 8 and unlike what was there before (black, or a light host window). On a loaded
    machine the first frame can take a while. Returns the mean brightness."""
    empty = session.mean(session.screenshot(screen), *box)
    deadline = time.monotonic() + timeout
    while True:
        check(process.poll() is None, "the program ended by itself: " + session.stderr_of())
        brightness = session.mean(session.screenshot(screen), *box)
        if (brightness > 8 and abs(brightness - empty) > 8) or time.monotonic() > deadline:
            check_present_way(session, process)
            return brightness


# What the trace must say of how pictures reach the screen, for each way the tests force.
PRESENT_WAYS = {
    None: ("present path surface", "from the render thread (MIT-SHM)"),
    "surface": ("present path surface (forced)", "from the render thread (MIT-SHM)"),
    "surface-main": ("present path surface (forced)", None),
    "texture": ("present path texture", None),
}


def main_thread_sleeps(process):
    with open(f"/proc/{process.pid}/status") as status:
        for line in status:
            if line.startswith("voluntary_ctxt_switches:"):
                return int(line.split()[1])
    raise Failure("no context switches in /proc")


def check_main_thread_asleep(process):
    """Where pictures go from the render thread, the main thread sleeps while 60 a second are shown."""
    if PRESENT_WAYS[os.environ.get("LUMIVORRA_PRESENT")][1] is not None:
        woken = main_thread_sleeps(process)
        time.sleep(1.0)
        woken = main_thread_sleeps(process) - woken
        check(woken < 30, f"the main thread woke {woken} times in a second of pictures")


def check_present_way(session, process):
    """The process's trace names the way its pictures go (it may still be on its way: the area looked
    at can change before the process has drawn, when another one of the program draws there)."""
    path, direct = PRESENT_WAYS[os.environ.get("LUMIVORRA_PRESENT")]
    index = session.processes.index(process)
    deadline = time.monotonic() + 30
    while True:
        trace = session.stderr_of(index)
        if path in trace and (direct is None or direct in trace) or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    check(path in trace, f"no {path!r} in the trace")
    if direct is None:
        check("pictures go to the X server from the render thread" not in trace,
              "pictures went from the render thread on a path that shows them on the main thread")
    else:
        check(direct in trace, f"no {direct!r} in the trace")


def wait_exit(process, timeout):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def alive_after(process, seconds):
    return wait_exit(process, seconds) is None


PICTURE = (LETTERBOX, 0, SCREEN_W - LETTERBOX, SCREEN_H)
HOST = (40, 40, 400, 300)  # inside the host windows of the preview cases


def start_full_screen(session):
    process = session.start("/s")
    session.find_window("^Lumivorra$")
    picture = wait_drawn(session, process, PICTURE)
    check(picture > 8, f"the picture is black (mean {picture:.1f})")
    return process


def full_screen(session):
    """/s shows the lit swarm letterboxed to 4:3; system keys do not close it, a second start does nothing;
    any key closes it after a fade presented at display speed, with exit code 1."""
    process = start_full_screen(session)
    shot = session.screenshot()
    check(shot[0] == SCREEN_W and shot[1] == SCREEN_H, "unexpected screen size")
    bars = max(session.mean(shot, 0, 0, LETTERBOX, SCREEN_H),
               session.mean(shot, SCREEN_W - LETTERBOX, 0, SCREEN_W, SCREEN_H))
    check(bars == 0, f"the letterbox bars are not black (mean {bars:.2f})")
    scaled_by_rule(shot, PICTURE)
    # Our own scaler shows exactly the 5-6-5 colours; llvmpipe's texture sampling is off by one in a
    # channel here and there (89 % of the pixels kept their colour in one run, most runs more).
    least = 0.85 if os.environ.get("LUMIVORRA_PRESENT") == "texture" else 1.0
    share = five_six_five_share(shot, PICTURE)
    check(share >= least, f"only {share:.1%} of the picture has 5-6-5 colours")
    check(not maps_qt(process), "the screen saver has Qt mapped")

    second = session.start("/s")
    check(wait_exit(second, 30) == 1, "a second /s did not exit with 1 at once")
    check(process.poll() is None, "the second start ended the first")

    session.tool("xdotool", "key", "alt+x", "F10")
    check(alive_after(process, 0.7), "a system key closed the screen saver")

    before = session.mean(session.screenshot(), *PICTURE)
    session.tool("xdotool", "key", "a")
    pressed = time.monotonic()
    # The darkest picture seen while the window is still there: the fade ends on black, and the window
    # goes only after it.
    darkest = before
    while True:
        shot = session.screenshot()
        if process.poll() is not None:
            break
        darkest = min(darkest, session.mean(shot, *PICTURE))
    code = wait_exit(process, 30)
    took = time.monotonic() - pressed
    check(code == 1, f"exit code {code} after a key")
    check(darkest < before * 0.5, f"no fade visible ({before:.1f} before, {darkest:.1f} at the darkest)")
    # 32 fade frames at no more than the display's 60 Hz.
    check(took > 0.5, f"closed {took:.2f} s after the key: the fade was not paced")


def instances(session):
    """Of two /s started together only one runs, the other exits with 1 at once; a preview holds nothing,
    so /s starts beside one."""
    first, second = session.start("/s"), session.start("/s")
    deadline = time.monotonic() + 30
    while first.poll() is None and second.poll() is None and time.monotonic() < deadline:
        time.sleep(0.05)
    ended, running = (first, second) if first.poll() is not None else (second, first)
    check(wait_exit(ended, 1) == 1, "neither of two /s started together exited with 1")
    session.find_window("^Lumivorra$")
    check(wait_drawn(session, running, PICTURE) > 8, "the /s that found no other draws nothing")
    session.tool("xdotool", "key", "a")
    check(wait_exit(running, 30) == 1, "the running /s did not close on a key")

    host = subprocess.Popen(["xmessage", "-geometry", "400x300+20+20", "-name", "lumivorrahost", "host"],
                            env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        host_id = int(session.tool("sh", "-c", "xdotool search --sync --onlyvisible --classname lumivorrahost").split()[0])
        preview = session.start("/p", str(host_id))
        wait_drawn(session, preview, HOST)
        full = start_full_screen(session)
        session.tool("xdotool", "key", "a")
        check(wait_exit(full, 30) == 1, "/s beside a preview did not run and close with 1")
        check(preview.poll() is None, "the preview ended with the full-screen run")
        preview.send_signal(signal.SIGTERM)
        check(wait_exit(preview, 30) == 1, "the preview did not end on SIGTERM")
    finally:
        host.kill()
        host.wait()


def mouse(session):
    """The fifth mouse-move message closes the screen saver, the four before it do not (the first is the
    one a fresh full-screen window gets by itself: SDL's first position of the pointer, from the window
    appearing under it); a button closes it; SIGINT ends it as a close does."""
    process = start_full_screen(session)
    # Each move is waited for until the server has moved the pointer, so that no two can reach the
    # program as one; a close takes a fade of 32 frames at 60 Hz and more, so a run still there 1.5 s
    # after the last of them was closed by none.
    for step in range(1, 4):
        session.tool("xdotool", "mousemove", "--sync", str(40 * step), str(30 * step))
    check(alive_after(process, 1.5), f"moves 2 to 4 closed the screen saver (exit code {process.poll()})")
    session.tool("xdotool", "mousemove", "--sync", "300", "200")
    code = wait_exit(process, 30)
    check(code == 1, f"the fifth move did not close it with exit code 1 (exit code {code})")

    process = start_full_screen(session)
    session.tool("xdotool", "click", "3")
    code = wait_exit(process, 30)
    check(code == 1, f"a button did not close it with exit code 1 (exit code {code})")

    process = start_full_screen(session)
    process.send_signal(signal.SIGINT)
    code = wait_exit(process, 30)
    check(code == 1, f"SIGINT did not end it with exit code 1 (exit code {code})")
    check("SMusic: Play stop." in session.stderr_of(), "the music was not stopped on SIGINT")


def window(session):
    """--window runs in a plain window that only Esc closes."""
    process = session.start("--window")
    window_id = session.find_window("^Lumivorra$")
    time.sleep(1.5)
    check(process.poll() is None, "the window ended by itself: " + session.stderr_of())
    geometry = session.tool("xdotool", "getwindowgeometry", str(window_id))
    check("320x240" in geometry, "the client area is not 320x240: " + geometry)
    x, y = (int(v) for v in geometry.split("Position:")[1].split()[0].split(","))
    box = (x, y, x + 320, y + 240)
    wait_drawn(session, process, box)
    share = five_six_five_share(session.screenshot(), box)
    check(share < 0.9, f"{share:.1%} of the window has 5-6-5 colours: not shown in 32-bit colour")
    check(not maps_qt(process), "the window's program has Qt mapped")
    check_main_thread_asleep(process)

    # Covered by another window it shows nothing, and shows the picture again when uncovered.
    cover = subprocess.Popen(["xmessage", "-geometry", f"{SCREEN_W}x{SCREEN_H}+0+0", "cover"], env=session.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for_text(session, process, "SdlHost: presents paused")
    finally:
        cover.kill()
        cover.wait()
    wait_for_text(session, process, "SdlHost: presents resumed.")
    # A top-level window of the program, as the full-screen one is: a screen-saver start does nothing.
    second = session.start("/s")
    check(wait_exit(second, 30) == 1, "/s did not exit with 1 at once while --window runs")
    session.tool("xdotool", "mousemove", "--window", str(window_id), "50", "50")
    session.tool("xdotool", "windowfocus", "--sync", str(window_id))
    for step in range(6):
        session.tool("xdotool", "mousemove", "--window", str(window_id), str(60 + 10 * step), "60")
    session.tool("xdotool", "key", "a", "space")
    session.tool("xdotool", "click", "1")
    check(alive_after(process, 0.7), "input other than Esc closed the window")
    session.tool("xdotool", "key", "Escape")
    check(wait_exit(process, 30) == 1, "Esc did not close the window with exit code 1")


def wait_for_text(session, process, text, timeout=15.0):
    deadline = time.monotonic() + timeout
    while text not in session.stderr_of():
        check(time.monotonic() < deadline and process.poll() is None, f"no {text!r} in the trace")
        time.sleep(0.05)


def preview(session):
    """/p ID draws into the host window and ends when the host is destroyed; --window-id takes 0x-hex and
    --root takes $XSCREENSAVER_WINDOW, and SIGTERM ends them; a bad handle ends with the window-creation
    message and exit code 0."""
    host = subprocess.Popen(["xmessage", "-geometry", "400x300+20+20", "-name", "lumivorrahost", "host"],
                            env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        host_id = int(session.tool("sh", "-c", "xdotool search --sync --onlyvisible --classname lumivorrahost").split()[0])
        process = session.start("/p", str(host_id))
        inside = wait_drawn(session, process, HOST)
        check(inside > 8, f"nothing drawn into the host window (mean {inside:.1f})")
        check_main_thread_asleep(process)
        session.tool("xdotool", "windowunmap", "--sync", str(host_id))
        wait_for_text(session, process, "SdlHost: presents paused")
        session.tool("xdotool", "windowmap", "--sync", str(host_id))
        wait_for_text(session, process, "SdlHost: presents resumed.")
        host.kill()
        host.wait()
        check(wait_exit(process, 30) == 1, "the preview did not end with the host window")
    finally:
        host.kill()
        host.wait()

    host = subprocess.Popen(["xmessage", "-geometry", "400x300+20+20", "-name", "lumivorrahost2", "host"], env=session.env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        host_id = int(session.tool("sh", "-c", "xdotool search --sync --onlyvisible --classname lumivorrahost2").split()[0])
        for args, env in ((["--window-id", hex(host_id)], None),
                          (["--root"], dict(session.env, XSCREENSAVER_WINDOW=hex(host_id)))):
            process = session.start(*args, env=env)
            inside = wait_drawn(session, process, HOST)
            check(inside > 8, f"{args}: nothing drawn into the host window (mean {inside:.1f})")
            process.send_signal(signal.SIGTERM)
            check(wait_exit(process, 30) == 1, f"{args}: SIGTERM did not end it with exit code 1")
    finally:
        host.kill()
        host.wait()

    for args in (["/p", "12345"], ["/p"], ["--window-id", "nonsense"]):
        process = session.start(*args)
        code = wait_exit(process, 30)
        check(code == 0, f"{args}: exit code {code}")
        check("failed CreateWindowEx(...) 返値=NULL" in session.stderr_of(), f"{args}: no message")


def second_screen(session):
    """A preview whose host window is on the server's second screen (the program's display names the
    first) shows the picture there."""
    env = dict(session.env, DISPLAY=session.xvfb.name + ".1")
    host = subprocess.Popen(["xmessage", "-geometry", "400x300+20+20", "-name", "lumivorrahost", "host"],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        host_id = int(session.tool("sh", "-c", "xdotool search --sync --onlyvisible --classname lumivorrahost").split()[0])
        process = session.start("/p", str(host_id))
        inside = wait_drawn(session, process, HOST, timeout=20.0, screen=1)
        check(inside > 8, f"nothing drawn into the host window on the second screen (mean {inside:.1f})")
        process.send_signal(signal.SIGTERM)
        check(wait_exit(process, 30) == 1, "SIGTERM did not end the preview with exit code 1")
    finally:
        host.kill()
        host.wait()


def configure(session):
    """/c opens the settings dialog; closing it ends the program with exit code 1. Without a display it
    ends with one line and exit code 0."""
    process = session.start("/c")
    dialog = session.find_window("Lumivorra 設定")
    time.sleep(0.5)
    session.tool("xdotool", "windowfocus", "--sync", str(dialog))
    session.tool("xdotool", "key", "Escape")
    check(wait_exit(process, 30) == 1, "the dialog did not end with exit code 1: " + session.stderr_of())

    # Without a display server the dialog cannot start: one line and exit code 0, not an abort.
    no_display = {k: v for k, v in session.env.items()
                  if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LUMIVORRA_TRACE")}
    for args, display in ((["/c"], None), ([], None), (["/c"], ":4242")):
        env = dict(no_display, **({"DISPLAY": display} if display else {}))
        result = subprocess.run([session.program, *args], env=env, capture_output=True, timeout=30)
        lines = result.stderr.decode("utf-8", "replace").splitlines()
        check(result.returncode == 0 and len(lines) == 1,
              f"{args} on {display}: exit code {result.returncode}, error output {lines}")


def idle_time_ms(session):
    """The X server's idle time in milliseconds, as lockers and XScreenSaver read it (the MIT-SCREEN-SAVER
    extension)."""
    out = session.tool("xprintidle").strip()
    check(out.isdigit(), f"xprintidle gave {out!r}")
    return int(out)


IDLE_RUN = 65  # seconds; what keeps a screen awake resets the idle time at least every 30 s


def idle(session):
    """Neither a full-screen run nor an embedded one keeps the screen awake: while each draws for more than
    a minute without input, its X server's idle time keeps growing past 60 s. The two run side by side,
    each on its own server (an embedded run beside a full-screen one would find it and end at once)."""
    full = start_full_screen(session)
    other = Session(session.program)
    host = subprocess.Popen(["xmessage", "-geometry", "400x300+20+20", "-name", "lumivorrahost", "host"],
                            env=other.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        host_id = int(other.tool("sh", "-c", "xdotool search --sync --onlyvisible --classname lumivorrahost").split()[0])
        embedded = other.start("--root", env=dict(other.env, XSCREENSAVER_WINDOW=hex(host_id)))
        check(wait_drawn(other, embedded, HOST) > 8, "--root drew nothing into its window")
        runs = ((session, full, "/s"), (other, embedded, "--root"))
        started = time.monotonic()
        last = {name: idle_time_ms(on) for on, _, name in runs}
        while time.monotonic() - started < IDLE_RUN:
            time.sleep(2)
            for on, process, name in runs:
                check(process.poll() is None, f"{name} ended by itself: " + on.stderr_of())
                now = idle_time_ms(on)
                check(now >= last[name], f"{name}: the server's idle time fell from {last[name]} ms to {now} ms")
                last[name] = now
        for on, process, name in runs:
            check(last[name] > 60000, f"{name}: the server's idle time is only {last[name]} ms")
            process.send_signal(signal.SIGTERM)
            check(wait_exit(process, 30) == 1, f"{name} did not end on SIGTERM")
    except Failure:
        for index in range(len(other.logs)):
            print(f"--- output of the embedded run {index + 1}:\n{other.stderr_of(index)}")
        raise
    finally:
        host.kill()
        host.wait()
        other.close()


CYCLES = 50
CLOSE_TIMES = []  # seconds from each close to the end of its run, reported with the result


def closed_in_time(process, what, closed_at):
    """The run ends with exit code 1 within 2 s of its close, its music stopped and its output closed."""
    code = wait_exit(process, 10)
    took = time.monotonic() - closed_at
    CLOSE_TIMES.append(took)
    check(code == 1, f"{what}: exit code {code}")
    check(took < 2.0, f"{what}: ended {took:.2f} s after its close")
    log = session_log(process)
    check("SMusic: MIDI device close." in log, f"{what}: the music's output was not closed")


def session_log(process):
    return process.lumivorra_session.stderr_of(process.lumivorra_index)


def wait_for_log(process, text, timeout=15.0):
    deadline = time.monotonic() + timeout
    while text not in session_log(process):
        check(time.monotonic() < deadline and process.poll() is None, f"no {text!r} in the trace")
        time.sleep(0.05)


def start_tracked(session, *args):
    process = session.start(*args)
    process.lumivorra_session = session
    process.lumivorra_index = len(session.logs) - 1
    return process


def start_stop(session):
    """Fifty runs of /s, each closed at a random moment once its window is up, in turn by a key, a button
    and SIGTERM; each ends within 2 s of its close with exit code 1 and its music output closed."""
    rng = random.Random(50)
    for cycle in range(CYCLES):
        process = start_tracked(session, "/s")
        how = ("key", "button", "SIGTERM")[cycle % 3]
        # Input reaches the window once it is on screen and drawn into; a signal is a close request as
        # soon as the window exists.
        wait_for_log(process, "SFrmWork: Start Thread." if how == "SIGTERM" else "SMusic: Play start.")
        time.sleep(rng.uniform(0.0, 0.6))
        if how == "key":
            session.tool("xdotool", "key", "a")
        elif how == "button":
            session.tool("xdotool", "click", "1")
        closed_at = time.monotonic()
        if how == "SIGTERM":
            process.send_signal(signal.SIGTERM)
        closed_in_time(process, f"run {cycle + 1} closed by {how}", closed_at)
        check(not session.tool("xdotool", "search", "--name", "^Lumivorra$").split(),
              f"run {cycle + 1}: its window outlived it")


def preview_host_destroyed(session):
    """Fifty previews whose host window is destroyed at a random moment, from before the preview has
    drawn to well after; each ends within 2 s of the destruction with exit code 1."""
    rng = random.Random(51)
    for cycle in range(CYCLES):
        name = f"lumivorrahost{cycle}"
        host = subprocess.Popen(["xmessage", "-geometry", "200x150+10+10", "-name", name, "host"],
                                env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            host_id = int(session.tool("xdotool", "search", "--sync", "--classname", name).split()[0])
            process = start_tracked(session, "/p", str(host_id))
            time.sleep(rng.uniform(0.0, 1.2))
            started = "SFrmWork: Start Thread." in session_log(process)
        finally:
            host.kill()
            host.wait()
        closed_at = time.monotonic()
        if started:
            closed_in_time(process, f"preview {cycle + 1}", closed_at)
        else:
            # Destroyed before the preview's window was made in it: no window, the creation message.
            code = wait_exit(process, 10)
            took = time.monotonic() - closed_at
            CLOSE_TIMES.append(took)
            log = session_log(process)
            check(took < 2.0, f"preview {cycle + 1}: ended {took:.2f} s after its host")
            check(code == 1 or (code == 0 and "failed CreateWindowEx(...) 返値=NULL" in log),
                  f"preview {cycle + 1}: exit code {code}: {log}")


def display_lost(session):
    """The X server ending under a running /s ends the run at once with the error exit code and says why,
    instead of leaving it running or aborting in exit() with its threads still at work."""
    process = start_tracked(session, "/s")
    wait_for_log(process, "SMusic: Play start.")
    session.xvfb.kill()
    closed_at = time.monotonic()
    code = wait_exit(process, 10)
    took = time.monotonic() - closed_at
    check(code == 0, f"exit code {code}")
    check(took < 2.0, f"ended {took:.2f} s after the display")
    check("ディスプレイとの接続が切れました。" in session_log(process), "no message: " + session_log(process))


CASES = {f.__name__: f for f in (full_screen, instances, mouse, window, preview, configure, display_lost, start_stop,
                                 preview_host_destroyed, idle, second_screen)}
SCREENS = {second_screen: 2}


def run_case(session, case, function):
    """Runs one case in the session, then ends the session; a failure is printed with the output of every
    run of the program. False when the case failed."""
    try:
        function(session)
    except Failure as failure:
        print(f"{case}: {failure}")
        for index in range(len(session.logs)):
            print(f"--- output of run {index + 1}:\n{session.stderr_of(index)}")
        return False
    finally:
        for log in session.logs:
            log.close()
        session.close()
    return True


def main():
    program, case = sys.argv[1], sys.argv[2]
    if not run_case(Session(program, SCREENS.get(CASES[case], 1)), case, CASES[case]):
        return 1
    if CLOSE_TIMES:
        times = sorted(CLOSE_TIMES)
        print(f"{case}: {len(times)} runs ended {times[len(times) // 2]:.2f} s (median), {times[-1]:.2f} s (longest) "
              "after their close")
    print(f"{case}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
