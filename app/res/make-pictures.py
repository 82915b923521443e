#!/usr/bin/env python3
"""Draws the main window's pictures as XPM files (run from this folder).

The toolbar pictures (20 x 20), the application icon (48 x 48) and the REC
cursor (32 x 32, at most 16 colours, hot spot at the top-left corner). Plain
Python, no imaging library: shapes are sampled 4 x 4 per pixel and the
coverage blends the shape's colour over what lies below.
"""
import math

SS = 4  # samples per pixel edge


def canvas(w, h):
    return [[None] * w for _ in range(h)]  # None: transparent


def blend(dst, src, a):
    if a <= 0:
        return dst
    if dst is None:
        return src if a >= 0.5 else None
    return tuple(round(d + (s - d) * a) for d, s in zip(dst, src))


def fill(img, inside, colour):
    h, w = len(img), len(img[0])
    for y in range(h):
        for x in range(w):
            n = 0
            for sy in range(SS):
                for sx in range(SS):
                    if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                        n += 1
            img[y][x] = blend(img[y][x], colour, n / (SS * SS))


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(pts):
    def inside(x, y):
        c = False
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                c = not c
            j = i
        return c
    return inside


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def grow(shape, d):
    """The shape widened by d pixels (for outlines), by sampling around."""
    offs = [(d * math.cos(a), d * math.sin(a)) for a in [i * math.pi / 8 for i in range(16)]]
    return lambda x, y: shape(x, y) or any(shape(x + ox, y + oy) for ox, oy in offs)


def write_xpm(path, name, img):
    h, w = len(img), len(img[0])
    colours = sorted({c for row in img for c in row if c is not None})
    chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789#$%&*+-=@"
    cpp = 1 if len(colours) < len(chars) else 2
    codes = {}
    for i, c in enumerate(colours):
        codes[c] = chars[i] if cpp == 1 else chars[i // len(chars)] + chars[i % len(chars)]
    blank = " " * cpp
    with open(path, "w") as f:
        f.write("/* XPM */\n")
        f.write("static const char *%s[] = {\n" % name)
        f.write('"%d %d %d %d",\n' % (w, h, len(colours) + 1, cpp))
        f.write('"%s c None",\n' % blank)
        for c in colours:
            f.write('"%s c #%02X%02X%02X",\n' % ((codes[c],) + c))
        rows = ['"' + "".join(blank if c is None else codes[c] for c in row) + '"' for row in img]
        f.write(",\n".join(rows) + "\n};\n")
    return len(colours)


def shade(c, k):
    return tuple(max(0, min(255, round(v * k))) for v in c)


def toolbar():
    green, yellow, red, orange = (40, 170, 40), (240, 200, 30), (220, 30, 30), (245, 140, 20)
    img = canvas(20, 20)
    tri = polygon([(5, 3), (17, 10), (5, 17)])
    fill(img, grow(tri, 0.8), shade(green, 0.55))
    fill(img, tri, green)
    write_xpm("read.xpm", "read_xpm", img)

    img = canvas(20, 20)
    for x0 in (4, 11):
        bar = rect(x0, 3, x0 + 5, 17)
        fill(img, grow(bar, 0.8), shade(yellow, 0.6))
        fill(img, bar, yellow)
    write_xpm("pause.xpm", "pause_xpm", img)

    img = canvas(20, 20)
    sq = rect(4, 4, 16, 16)
    fill(img, grow(sq, 0.8), shade(red, 0.55))
    fill(img, sq, red)
    write_xpm("stop.xpm", "stop_xpm", img)

    img = canvas(20, 20)
    fill(img, disc(10, 10, 7.5), shade(red, 0.55))
    fill(img, disc(10, 10, 6.7), red)
    fill(img, disc(8, 8, 2.2), (250, 130, 130))
    write_xpm("record.xpm", "record_xpm", img)

    img = canvas(20, 20)
    teeth = 8

    def cog(x, y):
        dx, dy = x - 10, y - 10
        r = math.hypot(dx, dy)
        a = math.atan2(dy, dx) % (2 * math.pi / teeth)
        tooth = abs(a - math.pi / teeth) < math.pi / teeth * 0.5
        return r <= (8.5 if tooth else 6.5) and r >= 2.8
    fill(img, grow(cog, 0.8), shade(orange, 0.55))
    fill(img, cog, orange)
    write_xpm("configure.xpm", "configure_xpm", img)


def icon():
    img = canvas(48, 48)
    navy, film = (28, 44, 92), (12, 18, 30)
    fill(img, rounded(1, 1, 47, 47, 7), navy)
    fill(img, rounded(5, 5, 35, 35, 3), film)
    # a scan: a bright oval body with two darker lobes
    fill(img, lambda x, y: ((x - 20) / 12) ** 2 + ((y - 20) / 13) ** 2 <= 1, (200, 205, 210))
    fill(img, lambda x, y: ((x - 15.5) / 4.2) ** 2 + ((y - 20) / 8) ** 2 <= 1, (70, 76, 84))
    fill(img, lambda x, y: ((x - 24.5) / 4.2) ** 2 + ((y - 20) / 8) ** 2 <= 1, (70, 76, 84))
    fill(img, rect(19, 9, 21, 31), (235, 238, 240))
    # a speech bubble
    bubble = rounded(24, 26, 45, 42, 6)
    tail = polygon([(28, 40), (25, 46), (34, 41)])
    fill(img, grow(lambda x, y: bubble(x, y) or tail(x, y), 1.0), (120, 80, 0))
    fill(img, lambda x, y: bubble(x, y) or tail(x, y), (255, 214, 60))
    for x0 in (29, 34, 39):
        fill(img, disc(x0, 34, 1.6), (120, 80, 0))
    write_xpm("varnelo.xpm", "varnelo_xpm", img)


FONT = {
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "C": [".####", "#....", "#....", "#....", "#....", "#....", ".####"],
}


def cursor():
    # Hard edges only: the cursor keeps to a few exact colours.
    img = [[None] * 32 for _ in range(32)]
    black, white, red = (0, 0, 0), (255, 255, 255), (208, 0, 0)

    def put(x, y, c):
        if 0 <= x < 32 and 0 <= y < 32:
            img[y][x] = c
    # the arrow, tip at (0, 0)
    arrow = polygon([(0, 0), (0, 16), (4, 12.5), (7, 19), (9.5, 18), (6.6, 11.6), (11.5, 11.5)])
    for y in range(32):
        for x in range(32):
            if arrow(x + 0.5, y + 0.5):
                put(x, y, white)
    for y in range(32):
        for x in range(32):
            if img[y][x] is white and any(
                    not (0 <= x + dx < 32 and 0 <= y + dy < 32) or img[y + dy][x + dx] is None
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                img[y][x] = black
    img[0][0] = black
    # the white disc with a red centre, outlined
    for y in range(32):
        for x in range(32):
            r = math.hypot(x + 0.5 - 24, y + 0.5 - 9)
            if r <= 6.6:
                put(x, y, black if r > 5.6 else (red if r <= 2.6 else white))
    # REC on a white strip so it reads over any background
    x0, y0 = 11, 22
    for y in range(y0 - 1, y0 + 8):
        for x in range(x0 - 1, x0 + 19):
            put(x, y, white)
    for i, ch in enumerate("REC"):
        for dy, row in enumerate(FONT[ch]):
            for dx, bit in enumerate(row):
                if bit == "#":
                    put(x0 + i * 6 + dx, y0 + dy, red)
    for x in range(x0 - 2, x0 + 19):
        put(x, y0 - 2, black)
        put(x, y0 + 8, black)
    for y in range(y0 - 2, y0 + 9):
        put(x0 - 2, y, black)
        put(x0 + 19, y, black)
    n = write_xpm("rec-cursor.xpm", "rec_cursor_xpm", img)
    assert n <= 15, n


if __name__ == "__main__":
    toolbar()
    icon()
    cursor()
