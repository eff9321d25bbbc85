#!/usr/bin/env python3
"""Runs a command and fails when it leaves a process behind.

Usage: no-leftovers.py [--report-only] COMMAND [ARG...]

This process becomes the child subreaper of everything the command starts, so a daemon
that forks away from its test (a bus, a sound server, an X server) is re-parented here
rather than to init: what is still running below us once the command has ended is
exactly what the command left behind, whatever else runs on the machine. Those processes
are listed and ended, and the exit status is 1 unless --report-only is given; otherwise
it is the command's own.
"""

import ctypes
import os
import signal
import subprocess
import sys
import time

PR_SET_CHILD_SUBREAPER = 36
# A process that is already ending (a server told to quit just before its test returned)
# gets this long to go before it counts as left behind.
GRACE_SECONDS = 5.0


def stat_fields(pid):
    """(parent pid, state) of a process, or None when it has gone."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            data = f.read().decode("utf-8", "replace")
    except OSError:
        return None
    # The command name in parentheses may itself hold spaces and parentheses.
    rest = data[data.rindex(")") + 2:].split()
    return int(rest[1]), rest[0]


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip() or "?"
    except OSError:
        return "?"


def reap_zombies():
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


def descendants(root):
    """Live (not zombie) processes below `root`."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        fields = stat_fields(int(entry))
        if fields:
            children.setdefault(fields[0], []).append((int(entry), fields[1]))
    found = []
    stack = [root]
    while stack:
        for pid, state in children.get(stack.pop(), []):
            if state != "Z":
                found.append(pid)
            stack.append(pid)
    return found


def end_all(pids):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + 2.0
        while time.monotonic() < deadline:
            reap_zombies()
            if not descendants(os.getpid()):
                return
            time.sleep(0.05)
        pids = descendants(os.getpid())


def main(argv):
    report_only = False
    if argv and argv[0] == "--report-only":
        report_only = True
        argv = argv[1:]
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        print("no-leftovers: cannot become a subreaper:", os.strerror(ctypes.get_errno()), file=sys.stderr)
        return 2

    command = subprocess.Popen(argv)
    # Ctrl-C reaches the whole foreground group; the command decides what it means.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    status = command.wait()

    deadline = time.monotonic() + GRACE_SECONDS
    while True:
        reap_zombies()
        left = descendants(os.getpid())
        if not left or time.monotonic() >= deadline:
            break
        time.sleep(0.05)

    print(f"processes left behind: {len(left)}")
    for pid in left:
        print(f"  {pid}: {command_line(pid)}")
    if left:
        end_all(left)
        if not report_only:
            return 1
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
