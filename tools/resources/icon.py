#!/usr/bin/env python3
"""Makes the program's icon for desktop menus: the picture in small, a swarm of glowing balls over a warm
relief lit by a spot light, on a dark rounded square with transparent corners; 128 x 128 RGBA PNG.

Integer arithmetic only, so every Python 3 gives the same bytes.

    icon.py OUT_DIR        writes OUT_DIR/lumivorra.png
"""

import sys

import imagefiles

SIZE = 128
CORNER = 22  # radius of the tile's rounded corners
MARGIN = 4
GLOW = (0xFF, 0x64, 0x64)  # the default ball colour
# (x, y, radius) of each ball, in the swarm's loose oval about the middle, the light on the centre.
BALLS = [(64, 60, 26), (40, 50, 17), (88, 46, 19), (52, 84, 15), (82, 80, 21), (28, 72, 11), (102, 66, 12),
         (66, 34, 10), (70, 102, 9), (18, 44, 7), (110, 96, 8)]
LIGHT = (64, 62)
LIGHT_RADIUS = 78


def inside_tile(x, y):
    """How much of pixel (x, y) the rounded square covers, 0..255, from 4 x 4 samples."""
    covered = 0
    for sy in range(4):
        for sx in range(4):
            px, py = 8 * x + 2 * sx + 1, 8 * y + 2 * sy + 1  # in eighths of a pixel
            lo, hi = 8 * (MARGIN + CORNER), 8 * (SIZE - MARGIN - CORNER)
            cx = lo if px < lo else hi if px > hi else px
            cy = lo if py < lo else hi if py > hi else py
            edge_lo, edge_hi = 8 * MARGIN, 8 * (SIZE - MARGIN)
            if edge_lo <= px < edge_hi and edge_lo <= py < edge_hi and \
                    (px - cx) ** 2 + (py - cy) ** 2 <= (8 * CORNER) ** 2:
                covered += 1
    return covered * 255 // 16


def relief(x, y):
    """A height 0..255 of soft ridges: sums of integer parabolas, one bump per 32-pixel cell."""
    height = 0
    for period, weight, shift in ((40, 3, 0), (26, 2, 9)):
        u = (x + shift * (y // period + 1)) % period - period // 2
        v = (y + shift) % period - period // 2
        half = period // 2
        height += weight * (half * half - u * u) * (half * half - v * v) * 255 // (half ** 4)
    return height // 5


def pixel(x, y):
    alpha = inside_tile(x, y)
    if alpha == 0:
        return (0, 0, 0, 0)
    # The spot light: brightest on the swarm's centre, falling off to the tile's edges; the relief's
    # slope towards the light brightens or darkens it, as the bump lighting does.
    d2 = (x - LIGHT[0]) ** 2 + (y - LIGHT[1]) ** 2
    light = max(0, 256 - d2 * 256 // (LIGHT_RADIUS * LIGHT_RADIUS))
    slope = relief(x + 1, y) - relief(x - 1, y) + relief(x, y + 1) - relief(x, y - 1)
    shade = max(0, min(255, (light * (176 + slope // 2)) // 256))
    red, green, blue = 12 + shade * 200 // 255, 10 + shade * 150 // 255, 16 + shade * 100 // 255
    for bx, by, radius in BALLS:
        b2 = (x - bx) ** 2 + (y - by) ** 2
        if b2 < radius * radius:
            # Quadratic glow: white-hot in the middle, the ball colour towards its rim, added on.
            glow = 256 - b2 * 256 // (radius * radius)
            core = glow * glow // 256
            glow = glow * 3 // 4
            red += GLOW[0] * glow // 256 + (255 - GLOW[0]) * core * core // 65536
            green += GLOW[1] * glow // 256 + (255 - GLOW[1]) * core * core // 65536
            blue += GLOW[2] * glow // 256 + (255 - GLOW[2]) * core * core // 65536
    return (min(red, 255), min(green, 255), min(blue, 255), alpha)


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    imagefiles.write(f"{argv[1]}/lumivorra.png", imagefiles.png(SIZE, SIZE, pixel, alpha=True))


if __name__ == "__main__":
    main(sys.argv)
