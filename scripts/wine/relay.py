#!/usr/bin/env python3
"""relay.py COMMAND [ARGS...]

Runs COMMAND with its stdout/stderr going through pipes we own and copies
everything to our own stdout/stderr, then exits with COMMAND's exit code as
soon as COMMAND has exited and its output is drained.

Why: the first Wine program of a session starts long-lived helpers
(services.exe, explorer.exe, rpcss.exe, ...) that inherit its stdout and
stderr. With a persistent wineserver they live for good, so a reader that
waits for end-of-file on the program's output (ctest, a shell pipe,
$(...)) would wait forever. Here only our pipes leak to those helpers, and
we stop reading once the program itself is gone.
"""
import os
import select
import signal
import stat
import subprocess
import sys
import time


def is_pipe_or_socket(fd):
    try:
        mode = os.fstat(fd).st_mode
    except OSError:
        return False
    return stat.S_ISFIFO(mode) or stat.S_ISSOCK(mode)


def write_all(fd, data, broken):
    if fd in broken:
        return
    view = memoryview(data)
    while view:
        try:
            n = os.write(fd, view)
        except BrokenPipeError:
            # Keep draining so the program never blocks on a full pipe.
            broken.add(fd)
            return
        view = view[n:]


def main(argv):
    if not argv:
        print("usage: relay.py COMMAND [ARGS...]", file=sys.stderr)
        return 125

    sources = {}  # our read end -> our fd it is copied to
    redirect = {}
    for target, name in ((1, "stdout"), (2, "stderr")):
        if is_pipe_or_socket(target):
            r, w = os.pipe()
            sources[r] = target
            redirect[name] = w

    try:
        proc = subprocess.Popen(argv, **redirect)
    except OSError as exc:
        print(f"relay.py: cannot run {argv[0]}: {exc}", file=sys.stderr)
        return 127
    for w in redirect.values():
        os.close(w)

    def forward(signum, _frame):
        proc.send_signal(signum)

    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, forward)

    for r in sources:
        os.set_blocking(r, False)
    exited = os.pidfd_open(proc.pid)
    broken = set()

    def pump(timeout):
        """Copy what is ready; returns False once nothing was ready."""
        watch = list(sources) + ([exited] if exited is not None else [])
        try:
            ready, _, _ = select.select(watch, [], [], timeout)
        except InterruptedError:
            return True
        for r in ready:
            if r == exited:
                continue
            try:
                data = os.read(r, 65536)
            except BlockingIOError:
                continue
            if data:
                write_all(sources[r], data, broken)
            else:
                os.close(r)
                del sources[r]
        return bool(ready)

    while proc.poll() is None:
        pump(None)
    # Everything the program wrote is now in the pipe buffers; take what is
    # there and do not wait for helpers that may still hold the write end.
    # A helper that keeps writing must not keep us here either.
    os.close(exited)
    exited = None
    deadline = time.monotonic() + 2
    while sources and pump(0) and time.monotonic() < deadline:
        pass

    code = proc.returncode
    return code if code >= 0 else 128 - code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
