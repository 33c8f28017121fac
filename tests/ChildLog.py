"""Reading what a child process has written so far into a log file it shares with the test.

The child writes through the same open file as the test's own file object, so both share one offset: a
seek(0) here would make the child's next line land over its earliest ones. pread leaves that offset alone.
"""
import os


def read_log(log):
    """The whole text written to log (a file object open on a real file) so far."""
    descriptor = log.fileno()
    return os.pread(descriptor, os.fstat(descriptor).st_size, 0).decode("utf-8", "replace")
