#!/usr/bin/env python3
"""Draws the program's 32 x 32, 16-colour movie-camera icon as camera.png and camera.ico."""
import struct
import zlib

# The standard 16-colour palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK, LIGHT, WHITE, CLEAR = 0, 8, 7, 15, None
SIZE = 32


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def disc(cx, cy, r, outline, fill):
        for y in range(SIZE):
            for x in range(SIZE):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if d <= r * r:
                    px[y][x] = outline if d > (r - 1.2) ** 2 else fill

    def rect(x0, y0, x1, y1, outline, fill):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                px[y][x] = outline if edge else fill

    # Two film reels on top, with hubs and spokes.
    for cx in (8.5, 19.5):
        disc(cx, 7.5, 6.2, BLACK, DARK)
        disc(cx, 7.5, 2.0, BLACK, LIGHT)
        for dx, dy in ((0, -4), (0, 4), (-4, 0), (4, 0)):
            px[int(7.5 + dy)][int(cx + dx)] = LIGHT
    # Body.
    rect(3, 14, 24, 26, BLACK, DARK)
    for x in range(4, 24):
        px[15][x] = LIGHT
    for y in range(15, 26):
        px[y][4] = LIGHT
    # Lens hood, widening to the right.
    for i, x in enumerate(range(25, 31)):
        top, bottom = 18 - i // 2, 22 + i // 2
        for y in range(top, bottom + 1):
            px[y][x] = BLACK if y in (top, bottom) or x == 30 else LIGHT
    # Tripod stub and a white highlight on the body.
    rect(11, 27, 16, 29, BLACK, DARK)
    for x in (7, 8, 9):
        px[19][x] = WHITE
    px[20][8] = WHITE
    return px


def png(px):
    raw = b""
    for row in px:
        raw += b"\x00" + bytes(
            [c for i in row for c in ((*PALETTE[i], 255) if i is not None else (0, 0, 0, 0))])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    head = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(px):
    # A 4-bit bitmap with its palette, bottom-up, plus the 1-bit transparency mask.
    xor = b""
    mask = b""
    for row in reversed(px):
        idx = [i if i is not None else 0 for i in row]
        xor += bytes((idx[x] << 4) | idx[x + 1] for x in range(0, SIZE, 2))
        bits = 0
        for x, i in enumerate(row):
            if i is None:
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + xor + mask
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22) + image)


if __name__ == "__main__":
    art = draw()
    with open("camera.png", "wb") as f:
        f.write(png(art))
    with open("camera.ico", "wb") as f:
        f.write(ico(art))
