#!/usr/bin/env python3
"""The lumivorra program in a native Wayland session: sway on its headless backend, with no XWayland and
no X server, screenshots with grim, keys with wtype (through the virtual-keyboard protocol), a mouse
through lumivorra-test-wlpointer (the virtual-pointer protocol: the headless seat has none of its own),
the idle daemon swayidle, and the compositor's own view of our window through swaymsg.

    WaylandTest.py PATH/TO/lumivorra PATH/TO/lumivorra-test-wlpointer CASE
                                              (CASE: one of the functions named in CASES)

sway refuses to run as root: run as root, the script makes the user lumivorra-test (once) and runs itself
again as that user. Each case has its own compositor and runtime folder. Fails with a message and exit
code 1.
"""
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from ScriptChecks import Failure, check, read_log  # noqa: E402
from TestUser import rerun_as_test_user  # noqa: E402
from ProgramTest import five_six_five_share, scaled_by_rule  # noqa: E402

# 16:9, so that the 4:3 picture is letterboxed: 100 black columns on each side.
SCREEN_W, SCREEN_H = 800, 450
LETTERBOX = (SCREEN_W - SCREEN_H * 4 // 3) // 2
PICTURE = (LETTERBOX, 0, SCREEN_W - LETTERBOX, SCREEN_H)
# The issue of a key to the end of the run: a fade of 32 frames at 60 Hz and the exit.
KEY_ENDS_WITHIN = 1.0
# What the compositor shows where no window is (its clear colour; no wallpaper program runs).
EMPTY = 0.25 * 255

CONFIG = f"""xwayland disable
output HEADLESS-1 resolution {SCREEN_W}x{SCREEN_H} position 0 0
default_border none
default_floating_border none
for_window [app_id="lumivorra"] floating enable
seat seat0 hide_cursor 100
"""
# sway hides the cursor of a pointer left alone for 100 ms (above), and takes the pointer out of the
# window under it until it moves again; a pause longer than that before each move makes every move come
# with that leave and enter, as it does for users of hide_cursor.
CURSOR_HIDDEN_AFTER = 0.3


def wait_until(test, timeout, what):
    deadline = time.monotonic() + timeout
    while not test():
        check(time.monotonic() < deadline, what)
        time.sleep(0.05)


def mean(shot, left, top, right, bottom):
    width, _, pixels = shot
    total = 0
    for y in range(top, bottom):
        total += sum(pixels[(y * width + left) * 3:(y * width + right) * 3])
    return total / ((right - left) * (bottom - top) * 3)


class Pointer:
    """lumivorra-test-wlpointer running: the seat has a pointer until close."""

    def __init__(self, session):
        self.process = subprocess.Popen([session.pointer_tool], env=session.env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        session.tools.append(self.process)

    def send(self, command):
        """Sends a command (move DX DY, moveto X Y W H, button left|middle|right) and waits until the
        compositor has taken it."""
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        ready = select.select([self.process.stdout], [], [], 20)[0]
        answer = self.process.stdout.readline() if ready else "(no answer)"
        check(answer == "ok\n", f"the pointer did not take {command!r}: {answer}")

    def move_to(self, x, y):
        self.send(f"moveto {x} {y} {SCREEN_W} {SCREEN_H}")


class Session:
    def __init__(self, program, pointer_tool):
        self.program = program
        self.pointer_tool = pointer_tool
        self.folder = tempfile.TemporaryDirectory(prefix="lumivorra-wayland-")
        runtime = os.path.join(self.folder.name, "run")
        os.mkdir(runtime, 0o700)
        config = os.path.join(self.folder.name, "sway.conf")
        with open(config, "w") as file:
            file.write(CONFIG)
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "XSCREENSAVER_WINDOW", "SDL_VIDEODRIVER",
                             "LUMIVORRA_PRESENT", "DBUS_SESSION_BUS_ADDRESS")}
        base.update(XDG_RUNTIME_DIR=runtime, HOME=self.folder.name, XDG_CONFIG_HOME=os.path.join(self.folder.name, "config"))
        self.sway_log = open(os.path.join(self.folder.name, "sway.log"), "w+b")
        self.sway = subprocess.Popen(["sway", "-c", config], env=dict(base, WLR_BACKENDS="headless",
                                     WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman"),
                                     stdout=self.sway_log, stderr=self.sway_log, start_new_session=True)
        self.logs = []
        self.processes = []  # each with its log, in the same order
        self.tools = []  # what gives the session input

        def sockets():
            return [name for name in os.listdir(runtime) if name.startswith("wayland-") and not name.endswith(".lock")]

        def ipc():
            return [name for name in os.listdir(runtime) if name.startswith("sway-ipc.")]

        wait_until(lambda: sockets() and ipc() or self.sway.poll() is not None, 20, "sway does not start")
        check(self.sway.poll() is None, "sway ended: " + read_log(self.sway_log)[-2000:])
        # No X server: SDL picks Wayland by itself, and anything that needs X11 finds none.
        self.env = dict(base, WAYLAND_DISPLAY=sockets()[0], SWAYSOCK=os.path.join(runtime, ipc()[0]),
                        LUMIVORRA_TRACE="1")
        wait_until(lambda: subprocess.run(["swaymsg", "-t", "get_outputs"], env=self.env, capture_output=True,
                                          timeout=20).returncode == 0, 20, "sway does not answer")

    def close(self):
        for process in self.tools + self.processes:
            if process.stdin is not None:
                process.stdin.close()
            if process.poll() is None:
                process.kill()
                process.wait()
        if self.sway.poll() is None:
            os.killpg(self.sway.pid, signal.SIGTERM)
            try:
                self.sway.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.sway.pid, signal.SIGKILL)
                self.sway.wait()
        for log in self.logs:
            log.close()
        self.sway_log.close()
        self.folder.cleanup()

    def start(self, *args, env=None, command=None):
        log = tempfile.TemporaryFile(dir=self.folder.name)
        self.logs.append(log)
        process = subprocess.Popen(command or [self.program, *args], env=env or self.env, stdout=log, stderr=log,
                                   cwd=self.folder.name)
        self.processes.append(process)
        return process

    def output_of(self, index=-1):
        return read_log(self.logs[index])

    def screenshot(self, output=None):
        """The output (all of them when none is named) as (width, height, rows of (r, g, b) bytes), as the
        compositor shows it."""
        named = ["-o", output] if output else []
        data = subprocess.run(["grim", *named, "-t", "ppm", "-"], env=self.env, capture_output=True,
                              timeout=20).stdout
        fields = data.split(maxsplit=4)
        check(len(fields) == 5 and fields[0] == b"P6", "grim gave no picture")
        return int(fields[1]), int(fields[2]), fields[4]

    def views(self):
        """The compositor's views of our program (app_id lumivorra)."""
        tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], env=self.env, capture_output=True,
                                         text=True, timeout=20).stdout)
        found, nodes = [], [tree]
        while nodes:
            node = nodes.pop()
            if node.get("app_id") == "lumivorra":
                found.append(node)
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return found

    def swaymsg(self, *command):
        subprocess.run(["swaymsg", *command], env=self.env, capture_output=True, timeout=20)

    def key(self, name):
        """A key pressed and released; the pause lets the program take the virtual keyboard's key map."""
        subprocess.run(["wtype", "-s", "800", "-k", name], env=self.env, capture_output=True, timeout=20)


def wait_drawn(session, process, box, timeout=30.0):
    """Waits until the program has shown its first frame and the box of the output shows a picture: a mean
    brightness above 8 and unlike the compositor's grey, which an empty output shows."""
    index = session.processes.index(process)
    deadline = time.monotonic() + timeout
    while True:
        check(process.poll() is None, "the program ended by itself: " + session.output_of(index))
        if "first frame shown after" in session.output_of(index):
            brightness = mean(session.screenshot(), *box)
            if brightness > 8 and abs(brightness - EMPTY) > 4:
                return brightness
        check(time.monotonic() < deadline, f"no picture within {timeout:g} s: " + session.output_of(index))
        time.sleep(0.1)


def wait_exit(process, timeout):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def check_full_screen(session, process, path, least_565=1.0):
    """The letterboxed picture, black bars, scaled by the nearest-neighbour rule; the compositor shows the
    view full screen and holds no idle inhibitor for it."""
    wait_drawn(session, process, PICTURE)
    shot = session.screenshot()
    check(shot[:2] == (SCREEN_W, SCREEN_H), f"the output is {shot[0]}x{shot[1]}")
    bars = max(mean(shot, 0, 0, LETTERBOX, SCREEN_H), mean(shot, SCREEN_W - LETTERBOX, 0, SCREEN_W, SCREEN_H))
    check(bars == 0, f"the letterbox bars are not black (mean {bars:.2f})")
    scaled_by_rule(shot, PICTURE)
    share = five_six_five_share(shot, PICTURE)
    check(share >= least_565, f"only {share:.1%} of the picture has 5-6-5 colours")
    views = session.views()
    check(len(views) == 1, f"the compositor has {len(views)} views of the program")
    check(views[0].get("fullscreen_mode") == 1, "the view is not full screen")
    check(views[0].get("inhibit_idle") is False, "the screen saver keeps the session from going idle")
    check(path in session.output_of(session.processes.index(process)), f"no {path!r} in the trace")


def end_by_key(session, process):
    """A key fades the picture out and ends the run within KEY_ENDS_WITHIN s, with exit code 1."""
    end_by(session, process, lambda: session.key("space"), "the key")


def end_by(session, process, act, what):
    """act() fades the picture out and ends the run within KEY_ENDS_WITHIN s, with exit code 1."""
    before = mean(session.screenshot(), *PICTURE)
    act()
    pressed = time.monotonic()
    darkest = before
    while process.poll() is None:
        shot = session.screenshot()
        if process.poll() is None:
            darkest = min(darkest, mean(shot, *PICTURE))
    code = wait_exit(process, 30)
    took = time.monotonic() - pressed
    print(f"ended {took:.2f} s after {what}; {before:.1f} before, {darkest:.1f} at the darkest")
    check(code == 1, f"exit code {code} after {what}")
    check(took < KEY_ENDS_WITHIN, f"the run ended {took:.2f} s after {what}")
    check(darkest < before * 0.5, f"no fade seen ({before:.1f} before, {darkest:.1f} at the darkest)")
    wait_until(lambda: not session.views(), 5, "the program's view is still there")


WL_SHM = "pictures go to the compositor from the render thread (wl_shm)"


def full_screen(session):
    """/s with SDL choosing Wayland by itself (no X server): the letterboxed picture from the render
    thread's wl_shm buffers, no idle inhibitor, and a key fades it out and ends it."""
    process = session.start("/s", "--no-music")
    check_full_screen(session, process, WL_SHM)
    trace = session.output_of()
    check("present path surface (the compositor takes no GPU buffers)" in trace, "another path was chosen")
    check("no watch of covered windows on Wayland" in trace, "the trace does not say the watch is X11's")
    end_by_key(session, process)


def texture(session):
    """/s on SDL's renderer (forced; OpenGL on llvmpipe here), with the Wayland driver named."""
    env = dict(session.env, SDL_VIDEODRIVER="wayland", LUMIVORRA_PRESENT="texture")
    process = session.start("/s", "--no-music", env=env)
    # llvmpipe's texture sampling is off by one in a channel here and there.
    check_full_screen(session, process, "present path texture (forced)", least_565=0.9)
    end_by_key(session, process)


def cursor_images(trace):
    """The cursor images the program gave the pointer, from the protocol's trace (WAYLAND_DEBUG=client):
    "nil" where it hid the cursor."""
    return [line.split("set_cursor(")[1].split(",")[1].strip() for line in trace.splitlines()
            if ".set_cursor(" in line]


def start_under_pointer(session, pointer, *args):
    """/s started with the pointer in the middle of the output, so that the window appears under it (its
    first mouse-move message), its picture shown; the protocol traced."""
    pointer.move_to(SCREEN_W // 2, SCREEN_H // 2)
    process = session.start("/s", "--no-music", *args, env=dict(session.env, WAYLAND_DEBUG="client"))
    wait_drawn(session, process, PICTURE)
    return process


def three_moves(process, pointer):
    """Three moves, each once sway has hidden the cursor, that leave the run going; then the pause before
    the fourth."""
    for _ in range(3):
        time.sleep(CURSOR_HIDDEN_AFTER)
        pointer.send("move 4 3")
    check(wait_exit(process, 1.5) is None, f"moves 1 to 3 ended the run (exit code {process.poll()})")
    time.sleep(CURSOR_HIDDEN_AFTER)


def mouse_moves(session):
    """Under /s the window appearing under the pointer and the next three moves do not end the run (the
    first four mouse-move messages), the fourth move does, with the fade; sway's hiding of the idle cursor,
    which takes the pointer out of the window and puts it back, is no move. The cursor is hidden over the
    window."""
    pointer = Pointer(session)
    process = start_under_pointer(session, pointer)
    three_moves(process, pointer)
    end_by(session, process, lambda: pointer.send("move 4 3"), "the fourth move")
    images = cursor_images(session.output_of())
    check(images and all(image == "nil" for image in images), f"the cursor is shown over /s: {images}")


def mouse_buttons(session):
    """Under /s the left, the middle and the right button each end the run at once, with the fade."""
    pointer = Pointer(session)
    for button in ("left", "middle", "right"):
        process = start_under_pointer(session, pointer)
        end_by(session, process, lambda: pointer.send(f"button {button}"), f"the {button} button")


def window(session):
    """--window with SDL_VIDEODRIVER=wayland: the picture in a 320x240 window (floating, as the compositor
    is told to keep it), following a resize, paused on a workspace not shown and back when it is shown,
    the cursor shown over it, and only Esc ends it: no other key, no mouse move, no button."""
    pointer = Pointer(session)
    pointer.move_to(SCREEN_W // 2, SCREEN_H // 2)
    process = session.start("--window", "--no-music",
                            env=dict(session.env, SDL_VIDEODRIVER="wayland", WAYLAND_DEBUG="client"))
    wait_until(lambda: session.views() or process.poll() is not None, 20, "no view of the window appeared")
    rect = session.views()[0]["rect"]
    check((rect["width"], rect["height"]) == (320, 240), f"the window is {rect['width']}x{rect['height']}")
    box = (rect["x"], rect["y"], rect["x"] + 320, rect["y"] + 240)
    wait_drawn(session, process, box)
    share = five_six_five_share(session.screenshot(), box)
    check(share < 0.9, f"{share:.1%} of the window has 5-6-5 colours: not shown in 32-bit colour")
    check(WL_SHM in session.output_of(), "the window's pictures did not go from the render thread")
    # Made larger by the compositor: the buffers follow the window's size, the picture fills it.
    session.swaymsg('[app_id="lumivorra"]', "resize", "set", "640", "480")
    wait_until(lambda: session.views()[0]["rect"]["width"] == 640, 10, "the window was not resized")
    rect = session.views()[0]["rect"]
    wait_until(lambda: mean(session.screenshot(), rect["x"] + 330, rect["y"] + 250, rect["x"] + 640,
                            rect["y"] + 480) > 8, 10, "the picture does not fill the resized window")
    # On a workspace not shown the compositor asks for no frame, and none is drawn until it is shown.
    index = session.processes.index(process)
    session.swaymsg('[app_id="lumivorra"]', "move", "container", "to", "workspace", "2")
    wait_until(lambda: "SdlHost: presents paused (the compositor shows the window nowhere)." in session.output_of(index),
               10, "the pictures were not paused on a hidden workspace")
    session.swaymsg("workspace", "2")
    wait_until(lambda: "SdlHost: presents resumed." in session.output_of(index), 10, "the pictures did not resume")
    session.key("a")
    rect = session.views()[0]["rect"]
    pointer.move_to(rect["x"] + 100, rect["y"] + 100)
    for _ in range(6):
        time.sleep(CURSOR_HIDDEN_AFTER / 3)
        pointer.send("move 4 3")
    for button in ("left", "middle", "right"):
        pointer.send(f"button {button}")
    check(wait_exit(process, 1.5) is None, "a key other than Esc, mouse moves or buttons ended the window")
    images = cursor_images(session.output_of(index))
    check(any(image != "nil" for image in images), f"no cursor over the window: {images}")
    session.key("Escape")
    check(wait_exit(process, 30) == 1, "Esc did not end the window with exit code 1")


def swayidle(session):
    """swayidle starts the screen saver when the session has been idle for a second; the picture shows,
    and a key ends it."""
    pid_file = os.path.join(session.folder.name, "pid")
    command = f"echo $$ > {pid_file}; exec {session.program} /s --no-music"
    idle = session.start(command=["swayidle", "timeout", "1", command])
    wait_until(lambda: os.path.exists(pid_file) and os.path.getsize(pid_file) > 0 or idle.poll() is not None, 20,
               "swayidle did not start the screen saver")
    check(idle.poll() is None, "swayidle ended: " + session.output_of())
    with open(pid_file) as file:
        pid = int(file.read())
    wait_until(lambda: session.views() or not os.path.exists(f"/proc/{pid}"), 20, "no view of the screen saver")
    wait_until(lambda: mean(session.screenshot(), *PICTURE) > 8, 20, "swayidle's screen saver shows no picture")
    views = session.views()
    check(views and views[0].get("inhibit_idle") is False, "the screen saver keeps the session from going idle")
    # Before the key, so that its idle timer does not start another one after the run.
    idle.terminate()
    check(wait_exit(idle, 10) is not None, "swayidle did not end on SIGTERM")
    session.key("space")
    wait_until(lambda: not os.path.exists(f"/proc/{pid}") or open(f"/proc/{pid}/stat").read().split()[2] == "Z",
               5, "the key did not end swayidle's screen saver")


def compositor_lost(session):
    """The compositor ending under a running /s ends the run at once with the error exit code and says
    why, instead of leaving it running unseen."""
    process = session.start("/s", "--no-music")
    wait_drawn(session, process, PICTURE)
    os.killpg(session.sway.pid, signal.SIGKILL)
    session.sway.wait()
    killed = time.monotonic()
    code = wait_exit(process, 10)
    took = time.monotonic() - killed
    check(code == 0, f"exit code {code} after the compositor ended")
    check(took < 2.0, f"ended {took:.2f} s after the compositor")
    check(any(text in session.output_of() for text in LOST), "no message: " + session.output_of())


def previews(session):
    """/p, --window-id and --root need an X11 host window: with none they say so at once, exit code 0."""
    for args in (["/p", "1234"], ["--window-id", "0x400001"], ["--root"]):
        process = session.start(*args, "--no-music")
        code = wait_exit(process, 20)
        output = session.output_of()
        check(code == 0, f"{' '.join(args)}: exit code {code}")
        check("SdlHost: previews and --root are not available" in output, f"{' '.join(args)}: not traced: {output}")
        check(any(text in output for text in MESSAGE), f"{' '.join(args)}: no clear message: {output}")
        check("CreateWindowEx" not in output, f"{' '.join(args)}: the window error came too: {output}")
    # Also where an X display is named but SDL is told to use Wayland.
    process = session.start("/p", "1234", env=dict(session.env, SDL_VIDEODRIVER="wayland", DISPLAY=":0"))
    check(wait_exit(process, 20) == 0 and any(text in session.output_of() for text in MESSAGE),
          "SDL's Wayland driver was taken for a preview: " + session.output_of())


# Outputs of other sizes than the one above, side by side: the picture letterboxed at 480x360 beside bars
# on the first, at 400x300 between bars on the second, and on the third as on the first.
OUTPUTS = {"HEADLESS-1": (640, 360, 0, 0), "HEADLESS-2": (400, 400, 640, 0), "HEADLESS-3": (640, 360, 1040, 0)}


def letterboxed(output):
    """The picture's box on the output, in the coordinates of a screenshot of every output."""
    width, height, left, top = OUTPUTS[output]
    scale = min(width / 4, height / 3)
    x, y = left + (width - round(4 * scale)) // 2, top + (height - round(3 * scale)) // 2
    return x, y, x + round(4 * scale), y + round(3 * scale)


def views_by_output(session):
    """The outputs the compositor shows our views on: {output name: [views]}."""
    tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], env=session.env, capture_output=True,
                                     text=True, timeout=20).stdout)
    found, nodes = {}, [(tree, None)]
    while nodes:
        node, output = nodes.pop()
        output = node["name"] if node.get("type") == "output" else output
        if node.get("app_id") == "lumivorra":
            found.setdefault(output, []).append(node)
        nodes += [(child, output) for child in node.get("nodes", []) + node.get("floating_nodes", [])]
    return found


def thumbnail(shot, box, columns=32, rows=24):
    """The box's picture reduced to columns x rows block means, to compare pictures of other sizes."""
    left, top, right, bottom = box
    return [mean(shot, left + (right - left) * c // columns, top + (bottom - top) * r // rows,
                 left + (right - left) * (c + 1) // columns, top + (bottom - top) * (r + 1) // rows)
            for r in range(rows) for c in range(columns)]


def picture(shot, box):
    """The box's pixels."""
    width, _, pixels = shot
    left, top, right, bottom = box
    return b"".join(pixels[(y * width + left) * 3:(y * width + right) * 3] for y in range(top, bottom))


# The mean difference of thumbnails of one frame at two sizes (a second of the scene's motion makes 30 or
# more).
SAME_FRAME = 4


def difference(first, second):
    return sum(abs(a - b) for a, b in zip(first, second)) / len(first)


LAYOUT = (1680, 400)


def make_outputs(session):
    """The other outputs made, and all sized and placed."""
    for name, (width, height, left, top) in OUTPUTS.items():
        if name != "HEADLESS-1":
            session.swaymsg("create_output")
        session.swaymsg("output", name, "resolution", f"{width}x{height}", "position", str(left), str(top))
    wait_until(lambda: session.screenshot()[:2] == LAYOUT, 10, "sway did not make the outputs")


def start_on_outputs(session):
    """/s started on the outputs made; returns when each shows a picture."""
    process = session.start("/s", "--no-music")
    for name in OUTPUTS:
        wait_drawn(session, process, letterboxed(name))
    return process


def outputs(session):
    """/s with three outputs, two of them of other sizes: a full-screen view on each (no idle inhibitor on
    any), the same frame letterboxed at each one's size, and a key given to the second output's view fades
    all and ends the whole run at once, every output showing the desktop again."""
    make_outputs(session)
    process = start_on_outputs(session)
    trace = session.output_of()
    check("pictures on 3 displays" in trace, "the trace does not name the other displays: " + trace)
    views = views_by_output(session)
    check(sorted(views) == sorted(OUTPUTS) and all(len(found) == 1 for found in views.values()),
          f"the program's views are not one on each output: {views}")
    for name, (found,) in views.items():
        check(found.get("fullscreen_mode") == 1, f"the view on {name} is not full screen")
        check(found.get("inhibit_idle") is False, f"the view on {name} keeps the session from going idle")
    shot = session.screenshot()
    for name, (width, height, left, top) in OUTPUTS.items():
        box = letterboxed(name)
        bars = (mean(shot, left, top, box[0], top + height) + mean(shot, box[2], top, left + width, top + height)
                if box[0] > left else mean(shot, left, top, left + width, box[1]) +
                mean(shot, left, box[3], left + width, top + height))
        check(bars == 0, f"the letterbox bars on {name} are not black (mean {bars:.2f})")
        scaled_by_rule(shot, box)
    # A screenshot takes the outputs one after the other, each as its next frame shows it: within a few
    # shots the first and third show the very same pixels, and the second the same frame at its size.
    closest, identical = None, False
    for _ in range(20):
        shot = session.screenshot()
        pictures = [picture(shot, letterboxed(name)) for name in OUTPUTS]
        identical = identical or pictures[0] == pictures[2]
        apart = difference(thumbnail(shot, letterboxed("HEADLESS-1")), thumbnail(shot, letterboxed("HEADLESS-2")))
        closest = apart if closest is None else min(closest, apart)
        if identical and closest < SAME_FRAME:
            break
    print(f"the first and second outputs differ by {closest:.2f} at the closest")
    check(identical, "the first and third outputs never show the same pixels")
    check(closest < SAME_FRAME, f"the first and second outputs show other frames ({closest:.2f} apart)")
    # The key goes to the view focused, the second output's.
    session.swaymsg("focus", "output", "HEADLESS-2")
    end_on_outputs(session, process, lambda: session.key("space"), "a key on the second output")


def end_on_outputs(session, process, act, what):
    """act() fades the picture out on every output and ends the run within KEY_ENDS_WITHIN s, with exit
    code 1, every output showing the desktop again."""
    before = [mean(session.screenshot(), *letterboxed(name)) for name in OUTPUTS]
    act()
    pressed = time.monotonic()
    darkest = list(before)
    while process.poll() is None and time.monotonic() - pressed < 10 * KEY_ENDS_WITHIN:
        shot = session.screenshot()
        if process.poll() is None:
            darkest = [min(d, mean(shot, *letterboxed(name))) for d, name in zip(darkest, OUTPUTS)]
    code = wait_exit(process, 5)
    took = time.monotonic() - pressed
    print(f"ended {took:.2f} s after {what}; {before} before, {darkest} at the darkest")
    check(code == 1, f"exit code {code} after {what}")
    check(took < KEY_ENDS_WITHIN, f"the run ended {took:.2f} s after {what}")
    check(all(d < b * 0.5 for d, b in zip(darkest, before)), f"no fade on each: {before} before, {darkest}")
    wait_until(lambda: not views_by_output(session), 5, "a view of the program is still there")
    shot = session.screenshot()
    for name, (width, height, left, top) in OUTPUTS.items():
        shown = mean(shot, left, top, left + width, top + height)
        check(abs(shown - EMPTY) < 2, f"{name} does not show the desktop after the run ({shown:.1f})")


def cover_input(session):
    """Mouse input on another output's view is the run's: the view appearing under the pointer and three
    moves there leave it running and the fourth move ends it; a button there ends it at once."""
    make_outputs(session)
    pointer = Pointer(session)
    width, height, left, top = OUTPUTS["HEADLESS-3"]
    pointer.send(f"moveto {left + width // 2} {top + height // 2} {LAYOUT[0]} {LAYOUT[1]}")
    process = start_on_outputs(session)
    three_moves(process, pointer)
    end_on_outputs(session, process, lambda: pointer.send("move 4 3"), "the fourth move on the third output")
    process = start_on_outputs(session)
    end_on_outputs(session, process, lambda: pointer.send("button right"), "a button on the third output")


def outputs_texture(session):
    """The same on SDL's renderer (forced; OpenGL on llvmpipe here): a renderer for each view, the
    picture letterboxed at each one's size."""
    session.env.update(SDL_VIDEODRIVER="wayland", LUMIVORRA_PRESENT="texture")
    outputs(session)


def cover_closed(session):
    """The compositor asking the second output's view to close ends the whole run, as a close asked of the
    main window does, instead of uncovering that output alone."""
    make_outputs(session)
    process = start_on_outputs(session)
    session.swaymsg("focus", "output", "HEADLESS-2")
    session.swaymsg("kill")
    code = wait_exit(process, 5)
    check(code is not None, "the run goes on after its second output's view was closed")
    check(code == 1, f"exit code {code} after a close, not that of a close of the run")
    wait_until(lambda: not views_by_output(session), 5, "a view of the program is still there")


# The message in English and in Japanese (the tests' locale).
MESSAGE = ("draw into an X11 window, and no X11 display can be reached", "X11 のディスプレイに接続できません")
LOST = ("The connection to the display was lost.", "ディスプレイとの接続が切れました。")


CASES = {f.__name__: f for f in (full_screen, texture, mouse_moves, mouse_buttons, window, swayidle, compositor_lost,
                                  previews, outputs, outputs_texture, cover_input, cover_closed)}


def main():
    program, pointer_tool, case = sys.argv[1], sys.argv[2], sys.argv[3]
    if os.geteuid() == 0:
        return rerun_as_test_user(__file__, [os.path.abspath(program), os.path.abspath(pointer_tool), case])
    session = None
    try:
        session = Session(program, pointer_tool)
        CASES[case](session)
    except Failure as failure:
        print(f"{case}: {failure}")
        if session is not None:
            for index in range(len(session.logs)):
                print(f"--- output of run {index + 1}:\n{session.output_of(index)}")
            print(f"--- sway's:\n{read_log(session.sway_log)[-3000:]}")
        return 1
    finally:
        if session is not None:
            session.close()
    print(f"{case}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
