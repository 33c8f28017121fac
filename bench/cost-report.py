#!/usr/bin/env python3
"""What it costs to show the picture: lumivorra on a virtual display (Xvfb), beside two peers.

    bench/cost-report.py [--seconds N] [--program PATH] [--bench PATH] [--path NAME] [--quick] [--music]
                         [--full-screen] [--wayland]

For the window at 320x240 (music off; the built-in song into the silent sink, with no sound server; and,
where PulseAudio is installed, the song into a PulseAudio null sink) and full screen at 1280x720,
1920x1080 and 3840x2160, and two 1920x1080 monitors side by side (music off) it prints the present path, frames per second, the CPU time of the
program and of the X server in % of one core and in microseconds per shown frame, the first-frame time
and the resident memory; then the same, where installed, for XScreenSaver's bumps and metaballs in a
320x240 window (package xscreensaver-data-extra), whose frames are counted as the pictures they send to
the X server; and, where sway is installed, full screen at 1920x1080 in a native Wayland session (sway's
headless backend with pixman, no XWayland; as the user lumivorra-test when run as root), as picked, on
two 1920x1080 outputs (a full-screen window on each; frames counted on the first) and with the texture
path forced, the compositor's CPU in the X server's columns. Each case runs on its own Xvfb (and PulseAudio); CPU is read from /proc (the scheduler's
run time of every thread) over N seconds (default 10) after 3 s of warm-up. lumivorra-bench's
ComposeFrame/best is printed for the ratios, and what the music costs (each song case minus the silent
one), with the program's threads: % of one core and wake-ups a second each. --path sets
LUMIVORRA_PRESENT (texture, surface or surface-main) for every lumivorra case; --quick runs the window
case only, for 2 s; --music only the three window cases; --full-screen only the full-screen ones;
--wayland only the Wayland ones. The two monitors are one 3840x1080 screen that
xrandr --setmonitor splits in two, as a desktop with two panels describes them to its programs; the
ratio of its CPU (program + X server) to the one 1920x1080 monitor's is printed below the table.

Builds nothing: build the linux preset first (cmake --build --preset linux). A measuring tool, not a
test: on a shared machine run it when the load is low (the load average is printed with the table).
"""
import argparse
import ctypes.util
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HZ = os.sysconf("SC_CLK_TCK")
PEERS = ("/usr/libexec/xscreensaver", "/usr/lib/xscreensaver")
ONE_MONITOR = "full screen 1920×1080"
TWO_MONITORS = "full screen, two monitors 1920×1080"
WAYLAND_ONE = "Wayland (sway headless) full screen 1920×1080"
WAYLAND_TWO = "Wayland (sway headless) full screen, two outputs 1920×1080"


def cpu_seconds(pid):
    """The processor time of all the process's threads: the scheduler's nanosecond count where the
    kernel keeps it, else utime + stime in clock ticks (10 ms steps: too coarse for short runs)."""
    try:
        total = 0
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                total += int(stat.read().split()[0])
        return total / 1e9
    except (OSError, ValueError, IndexError):
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / HZ


def wait_and_read(process, log):
    """Waits for the program's end (killing it after 30 s) and returns what it wrote to its log."""
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    log.seek(0)
    return log.read().decode("utf-8", "replace")


def threads(pid):
    """{tid: (name, CPU seconds, voluntary context switches)} of the process's threads."""
    found = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/comm") as comm:
                name = comm.read().strip()
            with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                cpu = int(stat.read().split()[0]) / 1e9
            with open(f"/proc/{pid}/task/{task}/status") as status:
                sleeps = next(int(line.split()[1]) for line in status if line.startswith("voluntary_ctxt_switches:"))
        except (OSError, ValueError, StopIteration):
            continue
        found[int(task)] = (name, cpu, sleeps)
    return found


def thread_rows(pid, before, after, took):
    """Per thread over the sample: its role, % of one core and wake-ups per second (the times it went to
    sleep, each ended by a wake-up), the busiest first."""
    rows = []
    for tid, (name, cpu, sleeps) in after.items():
        _, cpu0, sleeps0 = before.get(tid, (name, 0.0, 0))
        rows.append([tid, name, (cpu - cpu0) * 100 / took, (sleeps - sleeps0) / took])
    timers = sorted((row for row in rows if row[1] == "lv-timer"), key=lambda row: -row[3])
    for row in rows:
        if row[0] == pid:
            row[1] = "main"
        elif row[1] == "lv-timer":
            row[1] = "music timer (1 ms)" if row is timers[0] and len(timers) > 1 else "frame-rate timer (1 s)"
        elif row[1] == "lv-music-out":
            row[1] = "music output (synthesizer, sound server)"
    others = sorted((row for row in rows if row[1] == "lumivorra"), key=lambda row: -row[2])
    if others:
        others[0][1] = "render"
    return sorted(rows, key=lambda row: -row[2])


def resident_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Display:
    def __init__(self, folder, size, monitors=()):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{size}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        runtime = os.path.join(folder, "run")
        os.makedirs(runtime, 0o700, exist_ok=True)
        self.env = dict(os.environ, DISPLAY=":" + number, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(folder, "config"))
        self.env.pop("XSCREENSAVER_WINDOW", None)
        # The first monitor takes the screen's output, so that the server's own monitor for it goes.
        for index, geometry in enumerate(monitors):
            subprocess.run(["xrandr", "--setmonitor", f"lv{index}", geometry, "screen" if index == 0 else "none"],
                           env=self.env, check=True, capture_output=True, timeout=20)

    def close(self):
        self.xvfb.terminate()
        self.xvfb.wait()


def write_settings(folder, bgm_mode):
    key = os.path.join(folder, "config", "quillo")
    os.makedirs(key, exist_ok=True)
    with open(os.path.join(key, "Lumivorra.reg"), "w", encoding="utf-8") as file:
        file.write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\quillo\\Lumivorra]\n"
                   f'"BGMMode"=dword:{bgm_mode:08x}\n')


def sample(pid, xvfb, seconds, counter=None, sound=None):
    """CPU ticks of the program and the server (and the sound server), the counter's frames and the
    program's threads, over seconds."""
    count = lambda: int.from_bytes(open(counter, "rb").read(8), "little") if counter else 0
    sound_cpu = lambda: cpu_seconds(sound) if sound else 0.0
    p0, x0, f0, s0, h0, t0 = cpu_seconds(pid), cpu_seconds(xvfb), count(), sound_cpu(), threads(pid), time.monotonic()
    time.sleep(seconds)
    p1, x1, f1, s1, h1, t1 = cpu_seconds(pid), cpu_seconds(xvfb), count(), sound_cpu(), threads(pid), time.monotonic()
    return p1 - p0, x1 - x0, f1 - f0, t1 - t0, resident_mb(pid), s1 - s0, thread_rows(pid, h0, h1, t1 - t0)


def start_pulseaudio(env):
    """PulseAudio with a null sink as the only sink, in env's runtime folder; returns the process."""
    server = subprocess.Popen(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                               "--realtime=no", "--high-priority=no", "--load=module-null-sink sink_name=lv",
                               "--load=module-native-protocol-unix"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 15
    while subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode != 0:
        if time.monotonic() > deadline or server.poll() is not None:
            raise SystemExit("PulseAudio does not start")
        time.sleep(0.1)
    return server


def run_lumivorra(args, name, size, arguments, bgm_mode, warmup, pulse=False, monitors=()):
    folder = tempfile.mkdtemp(prefix="lumivorra-cost-")
    display = Display(folder, size, monitors)
    sound = None
    try:
        write_settings(folder, bgm_mode)
        env = dict(display.env, LUMIVORRA_TRACE="1", HOME=folder)
        for key in ("PULSE_SERVER", "PULSE_SINK", "SDL_AUDIODRIVER", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(key, None)
        if pulse:
            sound = start_pulseaudio(env)
        else:
            # No sound server: the music plays into the silent sink.
            env["PULSE_SERVER"] = "unix:" + os.path.join(folder, "no-server")
        if args.path:
            env["LUMIVORRA_PRESENT"] = args.path
        log = open(os.path.join(folder, "log"), "w+b")
        process = subprocess.Popen([args.program, *arguments], env=env, stdout=log, stderr=log)
        time.sleep(warmup)
        program, server, _, took, rss, sound_cpu, thread_list = sample(process.pid, display.xvfb.pid, args.seconds,
                                                                       sound=sound.pid if sound else None)
        key = "Escape" if "--window" in arguments else "a"
        subprocess.run(["xdotool", "key", key], env=env, capture_output=True, timeout=20)
        trace = wait_and_read(process, log)
    finally:
        if sound:
            sound.terminate()
            sound.wait()
        display.close()
        shutil.rmtree(folder, ignore_errors=True)
    rate = re.search(r"frames shown in [0-9.]+ s \(([0-9.]+) per second\)", trace)
    path = re.search(r"SdlHost: present path ([^.\n]+)", trace) or re.search(r"SdlHost: renderer ([a-z0-9_]+)", trace)
    first = re.search(r"first frame shown after ([0-9]+) ms", trace)
    fps = float(rate.group(1)) if rate else 0.0
    return dict(name=name, path=path.group(1) if path else "?", fps=fps, program=program, server=server,
                took=took, frames=fps * took, first=int(first.group(1)) if first else None, rss=rss,
                sound=sound_cpu, threads=thread_list,
                device=None if bgm_mode == 2 else "PulseAudio null sink" if pulse else "silent sink")


class Compositor:
    """sway on its headless backend (pixman, no XWayland) with an output of each size (side by side, in
    order), in folder's runtime folder; as the user lumivorra-test when run as root, since sway refuses
    root. user: the user its clients must run as."""

    def __init__(self, folder, sizes):
        self.user = None
        if os.geteuid() == 0:
            sys.path.insert(0, os.path.join(ROOT, "tests", "linux"))
            from TestUser import ensure_test_user
            self.user = ensure_test_user()
            os.chmod(folder, 0o755)
        runtime = os.path.join(folder, "run")
        os.makedirs(runtime, 0o700, exist_ok=True)
        config = os.path.join(folder, "sway.conf")
        with open(config, "w") as file:
            file.write("xwayland disable\ndefault_border none\n")
            left = 0
            for number, size in enumerate(sizes, 1):
                file.write(f"output HEADLESS-{number} resolution {size} position {left} 0\n")
                left += int(size.split("x")[0])
        if self.user:
            shutil.chown(runtime, self.user)
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        self.env.update(XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(folder, "config"), HOME=folder)
        self.sway = self.spawn(["sway", "-c", config], dict(self.env, WLR_BACKENDS="headless",
                               WLR_HEADLESS_OUTPUTS=str(len(sizes)),
                               WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman"), subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not any(n.startswith("wayland-") and not n.endswith(".lock") for n in os.listdir(runtime)):
            if time.monotonic() > deadline or self.sway.poll() is not None:
                raise SystemExit("sway does not start")
            time.sleep(0.05)
        self.env["WAYLAND_DISPLAY"] = next(n for n in os.listdir(runtime)
                                           if n.startswith("wayland-") and not n.endswith(".lock"))

    def spawn(self, command, env, log):
        return subprocess.Popen(command, env=env, stdout=log, stderr=log, user=self.user, group=self.user,
                                extra_groups=[] if self.user else None)

    def close(self):
        self.sway.terminate()
        self.sway.wait()


def run_wayland(args, name, sizes, forced, warmup):
    """Full screen in a native Wayland session with an output of each size: the program and the
    compositor's CPU (frames: the first output's)."""
    folder = tempfile.mkdtemp(prefix="lumivorra-cost-wayland-")
    compositor = Compositor(folder, sizes)
    try:
        write_settings(folder, 2)
        if compositor.user:
            for root, dirs, _ in os.walk(os.path.join(folder, "config")):
                shutil.chown(root, compositor.user)
        env = dict(compositor.env, LUMIVORRA_TRACE="1")
        env.pop("LUMIVORRA_PRESENT", None)
        if forced or args.path:
            env["LUMIVORRA_PRESENT"] = forced or args.path
        log = open(os.path.join(folder, "log"), "w+b")
        process = compositor.spawn([args.program, "/s"], env, log)
        time.sleep(warmup)
        program, server, _, took, rss, _, _ = sample(process.pid, compositor.sway.pid, args.seconds)
        process.terminate()  # ends the run as a close does
        trace = wait_and_read(process, log)
    finally:
        compositor.close()
        shutil.rmtree(folder, ignore_errors=True)
    rate = re.search(r"frames shown in [0-9.]+ s \(([0-9.]+) per second\)", trace)
    path = re.search(r"SdlHost: present path ([^.\n]+)", trace)
    first = re.search(r"first frame shown after ([0-9]+) ms", trace)
    fps = float(rate.group(1)) if rate else 0.0
    return dict(name=name, path=path.group(1) if path else "?", fps=fps, program=program, server=server,
                took=took, frames=fps * took, first=int(first.group(1)) if first else None, rss=rss)


def run_peer(args, name, hack, counter_lib, warmup):
    folder = tempfile.mkdtemp(prefix="lumivorra-peer-")
    display = Display(folder, "640x480")
    try:
        counter = os.path.join(folder, "count")
        with open(counter, "wb") as file:
            file.write(bytes(8))
        env = dict(display.env, LD_PRELOAD=counter_lib, LV_COUNT_FILE=counter)
        started = time.monotonic()
        process = subprocess.Popen([hack, "-window", "-geometry", "320x240", "-delay", "0"], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while int.from_bytes(open(counter, "rb").read(8), "little") == 0 and time.monotonic() - started < 10:
            time.sleep(0.002)
        first = int((time.monotonic() - started) * 1000)
        time.sleep(max(0.0, warmup - (time.monotonic() - started)))
        program, server, frames, took, rss, _, _ = sample(process.pid, display.xvfb.pid, args.seconds, counter)
        process.terminate()
        process.wait()
    finally:
        display.close()
        shutil.rmtree(folder, ignore_errors=True)
    return dict(name=name, path="XPutImage", fps=frames / took, program=program, server=server, took=took,
                frames=frames, first=first, rss=rss)


def compose_frame_us(bench):
    """Medians of ComposeFrame/best (composed back to back) and ComposeFrame/best_at_60Hz (one frame every
    16.7 ms, as the program composes them), in microseconds; None for what is missing."""
    if not os.path.exists(bench):
        return None, None
    out = subprocess.run([bench, "--benchmark_filter=^ComposeFrame/best", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
                         capture_output=True, text=True).stdout
    found = {}
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            unit = {"ns": 1000.0, "us": 1.0, "ms": 0.001}[entry["time_unit"]]
            # The paced entry's own time is the frame's processor time (manual time, the real_time column).
            key = "paced" if "at_60Hz" in entry["run_name"] else "best"
            found[key] = (entry["real_time"] if key == "paced" else entry["cpu_time"]) / unit
    return found.get("best"), found.get("paced")


def build_counter(folder):
    library = os.path.join(folder, "libcountputs.so")
    subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", library, os.path.join(ROOT, "bench", "CountPuts.c"),
                    "-ldl"], check=True)
    return library


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "linux", "lumivorra"))
    parser.add_argument("--bench", default=os.path.join(ROOT, "build", "linux", "bench", "lumivorra-bench"))
    parser.add_argument("--path", choices=("texture", "surface", "surface-main"))
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--music", action="store_true", help="only the window cases: music off, the silent "
                        "sink and PulseAudio's null sink")
    parser.add_argument("--wayland", action="store_true", help="only the cases in a native Wayland session")
    parser.add_argument("--full-screen", action="store_true", help="only the full-screen cases")
    args = parser.parse_args()
    warmup = 3.0
    cases = [("window 320×240, music off", "640x480", ["--window"], 2),
             ("window 320×240, built-in song", "640x480", ["--window"], 1)]
    if shutil.which("pulseaudio") and shutil.which("pactl"):
        cases.append(("window 320×240, built-in song, PulseAudio null sink", "640x480", ["--window"], 1, True))
    if not args.music:
        cases += [("full screen 1280×720", "1280x720", ["/s"], 2),
                  (ONE_MONITOR, "1920x1080", ["/s"], 2),
                  ("full screen 3840×2160", "3840x2160", ["/s"], 2),
                  (TWO_MONITORS, "3840x1080", ["/s"], 2, False,
                   ("1920/508x1080/286+0+0", "1920/508x1080/286+1920+0"))]
    if args.full_screen:
        cases = [case for case in cases if "/s" in case[2]]
    if args.quick:
        cases, args.seconds, warmup = cases[:1], 2.0, 1.0
    if args.wayland:
        cases = []
    rows = [run_lumivorra(args, *case[:4], warmup, *case[4:]) for case in cases]
    if shutil.which("sway") and not args.quick and not args.music:
        rows += [run_wayland(args, WAYLAND_ONE, ["1920x1080"], None, warmup),
                 run_wayland(args, WAYLAND_TWO, ["1920x1080", "1920x1080"], None, warmup),
                 run_wayland(args, "Wayland (sway headless) full screen 1920×1080, texture forced", ["1920x1080"],
                             "texture", warmup)]
    hacks = [(name, os.path.join(folder, name)) for name in ("bumps", "metaballs") for folder in PEERS
             if os.path.exists(os.path.join(folder, name))]
    if hacks and not args.quick and not args.music and not args.wayland and not args.full_screen:
        with tempfile.TemporaryDirectory() as folder:
            library = build_counter(folder)
            rows += [run_peer(args, f"{name} 320×240 (-delay 0)", hack, library, warmup) for name, hack in hacks]
    skip_compose = args.quick or args.music or args.wayland or args.full_screen
    compose, paced = (None, None) if skip_compose else compose_frame_us(args.bench)

    head = f"load average {os.getloadavg()[0]:.2f}, {args.seconds:g} s per case"
    if compose:
        head += f", ComposeFrame/best {compose:.1f} µs"
    if paced:
        head += f", ComposeFrame/best_at_60Hz {paced:.1f} µs"
    print(head)
    print()
    print("| case | present path | frames/s | program % | X server (compositor) % | program µs/frame "
          "| X server (compositor) µs/frame | sum µs/frame | first frame ms | resident MB |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for row in rows:
        frames = max(row["frames"], 1.0)
        program_us = row["program"] * 1e6 / frames
        server_us = row["server"] * 1e6 / frames
        first = "—" if row["first"] is None else str(row["first"])
        print(f"| {row['name']} | {row['path']} | {row['fps']:.1f} | {row['program'] * 100 / row['took']:.1f} "
              f"| {row['server'] * 100 / row['took']:.1f} | {program_us:.0f} | {server_us:.0f} "
              f"| {program_us + server_us:.0f} | {first} | {row['rss']:.1f} |")
    window = rows[0]
    if compose and window["name"].startswith("window"):
        frames = max(window["frames"], 1.0)
        whole = (window["program"] + window["server"]) * 1e6 / frames
        print()
        print(f"window, music off, program + X server per shown frame: {whole / compose:.1f} × ComposeFrame/best"
              + (f", {whole / paced:.1f} × ComposeFrame/best_at_60Hz" if paced else ""))
    named = {row["name"]: row for row in rows}
    for one_name, two_name, what, server in ((ONE_MONITOR, TWO_MONITORS, "two monitors", "X server"),
                                             (WAYLAND_ONE, WAYLAND_TWO, "Wayland, two outputs", "compositor")):
        if one_name in named and two_name in named:
            one, two = named[one_name], named[two_name]
            share = lambda row: (row["program"] + row["server"]) / row["took"]
            print()
            print(f"{what} against one, program + {server}: {share(two) / max(share(one), 1e-9):.2f} × the CPU "
                  f"({two['fps']:.1f} against {one['fps']:.1f} frames/s)")
    quiet = rows[0] if rows[0]["name"].endswith("music off") else None
    for music in (row for row in rows if quiet and row.get("device")):
        per_frame = (music["program"] / max(music["frames"], 1.0) - quiet["program"] / max(quiet["frames"], 1.0))
        share = music["program"] / music["took"] - quiet["program"] / quiet["took"]
        wakes = sum(thread[3] for thread in music["threads"])
        quiet_wakes = sum(thread[3] for thread in quiet["threads"])
        print()
        print(f"music into the {music['device']} (song minus music off, program only): {per_frame * 1e6:.0f} µs "
              f"per shown frame, {share * 100:.1f} % of one core; the program wakes {wakes:.0f} times a second "
              f"({quiet_wakes:.0f} without music)" +
              (f"; the sound server {music['sound'] * 100 / music['took']:.1f} %" if music["device"] != "silent sink"
               else ""))
        print()
        print("| thread | % of one core | wake-ups/s |")
        print("|---|---|---|")
        for _, name, cpu, wakes in music["threads"]:
            if cpu >= 0.05 or wakes >= 1:
                print(f"| {name} | {cpu:.2f} | {wakes:.0f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
