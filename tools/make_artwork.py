#!/usr/bin/env python3
"""Draws the player's pictures and writes them as PNG files under resources/player and
resources/playlist, each at its size ("play.png") and at twice its size ("play@2x.png"),
for displays at 125 % to 200 %.

A picture is a function of the point it is asked about, in the picture's own pixels: at
its size the point is a pixel's index, at twice its size the centre of each device pixel
(x + 0.25 and x + 0.75 around the pixel's centre x + 0.5). Shapes drawn with whole
pixels (outlines, grid lines, bars) take the pixel the point falls in, so a one-pixel
line is exactly two pixels wide at 2x; round and slanted edges and gradients take the
point itself, so they are drawn anew at 2x rather than enlarged. Glyphs of two colours
with slanted edges are enlarged with Scale2x, which smooths their stairs without adding
a colour; the square ones are doubled, so their corners stay square.

Run it again after changing a picture; the PNG files are committed and compiled in with
Qt's resource system. Only the standard library is used.
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "player")


def write_png(name, width, height, pixel, out=None):
    """pixel(x, y) -> (r, g, b) or (r, g, b, a), y from the top."""
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            p = pixel(x, y)
            if len(p) == 3:
                p = (*p, 255)
            row += bytes(max(0, min(255, int(round(c)))) for c in p)
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(os.path.join(out or OUT, name), "wb") as f:
        f.write(png)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def cell(v):
    """The index of the pixel a point falls in (the point itself at the picture's size)."""
    return math.floor(v + 0.5)


def at_scale(picture, scale):
    """picture(x, y) asked about the centres of the pixels of a drawing `scale` times larger."""
    if scale == 1:
        return picture
    return lambda x, y: picture((x + 0.5) / scale - 0.5, (y + 0.5) / scale - 0.5)


def write_art(name, width, height, picture, out=None):
    """The picture at its size and at twice its size (name@2x.png)."""
    write_png(name, width, height, picture, out)
    base, ext = os.path.splitext(name)
    write_png(base + "@2x" + ext, 2 * width, 2 * height, at_scale(picture, 2), out)


def globe(x, y):
    """A lit globe with meridians and parallels on a deep-blue ground, 60 x 30."""
    ground = mix((4, 10, 60), (10, 30, 110), y / 29)
    cx, cy, r = 44.5, 15.5, 12.5
    dx, dy = (x + 0.5 - cx) / r, (y + 0.5 - cy) / r
    d = dx * dx + dy * dy
    if d > 1.0:
        # a faint halo around the globe
        halo = max(0.0, 1.0 - (math.sqrt(d) - 1.0) * 4)
        return mix(ground, (40, 90, 170), 0.35 * halo)
    z = math.sqrt(1.0 - d)
    lat = math.asin(-dy)
    lon = math.atan2(dx, z) + 0.35
    light = max(0.15, 0.55 * z + 0.45 * (-dx * 0.5 - dy * 0.5 + 0.5))
    sea = (20, 70, 170)
    land = (40, 140, 90)
    # blobs of land from a few sine terms
    shape = math.sin(lon * 3.0 + 1.0) * math.cos(lat * 2.5) + 0.6 * math.sin(lon * 5.0 - lat * 4.0)
    base = land if shape > 0.55 else sea
    grid = min(abs(math.sin(lon * 4.0)), abs(math.sin(lat * 6.0)))
    colour = tuple(c * light for c in base)
    if grid < 0.08:
        colour = mix(colour, (120, 180, 255), 0.5)
    return colour


def grid_back(x, y):
    ground = mix((0, 20, 40), (0, 40, 80), y / 29)
    if cell(x) % 6 == 0 or cell(y) % 6 == 0:
        return mix(ground, (0, 120, 160), 0.35)
    return ground


def dusk_back(x, y):
    return mix((70, 20, 90), (10, 10, 50), y / 29)


def display_gradient(x, y):
    return mix((52, 120, 232), (10, 40, 120), y / 40)


TRANSPARENT = (255, 255, 255)  # glyphs: the bottom-left pixel's colour is see-through
INK = (20, 30, 70)


def glyph(rows):
    def pixel(x, y):
        return INK if rows[y][x] == "#" else TRANSPARENT
    return len(rows[0]), len(rows), pixel


def scale2x(rows):
    """Scale2x (EPX): every pixel becomes four, and a corner of the four takes the colour
    of its two neighbours where they agree and the other two do not, so stairs of single
    pixels become stairs of half pixels. Straight edges stay straight."""
    h, w = len(rows), len(rows[0])

    def at(x, y):
        return rows[min(max(y, 0), h - 1)][min(max(x, 0), w - 1)]

    out = [[None] * (2 * w) for _ in range(2 * h)]
    for y in range(h):
        for x in range(w):
            p, a, b, c, d = at(x, y), at(x, y - 1), at(x + 1, y), at(x - 1, y), at(x, y + 1)
            out[2 * y][2 * x] = a if c == a and c != d and a != b else p
            out[2 * y][2 * x + 1] = b if a == b and a != c and b != d else p
            out[2 * y + 1][2 * x] = c if d == c and d != b and c != a else p
            out[2 * y + 1][2 * x + 1] = d if b == d and b != a and d != c else p
    return ["".join(row) for row in out]


GLYPHS = {
    "play.png": [  # 8 x 9
        "..#.....",
        "..##....",
        "..###...",
        "..####..",
        "..#####.",
        "..####..",
        "..###...",
        "..##....",
        "........",
    ],
    "pause.png": [  # 8 x 7
        ".##..##.",
        ".##..##.",
        ".##..##.",
        ".##..##.",
        ".##..##.",
        ".##..##.",
        "........",
    ],
    "stop.png": [  # 8 x 10
        "........",
        ".######.",
        ".######.",
        ".######.",
        ".######.",
        ".######.",
        ".######.",
        ".######.",
        "........",
        "........",
    ],
    "next.png": [  # 9 x 8
        "#...#....",
        "##..##...",
        "###.###..",
        "########.",
        "###.###..",
        "##..##...",
        "#...#....",
        ".........",
    ],
    "playlist.png": [  # 11 x 9
        "...........",
        "#.########.",
        "...........",
        "#.########.",
        "...........",
        "#.########.",
        "...........",
        "#.########.",
        "...........",
    ],
    "addfile.png": [  # 12 x 10
        ".....##.....",
        "....####....",
        "...######...",
        "..########..",
        ".##########.",
        "............",
        ".##########.",
        ".##########.",
        "............",
        "............",
    ],
}


# Glyphs whose edges are stairs; the others are made of rectangles.
SLANTED_GLYPHS = ("play.png", "next.png", "addfile.png")


def note(x, y):
    """A teal eighth note, 17 x 16, on a transparent ground."""
    teal = (0, 128, 128, 255)
    clear = (0, 0, 0, 0)
    if 9 <= cell(x) <= 10 and 2 <= cell(y) <= 12:
        return teal
    if 10 <= cell(x) <= 13 and 2 <= cell(y) <= 4 and (x - 10) <= (y - 1):
        return teal
    if ((x - 7.5) / 2.6) ** 2 + ((y - 12.5) / 1.9) ** 2 <= 1.0:
        return teal
    return clear


def speaker(x, y):
    """A white speaker with one sound wave, 10 x 11, transparent ground."""
    white = (255, 255, 255, 255)
    clear = (0, 0, 0, 0)
    cx, cy = cell(x), cell(y)
    if 0 <= cx <= 1 and 4 <= cy <= 6:
        return white
    if 2 <= cx <= 5 and abs(y - 5) <= x - 1:
        return white
    if cx in (7, 8) and abs(cy - 5) <= (3 if cx == 7 else 4) and abs(cy - 5) >= (2 if cx == 7 else 3):
        return white
    return clear


def knob(x, y):
    """A 12 x 7 silver knob with a dark outline and a centre groove."""
    cx, cy = cell(x), cell(y)
    if cx in (0, 11) or cy in (0, 6):
        if (cx, cy) in ((0, 0), (11, 0), (0, 6), (11, 6)):
            return (0, 0, 0, 0)
        return (40, 40, 60, 255)
    if cx == 6:
        return (90, 90, 110, 255)
    shade = 235 - y * 14
    return (shade, shade, shade + 10, 255)


PLAYLIST_OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "playlist")


def badge(size):
    """A green eighth note on a yellow round badge with a darker rim, size x size."""
    s = size / 16.0
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.3 * s

    def pixel(x, y):
        d = math.hypot(x - c, y - c)
        if d > r:
            return (0, 0, 0, 0)
        ground = (255, 214, 0, 255) if d < r - 1.2 * s else (190, 140, 0, 255)
        green = (0, 128, 0, 255)
        if 8.6 * s <= x <= 9.9 * s and 3 * s <= y <= 11.5 * s:
            return green
        if 9.4 * s <= x <= 12.5 * s and 3 * s <= y <= 5 * s and (x - 9.4 * s) <= (y - 2 * s) * 1.3:
            return green
        if ((x - 6.9 * s) / (2.5 * s)) ** 2 + ((y - 11.6 * s) / (1.8 * s)) ** 2 <= 1.0:
            return green
        return ground
    return pixel


def smooth(pixel, samples):
    """The picture averaged over samples x samples points per pixel: soft edges."""
    points = [((i + 0.5) / samples - 0.5) for i in range(samples)]

    def averaged(x, y):
        total = [0.0, 0.0, 0.0, 0.0]
        for dy in points:
            for dx in points:
                p = pixel(x + dx, y + dy)
                a = p[3] / 255.0
                total[0] += p[0] * a
                total[1] += p[1] * a
                total[2] += p[2] * a
                total[3] += a
        if total[3] == 0:
            return (0, 0, 0, 0)
        return (total[0] / total[3], total[1] / total[3], total[2] / total[3], 255 * total[3] / samples ** 2)
    return averaged


# The program's icon in the desktop's icon theme: the playlist window's badge, drawn at
# each size the hicolor theme has, with soft edges from 22 pixels up.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
DESKTOP_OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "desktop")


def write_icons():
    for size in ICON_SIZES:
        folder = os.path.join(DESKTOP_OUT, "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        pixel = badge(size) if size <= 16 else smooth(badge(size), 4 if size <= 64 else 3)
        write_png("sorvel.png", size, size, pixel, folder)


def yellow_speaker(x, y):
    """The speaker of the strip, in yellow, 10 x 11."""
    p = speaker(x, y)
    return (255, 255, 0, 255) if p[3] else p


def grey_knob(x, y):
    """A small grey bar with a dark outline, 12 x 7."""
    cx, cy = cell(x), cell(y)
    if (cx, cy) in ((0, 0), (11, 0), (0, 6), (11, 6)):
        return (0, 0, 0, 0)
    if cx in (0, 11) or cy in (0, 6):
        return (64, 64, 64, 255)
    shade = 200 - y * 10
    return (shade, shade, shade, 255)


def main():
    os.makedirs(OUT, exist_ok=True)
    os.makedirs(PLAYLIST_OUT, exist_ok=True)
    # The badge is the icon's drawing: at twice its size it is the 32-pixel one, crisp.
    write_png("badge.png", 16, 16, badge(16), PLAYLIST_OUT)
    write_png("badge@2x.png", 32, 32, badge(32), PLAYLIST_OUT)
    write_art("speaker.png", 10, 11, yellow_speaker, PLAYLIST_OUT)
    write_art("knob.png", 12, 7, grey_knob, PLAYLIST_OUT)
    write_art("spectrum_back.png", 60, 30, grid_back)
    write_art("spectrum_back2.png", 60, 30, dusk_back)
    write_art("spectrum_back3.png", 60, 30, globe)
    write_art("display.png", 5, 41, display_gradient)
    write_art("note.png", 17, 16, note)
    write_art("speaker.png", 10, 11, speaker)
    write_art("knob.png", 12, 7, knob)
    for name, rows in GLYPHS.items():
        w, h, pixel = glyph(rows)
        write_png(name, w, h, pixel)
        base, ext = os.path.splitext(name)
        if name in SLANTED_GLYPHS:
            _, _, large = glyph(scale2x(rows))
        else:
            large = at_scale(lambda x, y: pixel(cell(x), cell(y)), 2)
        write_png(base + "@2x" + ext, 2 * w, 2 * h, large)
    write_icons()


if __name__ == "__main__":
    main()
