#!/usr/bin/python3
"""Reads the running player through the accessibility bus, as a screen reader would.

  atspi_probe.py find ROLE NAME     prints the centre "x y" of the first showing object of
                                   that role (e.g. "list item", "page tab", "push button")
                                   whose name is NAME, in screen coordinates
  atspi_probe.py names ROLE NAME    prints the names of the children of that object, one a line
  atspi_probe.py value ROLE NAME    prints the current value of that object (a slider)
  atspi_probe.py tree               prints every showing object as "role|name" (for looking)

Exit code 1 when the object is not found within a few seconds.
"""
import sys
import time

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(min(count, 5000)):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name.lower().startswith("sorvel"):
            return a
    return None


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find(role, name):
    root = app()
    if root is None:
        return None
    for node in walk(root):
        try:
            if node.getRoleName() == role and node.name == name and showing(node):
                return node
        except Exception:
            continue
    return None


def main():
    cmd = sys.argv[1]
    if cmd == "tree":
        root = app()
        if root is None:
            return 1
        for node in walk(root):
            try:
                print("%s|%s|%s" % (node.getRoleName(), node.name, "showing" if showing(node) else "hidden"))
            except Exception:
                pass
        return 0
    role, name = sys.argv[2], sys.argv[3]
    for _ in range(50):
        node = find(role, name)
        if node is not None:
            break
        time.sleep(0.1)
    else:
        print("not found: %s %s" % (role, name), file=sys.stderr)
        return 1
    if cmd == "find":
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print("%d %d" % (box.x + box.width // 2, box.y + box.height // 2))
    elif cmd == "value":
        print(node.queryValue().currentValue)
    elif cmd == "names":
        for i in range(node.childCount):
            print(node.getChildAtIndex(i).name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
