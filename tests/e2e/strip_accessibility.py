"""Drives the player strip through the accessibility bus the way a screen reader does.

Finds the strip's frame by its caption, checks every node's role and name, presses
"Start / Pause" and "Stop" by their default actions while reading the clock, and sets the
volume slider by value. Prints what it saw; exit code 0 when every check passed.
"""
import re
import sys
import time

import pyatspi

CAPTION = "마루엘의 뮤직플레이어 Sorvel"
INTERNAL = re.compile(r"^(T|Img|Image|Panel|Shape|Label|dx|Edit|Button|L[A-Z])\w*$")
HIDDEN = {"start", "stop", "pause", "resume", "Add File", "Label1", "Label2", "Label3"}

failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
        print("FAIL:", text)


def find_frame(timeout):
    end = time.time() + timeout
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for i in range(app.childCount):
                child = app.getChildAtIndex(i)
                if child is not None and child.name == CAPTION:
                    return child
        time.sleep(0.2)
    return None


def walk(node, depth=0, out=None):
    out = [] if out is None else out
    out.append((depth, node))
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)
    return out


def named(nodes, name):
    return next((n for _, n in nodes if n.name == name), None)


def wait_for(predicate, timeout):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


def main():
    frame = find_frame(15)
    if frame is None:
        print("FAIL: no frame named", CAPTION)
        return 1
    check(frame.getRoleName() == "frame", "the strip is a %s, not a frame" % frame.getRoleName())
    nodes = walk(frame)
    for depth, node in nodes:
        states = node.getState()
        print("%s%s \"%s\"%s" % ("  " * depth, node.getRoleName(), node.name,
                                 " (%s)" % node.description if node.description else ""))
        check(node.name != "", "a %s without a name" % node.getRoleName())
        check(not INTERNAL.match(node.name), "internal name %s" % node.name)
        check(node.getRoleName() != "filler", "%s is a filler" % node.name)
        check(node.name not in HIDDEN, "%s lies outside the strip but is exposed" % node.name)
        check(states.contains(pyatspi.STATE_SHOWING), "%s is exposed but not showing" % node.name)

    buttons = [n for _, n in nodes if n.getRoleName() == "push button"]
    check(len(buttons) == 5, "%d push buttons" % len(buttons))
    for button in buttons:
        action = button.queryAction()
        check(action.nActions > 0 and action.getName(0).lower() in ("press", "click"),
              "%s: default action %s" % (button.name, action.getName(0) if action.nActions else None))

    clock = next((n for _, n in nodes if n.description.startswith("재생 시간")), None)
    check(clock is not None, "no clock")
    play = named(nodes, "Start / Pause")
    stop = named(nodes, "Stop")
    volume = named(nodes, "볼륨")
    if not (clock and play and stop and volume):
        return 1

    play.queryAction().doAction(0)
    check(wait_for(lambda: re.match(r"00:0[1-9]-00:30", clock.name), 6),
          "the clock did not run after play: %s" % clock.name)
    print("clock while playing:", clock.name)
    stop.queryAction().doAction(0)
    check(wait_for(lambda: clock.name == "00:00-00:30", 4), "the clock after stop reads %s" % clock.name)
    print("clock after stop:", clock.name)

    check(volume.getRoleName() == "slider", "volume is a %s" % volume.getRoleName())
    value = volume.queryValue()
    # The stored knob offset 30 of 55 is said in percent.
    check(value.currentValue == 55 and value.maximumValue == 100,
          "volume %s of %s" % (value.currentValue, value.maximumValue))
    value.currentValue = 40
    check(wait_for(lambda: volume.queryValue().currentValue == 40, 2),
          "volume set to 40 reads %s" % volume.queryValue().currentValue)
    print("volume:", volume.queryValue().currentValue)
    return 1 if failures else 0


sys.exit(main())
