#!/usr/bin/env python3
"""lumivorra.scr under Wine 64 on a virtual display (Xvfb): the switches, the exit codes and the
debugger lines, read from Wine's debug channel.

    ScrTest.py WINE_RUN PREFIX SCR CASE
"""
import os
import re
import subprocess
import sys

class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def debug_lines(text):
    """The OutputDebugStringA texts in Wine's log, decoded from code page 932."""
    lines = []
    for quoted in re.findall(r'OutputDebugStringA "((?:[^"\\]|\\.)*)"', text):
        raw = re.sub(rb"\\x([0-9a-fA-F]{2})", lambda m: bytes([int(m.group(1), 16)]), quoted.encode("latin-1"))
        raw = raw.replace(b"\\n", b"\n").replace(b'\\"', b'"').replace(b"\\\\", b"\\")
        lines.append(raw.decode("cp932"))
    return lines


class Session:
    def __init__(self, wine_run, prefix, scr):
        self.wine = ["bash", wine_run, prefix]
        self.scr = scr
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten",
                                      "tcp"], pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        check(number.isdigit(), "Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number, WINEDEBUG="-all,warn+debugstr")
        self.prefix = prefix

    def close(self):
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(self.env, WINEPREFIX=self.prefix),
                       stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        self.xvfb.wait()

    def start(self, *args):
        return subprocess.Popen(self.wine + [self.scr, *args], env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)

    def run(self, *args, timeout=60):
        process = self.start(*args)
        return self.finish(process, timeout)

    def finish(self, process, timeout):
        try:
            out, _ = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            out, _ = process.communicate()
            raise Failure("the screen saver did not end: " + out.decode("latin-1")[-2000:])
        return process.returncode, debug_lines(out.decode("latin-1"))


def case_errors(s):
    code, lines = s.run("/p", "0")
    check(code == 0, f"/p 0 exits with {code}")
    check(lines == ["failed CreateWindowEx(...) 返値=NULL\n"], f"/p 0 writes {lines}")
    code, lines = s.run("/x")
    check(code == 1 and lines == [], f"/x: exit {code}, lines {lines}")
    # The built-in song needs a MIDI device: the run ends with the open error and its code.
    code, lines = s.run("/s")
    check(code == 0, f"/s without a MIDI device exits with {code}")
    check(len(lines) == 1 and re.fullmatch(r"midiOutOpen\(\)でエラーが発生しました。\n返値:[1-9][0-9]*\n", lines[0]),
          f"/s without a MIDI device writes {lines}")


def main():
    wine_run, prefix, scr, case = sys.argv[1:5]
    session = Session(wine_run, prefix, scr)
    try:
        {"errors": case_errors}[case](session)
    except Failure as failure:
        print(f"FAIL {case}: {failure}")
        return 1
    finally:
        session.close()
    print(f"ok {case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
