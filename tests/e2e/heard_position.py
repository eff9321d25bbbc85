#!/usr/bin/python3
"""Drives the running player through its media controls and compares, every 250 ms,
what it reports (the media controls' Position, the strip's clock and seek knob as the
accessibility bus gives them) with what the sink played at that moment.

  heard_position.py RECORD_LOG LENGTH0_MS LENGTH1_MS

RECORD_LOG is written meanwhile by `sorvel_heard_probe record`: lines "MS SONG POS_MS".
The songs are made by `sorvel_heard_probe make` as song 0 and song 1. Prints each phase's
worst differences and exits 1 when one is over the limit.
"""
import bisect
import re
import sys
import time

import pyatspi
from gi.repository import Gio, GLib

LIMIT_MS = 50
SAMPLE_S = 0.25
BUS_NAME = "org.mpris.MediaPlayer2.sorvel"
PATH = "/org/mpris/MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def now_ms():
    return time.monotonic() * 1000.0


def call(method, args=None):
    bus.call_sync(BUS_NAME, PATH, PLAYER, method, args, None, Gio.DBusCallFlags.NONE, 5000, None)


def prop(name):
    reply = bus.call_sync(BUS_NAME, PATH, "org.freedesktop.DBus.Properties", "Get",
                          GLib.Variant("(ss)", (PLAYER, name)), None, Gio.DBusCallFlags.NONE, 5000, None)
    return reply.unpack()[0]


def strip_controls():
    """The clock label and the seek slider of the strip, found once."""
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(100):
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None or not app.name.lower().startswith("sorvel"):
                continue
            clock = knob = None
            stack = [app]
            while stack:
                node = stack.pop()
                try:
                    role = node.getRoleName()
                    if role == "label" and re.fullmatch(r"\d\d:\d\d-\d\d:\d\d", node.name or ""):
                        clock = node
                    if role == "slider" and node.name == "재생 위치":
                        knob = node
                    stack.extend(node.getChildAtIndex(c) for c in range(node.childCount))
                except Exception:
                    continue
            if clock is not None:
                return clock, knob
        time.sleep(0.1)
    return None, None


def load_record(path):
    times, entries = [], []
    with open(path) as f:
        for line in f:
            parts = line.split()
            try:
                entry = (float(parts[0]), int(parts[1]), float(parts[2]))
            except (ValueError, IndexError):
                continue  # the line being written
            times.append(entry[0])
            entries.append(entry[1:])
    return times, entries


def heard_at(times, entries, t):
    """(song, position) the sink played at t, or None while it played no song. Right
    after a seek or a song change the sink plays a few milliseconds of nothing: there
    the position is the one its next sound was heard at, less the time until then."""
    i = bisect.bisect_right(times, t) - 1
    if 0 <= i < len(times) and entries[i][0] < 0:
        j = i
        while j + 1 < len(times) and entries[j][0] < 0 and times[j] < t + LIMIT_MS:
            j += 1
        if entries[j][0] >= 0 and times[j] < t + LIMIT_MS:
            song, pos = entries[j]
            return song, pos - (times[j] - t)
    if i < 0 or i + 1 >= len(times):
        return None
    song, pos = entries[i]
    next_song, next_pos = entries[i + 1]
    if song < 0:
        return None
    if next_song != song:
        return song, pos + (t - times[i])
    # Between two pieces the song ran on at real time, unless it stood still.
    if next_pos - pos < 1.0:
        return song, pos
    return song, pos + (t - times[i])


def main():
    record_log, lengths = sys.argv[1], [int(sys.argv[2]), int(sys.argv[3])]
    clock, knob = strip_controls()
    if clock is None:
        print("FAIL: the strip's clock is not on the accessibility bus")
        return 1

    samples = []
    verbose = "-v" in sys.argv

    def sample(phase, duration):
        end = now_ms() + duration * 1000
        while now_ms() < end:
            before = now_ms()
            position = prop("Position") / 1000.0
            after = now_ms()
            status = prop("PlaybackStatus")
            title = prop("Metadata").get("xesam:title", "")
            text = clock.name
            value = knob.queryValue().currentValue if knob is not None else None
            samples.append((phase, (before + after) / 2, status, title, position, text, value))
            if verbose:
                print("%s %.0f %s %s %.0f %s %s" % samples[-1])
            time.sleep(max(0.0, SAMPLE_S - (now_ms() - before) / 1000))

    # The very first song since the start, a seek, a pause, a resume, a song change,
    # and a start after a stop.
    sample("first start", 5)
    track = prop("Metadata")["mpris:trackid"]
    call("SetPosition", GLib.Variant("(ox)", (track, 12000000)))
    sample("seek", 4)
    call("Pause")
    sample("paused", 2)
    call("Play")
    sample("resume", 4)
    call("Next")
    sample("song change", 4)
    call("Stop")
    time.sleep(0.5)
    call("Play")
    sample("start", 4)
    time.sleep(0.3)

    times, entries = load_record(record_log)
    worst = {}
    failed = False
    for phase, t, status, title, position, text, value in samples:
        heard = heard_at(times, entries, t)
        # A sample taken right after a seek or a song change may find the sink still on
        # the old sound: what was reported must then be heard within the limit.
        if status == "Playing" and (heard is None or abs(position - heard[1]) > LIMIT_MS):
            later = heard_at(times, entries, t + LIMIT_MS)
            if later is not None and abs(position + LIMIT_MS - later[1]) <= LIMIT_MS:
                heard = (later[0], later[1] - LIMIT_MS)
        problems = []
        if status == "Playing":
            if heard is None:
                problems.append("reported playing, nothing heard")
            else:
                song, pos = heard
                want_title = "ramp%d.wav" % song
                if title != want_title:
                    problems.append("title %s, heard %s" % (title, want_title))
                error = position - pos
                lag = LIMIT_MS
                worst[phase] = max(worst.get(phase, 0), abs(error))
                if error > LIMIT_MS or error < -lag:
                    problems.append("position %.0f, heard %.0f" % (position, pos))
                seconds = int(text[0:2]) * 60 + int(text[3:5])
                if not (seconds * 1000 - LIMIT_MS <= pos < seconds * 1000 + 1000 + lag):
                    problems.append("clock %s, heard %.0f" % (text, pos))
                if value is not None:
                    # The seek slider says the position in whole seconds.
                    length = lengths[song]
                    low = int(max(pos - lag, 0) // 1000)
                    high = int(min(pos + LIMIT_MS, length) // 1000)
                    if not (low <= value <= high):
                        problems.append("knob %s, heard %.0f (%d..%d)" % (value, pos, low, high))
        elif status == "Paused":
            # Silence within the limit of the moment it was reported.
            later = heard_at(times, entries, t + LIMIT_MS)
            if later is not None:
                problems.append("paused, %.0f heard" % later[1])
        if problems:
            failed = True
            print("FAIL %s at %.0f: %s" % (phase, t, "; ".join(problems)))
    for phase in ["first start", "seek", "resume", "song change", "start"]:
        print("%-12s worst %.1f ms" % (phase, worst.get(phase, -1)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
