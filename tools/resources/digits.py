#!/usr/bin/env python3
"""Makes the frame-rate counter's digit pictures "0_BMP" .. "9_BMP": grey anti-aliased glyphs on black.

Every digit is 18 rows high and as wide as its advance (12, 10, 12, 12, 14, 13, 13, 11, 13, 13 pixels), the
glyph drawn with a little space on either side so that neighbours never touch. The glyphs are stroked
paths of one pen width over one shared frame of heights (cap line, middle, baseline), which makes them
read as one set; the pen's coverage of each pixel gives its grey, so at 1x the strokes stay solid and
their edges soft. Values are red = green = blue, 0 where nothing is drawn.

    digits.py OUT_DIR [--png DOCS_DIR]
"""

import sys

import imagefiles

HEIGHT = 18
WIDTHS = [12, 10, 12, 12, 14, 13, 13, 11, 13, 13]
TOP, BOTTOM = 2.6, 15.4  # the pen's centre on the cap line and the baseline
MIDDLE = (TOP + BOTTOM) / 2
PEN = 1.08  # half the stroke width
SUBSAMPLES = 4  # per pixel and axis


def arc(cx, cy, rx, ry, start, end, steps=24):
    """Points of an elliptical arc from angle start to end (turns, 0 = right, 0.25 = down).

    The circle comes from a rational parametrisation of quarter turns, so no trigonometry enters the
    bytes: every platform's arithmetic gives the same points.
    """
    points = []
    for i in range(steps + 1):
        turn = start + (end - start) * i / steps
        quarter = int(turn * 4 // 1)
        t = turn * 4 - quarter
        # Within a quarter, map t to the tangent of half the angle (a close fit of uniform speed).
        k = 0.41421356 * t * (1.0 + 0.1 * (1.0 - t) * t)
        c, s = (1.0 - k * k) / (1.0 + k * k), 2.0 * k / (1.0 + k * k)
        for _ in range(quarter % 4):
            c, s = -s, c
        points.append((cx + rx * c, cy + ry * s))
    return points


def glyph_paths(digit, width):
    """The pen paths of a digit as lists of points, for a picture width pixels wide."""
    left, right = 2.1, width - 2.1
    mid = (left + right) / 2
    half = (right - left) / 2
    upper = (MIDDLE - TOP) / 2  # radius of a bowl that fills the upper half
    lower = (BOTTOM - MIDDLE) / 2
    if digit == 0:
        return [arc(mid, MIDDLE, half, (BOTTOM - TOP) / 2, 0.0, 1.0, 48)]
    if digit == 1:
        stem = mid + 0.5
        return [[(stem - 3.0, TOP + 2.2), (stem, TOP), (stem, BOTTOM)], [(mid - 2.7, BOTTOM), (mid + 2.8, BOTTOM)]]
    if digit == 2:
        top_bowl = arc(mid, TOP + upper * 1.15, half, upper * 1.15, 0.55, 1.04)
        return [top_bowl + [(left, BOTTOM), (right, BOTTOM)]]
    if digit == 3:
        return [arc(mid - 0.2, TOP + upper, half - 0.2, upper, 0.6, 1.25),
                arc(mid - 0.2, BOTTOM - lower, half + 0.2, lower, 0.75, 1.4)]
    if digit == 4:
        stem = right - 2.4
        return [[(stem, BOTTOM), (stem, TOP), (left, BOTTOM - 4.3), (right, BOTTOM - 4.3)]]
    if digit == 5:
        bowl = arc(mid - 0.3, BOTTOM - lower * 1.1, half + 0.3, lower * 1.1, 0.62, 1.33)
        return [[(right - 0.2, TOP), (left + 0.6, TOP), (left + 0.2, MIDDLE - 0.4)] + bowl[1:]]
    if digit == 6:
        return [arc(mid, BOTTOM - lower * 1.15, half, lower * 1.15, 0.0, 1.0, 36),
                [(right - 0.8, TOP + 0.3)] + arc(mid + 1.2, MIDDLE + 1.0, half + 1.2, MIDDLE + 1.0 - TOP, 0.7, 0.5)]
    if digit == 7:
        return [[(left, TOP), (right, TOP), (mid - 0.6, BOTTOM)]]
    if digit == 8:
        return [arc(mid, TOP + upper * 0.95, half - 0.7, upper * 0.95, 0.0, 1.0, 36),
                arc(mid, BOTTOM - lower * 1.05, half, lower * 1.05, 0.0, 1.0, 36)]
    # 9: the 6 turned half a turn about the picture's centre.
    return [[(width - x, HEIGHT - y) for x, y in path] for path in glyph_paths(6, width)]


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0.0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    ex, ey = ax + t * dx - px, ay + t * dy - py
    return (ex * ex + ey * ey) ** 0.5


def render(digit):
    width = WIDTHS[digit]
    segments = []
    for path in glyph_paths(digit, width):
        segments += [(a[0], a[1], b[0], b[1]) for a, b in zip(path, path[1:])]
    grey = []
    for y in range(HEIGHT):
        for x in range(width):
            inside = 0
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    px = x + (sx + 0.5) / SUBSAMPLES
                    py = y + (sy + 0.5) / SUBSAMPLES
                    if min(distance_to_segment(px, py, *s) for s in segments) <= PEN:
                        inside += 1
            grey.append((255 * inside + SUBSAMPLES * SUBSAMPLES // 2) // (SUBSAMPLES * SUBSAMPLES))
    return width, grey


def main(argv):
    out_dir = argv[1]
    glyphs = [render(d) for d in range(10)]
    for digit, (width, grey) in enumerate(glyphs):
        # Full strength in the strokes, and a black first and last column so that neighbours never touch.
        assert max(grey) == 255, digit
        assert all(grey[y * width] == 0 == grey[y * width + width - 1] for y in range(HEIGHT)), digit

        def pixel(x, y, width=width, grey=grey):
            value = grey[y * width + x]
            return value, value, value

        imagefiles.write(f"{out_dir}/digit{digit}.bmp", imagefiles.bmp24(width, HEIGHT, pixel))
    if "--png" in argv:
        # The set as the counter shows it, "0123456789", at 1x above and 4x below, on a dark ground.
        docs = argv[argv.index("--png") + 1]
        strip, offsets = [], []
        for width, grey in glyphs:
            offsets.append(sum(w for w, _ in glyphs[: len(offsets)]))
        total = sum(w for w, _ in glyphs)
        scale = 4

        def sample(x, y):
            for (width, grey), offset in zip(glyphs, offsets):
                if offset <= x < offset + width:
                    return grey[y * width + (x - offset)]
            return 0

        def pixel(x, y):
            if y < HEIGHT + 4:
                v = sample(x - 4, y - 2) if 4 <= x < 4 + total and 2 <= y < 2 + HEIGHT else 0
            else:
                y -= HEIGHT + 4
                v = sample(x // scale, y // scale) if x < total * scale and y < HEIGHT * scale else 0
            v = max(v, 24)
            return v, v, v

        imagefiles.write(f"{docs}/digits.png", imagefiles.png(total * scale, HEIGHT * (scale + 1) + 4, pixel))


if __name__ == "__main__":
    main(sys.argv)
