#!/usr/bin/env python3
"""Draws the program's movie-camera icon.

camera.png holds the program's own 32 x 32, 16-colour picture, set pixel by pixel.
camera.svg and camera-<size>.png hold the same camera for the desktop's icon theme, which wants
it from 16 to 256 pixels: as shapes on the same 32-unit grid, and at 16 pixels set by hand again.
camera.ico holds it for Windows at the sizes that its scalings ask for, 16 to 256 pixels: the
two pictures set by hand at 16 and 32, the others rendered from the shapes.
"""
import math
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


def rgba(px):
    return [[(*PALETTE[i], 255) if i is not None else (0, 0, 0, 0) for i in row] for row in px]


def png(rows):
    raw = b""
    for row in rows:
        raw += b"\x00" + bytes(c for pixel in row for c in pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico_palette_image(px):
    """A picture set by hand, as a 4-bit bitmap with its palette, bottom-up, plus the 1-bit
    transparency mask."""
    size = len(px)
    xor = b""
    mask = b""
    for row in reversed(px):
        idx = [i if i is not None else 0 for i in row]
        xor += bytes((idx[x] << 4) | idx[x + 1] for x in range(0, size, 2)).ljust(
            (size // 2 + 3) // 4 * 4, b"\0")
        mask += and_mask_row([i is None for i in row])
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return size, 16, 4, header + palette + xor + mask


def and_mask_row(clear):
    bits = bytearray((len(clear) + 31) // 32 * 4)
    for x, transparent in enumerate(clear):
        if transparent:
            bits[x // 8] |= 0x80 >> (x % 8)
    return bytes(bits)


def ico_rgba_image(rows):
    """A rendered picture: 32-bit with its alpha, bottom-up, plus the mask; PNG at 256."""
    size = len(rows)
    if size >= 256:
        return size, 0, 32, png(rows)
    xor = b"".join(bytes(c for r, g, b, a in row for c in (b, g, r, a)) for row in reversed(rows))
    mask = b"".join(and_mask_row([a == 0 for *_, a in row]) for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return size, 0, 32, header + xor + mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(data),
                           offset)
        offset += len(data)
    return out + b"".join(data for *_, data in images)


# Each outlined part is a black shape with its fill inset by the outline's width on top, so the
# picture needs nothing but filled circles and convex polygons, in SVG and in our renderer alike.


def box(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def inset(poly, w):
    """The convex polygon `poly`, clockwise on screen, moved inwards by `w` on every side."""
    edges = []
    for (ax, ay), (bx, by) in zip(poly, poly[1:] + poly[:1]):
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy)
        edges.append((ax - dy / length * w, ay + dx / length * w, dx, dy))
    corners = []
    for (ax, ay, adx, ady), (bx, by, bdx, bdy) in zip(edges[-1:] + edges[:-1], edges):
        s = ((bx - ax) * bdy - (by - ay) * bdx) / (adx * bdy - ady * bdx)
        corners.append((ax + adx * s, ay + ady * s))
    return corners


def shapes(w):
    """The camera on the 32 x 32 grid in painting order, its outlines `w` units wide."""
    black, dark, light, white = (PALETTE[i] for i in (BLACK, DARK, LIGHT, WHITE))
    out = []
    for cx in (9.0, 20.0):
        out += [("circle", (cx, 8.0, 6.5), black), ("circle", (cx, 8.0, 6.5 - w), dark)]
        if w <= 1:
            # The holes between the spokes are lost below 32 pixels.
            for dx, dy in ((0, -4), (0, 4), (-4, 0), (4, 0)):
                out.append(("circle", (cx + dx, 8.0 + dy, 0.9), light))
        out += [("circle", (cx, 8.0, 1.2 + w), black), ("circle", (cx, 8.0, 1.2), light)]
    out += [("polygon", box(3, 14, 25, 27), black),
            ("polygon", box(3 + w, 14 + w, 25 - w, 27 - w), light),
            ("polygon", box(3 + 2 * w, 14 + 2 * w, 25 - w, 27 - w), dark)]
    # The hood starts under the body's outline so that the two join without a seam.
    hood = [(25 - w, 18), (31, 15.5), (31, 25.5), (25 - w, 23)]
    out += [("polygon", hood, black), ("polygon", inset(hood, w), light)]
    foot = box(11, 27, 17, 30)
    out += [("polygon", foot, black), ("polygon", inset(foot, w), dark)]
    out += [("polygon", box(7, 19, 10, 20), white), ("polygon", box(8, 20, 9, 21), white)]
    return out


def svg(parts):
    def number(v):
        return f"{v:.3f}".rstrip("0").rstrip(".")

    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">']
    for kind, geometry, (r, g, b) in parts:
        fill = f"#{r:02x}{g:02x}{b:02x}"
        if kind == "circle":
            cx, cy, radius = (number(v) for v in geometry)
            lines.append(f'  <circle cx="{cx}" cy="{cy}" r="{radius}" fill="{fill}"/>')
        else:
            points = " ".join(f"{number(x)},{number(y)}" for x, y in geometry)
            lines.append(f'  <polygon points="{points}" fill="{fill}"/>')
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def render(parts, size, samples=4):
    """Paints `parts` at `size` x `size` pixels, averaging samples x samples points a pixel."""
    n = size * samples
    scale = n / SIZE
    canvas = [[None] * n for _ in range(n)]
    for kind, geometry, colour in parts:
        if kind == "circle":
            cx, cy, r = (v * scale for v in geometry)
            x0, x1, y0, y1 = cx - r, cx + r, cy - r, cy + r

            def inside(x, y, cx=cx, cy=cy, r=r):
                return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        else:
            poly = [(x * scale, y * scale) for x, y in geometry]
            xs, ys = [x for x, _ in poly], [y for _, y in poly]
            x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
            edges = list(zip(poly, poly[1:] + poly[:1]))

            def inside(x, y, edges=edges):
                return all((bx - ax) * (y - ay) - (by - ay) * (x - ax) >= 0
                           for (ax, ay), (bx, by) in edges)
        for sy in range(max(0, int(y0)), min(n, int(y1) + 1)):
            row = canvas[sy]
            for sx in range(max(0, int(x0)), min(n, int(x1) + 1)):
                if inside(sx + 0.5, sy + 0.5):
                    row[sx] = colour
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = [canvas[y * samples + j][x * samples + i]
                    for j in range(samples) for i in range(samples)]
            hits = [c for c in hits if c is not None]
            if not hits:
                row.append((0, 0, 0, 0))
                continue
            colour = tuple(round(sum(c[k] for c in hits) / len(hits)) for k in range(3))
            row.append((*colour, round(255 * len(hits) / samples ** 2)))
        rows.append(row)
    return rows


# At 16 pixels the shapes blur into each other: the camera is set pixel by pixel there as well.
SMALL = """
..KKK...KKK.....
.KDDDK.KDDDK....
.KDLDK.KDLDK....
.KDDDK.KDDDK....
..KKK...KKK.....
KKKKKKKKKKKK....
KLLLLLLLLLLK...K
KLDDDDDDDDDK..KK
KLDWWWDDDDDKKLLK
KLDDWDDDDDDKLLLK
KLDDDDDDDDDKKLLK
KLDDDDDDDDDK..KK
KKKKKKKKKKKK...K
....KDDK........
....KKKK........
................
"""


def draw_small():
    codes = {".": CLEAR, "K": BLACK, "D": DARK, "L": LIGHT, "W": WHITE}
    return [[codes[c] for c in line] for line in SMALL.split()]


# 16 and 32 pixels are the pictures set by hand; these sizes are rendered from the shapes.
RENDERED_SIZES = (24, 48, 64, 128, 256)
# Windows asks for these at 100 % to 200 %, and 256 for its largest views.
WINDOWS_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def rendered(size):
    # Outlines stay at least a pixel wide however small the icon.
    return render(shapes(max(1, SIZE / size)), size)


if __name__ == "__main__":
    art = draw()
    small = draw_small()
    with open("camera.png", "wb") as f:
        f.write(png(rgba(art)))
    by_hand = {16: ico_palette_image(small), 32: ico_palette_image(art)}
    with open("camera.ico", "wb") as f:
        f.write(ico([by_hand.get(size) or ico_rgba_image(rendered(size))
                     for size in WINDOWS_SIZES]))
    with open("camera-16.png", "wb") as f:
        f.write(png(rgba(small)))
    with open("camera.svg", "w") as f:
        f.write(svg(shapes(1)))
    for size in RENDERED_SIZES:
        with open(f"camera-{size}.png", "wb") as f:
            f.write(png(rendered(size)))
