#!/usr/bin/env python3
"""The installed program under the real XScreenSaver daemon on a virtual display (Xvfb): the hack
description read as XScreenSaver's settings program reads it, the command built from it, the daemon's
activate, select, cycle and deactivate, and what the hacks draw and leave behind.

    XScreenSaverTest.py ROOT CASE     (ROOT: an install tree holding usr/; CASE: a function in CASES)

XScreenSaver refuses to run hacks as root: run as root, the script makes the user lumivorra-test (once)
and runs itself again as that user. Each case has its own X server, home and settings folder. Fails with
a message and exit code 1.
"""
import os
import subprocess
import sys
import tempfile
import time
import xml.dom.minidom

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from TestUser import rerun_as_test_user  # noqa: E402
from ScriptChecks import Failure, check, read_log  # noqa: E402
from VirtualDisplay import VirtualDisplay, VirtualDisplayError  # noqa: E402

SCREEN_W, SCREEN_H = 640, 480
# XScreenSaver sends SIGTERM; every hack must be gone this soon after.
END_WITHIN = 2.0


def description_path(root):
    return os.path.join(root, "usr/share/xscreensaver/config/lumivorra.xml")


def hack_path(root):
    return os.path.join(root, "usr/libexec/xscreensaver/lumivorra")


def controls(root):
    """The description's elements in document order, below <screensaver>."""
    document = xml.dom.minidom.parse(description_path(root))
    saver = document.documentElement
    return saver, [node for node in saver.getElementsByTagName("*")]


def hack_command(root, choices):
    """The command XScreenSaver's settings program writes for these choices: the <command> args, then per
    control in order: a number's arg when its value differs from the default, a chosen option's arg-set, a
    checked box's arg-set, a file's or text's arg with its text unless that is empty. choices maps control
    ids to a value, an option id, True or a text."""
    _, nodes = controls(root)
    words = [hack_path(root)]
    for node in nodes:
        ident = node.getAttribute("id")
        if node.tagName == "command":
            words.append(node.getAttribute("arg"))
        elif ident not in choices:
            continue
        elif node.tagName == "number":
            if str(choices[ident]) != node.getAttribute("default"):
                words.append(node.getAttribute("arg").replace("%", str(choices[ident])))
        elif node.tagName == "select":
            options = {o.getAttribute("id"): o for o in node.getElementsByTagName("option")}
            check(choices[ident] in options, f"no option {choices[ident]!r} in select {ident!r}")
            if options[choices[ident]].getAttribute("arg-set"):
                words.append(options[choices[ident]].getAttribute("arg-set"))
        elif node.tagName == "boolean" and choices[ident]:
            words.append(node.getAttribute("arg-set"))
        elif node.tagName in ("file", "string") and choices[ident]:
            words.append(node.getAttribute("arg").replace("%", choices[ident]))
    return " ".join(words)


class Session:
    def __init__(self, root, screens=1):
        self.root = root
        self.folder = tempfile.TemporaryDirectory(prefix="lumivorra-xss-")
        try:
            self.xvfb = VirtualDisplay(SCREEN_W, SCREEN_H, screens=screens)
        except VirtualDisplayError as error:
            self.folder.cleanup()
            raise Failure(str(error))
        self.display = self.xvfb.name
        home = os.path.join(self.folder.name, "home")
        os.mkdir(home)
        self.home = home
        self.env = dict(os.environ, DISPLAY=self.display, HOME=home, LUMIVORRA_TRACE="1",
                        XDG_CONFIG_HOME=os.path.join(self.folder.name, "config"))
        for name in ("XSCREENSAVER_WINDOW", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.log = open(os.path.join(self.folder.name, "daemon.log"), "w+b")
        self.daemon = None

    def start_daemon(self, commands):
        """Writes ~/.xscreensaver with the programs (one per command, the first selected) and starts the
        daemon; returns when it answers."""
        lines = [f'"Lumivorra {i + 1}" {command} \\n\\' for i, command in enumerate(commands)]
        with open(os.path.join(self.home, ".xscreensaver"), "w") as config:
            config.write("timeout: 1:00:00\ncycle: 0:00:00\nlock: False\nfade: False\nunfade: False\n"
                         "splash: False\nmode: one\nselected: 0\ndpmsEnabled: False\n"
                         "programs: \\\n" + "\n".join(lines) + "\n\n")
        self.daemon = subprocess.Popen(["xscreensaver", "--no-splash", "--verbose"], env=self.env,
                                       stdout=self.log, stderr=self.log)
        deadline = time.monotonic() + 30
        while subprocess.run(["xscreensaver-command", "-version"], env=self.env, capture_output=True,
                             timeout=20).returncode != 0:
            check(self.daemon.poll() is None, "xscreensaver ended: " + self.log_text())
            check(time.monotonic() < deadline, "xscreensaver does not answer")
            time.sleep(0.2)

    def command(self, *args):
        result = subprocess.run(["xscreensaver-command", *args], env=self.env, capture_output=True, text=True,
                                timeout=20)
        check(result.returncode == 0, f"xscreensaver-command {' '.join(args)}: {result.stderr}")

    def log_text(self):
        return read_log(self.log)

    def hacks(self):
        """{pid: (XSCREENSAVER_WINDOW, DISPLAY)} of this session's running hacks (zombies are ended)."""
        found = {}
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as file:
                    argv = file.read().split(b"\0")
                with open(f"/proc/{entry}/stat") as file:
                    state = file.read().rsplit(")", 1)[1].split()[0]
                with open(f"/proc/{entry}/environ", "rb") as file:
                    environ = dict(item.split(b"=", 1) for item in file.read().split(b"\0") if b"=" in item)
            except OSError:
                continue
            if argv[0].decode() != hack_path(self.root) or state == "Z":
                continue
            if environ.get(b"HOME", b"").decode() != self.home:
                continue
            found[int(entry)] = (environ.get(b"XSCREENSAVER_WINDOW", b"").decode(),
                                 environ.get(b"DISPLAY", b"").decode())
        return found

    def wait_hacks(self, count, exclude=(), timeout=20.0):
        deadline = time.monotonic() + timeout
        while True:
            hacks = {pid: v for pid, v in self.hacks().items() if pid not in exclude}
            if len(hacks) == count:
                return hacks
            check(time.monotonic() < deadline,
                  f"{len(hacks)} hacks running, not {count}; the daemon said:\n{self.log_text()}")
            time.sleep(0.1)

    def wait_ended(self, pids, what):
        """Every pid gone within END_WITHIN seconds of now."""
        start = time.monotonic()
        while set(pids) & set(self.hacks()):
            check(time.monotonic() - start < END_WITHIN, f"a hack still runs {END_WITHIN} s after {what}")
            time.sleep(0.05)
        return time.monotonic() - start

    def screenshot(self, display):
        data = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env, capture_output=True, timeout=20).stdout
        fields = data.split(maxsplit=4)
        check(len(fields) == 5 and fields[0] == b"P6", "import gave no picture")
        return fields[4]

    def wait_picture(self, display, test, what, timeout=30.0):
        """Waits until the screen's pixels pass test(pixels); returns them."""
        deadline = time.monotonic() + timeout
        while True:
            pixels = self.screenshot(display)
            if test(pixels):
                return pixels
            check(time.monotonic() < deadline, f"{display}: {what}; brightness {mean(pixels):.1f}, "
                  f"{blue_pixels(pixels)} blue pixels\n{self.log_text()}")
            time.sleep(0.3)

    def close(self):
        if self.daemon is not None and self.daemon.poll() is None:
            subprocess.run(["xscreensaver-command", "-exit"], env=self.env, capture_output=True, timeout=20)
            try:
                self.daemon.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.daemon.kill()
                self.daemon.wait()
        self.xvfb.close()
        self.log.close()
        self.folder.cleanup()


def mean(pixels):
    return sum(pixels) / max(1, len(pixels))


def blue_pixels(pixels):
    """Pixels where blue stands well above red and green: only a blue ball's glow does that, since the lit
    relief is warm."""
    count = 0
    for i in range(0, len(pixels) - 2, 3):
        red, green, blue = pixels[i], pixels[i + 1], pixels[i + 2]
        if blue > red + 60 and blue > green + 60:
            count += 1
    return count


def box_mean(pixels, left, top, right, bottom):
    total = 0
    for y in range(top, bottom):
        total += sum(pixels[(y * SCREEN_W + left) * 3:(y * SCREEN_W + right) * 3])
    return total / ((right - left) * (bottom - top) * 3)


def drawn(pixels):
    """The picture: the spot light sits on the swarm in the middle, so the middle is bright and the corners
    dark; neither the daemon's black window nor the server's even background pattern is like that."""
    middle = box_mean(pixels, SCREEN_W * 3 // 8, SCREEN_H * 3 // 8, SCREEN_W * 5 // 8, SCREEN_H * 5 // 8)
    corners = (box_mean(pixels, 0, 0, 40, 40) + box_mean(pixels, SCREEN_W - 40, SCREEN_H - 40, SCREEN_W, SCREEN_H)) / 2
    return middle > 12 and middle > 2 * corners + 4


def window_size(session, window, display):
    out = subprocess.run(["xwininfo", "-display", display, "-id", window], env=session.env, capture_output=True,
                         text=True, timeout=20).stdout
    fields = dict(line.strip().split(":", 1) for line in out.splitlines() if ":" in line)
    check("Map State" in fields, f"no window {window} on {display}")
    return int(fields["Width"]), int(fields["Height"]), fields["Map State"].strip()


# --- cases -------------------------------------------------------------------------------------------


def description(root):
    """The description uses only what the installed hacks' descriptions use, and every command it can make
    is one the program accepts."""
    allowed = {}
    config = "/usr/share/xscreensaver/config"
    names = [name for name in os.listdir(config) if name.endswith(".xml") and name != "lumivorra.xml"]
    check(names, f"no hack descriptions in {config}")
    for name in names:
        for node in xml.dom.minidom.parse(os.path.join(config, name)).getElementsByTagName("*"):
            allowed.setdefault(node.tagName, set()).update(node.attributes.keys())
    saver, nodes = controls(root)
    check(saver.tagName == "screensaver" and saver.getAttribute("name") == "lumivorra",
          "the root element is not <screensaver name=\"lumivorra\">")
    ids = []
    for node in [saver, *nodes]:
        check(node.tagName in allowed, f"<{node.tagName}> is used by no installed hack")
        extra = set(node.attributes.keys()) - allowed[node.tagName]
        check(not extra, f"<{node.tagName}> has attributes no installed hack uses: {sorted(extra)}")
        if node.getAttribute("id"):
            ids.append(node.getAttribute("id"))
    check(len(ids) == len(set(ids)), f"ids repeat: {ids}")

    # Every control leaves the stored setting alone until the user chooses, and can then say every value,
    # the program's defaults and "off" included: XScreenSaver leaves a number out at its default and a
    # check box can only add its option, so neither may stand for a setting.
    for node in nodes:
        check(node.tagName not in ("number", "boolean"),
              f"<{node.tagName} id=\"{node.getAttribute('id')}\"> cannot say both its default and the stored setting")
    expected = {("count", ""): "", ("count", "0"): "--count 0", ("count", "40"): "--count 40",
                ("count", "300"): "--count 300", ("showfps", "stored-fps"): "", ("showfps", "fps"): "--fps",
                ("showfps", "no-fps"): "--no-fps", ("bump", "stored-bump"): ""}
    expected.update({("bump", f"bump-{n}"): f"--bump {n}" for n in range(9)})
    base = hack_command(root, {})
    for (ident, value), option in expected.items():
        command = hack_command(root, {ident: value})
        check(command == (base + " " + option).strip(), f"{ident} = {value!r} makes {command!r}")

    # XScreenSaver's descriptions carry one language, English, and its own catalog translates the
    # wording its hacks share: the frame-rate choice says what the hacks' check boxes say.
    fps_labels = set()
    for name in names:
        for node in xml.dom.minidom.parse(os.path.join(config, name)).getElementsByTagName("boolean"):
            if node.getAttribute("arg-set") == "--fps":
                fps_labels.add(node.getAttribute("_label"))
    for node in [saver, *nodes, *saver.getElementsByTagName("option")]:
        for attribute in ("_label", "_low-label", "_high-label"):
            text = node.getAttribute(attribute)
            check(text.isascii(), f"<{node.tagName}> {attribute} {text!r} is not English")
    for option in saver.getElementsByTagName("option"):
        if option.getAttribute("arg-set") == "--fps":
            check(option.getAttribute("_label") in fps_labels, f"the counter's label is none of {fps_labels}")

    # Each control's every value, through the program's own option reading (--version ends the run after
    # the options before it are read).
    commands = []
    for node in nodes:
        ident = node.getAttribute("id")
        if node.tagName == "string":
            for value in ("0", "40", "255", "4096"):
                commands.append(hack_command(root, {ident: value}))
        elif node.tagName == "select":
            options = node.getElementsByTagName("option")
            check(not options[0].getAttribute("arg-set"), f"{ident}'s first option is not the stored setting")
            for option in options:
                commands.append(hack_command(root, {ident: option.getAttribute("id")}))
        elif node.tagName == "boolean":
            commands.append(hack_command(root, {ident: True}))
        elif node.tagName == "file":
            commands.append(hack_command(root, {ident: "/tmp/some file"}))
    check(len(commands) >= 20, f"only {len(commands)} commands")
    for command in commands:
        words = command.split(" ")
        # A path with a blank stays one word, as XScreenSaver's shell quoting keeps it.
        if "/tmp/some" in words:
            at = words.index("/tmp/some")
            words[at:at + 2] = ["/tmp/some file"]
        result = subprocess.run([*words, "--version"], capture_output=True, text=True, timeout=20)
        check(result.returncode == 0 and result.stdout.startswith("lumivorra ") and not result.stderr,
              f"{command}: {result.stdout}{result.stderr}")
    print(f"description: {len(nodes)} elements, {len(commands)} commands accepted")


def activate(root):
    """-activate runs the first program on the daemon's window with its options; -select runs the second in
    its place; -deactivate ends it."""
    session = Session(root)
    try:
        unlit = hack_command(root, {"count": "0", "music": "no-music"})
        blue = hack_command(root, {"count": "60", "color": "blue", "music": "no-music"})
        check("--count 0" in unlit and "--no-music" in unlit and "--color #6480FF" in blue,
              f"unexpected commands: {unlit} / {blue}")
        session.start_daemon([unlit, blue])
        session.command("-activate")
        (pid, (window, display)), = session.wait_hacks(1).items()
        check(window.startswith("0x"), f"the hack has no XSCREENSAVER_WINDOW: {window!r}")
        width, height, state = window_size(session, window, display)
        check((width, height, state) == (SCREEN_W, SCREEN_H, "IsViewable"),
              f"the daemon's window is {width}x{height} {state}")
        # The lit relief without a single ball.
        pixels = session.wait_picture(display, drawn, "nothing drawn")
        time.sleep(0.5)
        pixels = session.screenshot(display)
        check(drawn(pixels) and blue_pixels(pixels) == 0, f"not the unlit map: {blue_pixels(pixels)} blue pixels")

        session.command("-select", "2")
        session.wait_ended([pid], "-select")
        (pid, _), = session.wait_hacks(1, exclude=[pid]).items()
        session.wait_picture(display, lambda p: blue_pixels(p) > 500, "no blue balls")

        session.command("-deactivate")
        took = session.wait_ended([pid], "-deactivate")
        check(not session.hacks(), "a hack is left")
        print(f"activate: the hack ended {took:.2f} s after -deactivate")
    finally:
        session.close()


def two_monitors(root):
    """One hack per screen of a two-screen server, each on its own screen's window, both drawing."""
    session = Session(root, screens=2)
    try:
        session.start_daemon([hack_command(root, {"music": "no-music"})])
        session.command("-activate")
        hacks = session.wait_hacks(2)
        displays = sorted(display for _, display in hacks.values())
        check(displays == [session.display + ".0", session.display + ".1"], f"hacks on {displays}")
        for window, display in hacks.values():
            check(window_size(session, window, display)[:2] == (SCREEN_W, SCREEN_H), f"{display}: window size")
            session.wait_picture(display, drawn, "nothing drawn")
        session.command("-deactivate")
        took = session.wait_ended(list(hacks), "-deactivate")
        print(f"two_monitors: both hacks ended {took:.2f} s after -deactivate")
    finally:
        session.close()


def cycle_deactivate(root):
    """With the built-in song: -cycle replaces the hack, -deactivate ends it, each within END_WITHIN seconds,
    every song that started stopped, and no process left."""
    session = Session(root)
    try:
        session.start_daemon([hack_command(root, {"music": "builtin-music"})])
        session.command("-activate")
        (first, (_, display)), = session.wait_hacks(1).items()
        session.wait_picture(display, drawn, "nothing drawn")
        session.command("-cycle")
        cycle_took = session.wait_ended([first], "-cycle")
        (second, _), = session.wait_hacks(1, exclude=[first]).items()
        session.wait_picture(display, drawn, "nothing drawn after -cycle")
        session.command("-deactivate")
        took = session.wait_ended([second], "-deactivate")
        check(not session.hacks(), "a hack is left")
        # The last lines of the second hack may still be on their way to the log.
        deadline = time.monotonic() + 5
        while True:
            log = session.log_text()
            starts, stops = log.count("SMusic: Play start."), log.count("SMusic: Play stop.")
            closes = log.count("SMusic: MIDI device close.")
            if (starts, stops, closes) == (2, 2, 2) or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        check((starts, stops, closes) == (2, 2, 2),
              f"songs started {starts}, stopped {stops}, devices closed {closes}:\n{log}")
        print(f"cycle_deactivate: ended {cycle_took:.2f} s after -cycle, {took:.2f} s after -deactivate")
    finally:
        session.close()


CASES = {f.__name__: f for f in (description, activate, two_monitors, cycle_deactivate)}


def main():
    root, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    if os.geteuid() == 0:
        return rerun_as_test_user(__file__, [root, case])
    try:
        CASES[case](root)
    except Failure as failure:
        print(f"{case}: {failure}")
        return 1
    print(f"{case}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
