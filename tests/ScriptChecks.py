"""What the tests' Python scripts share: a failed check with its message, and reading a program's log."""
import os


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def read_log(log):
    """The whole text written so far to log, a file object on a real file that a child process writes
    through too. The child shares the file's offset with log, so a seek(0) here would make its next line
    land over its earliest ones; pread leaves that offset alone."""
    descriptor = log.fileno()
    return os.pread(descriptor, os.fstat(descriptor).st_size, 0).decode("utf-8", "replace")
