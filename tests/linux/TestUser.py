"""The unprivileged user the tests run as where root may not: XScreenSaver runs no hack as root, and
PulseAudio serves no root session on a user's behalf, sway refuses to start as root."""
import os
import pwd
import shutil
import subprocess

TEST_USER = "lumivorra-test"


def ensure_test_user():
    """TEST_USER, made when missing (as root)."""
    try:
        pwd.getpwnam(TEST_USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent", "--shell",
                        "/usr/sbin/nologin", TEST_USER], check=True)
    return TEST_USER


def rerun_as_test_user(script, args):
    """Runs script again with args as TEST_USER, made when missing; returns its exit code."""
    ensure_test_user()
    # The user's own Python: root's may live in a folder only root can read.
    python = shutil.which("python3", path="/usr/bin:/bin") or "/usr/bin/python3"
    return subprocess.run(["runuser", "-u", TEST_USER, "--", python, os.path.abspath(script), *args],
                          stdin=subprocess.DEVNULL, cwd="/").returncode
