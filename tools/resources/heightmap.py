#!/usr/bin/env python3
"""Makes the built-in height map: soft multi-octave clouds, 320 x 240, as a 24-bit BMP.

The map drives the bump lighting, which turns each height step between neighbours into brightness, so the
clouds must be smooth: the steepest rise between pixels two apart is exactly 10 per byte, enough for the
finest octave to show and far from where the lighting's 16-bit products wrap. Blue is flat (255),
red spans 61..215 and green 46..212, and green follows red within 15 so that the relief is warm, with a
slow drift between the two that tints it. Gradient noise on an unaligned lattice, rotated per octave, keeps
grid lines and repeats out of the picture.

    heightmap.py OUT_DIR [--png DOCS_DIR]
"""

import sys

import imagefiles

WIDTH, HEIGHT = 320, 240
RED_RANGE = (61, 215)
GREEN_RANGE = (46, 212)
MAX_GREEN_OFFSET = 15
MAX_SLOPE = 10

# Sixteen unit gradient directions, written out so that no trigonometry enters the bytes.
GRADIENTS = [
    (1.0, 0.0), (0.92388, 0.38268), (0.70711, 0.70711), (0.38268, 0.92388),
    (0.0, 1.0), (-0.38268, 0.92388), (-0.70711, 0.70711), (-0.92388, 0.38268),
    (-1.0, 0.0), (-0.92388, -0.38268), (-0.70711, -0.70711), (-0.38268, -0.92388),
    (0.0, -1.0), (0.38268, -0.92388), (0.70711, -0.70711), (0.92388, -0.38268),
]


def lattice_hash(ix, iy, seed):
    """A well-mixed 32-bit integer of a lattice point (integer arithmetic only)."""
    h = (ix * 0x27D4EB2D + iy * 0x165667B1 + seed * 0x9E3779B9) & 0xFFFFFFFF
    h ^= h >> 15
    h = (h * 0x85EBCA6B) & 0xFFFFFFFF
    h ^= h >> 13
    h = (h * 0xC2B2AE35) & 0xFFFFFFFF
    return h ^ (h >> 16)


def fade(t):
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0)


def gradient_noise(x, y, seed, cache):
    """Perlin-style gradient noise in about -0.7..0.7, smooth in value and slope.

    cache holds the gradients of the lattice points met so far, for this seed.
    """
    ix, iy = int(x // 1), int(y // 1)
    fx, fy = x - ix, y - iy
    corners = []
    for cx, cy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        point = (ix + cx, iy + cy)
        gradient = cache.get(point)
        if gradient is None:
            gradient = cache[point] = GRADIENTS[lattice_hash(point[0], point[1], seed) & 15]
        corners.append(gradient[0] * (fx - cx) + gradient[1] * (fy - cy))
    u, v = fade(fx), fade(fy)
    top = corners[0] + u * (corners[1] - corners[0])
    bottom = corners[2] + u * (corners[3] - corners[2])
    return top + v * (bottom - top)


# Each octave: (cells per pixel, amplitude, rotation as a 3-4-5 or 5-12-13 pair, offset, seed).
CLOUD_OCTAVES = [
    (1.0 / 180.0, 1.0, (0.8, 0.6), (17.31, 3.77), 11),
    (1.0 / 72.0, 0.52, (0.6, -0.8), (5.19, 41.03), 23),
    (1.0 / 35.0, 0.27, (0.38462, 0.92308), (29.71, 13.29), 37),
    (1.0 / 17.0, 0.13, (-0.92308, 0.38462), (7.13, 61.87), 41),
    (1.0 / 8.5, 0.07, (0.8, -0.6), (43.37, 19.91), 53),
]
TINT_OCTAVES = [
    (1.0 / 110.0, 1.0, (0.6, 0.8), (3.11, 7.53), 71),
    (1.0 / 55.0, 0.45, (-0.8, 0.6), (11.93, 2.27), 83),
]


def fbm(octaves, x, y, caches):
    total = 0.0
    for (scale, amplitude, (c, s), (ox, oy), seed), cache in zip(octaves, caches):
        u = (c * x - s * y) * scale + ox
        v = (s * x + c * y) * scale + oy
        total += amplitude * gradient_noise(u, v, seed, cache)
    return total


def fbm_field(octaves):
    caches = [{} for _ in octaves]
    return [fbm(octaves, x, y, caches) for y in range(HEIGHT) for x in range(WIDTH)]


def normalised(field):
    low, high = min(field), max(field)
    return [(value - low) / (high - low) for value in field]


def quantised(field, low, high):
    return [low + int(value * (high - low) + 0.5) for value in field]


def make_channels():
    cloud = normalised(fbm_field(CLOUD_OCTAVES))
    tint = normalised(fbm_field(TINT_OCTAVES))
    # A gentle lift of the mid-tones gives the clouds fuller bodies and softer gaps.
    cloud = normalised([c * (1.6 - 0.6 * c) for c in cloud])
    red = quantised(cloud, *RED_RANGE)
    green = []
    for r, c, t in zip(red, cloud, tint):
        # Green shares red's clouds on its own scale; the tint moves it by up to 6 in the mid-tones and
        # fades out at both ends, so both extremes stay where the clouds put them.
        t = 2.0 * t - 1.0
        drift = c * (1.0 - c) * (24.0 * t if t > 0.0 else 12.0 * t)
        g = GREEN_RANGE[0] + int(c * (GREEN_RANGE[1] - GREEN_RANGE[0]) + drift + 0.5)
        green.append(min(max(g, r - MAX_GREEN_OFFSET), r + MAX_GREEN_OFFSET))
    return red, green


def steepest_slope(channel):
    steepest = 0
    for y in range(HEIGHT):
        row = y * WIDTH
        for x in range(1, WIDTH - 1):
            steepest = max(steepest, abs(channel[row + x + 1] - channel[row + x - 1]))
    for y in range(1, HEIGHT - 1):
        for x in range(WIDTH):
            steepest = max(steepest, abs(channel[(y + 1) * WIDTH + x] - channel[(y - 1) * WIDTH + x]))
    return steepest


def check(red, green):
    assert (min(red), max(red)) == RED_RANGE, (min(red), max(red))
    assert (min(green), max(green)) == GREEN_RANGE, (min(green), max(green))
    offset = max(abs(r - g) for r, g in zip(red, green))
    assert offset <= MAX_GREEN_OFFSET, offset
    slopes = steepest_slope(red), steepest_slope(green)
    assert max(slopes) == MAX_SLOPE, slopes
    return offset, slopes


def main(argv):
    out_dir = argv[1]
    red, green = make_channels()
    offset, slopes = check(red, green)

    def pixel(x, y):
        return red[y * WIDTH + x], green[y * WIDTH + x], 255

    imagefiles.write(f"{out_dir}/heightmap.bmp", imagefiles.bmp24(WIDTH, HEIGHT, pixel))
    if "--png" in argv:
        docs = argv[argv.index("--png") + 1]
        imagefiles.write(f"{docs}/heightmap.png", imagefiles.png(WIDTH, HEIGHT, pixel))
        print(f"heightmap: red-green offset <= {offset}, steepest slopes red {slopes[0]}, green {slopes[1]}")


if __name__ == "__main__":
    main(sys.argv)
