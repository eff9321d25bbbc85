#!/usr/bin/python3
"""A keyboard user on a page of five songs, by keys (xdotool) and the accessibility tree
only (pyatspi): Enter on the first row plays it; the cursor goes down to the fourth while
it plays; when the second song begins the cursor and the selection are still on the
fourth, and Delete removes the fourth. With the focus on the strip, the next song is
selected on the page, as it always was. Exit code 0 when every check passed.
"""
import sys

import pyatspi

import keyboard_walk as walk
from keyboard_walk import check, find, focus, key, states, tab_to, wait

STRIP, PLAYLIST = walk.STRIP, walk.PLAYLIST


def rows(page):
    """The page's rows by name, with whether each is selected (the header left out)."""
    found = []
    for i in range(page.childCount):
        child = page.getChildAtIndex(i)
        if child is not None and child.getRoleName() == "list item":
            found.append((child.name, states(child).contains(pyatspi.STATE_SELECTED)))
    return found


def selected(page):
    return [name for name, chosen in rows(page) if chosen]


def main():
    strip, playlist = walk.windows()
    if strip is None:
        return 1
    title = find(strip, "label", "상생의 음악과 함께...")
    page = find(playlist, "list", "최신음악")
    check(title is not None and page is not None, "the title and the first page are there")

    # The first song by Enter on the first row; then the cursor to the fourth.
    walk.activate(PLAYLIST)
    tab_to("list", "최신음악")
    key("Home", "Return")
    check(wait(lambda: title.name == "first.mp3"), "Enter did not play the first song: %s" % title.name)
    key("Down", "Down", "Down")
    f = focus()
    check(f is not None and f.name == "fourth.mp3", "the cursor went to %s" % (f and f.name))
    # The first song ends: the second plays, and the cursor is where the user put it.
    check(wait(lambda: title.name == "second.mp3", 15), "the second song did not begin: %s" % title.name)
    walk.pump(0.3)
    f = focus()
    check(f is not None and f.name == "fourth.mp3", "the song change moved the cursor to %s" % (f and f.name))
    check(selected(page) == ["fourth.mp3"], "selected after the song changed: %s" % selected(page))
    key("Delete")
    check(wait(lambda: [name for name, _ in rows(page)] == ["first.mp3", "second.mp3", "third.mp3", "fifth.mp3"]),
          "Delete left %s" % [name for name, _ in rows(page)])
    check(title.name == "second.mp3", "the song that plays changed to %s" % title.name)

    # With the focus on the strip the selection follows the song, as it always has.
    walk.activate(STRIP)
    tab_to("push button", "Next Song")
    key("space")
    check(wait(lambda: title.name == "third.mp3"), "Next Song did not play the third song: %s" % title.name)
    check(wait(lambda: selected(page) == ["third.mp3"]), "selected after Next Song: %s" % selected(page))
    return 1 if walk.failures else 0


if __name__ == "__main__":
    sys.exit(main())
