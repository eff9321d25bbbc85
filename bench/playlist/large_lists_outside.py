#!/usr/bin/env python3
"""Large lists, measured from outside on a shipped `sorvel`, so that the same run can be
made against any build of the program (an old commit's included).

    bench/playlist/large_lists_outside.py SORVEL MODULES [RUNS [FOLDER]]

SORVEL is the program (e.g. build/src/sorvel), MODULES the folder holding its
libsorvel_*.so (e.g. build/src). RUNS (3 by default) fresh starts per case; FOLDER keeps
the 100,000 sparse files between runs (else a temporary folder).

Each start gets a private copy of the program in a folder of its own (the program keeps
its settings, page files and "Temprary.txt" beside itself when it can write there), its
own HOME, runtime folder and D-Bus session bus, the offscreen platform and SDL's dummy
sound. The cases:
  - empty: no page file, no list;
  - pages: MusicList1.dat to MusicList5.dat with 10,000 records each (500 bytes apiece,
    code page 949 paths);
  - one: a folder of one file on the command line of a first start;
  - list: ten folders of 10,000 files (sparse, 300 bytes) on the command line of a
    first start; taken in once "Temprary.txt" holds all 100,000 lines;
  - start-up: the five pages and a "Temprary.txt" of 100,000 lines.
Ready means the window thread answers: the program's MPRIS name appears on the bus (it
is claimed once the pages and the list are read and the windows shown) and a property
call to it comes back. Memory is VmRSS once it has not moved for a second, read no
sooner than 3 s after ready (the program gives memory back a while after its windows
or lists change).
Per 10,000: (pages - empty) / 5 and (list - one) / 10 (one: a first start with a folder of
one file, which plays it as the list does its first). Medians of the runs; CPU is that of
all the program's threads from launch to ready.
"""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

PER_FOLDER = 10000
LIST_FOLDERS = 10
PAGES = 5
RECORD = 500
SIGNATURE = b"Sorvel  1.x.x   Written by Sorvel."
BUS_NAME = "org.mpris.MediaPlayer2.sorvel"


def song_name(folder, i):
    return f"{folder}/{i:05d} 노래 제목 Artist - Title.mp3"


def make_folders(root):
    if os.path.exists(os.path.join(root, "made")):
        return
    os.makedirs(os.path.join(root, "one"), exist_ok=True)
    with open(song_name(os.path.join(root, "one"), 0), "wb") as out:
        out.truncate(300)
    for f in range(LIST_FOLDERS):
        folder = os.path.join(root, f"A{f:02d}")
        os.makedirs(folder, exist_ok=True)
        for i in range(PER_FOLDER):
            with open(song_name(folder, i), "wb") as out:
                out.truncate(300)
    open(os.path.join(root, "made"), "wb").close()


def page_file(page_no, root):
    header = bytearray(RECORD)
    header[: len(SIGNATURE)] = SIGNATURE
    header[41] = 27
    header[42:46] = PER_FOLDER.to_bytes(4, "little")
    records = [bytes(header)]
    folder = os.path.join(root, f"P{page_no}")
    for i in range(PER_FOLDER):
        path = song_name(folder, i).encode("cp949")
        record = bytearray(RECORD)
        record[4:8] = (i + 1).to_bytes(4, "little")
        record[8 : 8 + len(path)] = path
        records.append(bytes(record))
    return b"".join(records)


def temp_list(root):
    lines = [song_name(os.path.join(root, f"A{i // PER_FOLDER:02d}"), i % PER_FOLDER)
             for i in range(LIST_FOLDERS * PER_FOLDER)]
    return ("\r\n".join(lines) + "\r\n").encode("cp949")


def resident_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def cpu_ms(pid):
    """CPU time of all the process's threads so far."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")
    except OSError:
        return 0


def settled_kb(pid, first_s=3.0, quiet_s=1.0, limit_s=30.0):
    # The program gives memory back a while after its windows or lists change: what is
    # read waits for that first.
    time.sleep(first_s)
    last, since, end = resident_kb(pid), time.monotonic(), time.monotonic() + limit_s
    while time.monotonic() < end:
        time.sleep(0.1)
        now = resident_kb(pid)
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet_s:
            break
    return last


class Session:
    """A private D-Bus session bus, ended with the run."""

    def __init__(self, home):
        self.proc = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                     stdout=subprocess.PIPE, text=True)
        self.address = self.proc.stdout.readline().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def run_case(sorvel, modules, work, files, args, bus, wait_list=0):
    """Starts a private copy with `files` in its folder; returns (ms to ready, KiB, CPU
    ms to ready)."""
    run = tempfile.mkdtemp(prefix="run-", dir=work)
    program = os.path.join(run, "prog")
    os.makedirs(program)
    shutil.copy2(sorvel, os.path.join(program, "sorvel"))
    for name in os.listdir(modules):
        if name.startswith("libsorvel_") and name.endswith(".so"):
            os.symlink(os.path.join(modules, name), os.path.join(program, name))
    for name, data in files.items():
        with open(os.path.join(program, name), "wb") as out:
            out.write(data)
    env = dict(os.environ)
    for var in ("XDG_RUNTIME_DIR", "HOME"):
        env[var] = os.path.join(run, var.lower())
        os.makedirs(env[var], mode=0o700)
    env.update(QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy", DBUS_SESSION_BUS_ADDRESS=bus.address,
               XDG_CONFIG_HOME=os.path.join(run, "home/.config"), XDG_STATE_HOME=os.path.join(run, "home/.state"))
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    waiter = subprocess.Popen(["gdbus", "wait", "--session", "--timeout", "120", BUS_NAME], env=env)
    time.sleep(0.2)  # the waiter is listening before the program starts
    started = time.monotonic()
    proc = subprocess.Popen([os.path.join(program, "sorvel")] + args, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        waiter.wait(timeout=130)
        subprocess.run(["dbus-send", "--session", "--print-reply", f"--dest={BUS_NAME}",
                        "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
                        "string:org.mpris.MediaPlayer2", "string:Identity"],
                       env=env, stdout=subprocess.DEVNULL, check=True, timeout=60)
        ready_ms = (time.monotonic() - started) * 1000
        ready_cpu = cpu_ms(proc.pid)
        if wait_list:
            listed = os.path.join(program, "Temprary.txt")
            end = time.monotonic() + 300
            while time.monotonic() < end:
                try:
                    with open(listed, "rb") as f:
                        if f.read().count(b"\n") >= wait_list:
                            break
                except OSError:
                    pass
                time.sleep(0.2)
            else:
                raise RuntimeError("the list never reached its length")
        kb = settled_kb(proc.pid)
    finally:
        if waiter.poll() is None:
            waiter.kill()
            waiter.wait()
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        shutil.rmtree(run, ignore_errors=True)
    return ready_ms, kb, ready_cpu


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    sorvel, modules = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    keep = sys.argv[4] if len(sys.argv) > 4 else None
    work = tempfile.mkdtemp(prefix="sorvel-lists-")
    songs = os.path.abspath(keep) if keep else os.path.join(work, "songs")
    os.makedirs(songs, exist_ok=True)
    make_folders(songs)
    pages = {f"MusicList{n}.dat": page_file(n, songs) for n in range(1, PAGES + 1)}
    listed = {"Temprary.txt": temp_list(songs)}
    folders = [os.path.join(songs, f"A{f:02d}") for f in range(LIST_FOLDERS)]
    count = LIST_FOLDERS * PER_FOLDER
    cases = {
        "empty": ({}, [], 0),
        "pages": (pages, [], 0),
        "one": ({}, [os.path.join(songs, "one")], 1),
        "list": ({}, folders, count),
        "start-up": ({**pages, **listed}, [], 0),
    }
    results = {name: [] for name in cases}
    bus = Session(work)
    try:
        for _ in range(runs):  # cases interleaved, run after run
            for name, (files, args, wait) in cases.items():
                results[name].append(run_case(sorvel, modules, work, files, args, bus, wait))
    finally:
        bus.close()
        shutil.rmtree(work, ignore_errors=True)
    med = {name: tuple(statistics.median(r[i] for r in rs) for i in range(3)) for name, rs in results.items()}
    print(f"program: {sorvel}  runs: {runs}")
    for name, rs in results.items():
        print(f"  {name:9s} ready ms {med[name][0]:5.0f}  CPU ms {med[name][2]:5.0f}  RSS KiB {med[name][1]:7.0f}  "
              f"(runs: {', '.join(f'{ms:.0f}/{cpu:.0f} ms {kb} KiB' for ms, kb, cpu in rs)})")
    print(f"  page memory per 10,000 entries: {(med['pages'][1] - med['empty'][1]) / PAGES:.0f} KiB")
    print(f"  list memory per 10,000 entries: {(med['list'][1] - med['one'][1]) / LIST_FOLDERS:.0f} KiB")
    print(f"  start-up, five pages of 10,000 and a list of 100,000: {med['start-up'][0]:.0f} ms, "
          f"CPU {med['start-up'][2]:.0f} ms (empty: {med['empty'][0]:.0f} ms, CPU {med['empty'][2]:.0f} ms)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
