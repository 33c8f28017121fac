#!/usr/bin/env python3
"""/s over two monitors of different sizes on a virtual display whose X server describes them to clients
as a desktop does (Xvfb, the monitors set apart by xrandr --setmonitor): the picture on each, letterboxed
at its own size, the same frame on both; a click on the second ends the run after a fade on both, and
nothing of it is left on either; the same under a window manager that cannot span monitors (openbox),
a key ending it. --root in the root window itself letterboxes the picture on each monitor as well.

    MonitorsTest.py PATH/TO/lumivorra CASE     (CASE: two_monitors, window_manager or root)

$LUMIVORRA_PRESENT forces a present path, as for ProgramTest.py. Fails with a message and exit code 1.
"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ProgramTest import Session, check_present_way, pixel, run_case, scaled_by_rule, wait_exit  # noqa: E402
from ScriptChecks import check  # noqa: E402

# A 16:9 monitor (the picture with bars left and right) beside a square one (bars above and below); the
# strip under the first belongs to no monitor.
SCREEN = (1040, 400)
FIRST = (0, 0, 640, 360)
SECOND = (640, 0, 400, 400)
FIRST_PICTURE = (80, 0, 560, 360)     # left, top, right, bottom
SECOND_PICTURE = (640, 50, 1040, 350)
BLACK = [(0, 0, 80, 360), (560, 0, 640, 360), (0, 360, 640, 400), (640, 0, 1040, 50), (640, 350, 1040, 400)]


def set_monitors(session):
    for index, (x, y, w, h) in enumerate((FIRST, SECOND)):
        # The first takes the screen's output, so that the server's own monitor for it goes.
        session.tool("xrandr", "--setmonitor", f"lv{index}", f"{w}/{w // 4}x{h}/{h // 4}+{x}+{y}",
                     "screen" if index == 0 else "none")
    listed = session.tool("xrandr", "--listmonitors")
    check(listed.startswith("Monitors: 2"), f"the server does not list two monitors:\n{listed}")


def same_frame(shot):
    """Both pictures show the same frame: each source pixel's block has the same colour on both."""
    def centre(box, sx, sy):
        left, top, right, bottom = box
        return (left + (2 * sx + 1) * (right - left) // 640, top + (2 * sy + 1) * (bottom - top) // 480)
    return all(pixel(shot, *centre(FIRST_PICTURE, sx, sy)) == pixel(shot, *centre(SECOND_PICTURE, sx, sy))
               for sy in range(0, 240, 7) for sx in range(0, 320, 7))


def start_on_monitors(session, *args):
    """Starts the program over the two monitors; checks the picture on each, letterboxed at its size, and
    the same frame on both."""
    set_monitors(session)
    process = session.start(*args)
    session.find_window("^Lumivorra$")
    deadline = time.monotonic() + 60
    while min(session.mean(session.screenshot(), *box) for box in (FIRST_PICTURE, SECOND_PICTURE)) <= 8:
        check(process.poll() is None, "the program ended by itself: " + session.stderr_of())
        check(time.monotonic() < deadline, "the picture did not appear on both monitors")
    check_present_way(session, process)
    check("pictures over 2 monitors (RandR)" in session.stderr_of(), "the trace names no span of two monitors")

    shot = session.screenshot()
    for box in BLACK:
        check(session.mean(shot, *box) == 0, f"not black around the pictures at {box}")
    scaled_by_rule(shot, FIRST_PICTURE)
    scaled_by_rule(shot, SECOND_PICTURE)
    # A screenshot may fall between the two puts of a frame; of a few, one shows the same frame on both.
    check(any(same_frame(session.screenshot()) for _ in range(5)), "the monitors show different pictures")
    return process, shot


def windows_left(session):
    tree = subprocess.run(["xwininfo", "-root", "-children"], env=session.env, capture_output=True, text=True,
                          timeout=20).stdout
    check("0 children" in tree, f"windows are left after the run:\n{tree}")


def two_monitors(session):
    process, shot = start_on_monitors(session, "/s")

    # A click on the second monitor ends the run, after a fade seen on both.
    session.tool("xdotool", "mousemove", "--sync", "900", "200")
    before = [session.mean(shot, *box) for box in (FIRST_PICTURE, SECOND_PICTURE)]
    session.tool("xdotool", "click", "1")
    darkest = list(before)
    while True:
        shot = session.screenshot()
        if process.poll() is not None:
            break
        darkest = [min(dark, session.mean(shot, *box)) for dark, box in zip(darkest, (FIRST_PICTURE, SECOND_PICTURE))]
    code = wait_exit(process, 30)
    check(code == 1, f"exit code {code} after a click on the second monitor")
    for side, (was, dark) in enumerate(zip(before, darkest)):
        check(dark < was * 0.5, f"no fade on monitor {side + 1} ({was:.1f} before, {dark:.1f} at the darkest)")
    windows_left(session)


def window_manager(session):
    manager = subprocess.Popen(["openbox", "--sm-disable"], env=dict(session.env, HOME=session.folder.name),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 30
        while "window id" not in session.tool("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"):
            check(manager.poll() is None and time.monotonic() < deadline, "openbox did not start")
            time.sleep(0.05)
        process, _ = start_on_monitors(session, "/s")
        session.tool("xdotool", "key", "a")
        check(wait_exit(process, 30) == 1, "a key did not end the run under the window manager")
        left = session.tool("xdotool", "search", "--name", "^Lumivorra$").split()
        check(not left, f"windows of the run are left: {left}")
    finally:
        manager.terminate()
        manager.wait()


def root(session):
    process, _ = start_on_monitors(session, "--root")
    process.send_signal(signal.SIGTERM)
    check(wait_exit(process, 30) == 1, "SIGTERM did not end --root with exit code 1")
    windows_left(session)


CASES = {f.__name__: f for f in (two_monitors, window_manager, root)}


def main():
    case = sys.argv[2]
    if not run_case(Session(sys.argv[1], size=SCREEN), case, CASES[case]):
        return 1
    print(f"{case}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
