"""One virtual X display (Xvfb) for a test or a script, the one way every driver starts it.

    with VirtualDisplay(800, 450) as display:      # or display = VirtualDisplay(...); display.close()
        env = dict(os.environ, DISPLAY=display.name)

-displayfd: the server picks a free display number and writes it once it accepts clients, so there is
neither a guessed number nor a wait by the clock. -noreset: by default the server resets when its last
client leaves and drops every client still connecting at that moment; a program starting while a tool
polls would then fail to connect. -nolisten tcp: local clients only.
"""
import os
import subprocess


class VirtualDisplayError(Exception):
    pass


class VirtualDisplay:
    def __init__(self, width, height, depth=24, screens=1, options=()):
        """screens: how many X screens (:N.0, :N.1, ...), each width x height; options: more of the
        server's arguments (such as "+xinerama")."""
        read_fd, write_fd = os.pipe()
        screen_args = []
        for index in range(screens):
            screen_args += ["-screen", str(index), f"{width}x{height}x{depth}"]
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), *screen_args, *options, "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        # The line comes when the server is ready; end of file when it could not start.
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number.isdigit():
            self.close()
            raise VirtualDisplayError("Xvfb did not start")
        self.name = ":" + number

    def kill(self):
        """Ends the server at once, as a crash or the end of the session would."""
        self.server.kill()

    def close(self):
        if self.server.poll() is None:
            self.server.terminate()
        self.server.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
