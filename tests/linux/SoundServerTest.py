#!/usr/bin/env python3
"""The program's music through a real sound server on a virtual display (Xvfb): PulseAudio, or PipeWire
with pipewire-pulse and WirePlumber on a D-Bus session of its own, each playing into a null sink whose
monitor is recorded with parec. What is heard, a server killed and started again, and a frozen server
(SIGSTOP) before the start and during a run (also through SDL's own driver for it).

    SoundServerTest.py PATH/TO/lumivorra PATH/TO/lumivorra-render SERVER CASE
    (SERVER: pulseaudio or pipewire; CASE: a function in CASES)

Sound servers refuse to run as root on a user's behalf: run as root, the script makes the user
lumivorra-test (once) and runs itself again as that user. Each case has its own X server, runtime folder
and sound server. Fails with a message and exit code 1.
"""
import array
import math
import operator
import os
import signal
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from ScriptChecks import Failure, check, read_log  # noqa: E402
from TestUser import rerun_as_test_user  # noqa: E402
from VirtualDisplay import VirtualDisplay, VirtualDisplayError  # noqa: E402

RATE = 44100
WINDOW = RATE // 20  # 50 ms of stereo frames per loudness step
# A window louder than this holds music (the song's quietest passages sit far above it); silence is -inf.
MUSIC_DB = -50.0
END_WITHIN = 2.0


def wait_until(test, timeout, what):
    deadline = time.monotonic() + timeout
    while not test():
        check(time.monotonic() < deadline, what)
        time.sleep(0.05)


class SoundServer:
    """One server with a null sink "lv" as the default sink, its processes in their own group."""

    def __init__(self, kind, folder, env):
        self.kind, self.folder, self.env = kind, folder, env
        self.processes = []
        self.logs = open(os.path.join(folder, f"{kind}.log"), "w+b")
        if kind == "pipewire":
            # The D-Bus session outlives restarts of the server, as a desktop's does.
            address = os.path.join(folder, "bus-address")
            self.bus = subprocess.Popen(["dbus-run-session", "--", "sh", "-c", f'echo "$DBUS_SESSION_BUS_ADDRESS" > '
                                         f'{address}.part && mv {address}.part {address} && exec sleep 3600'],
                                        env=env, stdout=self.logs, stderr=self.logs, start_new_session=True)
            wait_until(lambda: os.path.exists(address), 10, "the D-Bus session does not start")
            with open(address) as file:
                self.env["DBUS_SESSION_BUS_ADDRESS"] = file.read().strip()
        self.start()

    def spawn(self, *command):
        process = subprocess.Popen(command, env=self.env, stdout=self.logs, stderr=self.logs)
        self.processes.append(process)

    def answers(self):
        return subprocess.run(["pactl", "info"], env=self.env, capture_output=True, timeout=20).returncode == 0

    def start(self):
        if self.kind == "pulseaudio":
            self.spawn("pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--realtime=no", "--high-priority=no", "--load=module-null-sink sink_name=lv",
                       "--load=module-native-protocol-unix")
        else:
            # WirePlumber and pipewire-pulse give up when PipeWire is not there yet.
            socket = os.path.join(self.env["XDG_RUNTIME_DIR"], "pipewire-0")
            self.spawn("pipewire")
            wait_until(lambda: os.path.exists(socket), 15, "PipeWire does not start: " + self.log_text())
            self.spawn("wireplumber")
            self.spawn("pipewire-pulse")
        wait_until(self.answers, 15, f"{self.kind} does not answer: " + self.log_text())
        if self.kind == "pipewire":
            # The program's stream goes to the sink named by PULSE_SINK, whichever WirePlumber makes the
            # default.
            subprocess.run(["pactl", "load-module", "module-null-sink", "sink_name=lv"], env=self.env,
                           capture_output=True, timeout=20, check=True)
        check(all(process.poll() is None for process in self.processes), f"{self.kind} ended: " + self.log_text())

    def signal(self, number):
        for process in self.processes:
            if process.poll() is None:
                process.send_signal(number)

    def kill(self):
        self.signal(signal.SIGCONT)
        self.signal(signal.SIGKILL)
        for process in self.processes:
            process.wait()
        self.processes = []
        # A killed PipeWire leaves its socket behind; the next one makes its own.
        for name in ("pipewire-0", "pipewire-0.lock"):
            try:
                os.unlink(os.path.join(self.env["XDG_RUNTIME_DIR"], name))
            except FileNotFoundError:
                pass

    def close(self):
        self.kill()
        if self.kind == "pipewire":
            os.killpg(self.bus.pid, signal.SIGTERM)
            self.bus.wait()

    def log_text(self):
        return read_log(self.logs)[-2000:]


class Recorder:
    """The null sink's monitor, recorded as 16-bit stereo at RATE into a file from now on."""

    def __init__(self, folder, env, name):
        self.path = os.path.join(folder, name + ".raw")
        self.levels = []
        self.started = time.monotonic()
        self.output = open(self.path, "wb")
        self.process = subprocess.Popen(["parec", "-d", "lv.monitor", "--format=s16le", f"--rate={RATE}",
                                         "--channels=2", "--raw", "--latency-msec=50"], env=env, stdout=self.output,
                                        stderr=subprocess.DEVNULL)

    def loudness(self):
        """The levels of the windows recorded so far; only the new ones are computed (the sound server
        must not be starved by the test)."""
        with open(self.path, "rb") as file:
            file.seek(len(self.levels) * WINDOW * 4)
            data = file.read()
        self.levels += loudness(array.array("h", data[:len(data) // (WINDOW * 4) * WINDOW * 4]))
        return self.levels

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait()
        self.output.close()


def loudness(samples):
    """dBFS of each 50 ms window of interleaved stereo samples."""
    levels = []
    for start in range(0, len(samples) - 2 * WINDOW + 1, 2 * WINDOW):
        window = samples[start:start + 2 * WINDOW]
        power = sum(map(operator.mul, window, window)) / (2 * WINDOW)
        levels.append(10 * math.log10(power / 32768.0 ** 2) if power > 0 else -math.inf)
    return levels


def first_music(levels):
    return next((i for i, level in enumerate(levels) if level > MUSIC_DB), None)


def mean_db(levels):
    power = sum(10 ** (level / 10) for level in levels if level > -math.inf) / len(levels)
    return 10 * math.log10(power) if power > 0 else -math.inf


class Session:
    def __init__(self, program, render, kind):
        self.program, self.render = program, render
        self.folder = tempfile.TemporaryDirectory(prefix="lumivorra-sound-")
        try:
            self.xvfb = VirtualDisplay(640, 480)
        except VirtualDisplayError as error:
            self.folder.cleanup()
            raise Failure(str(error))
        runtime = os.path.join(self.folder.name, "run")
        os.mkdir(runtime, 0o700)
        home = os.path.join(self.folder.name, "home")
        os.mkdir(home)
        self.env = dict(os.environ, DISPLAY=self.xvfb.name, HOME=home, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(self.folder.name, "config"), LUMIVORRA_TRACE="1")
        for name in ("XSCREENSAVER_WINDOW", "DBUS_SESSION_BUS_ADDRESS", "PULSE_SERVER", "SDL_AUDIODRIVER"):
            self.env.pop(name, None)
        self.env["PULSE_SINK"] = "lv"
        self.server = None
        self.server = SoundServer(kind, self.folder.name, self.env)
        self.recorders = []
        self.log = open(os.path.join(self.folder.name, "program.log"), "w+b")
        self.process = None

    def record(self, name):
        recorder = Recorder(self.folder.name, self.env, name)
        self.recorders.append(recorder)
        return recorder

    def start(self, *args):
        # The working folder is the case's own, where a core file would land.
        self.process = subprocess.Popen([self.program, *args], env=self.env, stdout=self.log, stderr=self.log,
                                        cwd=self.folder.name)
        return self.process

    def trace(self):
        return read_log(self.log)

    def wait_trace(self, text, timeout=15.0):
        wait_until(lambda: text in self.trace() or self.process.poll() is not None, timeout, f"no {text!r} in the trace")
        check(text in self.trace(), f"the program ended before {text!r}")

    def wait_music(self, recorder, timeout):
        """Seconds from the recorder's start to the first music in its recording."""
        wait_until(lambda: first_music(recorder.loudness()) is not None or self.process.poll() is not None, timeout,
                   f"no music recorded within {timeout} s")
        check(self.process.poll() is None, "the program ended by itself")
        return first_music(recorder.loudness()) * WINDOW / RATE

    def close_by(self, how, what):
        """Closes the run (a key, Escape or SIGTERM): it ends within END_WITHIN s with exit code 1."""
        closed = time.monotonic()
        if how == "SIGTERM":
            self.process.send_signal(signal.SIGTERM)
        else:
            subprocess.run(["xdotool", "key", how], env=self.env, capture_output=True, timeout=20)
        try:
            code = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure(f"{what}: the run did not end within 30 s of {how}")
        took = time.monotonic() - closed
        print(f"{what}: ended {took:.2f} s after {how}")
        check(code == 1, f"{what}: exit code {code}")
        check(took < END_WITHIN, f"{what}: ended {took:.2f} s after {how}")
        cores = [name for name in os.listdir(self.folder.name) if name.startswith("core")]
        check(not cores, f"{what}: left a core file")

    def close(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        for recorder in self.recorders:
            recorder.close()
        if self.server is not None:
            self.server.close()
        self.xvfb.close()
        self.log.close()
        self.folder.cleanup()


# --- cases -------------------------------------------------------------------------------------------


def level(session):
    """The recorded music is the song as lumivorra-render renders it: over 6 s, taken 2 s after the first
    note is heard, the same loudness within 2 dB, at the offset where the two loudness curves match best
    (a sink may start a stream a moment late, and the music keeps its time meanwhile)."""
    recorder = session.record("level")
    session.start("--window")
    session.wait_trace("LinuxMidiOut: music to ")
    session.wait_music(recorder, 10)
    time.sleep(9)
    session.close_by("Escape", "the run")
    recorded = recorder.loudness()
    wav = os.path.join(session.folder.name, "song.wav")
    subprocess.run([session.render, "--wav", wav, "--seconds", "16"], check=True, capture_output=True, timeout=60)
    with wave.open(wav) as file:
        check(file.getframerate() == RATE and file.getnchannels() == 2, "lumivorra-render's WAV is not 44.1 kHz stereo")
        rendered = loudness(array.array("h", file.readframes(file.getnframes())))
    steps, reach = 6 * 20, 3 * 20
    start = first_music(recorded) + 2 * 20
    check(len(recorded) >= start + steps, "the recording is too short")
    heard = recorded[start:start + steps]
    floor = lambda level: max(level, -90.0)

    def mismatch(offset):
        other = rendered[offset:offset + steps]
        return sum(abs(floor(a) - floor(b)) for a, b in zip(heard, other)) / steps

    song_start = first_music(rendered)
    offsets = [o for o in range(song_start, song_start + 2 * reach + 2 * 20) if o + steps <= len(rendered)]
    best = min(offsets, key=mismatch)
    expected = mean_db(rendered[best:best + steps])
    print(f"level: recorded {mean_db(heard):.1f} dBFS, rendered {expected:.1f} dBFS "
          f"({(best - song_start) * 0.05:.2f} s into the song; curves {mismatch(best):.1f} dB apart on average)")
    check(abs(mean_db(heard) - expected) <= 2.0, f"the recording is {mean_db(heard):.1f} dBFS, the song {expected:.1f} dBFS")
    check(mismatch(best) <= 3.0, f"the recording's loudness follows no stretch of the song ({mismatch(best):.1f} dB apart)")
    # A machine busy with other work may starve the server for a moment (a dropout of some tens of
    # milliseconds, as any player has); music that keeps stopping is a fault.
    gaps = [i for i, level in enumerate(heard) if level == -math.inf]
    print(f"level: {len(gaps) * 50} ms of the {steps * 50} ms silent")
    check(len(gaps) <= steps // 10, f"the recording drops out at {[i * 0.05 for i in gaps[:10]]} s")


def restart(session):
    """The server killed and started again: the run goes on, says so once, and its music is heard again
    within 5 s of the new server's start."""
    recorder = session.record("before")
    session.start("--window")
    session.wait_music(recorder, 10)
    recorder.close()
    session.server.kill()
    session.wait_trace("LinuxMidiOut: the sound server went away")
    time.sleep(1.0)
    session.server.start()
    restarted = time.monotonic()
    recorder = session.record("after")
    after = session.wait_music(recorder, 8) + (recorder.started - restarted)
    print(f"restart: music again {after:.2f} s after the server's start")
    check(after <= 5.0, f"music again only {after:.2f} s after the server's start")
    trace = session.trace()
    check(trace.count("LinuxMidiOut: the sound server went away") == 1, "the loss is not traced exactly once")
    check(trace.count("LinuxMidiOut: music to ") == 2, "the reopened device is not traced")
    session.close_by("Escape", "after the restart")


def frozen_before_start(session):
    """A server stopped before the start delays neither the first frame nor the end of the run (SIGTERM)."""
    session.server.signal(signal.SIGSTOP)
    session.start("/s")
    session.wait_trace("first frame shown after", timeout=10)
    shown = int(session.trace().split("first frame shown after ")[1].split()[0])
    print(f"frozen before start: first frame after {shown} ms")
    check(shown < 5000, f"the first frame came {shown} ms after the start")
    time.sleep(1.0)
    session.close_by("SIGTERM", "the frozen server's run")
    session.server.signal(signal.SIGCONT)


def frozen_during_run(session):
    """A server stopped during the run: the music comes back when it is resumed, and when it stops again a
    key ends the run within 2 s."""
    recorder = session.record("before")
    session.start("/s")
    session.wait_music(recorder, 10)
    session.server.signal(signal.SIGSTOP)
    session.wait_trace("LinuxMidiOut: the sound server does not answer")
    session.server.signal(signal.SIGCONT)
    recorder.close()
    resumed = time.monotonic()
    recorder = session.record("resumed")
    after = session.wait_music(recorder, 8) + (recorder.started - resumed)
    print(f"frozen during run: music again {after:.2f} s after the server resumed")
    check(after <= 5.0, f"music again only {after:.2f} s after the server resumed")
    session.server.signal(signal.SIGSTOP)
    time.sleep(1.0)
    session.close_by("a", "the frozen server's run")
    session.server.signal(signal.SIGCONT)


def frozen_sdl_driver(session):
    """Through SDL's own driver for the server (SDL_AUDIODRIVER): a server stopped during the run keeps
    SDL's device from closing; the device is left behind and a key still ends the run within 2 s."""
    session.env["SDL_AUDIODRIVER"] = "pulseaudio"
    recorder = session.record("before")
    session.start("/s")
    session.wait_music(recorder, 10)
    session.server.signal(signal.SIGSTOP)
    time.sleep(1.0)
    session.close_by("a", "the frozen server's run through SDL")
    session.server.signal(signal.SIGCONT)


CASES = {f.__name__: f for f in (level, restart, frozen_before_start, frozen_during_run, frozen_sdl_driver)}


def main():
    program, render, kind, case = sys.argv[1:5]
    if os.geteuid() == 0:
        return rerun_as_test_user(__file__, [*[os.path.abspath(a) for a in sys.argv[1:3]], *sys.argv[3:]])
    session = None
    try:
        session = Session(program, render, kind)
        CASES[case](session)
    except Failure as failure:
        print(f"{kind} {case}: {failure}")
        if session is not None:
            print(f"--- the program's output:\n{session.trace()}\n--- the server's:\n{session.server.log_text()}")
        return 1
    finally:
        if session is not None:
            session.close()
    print(f"{kind} {case}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
