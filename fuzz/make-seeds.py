#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora into fuzz/seeds/<target>/: small valid inputs, and the same inputs
truncated, bit-flipped and with huge lengths, so that the fuzzers start from every check of the readers.
The output is committed; run this again after changing it (python3 fuzz/make-seeds.py)."""
import os
import random
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
rng = random.Random(9)


def bmp(width, height, bit_count=24, info=40, planes=1, compression=0, rows=None):
    row_length = width * 3 + (width & 3) if width > 0 else 0
    data = bytearray()
    if rows is None:
        rows = max(height, 0)
    for y in range(rows):
        row = bytearray((x * 37 + y * 11 + c) & 0xFF for x in range(max(width, 0)) for c in range(3))
        row += bytes(row_length - len(row))
        data += row
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    header += struct.pack("<IiiHHIIiiII", info, width, height, planes, bit_count, compression, len(data),
                          2835, 2835, 0, 0)
    return bytes(header + data)


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def track(events):
    body = b"".join(var_len(delta) + data for delta, data in events)
    return b"MTrk" + struct.pack(">I", len(body)) + body


def smf(tracks, fmt=1, division=96, header_size=6):
    header = b"MThd" + struct.pack(">I", header_size) + struct.pack(">HHH", fmt, len(tracks), division)
    header += bytes(header_size - 6) if header_size > 6 else b""
    return header + b"".join(tracks)


END = b"\xff\x2f\x00"


def songs():
    melody = [(0, b"\xff\x51\x03\x07\xa1\x20"), (0, b"\xc0\x05"), (0, b"\x90\x3c\x64"), (48, b"\x3e\x64"),
              (48, b"\x80\x3c\x00"), (0, b"\x3e\x00"), (0, b"\xb0\x07\x64"), (0, b"\xe0\x00\x40"),
              (0, b"\xd0\x20"), (0, b"\xa0\x3c\x10"), (24, END)]
    sysex = [(0, b"\xf0\x05\x7e\x7f\x09\x01\xf7"), (10, b"\xf7\x02\x01\x02"), (0, b"\xff\x01\x03abc"),
             (96, END)]
    yield "format0", smf([track(melody)], fmt=0)
    yield "format1", smf([track(sysex), track(melody), track([(0, b"\x99\x24\x7f"), (200, END)])])
    yield "long-header", smf([track(melody)], header_size=10)
    yield "empty-track", smf([b"MTrk" + struct.pack(">I", 0)])
    yield "no-end", smf([track(melody[:-1])])
    yield "slow-tempo", smf([track([(0, b"\xff\x51\x03\xff\xff\xff"), (0, b"\x90\x40\x40"),
                                    (0x0FFFFFFF, b"\x80\x40\x00"), (0, END)])])
    yield "zero-tempo", smf([track([(0, b"\xff\x51\x03\x00\x00\x00"), (5, b"\x90\x40\x40"), (5, END)])])
    yield "running-no-status", smf([track([(0, b"\x40\x40"), (1, END)])])


def bmps():
    yield "2x2", bmp(2, 2)
    yield "3x1-padded", bmp(3, 1)
    yield "5x4", bmp(5, 4)
    yield "1x1", bmp(1, 1)
    yield "top-down", bmp(2, -2, rows=2)
    yield "zero-width", bmp(0, 3)
    yield "32-bit", bmp(2, 2, bit_count=32)
    yield "rle", bmp(2, 2, compression=1)
    yield "core-header", bmp(2, 2, info=12)
    yield "huge-width", bmp(0x7FFFFFFF, 1, rows=0)
    yield "huge-height", bmp(1, 0x7FFFFFFF, rows=1)
    yield "huge-both", bmp(0x10000, 0x10000, rows=0)
    with open(os.path.join(ROOT, "resources", "digit0.bmp"), "rb") as f:
        yield "digit", f.read()


KEY = "[HKEY_CURRENT_USER\\Software\\quillo\\Lumivorra]"


def settings():
    colors = ",".join("%02x" % rng.randrange(256) for _ in range(64))
    body = ('"Nums"=dword:00000028\n"Color"=dword:00ff6464\n"ShowFPS"=dword:00000001\n'
            '"HeightMapMode"=dword:00000000\n"HeightMapFile"="/home/me/map.bmp"\n"BumpFactor"=dword:00000005\n'
            '"BGMMode"=dword:00000000\n"MusicFile"=sz(256):"/home/me/\\"song\\".mid"\n'
            '"CustomColors"=hex:' + colors[:70] + "\\\n  " + colors[70:] + "\n")
    whole = "Windows Registry Editor Version 5.00\n\n" + KEY + "\n" + body + "\n"
    yield "whole", whole.encode()
    yield "crlf", whole.replace("\n", "\r\n").encode()
    yield "other-key", ("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Other]\n" + body
                        + KEY.lower() + '\n"Nums"=dword:00000001\n').encode()
    yield "types", (KEY + '\n"Nums"=hex(4):28,00,00,00\n"Color"=hex(b):01,02,03,04,05,06,07,08\n'
                    '"MusicFile"=hex(1):41,42,00,43\n"HeightMapFile"=hex(2):2f,00\n"BGMMode"=dword:1\n'
                    '"ShowFPS"=hex:\n').encode()
    yield "long-path", (KEY + '\n"MusicFile"="' + "x" * 400 + '"\n"HeightMapFile"=sz(300):"' + "y" * 290
                        + '"\n').encode()
    yield "huge-size", (KEY + '\n"MusicFile"=sz(999999):"a"\n"HeightMapFile"=sz(65536):"b"\n').encode()
    yield "japanese", (KEY + '\n"MusicFile"="/home/me/音楽/曲.mid"\n').encode()
    yield "empty", b""


def variants(name, data):
    """The input, cut short at a few places, with a few bits flipped, and with lengths made huge."""
    yield name, data
    for cut in sorted({len(data) // 2, max(len(data) - 1, 0), min(len(data), 14), min(len(data), 30)}):
        if cut < len(data):
            yield "%s-cut%d" % (name, cut), data[:cut]
    for n in range(2):
        flipped = bytearray(data)
        for _ in range(3):
            if flipped:
                flipped[rng.randrange(len(flipped))] ^= 1 << rng.randrange(8)
        yield "%s-flip%d" % (name, n), bytes(flipped)


def smf_huge(name, data):
    # Every chunk length in turn made huge.
    i = 0
    n = 0
    while True:
        i = _next_chunk(data, i)
        if i < 0:
            break
        yield "%s-huge%d" % (name, n), data[:i + 4] + b"\xff\xff\xff\xf0" + data[i + 8:]
        n += 1
        i += 4


def _next_chunk(data, start):
    hits = [h for h in (data.find(b"MThd", start), data.find(b"MTrk", start)) if h >= 0]
    return min(hits) if hits else -1


def write(target, items):
    folder = os.path.join(HERE, "seeds", target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in items:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    bmp_items = [v for n, d in bmps() for v in variants(n, d)]
    smf_items = [v for n, d in songs() for v in list(variants(n, d)) + list(smf_huge(n, d))]
    settings_items = [v for n, d in settings() for v in variants(n, d)]
    write("bmp", bmp_items)
    write("smf", smf_items)
    write("settings", settings_items)


if __name__ == "__main__":
    main()
