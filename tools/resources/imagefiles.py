"""Writers for the pictures the generators make: 24-bit BMPs for the program, PNGs for the documents.

Only the standard library, and only exact operations, so every Python 3 gives the same bytes.
"""

import struct
import zlib


def bmp24(width, height, pixel):
    """Bytes of an uncompressed 24-bit BMP with a 40-byte information header and rows from offset 54.

    pixel(x, y) gives (red, green, blue) with row 0 at the top; the rows are stored bottom-up and each is
    padded to a multiple of four bytes. The file itself ends on a whole 32-bit word, as the program's
    pictures always have (the 320 x 240 height map is 230,456 bytes); readers ignore the tail.
    """
    row_length = (width * 3 + 3) & ~3
    image_size = row_length * height
    tail = -(54 + image_size) % 4
    header = struct.pack("<2sIHHI", b"BM", 54 + image_size + tail, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            red, green, blue = pixel(x, y)
            row += bytes((blue, green, red))
        row += bytes(row_length - len(row))
        rows.append(bytes(row))
    return header + info + b"".join(rows) + bytes(tail)


def png(width, height, pixel, alpha=False):
    """Bytes of an 8-bit PNG; pixel(x, y) gives (red, green, blue), or (red, green, blue, alpha) with
    alpha, row 0 at the top."""

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter type: none
        for x in range(width):
            raw += bytes(pixel(x, y))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)
