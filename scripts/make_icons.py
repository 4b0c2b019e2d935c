#!/usr/bin/env python3
"""Draws the icons of ZELO.exe and writes them as .ico files.

Every icon holds a 16 x 16 and a 32 x 32 image, 32 bits per pixel with an
alpha channel and an AND mask (the mask serves the 8-bit image list of the
tree and the list, which ignores alpha). The pictures are made of a few
filled shapes, drawn on a 32-unit square and sampled 4 x 4 per pixel, so
their edges are smooth at both sizes; shapes that the 16-pixel image must
keep sharp sit on even unit coordinates.

Standard library only. The generated files are committed, so the build
does not run this script:
    python3 scripts/make_icons.py [OUTPUT_DIR]      (default resources/icons)
"""
import os
import struct
import sys

UNITS = 32          # drawing coordinates run from 0 to 32 on both axes
SUPERSAMPLE = 4     # samples per pixel along each axis


def rgb(value, alpha=255):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255, alpha)


def shade(color, factor):
    """The colour made darker (factor < 1) or lighter (factor > 1)."""
    r, g, b, a = color
    if factor < 1:
        return (int(r * factor), int(g * factor), int(b * factor), a)
    f = factor - 1
    return (int(r + (255 - r) * f), int(g + (255 - g) * f), int(b + (255 - b) * f), a)


CLEAR = (0, 0, 0, 0)
WHITE = rgb(0xFFFFFF)
BLACK = rgb(0x000000)
OUTLINE = rgb(0x303030)
SOCKET = rgb(0x202428)
LED_GREEN = rgb(0x3CE650)


class Canvas:
    """A square of samples; shapes overwrite the samples they cover."""

    def __init__(self, pixels):
        self.pixels = pixels
        self.n = pixels * SUPERSAMPLE
        self.scale = self.n / UNITS
        self.samples = [CLEAR] * (self.n * self.n)

    def _fill(self, inside, box, color):
        x0, y0, x1, y1 = box
        i0 = max(0, int(x0 * self.scale))
        i1 = min(self.n, int(x1 * self.scale) + 1)
        j0 = max(0, int(y0 * self.scale))
        j1 = min(self.n, int(y1 * self.scale) + 1)
        for j in range(j0, j1):
            y = (j + 0.5) / self.scale
            row = j * self.n
            for i in range(i0, i1):
                x = (i + 0.5) / self.scale
                if inside(x, y):
                    self.samples[row + i] = color

    def rect(self, x0, y0, x1, y1, color):
        self._fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1), color)

    def rrect(self, x0, y0, x1, y1, r, color):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self._fill(inside, (x0, y0, x1, y1), color)

    def ellipse(self, cx, cy, rx, ry, color):
        self._fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1,
                   (cx - rx, cy - ry, cx + rx, cy + ry), color)

    def polygon(self, points, color):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]

        def inside(x, y):
            hit = False
            k = len(points) - 1
            for m in range(len(points)):
                (xa, ya), (xb, yb) = points[m], points[k]
                if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                    hit = not hit
                k = m
            return hit
        self._fill(inside, (min(xs), min(ys), max(xs), max(ys)), color)

    def line(self, xa, ya, xb, yb, width, color):
        """A stroke with round ends."""
        dx, dy = xb - xa, yb - ya
        length2 = dx * dx + dy * dy or 1e-9
        r = width / 2

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            px, py = xa + t * dx, ya + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= r * r
        self._fill(inside, (min(xa, xb) - r, min(ya, yb) - r, max(xa, xb) + r, max(ya, yb) + r),
                   color)

    def text(self, x, y, chars, dot, color):
        """Characters of the 3 x 5 font below; dot is the size of one font pixel."""
        for ch in chars:
            rows = FONT[ch]
            for row, bits in enumerate(rows):
                for col in range(3):
                    if bits[col] == '#':
                        self.rect(x + col * dot, y + row * dot,
                                  x + (col + 1) * dot, y + (row + 1) * dot, color)
            x += 4 * dot

    def pixels_rgba(self):
        """Averages the samples into pixels (premultiplied, then straight alpha)."""
        out = []
        s = SUPERSAMPLE
        count = s * s
        for py in range(self.pixels):
            for px in range(self.pixels):
                r = g = b = a = 0
                for j in range(py * s, py * s + s):
                    row = j * self.n
                    for i in range(px * s, px * s + s):
                        cr, cg, cb, ca = self.samples[row + i]
                        r += cr * ca
                        g += cg * ca
                        b += cb * ca
                        a += ca
                if a == 0:
                    out.append(CLEAR)
                else:
                    out.append((round(r / a), round(g / a), round(b / a), round(a / count)))
        return out


# A 3 x 5 pixel font for the model marks.
FONT = {
    '1': [".#.", "##.", ".#.", ".#.", "###"],
    '2': ["##.", "..#", ".#.", "#..", "###"],
    '6': [".##", "#..", "###", "#.#", "###"],
    '7': ["###", "..#", ".#.", ".#.", ".#."],
    '8': ["###", "#.#", "###", "#.#", "###"],
    'Q': [".#.", "#.#", "#.#", "##.", ".##"],
}


# ---------------------------------------------------------------- pictures


def draw_program(c, small):
    """The program: a power plug on a blue tile."""
    blue = rgb(0x1E5AA8)
    c.rrect(0, 0, 32, 32, 6, shade(blue, 0.7))
    c.rrect(2, 2, 30, 30, 5, blue)
    # cord from the bottom into the plug body
    c.rect(14, 22, 18, 32 if small else 30, WHITE)
    # prongs
    c.rect(10, 4, 14, 12, rgb(0xE8E8E8))
    c.rect(18, 4, 22, 12, rgb(0xE8E8E8))
    # body
    c.rrect(6, 10, 26, 24, 4, WHITE)
    # lightning bolt on the body
    c.polygon([(17, 11), (11, 18), (15, 18), (13, 23), (21, 15), (17, 15), (19, 11)],
              rgb(0xF0B000))


def draw_group(c, small):
    """A group: a folder."""
    back = rgb(0xD9A21B)
    front = rgb(0xF6C945)
    c.rrect(2, 6, 14, 12, 2, shade(back, 0.8))
    c.rrect(2, 8, 30, 27, 2, shade(back, 0.8))
    c.rect(3, 9, 29, 26, back)
    c.polygon([(2, 27), (5, 13), (32, 13), (29, 27)], shade(front, 0.75))
    c.polygon([(3, 26), (6, 14), (30.5, 14), (28, 26)], front)


def draw_device(mark, color):
    """A device model: a power strip in the model's colour with its mark."""
    def draw(c, small):
        if small:
            c.rrect(0, 8, 32, 24, 2, shade(color, 0.55))
            c.rect(2, 10, 30, 22, color)
            # mark in a 1-pixel font: 3 x 5 pixels per character
            width = (4 * len(mark) - 1) * 2
            c.text(2 + (14 - width) // 4 * 2, 12, mark, 2, WHITE)
            # two sockets
            c.rect(18, 12, 22, 20, SOCKET)
            c.rect(24, 12, 28, 20, SOCKET)
        else:
            c.rrect(0, 5, 32, 27, 3, shade(color, 0.55))
            c.rrect(1, 6, 31, 26, 2, color)
            c.rect(1, 6, 31, 9, shade(color, 1.35))       # light top edge
            # label plate with the mark
            width = (4 * len(mark) - 1) * 2
            c.rrect(3, 10, 3 + width + 4, 22, 1, shade(color, 0.6))
            c.text(5, 11, mark, 2, WHITE)
            # sockets with their two slots each
            x = 3 + width + 6
            while x + 6 <= 30:
                c.rect(x, 12, x + 5, 20, SOCKET)
                c.rect(x + 1, 14, x + 2, 18, shade(color, 1.2))
                c.rect(x + 3, 14, x + 4, 18, shade(color, 1.2))
                x += 6
            # power lamp
            c.ellipse(28.5, 23.5, 1.5, 1.5, LED_GREEN)
    return draw


def draw_schedule(c, small):
    """Schedules: a calendar sheet."""
    c.rrect(2, 4, 30, 30, 2, OUTLINE)
    c.rect(3, 5, 29, 29, WHITE)
    c.rect(3, 5, 29, 12, rgb(0xC83232))                 # red header
    c.rect(8, 2, 10, 8, OUTLINE)                        # binding rings
    c.rect(22, 2, 24, 8, OUTLINE)
    if small:
        for y in (16, 22):
            for x in (6, 12, 18, 24):
                c.rect(x, y, x + 4, y + 4, rgb(0x707070))
        c.rect(18, 22, 22, 26, rgb(0xC83232))
    else:
        for y in (14, 19, 24):
            for x in (5, 10, 15, 20, 25):
                c.rect(x, y, x + 3, y + 3, rgb(0x707070))
        c.rect(20, 19, 23, 22, rgb(0xC83232))           # the marked day


def draw_clock(c, small):
    """The device clock: a clock face."""
    c.ellipse(16, 16, 15, 15, OUTLINE)
    c.ellipse(16, 16, 12.5, 12.5, WHITE)
    if not small:
        for x, y in ((16, 5.5), (26.5, 16), (16, 26.5), (5.5, 16)):
            c.ellipse(x, y, 1.3, 1.3, OUTLINE)
    c.line(16, 16, 16, 7, 3 if small else 2.2, OUTLINE)         # minute hand at 12
    c.line(16, 16, 22, 19.5, 3 if small else 2.6, OUTLINE)      # hour hand at 4
    c.ellipse(16, 16, 2, 2, rgb(0xC83232))


def draw_serial_port(c, small):
    """A serial (COM) port: the D-shaped connector with its pins."""
    metal = rgb(0x9AA4AE)
    c.polygon([(1, 8), (31, 8), (27, 25), (5, 25)], shade(metal, 0.55))
    c.polygon([(3, 10), (29, 10), (25.5, 23), (6.5, 23)], metal)
    c.polygon([(6, 12), (26, 12), (23.5, 21), (8.5, 21)], rgb(0x2A2E33))
    if small:
        for x in (8, 12, 16, 20):
            c.rect(x + 1, 14, x + 3, 16, rgb(0xE8C04A))
        for x in (10, 14, 18):
            c.rect(x + 1, 18, x + 3, 20, rgb(0xE8C04A))
    else:
        for k in range(5):
            c.ellipse(8.8 + k * 3.6, 14.5, 1.1, 1.1, rgb(0xE8C04A))
        for k in range(4):
            c.ellipse(10.6 + k * 3.6, 18.5, 1.1, 1.1, rgb(0xE8C04A))


def draw_lan_port(c, small):
    """A modular (LAN) jack: square opening with its latch notch and contacts."""
    c.rrect(2, 3, 30, 29, 2, shade(rgb(0x9AA4AE), 0.55))
    c.rect(4, 5, 28, 27, rgb(0x9AA4AE))
    # opening with the latch notch at the bottom
    c.rect(7, 8, 25, 21, rgb(0x2A2E33))
    c.rect(12, 21, 20, 25, rgb(0x2A2E33))
    if small:
        for x in (8, 12, 16, 20):
            c.rect(x + 1, 8, x + 3, 12, rgb(0xE8C04A))
    else:
        for k in range(8):
            c.rect(8.5 + k * 2, 8, 9.5 + k * 2, 12, rgb(0xE8C04A))
    # link lamps
    c.rect(5, 23, 9, 25, LED_GREEN)
    c.rect(23, 23, 27, 25, rgb(0xF0B000))


def draw_sensor_port(c, small):
    """A sensor input (temperature, auxiliary): round jack with a thermometer."""
    c.ellipse(12, 16, 11, 11, shade(rgb(0x9AA4AE), 0.55))
    c.ellipse(12, 16, 9, 9, rgb(0x9AA4AE))
    c.ellipse(12, 16, 4.5, 4.5, rgb(0x2A2E33))
    # thermometer
    c.rrect(22, 2, 30, 26, 4, OUTLINE)
    c.rrect(24, 4, 28, 24, 2, WHITE)
    c.ellipse(26, 26, 5, 5, OUTLINE)
    c.ellipse(26, 26, 3.5, 3.5, rgb(0xD83030))
    c.rect(25, 10, 27, 25, rgb(0xD83030))


def draw_outlet(c, small):
    """An outlet of the device: a wall socket face with two slots and earth."""
    c.rrect(2, 2, 30, 30, 5, shade(rgb(0xF2EEE4), 0.6))
    c.rrect(3, 3, 29, 29, 4, rgb(0xF2EEE4))
    c.rect(9, 8, 12, 18, SOCKET)
    c.rect(20, 8, 23, 18, SOCKET)
    c.ellipse(16, 23, 3, 3, SOCKET)


DEVICE_COLOURS = {
    707: ("72", rgb(0x2A5DB0)),   # HX-7200: blue
    708: ("71", rgb(0x178A8A)),   # HX-7100: teal
    709: ("81", rgb(0x7446A8)),   # JB-81K: purple
    710: ("6", rgb(0x2E8B3A)),    # SWD-6K, SWD-6ZK: green
    734: ("8", rgb(0xB8323A)),    # SWD-8KBN, SWD-12K, GV2208: red
    738: ("7", rgb(0xD9771E)),    # SWD-7KA, SWD-7KB: orange
    739: ("Q", rgb(0x4A5058)),    # SWD-Q6M: graphite
}

ICONS = {
    "zelo705.ico": draw_program,
    "group706.ico": draw_group,
    "schedule727.ico": draw_schedule,
    "com729.ico": draw_serial_port,
    "lan730.ico": draw_lan_port,
    "clock733.ico": draw_clock,
    "sensor735.ico": draw_sensor_port,
    "outlet736.ico": draw_outlet,
}
for _id, (_mark, _colour) in DEVICE_COLOURS.items():
    ICONS["device%d.ico" % _id] = draw_device(_mark, _colour)


# ---------------------------------------------------------------- ICO file


def dib(size, rgba):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    color = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = rgba[y * size + x]
            color += bytes((b, g, r, a))
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(color) + bytes(mask)


def ico(images):
    """images: list of (size, rgba)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, rgba in images:
        blob = dib(size, rgba)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def render(draw, size):
    c = Canvas(size)
    draw(c, size <= 16)
    return c.pixels_rgba()


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "icons")
    os.makedirs(outdir, exist_ok=True)
    for name, draw in sorted(ICONS.items()):
        data = ico([(32, render(draw, 32)), (16, render(draw, 16))])
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
        print(name)


if __name__ == "__main__":
    main()
