#!/usr/bin/env python3
"""Runs a command with a virtual X display of its own (Xvfb), for a Windows test program under Wine that
makes windows:

    WithDisplay.py COMMAND [ARGUMENTS]

Exits with the command's code; the Wine processes it leaves are ended with the display.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from VirtualDisplay import VirtualDisplay  # noqa: E402


def main():
    with VirtualDisplay(1024, 768) as display:
        env = dict(os.environ, DISPLAY=display.name)
        code = subprocess.run(sys.argv[1:], env=env, stdin=subprocess.DEVNULL).returncode
        prefix = sys.argv[2] if len(sys.argv) > 2 else ""
        # The next test may start at once: it must not meet this prefix's server on its way down.
        for flag in ("-k", "-w"):
            subprocess.run(["/usr/lib/wine/wineserver", flag], env=dict(env, WINEPREFIX=prefix),
                           stderr=subprocess.DEVNULL, timeout=60)
    return code


if __name__ == "__main__":
    sys.exit(main())
