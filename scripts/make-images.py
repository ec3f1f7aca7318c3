#!/usr/bin/env python3
"""Makes the pictures and icons of the Velmor setup and uninstall windows.

Writes, relative to the repository root:
  common/res/logo.jpg            150 x 30 baseline JPEG, the product logo
  setup/res/start.gif            32 x 32 GIF89a, setup Start button ("install": arrow into a box)
  uninstall/res/start.gif        32 x 32 GIF89a, uninstall Start button ("remove": arrow out of box)
  setup/res/setup.ico            32 x 32 8 bpp + 16 x 16 32 bpp
  uninstall/res/uninstall.ico    32 x 32 1 bpp + 32 x 32 4 bpp + 16 x 16 4 bpp (window frame)

The button pictures and icons are drawn here in Python (standard library only). The icons
are written byte by byte so that each entry has exactly the bit depth asked for; ImageMagick
(/usr/bin/convert) draws the logo text and packs the GIFs. Every file is checked after it is
written; `--check` only checks the files already present. `--preview DIR` also writes enlarged
PNGs for looking at.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

CONVERT = "/usr/bin/convert"
IDENTIFY = "/usr/bin/identify"
LOGO_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LOGO = "common/res/logo.jpg"
SETUP_GIF = "setup/res/start.gif"
UNINSTALL_GIF = "uninstall/res/start.gif"
SETUP_ICO = "setup/res/setup.ico"
UNINSTALL_ICO = "uninstall/res/uninstall.ico"

# Face colour of a push button; semi-transparent edge pixels of the GIFs are blended onto it because
# GIF transparency is all-or-nothing.
BUTTON_FACE = (240, 240, 240)


def hex_rgb(text):
    return tuple(int(text[i : i + 2], 16) for i in (1, 3, 5))


# --------------------------------------------------------------------------------------------------
# A small anti-aliased rasteriser: a canvas of straight-alpha RGBA pixels, filled with unions of
# polygons sampled on a 4 x 4 grid per pixel.

SUB = 4


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.px = [[(0.0, 0.0, 0.0, 0.0) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, rgb, alpha):
        if alpha <= 0.0:
            return
        r0, g0, b0, a0 = self.px[y][x]
        a = alpha + a0 * (1.0 - alpha)
        mix = [(c * alpha + d * a0 * (1.0 - alpha)) / a for c, d in zip(rgb, (r0, g0, b0))]
        self.px[y][x] = (mix[0], mix[1], mix[2], a)

    def fill(self, polygons, color, scale=1.0):
        """Paints the union of `polygons` (lists of (x, y) in units of `scale` pixels)."""
        rgb = hex_rgb(color) if isinstance(color, str) else color
        polys = [[(x * scale, y * scale) for x, y in p] for p in polygons]
        xs = [x for p in polys for x, _ in p]
        ys = [y for p in polys for _, y in p]
        x_lo, x_hi = max(0, int(min(xs))), min(self.width - 1, int(max(xs)))
        y_lo, y_hi = max(0, int(min(ys))), min(self.height - 1, int(max(ys)))
        for py in range(y_lo, y_hi + 1):
            for px in range(x_lo, x_hi + 1):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        x = px + (sx + 0.5) / SUB
                        y = py + (sy + 0.5) / SUB
                        if any(inside(p, x, y) for p in polys):
                            hits += 1
                self.blend(px, py, rgb, hits / (SUB * SUB))

    def rect(self, x0, y0, x1, y1, color):
        """Fills whole pixels x0..x1, y0..y1 (inclusive)."""
        self.fill([[(x0, y0), (x1 + 1, y0), (x1 + 1, y1 + 1), (x0, y1 + 1)]], color)

    def rgba8(self):
        return [
            [tuple(round(v) for v in p[:3]) + (round(p[3] * 255),) for p in row] for row in self.px
        ]


def inside(poly, x, y):
    """Even-odd point-in-polygon test."""
    result = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def outline(poly, width=1.0):
    """The edges of a closed polygon as one quad per edge, `width` wide and centred on the edge."""
    quads = []
    h = width / 2.0
    for i in range(len(poly)):
        (x0, y0), (x1, y1) = poly[i], poly[(i + 1) % len(poly)]
        length = ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5
        if length == 0:
            continue
        dx, dy = (x1 - x0) / length * h, (y1 - y0) / length * h
        nx, ny = -dy, dx
        quads.append(
            [
                (x0 - dx + nx, y0 - dy + ny),
                (x1 + dx + nx, y1 + dy + ny),
                (x1 + dx - nx, y1 + dy - ny),
                (x0 - dx - nx, y0 - dy - ny),
            ]
        )
    return quads


def shape(canvas, poly, fill, line, scale=1.0, width=1.0):
    canvas.fill([poly], fill, scale)
    canvas.fill(outline(poly, width / scale), line, scale)


# --------------------------------------------------------------------------------------------------
# Drawings. Box-and-arrow coordinates are on a 32-unit grid; edges sit on half units so that 1-pixel
# outlines land on whole pixels at 32 x 32.

BOX_FRONT = "#d9a25f"
BOX_SIDE = "#b9803f"
BOX_INSIDE = "#3b2511"
BOX_LINE = "#5a3a1c"
INSTALL_ARROW = "#2f9e44"
INSTALL_LINE = "#1b5e28"
REMOVE_ARROW = "#d9482b"
REMOVE_LINE = "#7e2212"


def draw_box(c, s=1.0, width=1.0):
    # Open carton in oblique view: front face, right side, dark opening on top.
    front = [(5.5, 18.5), (22.5, 18.5), (22.5, 29.5), (5.5, 29.5)]
    side = [(22.5, 18.5), (27.5, 13.5), (27.5, 24.5), (22.5, 29.5)]
    opening = [(5.5, 18.5), (22.5, 18.5), (27.5, 13.5), (10.5, 13.5)]
    shape(c, opening, BOX_INSIDE, BOX_LINE, s, width)
    shape(c, side, BOX_SIDE, BOX_LINE, s, width)
    shape(c, front, BOX_FRONT, BOX_LINE, s, width)
    # Packing tape across the front.
    c.fill([[(12.5, 19.0), (15.5, 19.0), (15.5, 29.0), (12.5, 29.0)]], "#e9c48f", s)


def arrow(tip_y, tail_y):
    """A vertical arrow centred on x = 16 whose point is at tip_y."""
    d = 1 if tip_y > tail_y else -1
    head = tip_y - d * 8
    return [
        (13.5, tail_y),
        (18.5, tail_y),
        (18.5, head),
        (23.0, head),
        (16.0, tip_y),
        (9.0, head),
        (13.5, head),
    ]


def draw_install(c, s=1.0, width=1.0):
    draw_box(c, s, width)
    shape(c, arrow(22.5, 1.5), INSTALL_ARROW, INSTALL_LINE, s, width)


def draw_remove(c, s=1.0, width=1.0):
    draw_box(c, s, width)
    shape(c, arrow(1.5, 22.5), REMOVE_ARROW, REMOVE_LINE, s, width)


def draw_install16(c):
    # The same picture redrawn on the 16-pixel grid; halving the 32-pixel one blurs every edge.
    shape(c, [(2.5, 9.5), (11.5, 9.5), (14.5, 6.5), (5.5, 6.5)], BOX_INSIDE, BOX_LINE)
    shape(c, [(11.5, 9.5), (14.5, 6.5), (14.5, 11.5), (11.5, 14.5)], BOX_SIDE, BOX_LINE)
    shape(c, [(2.5, 9.5), (11.5, 9.5), (11.5, 14.5), (2.5, 14.5)], BOX_FRONT, BOX_LINE)
    c.rect(6, 10, 7, 14, "#e9c48f")
    head = [(6.5, 0.5), (9.5, 0.5), (9.5, 5.5), (12.5, 5.5), (8.0, 10.0), (3.5, 5.5), (6.5, 5.5)]
    shape(c, head, INSTALL_ARROW, INSTALL_LINE)


# The 16-colour palette every Windows display has; the window-frame icon uses only these colours.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # fmt: skip
BLACK, NAVY, SILVER, GREY, WHITE = "#000000", "#000080", "#c0c0c0", "#808080", "#ffffff"


def draw_window32(c):
    c.rect(2, 4, 31, 29, GREY)  # drop shadow
    c.rect(0, 2, 29, 27, BLACK)  # outline
    c.rect(1, 3, 28, 26, SILVER)  # frame
    c.rect(2, 4, 27, 8, NAVY)  # title bar
    c.rect(3, 5, 12, 7, WHITE)  # caption
    for x in (19, 23):  # caption buttons
        c.rect(x, 5, x + 2, 7, SILVER)
    c.rect(2, 10, 27, 25, GREY)  # client edge
    c.rect(3, 11, 27, 25, WHITE)  # client area
    for y, w in ((14, 16), (17, 20), (20, 12)):
        c.rect(5, y, 5 + w - 1, y, GREY)


def draw_window32_mono(c):
    c.rect(0, 2, 29, 27, BLACK)
    c.rect(1, 9, 28, 26, WHITE)
    c.rect(3, 4, 12, 6, WHITE)  # caption
    for x in (19, 23):
        c.rect(x, 4, x + 2, 6, WHITE)
    for y, w in ((13, 16), (16, 20), (19, 12)):
        for x in range(4, 4 + w, 2):
            c.rect(x, y, x, y, BLACK)
    c.rect(2, 28, 30, 29, BLACK)  # shadow, as solid black in two colours
    c.rect(30, 4, 30, 29, BLACK)


def draw_window16(c):
    c.rect(1, 2, 15, 15, GREY)
    c.rect(0, 1, 14, 14, BLACK)
    c.rect(1, 2, 13, 13, SILVER)
    c.rect(1, 2, 13, 4, NAVY)
    c.rect(2, 3, 6, 3, WHITE)
    c.rect(11, 3, 12, 3, SILVER)
    c.rect(1, 5, 13, 13, WHITE)
    for y, w in ((7, 8), (9, 10), (11, 6)):
        c.rect(3, y, 3 + w - 1, y, GREY)


# --------------------------------------------------------------------------------------------------
# ICO writing.


def mask_rows(pixels, opaque):
    """The AND mask: 1 bit per pixel, 1 = transparent, rows padded to 32 bits, bottom row first."""
    out = bytearray()
    for row in reversed(pixels):
        bits = 0
        line = bytearray()
        for x, p in enumerate(row):
            bits = (bits << 1) | (0 if opaque(p) else 1)
            if x % 8 == 7:
                line.append(bits)
                bits = 0
        if len(row) % 8:
            line.append(bits << (8 - len(row) % 8))
        line.extend(b"\0" * (-len(line) % 4))
        out += line
    return bytes(out)


def bmp_header(w, h, bpp, image_size, colors):
    # Height counts the colour bitmap and the mask, hence 2 * h.
    return struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, image_size, 0, 0, colors, 0)


def palette_entry(pixels, palette, bpp):
    """A palettised icon image; pixels hold palette indices, or None for transparent."""
    h, w = len(pixels), len(pixels[0])
    xor = bytearray()
    per_byte = 8 // bpp
    for row in reversed(pixels):
        line = bytearray()
        for x0 in range(0, w, per_byte):
            byte = 0
            for x in range(x0, x0 + per_byte):
                index = row[x] if x < w and row[x] is not None else 0
                byte = (byte << bpp) | index
            line.append(byte)
        line.extend(b"\0" * (-len(line) % 4))
        xor += line
    mask = mask_rows(pixels, lambda p: p is not None)
    pal = bytearray()
    for i in range(1 << bpp):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        pal += bytes((b, g, r, 0))
    body = bytes(xor) + mask
    return bmp_header(w, h, bpp, len(body), 0) + bytes(pal) + body


def bgra_entry(rgba):
    h, w = len(rgba), len(rgba[0])
    xor = bytearray()
    for row in reversed(rgba):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = mask_rows(rgba, lambda p: p[3] > 0)
    body = bytes(xor) + mask
    return bmp_header(w, h, 32, len(body), 0) + body


def write_ico(path, entries):
    """entries: (width, height, colour count for the directory, bpp, image bytes)."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for w, h, colors, bpp, data in entries:
        out += struct.pack(
            "<BBBBHHII", w % 256, h % 256, colors % 256, 0, 1, bpp, len(data), offset
        )
        offset += len(data)
    for *_, data in entries:
        out += data
    write_bytes(path, bytes(out))


def to_indices(rgba, palette):
    """Maps pixels to the nearest palette colour; pixels under half covered become transparent."""

    def nearest(rgb):
        return min(
            range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(rgb, palette[i]))
        )

    return [[nearest(p[:3]) if p[3] >= 128 else None for p in row] for row in rgba]


def palette_256(rgba):
    """Up to 256 colours for an 8 bpp image: black first (the colour under transparent pixels), then
    the image's own colours, rounded more coarsely until they fit."""
    for drop in range(8):
        step = 1 << drop
        colors = sorted(
            {
                tuple(min(255, (v // step) * step + step // 2 if drop else v) for v in p[:3])
                for row in rgba
                for p in row
                if p[3] >= 128
            }
        )
        colors = [c for c in colors if c != (0, 0, 0)]
        if len(colors) <= 255:
            return [(0, 0, 0)] + colors
    raise RuntimeError("cannot reduce colours")


def make_setup_ico(path):
    big = Canvas(32, 32)
    draw_install(big)
    big_rgba = big.rgba8()
    pal = palette_256(big_rgba)
    small = Canvas(16, 16)
    draw_install16(small)
    write_ico(
        path,
        [
            (32, 32, 0, 8, palette_entry(to_indices(big_rgba, pal), pal, 8)),
            (16, 16, 0, 32, bgra_entry(small.rgba8())),
        ],
    )


def make_uninstall_ico(path):
    mono = Canvas(32, 32)
    draw_window32_mono(mono)
    big = Canvas(32, 32)
    draw_window32(big)
    small = Canvas(16, 16)
    draw_window16(small)
    bw = [(0, 0, 0), (255, 255, 255)]
    write_ico(
        path,
        [
            (32, 32, 2, 1, palette_entry(to_indices(mono.rgba8(), bw), bw, 1)),
            (32, 32, 16, 4, palette_entry(to_indices(big.rgba8(), VGA16), VGA16, 4)),
            (16, 16, 16, 4, palette_entry(to_indices(small.rgba8(), VGA16), VGA16, 4)),
        ],
    )


# --------------------------------------------------------------------------------------------------
# GIF and JPEG via ImageMagick.


def write_bytes(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)


def pam_bytes(rgba):
    h, w = len(rgba), len(rgba[0])
    head = f"P7\nWIDTH {w}\nHEIGHT {h}\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
    return head.encode() + bytes(v for row in rgba for p in row for v in p)


def flatten_for_gif(canvas):
    """Blends partly covered pixels onto the button face; barely covered ones become transparent."""
    out = []
    for row in canvas.px:
        line = []
        for r, g, b, a in row:
            if a < 0.25:
                line.append((0, 0, 0, 0))
            else:
                mixed = [c * a + f * (1.0 - a) for c, f in zip((r, g, b), BUTTON_FACE)]
                line.append(tuple(round(v) for v in mixed) + (255,))
        out.append(line)
    return out


def make_gif(path, draw):
    canvas = Canvas(32, 32)
    draw(canvas)
    with tempfile.TemporaryDirectory() as tmp:
        pam = os.path.join(tmp, "in.pam")
        write_bytes(pam, pam_bytes(flatten_for_gif(canvas)))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        run([CONVERT, pam, "-strip", "+dither", "-colors", "255", "GIF:" + path])


def make_logo(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # The logo is shown in a 137-pixel-wide box, so everything that matters stays left of x = 130.
    mark = "polygon 8,15 15,6 22,15 15,24"
    run(
        [CONVERT, "-size", "150x30", "gradient:#2f6d94-#17405a",
         "-fill", "#f0a830", "-draw", "rectangle 0,27 149,29",
         "-fill", "#f0a830", "-draw", mark,
         "-fill", "#1f4e6b", "-draw", "polygon 15,11 19,15 15,19 11,15",
         "-font", LOGO_FONT, "-pointsize", "19", "-fill", "white",
         "-gravity", "NorthWest", "-annotate", "+30+2", "Velmor",
         "-strip", "-interlace", "none", "-sampling-factor", "2x2,1x1,1x1", "-quality", "92",
         "JPEG:" + path]
    )  # fmt: skip


# --------------------------------------------------------------------------------------------------
# Checks.


class CheckError(Exception):
    pass


def expect(cond, message):
    if not cond:
        raise CheckError(message)


def identify(path):
    out = subprocess.run(
        [IDENTIFY, "-format", "%m %w %h %[interlace]\n", path],
        check=True, capture_output=True, text=True, timeout=60,
    )  # fmt: skip
    return [line.split() for line in out.stdout.splitlines() if line.strip()]


def check_logo(path):
    data = open(path, "rb").read()
    expect(data[:2] == b"\xff\xd8", f"{path}: not a JPEG")
    frames = identify(path)
    expect(frames == [["JPEG", "150", "30", "None"]], f"{path}: identify says {frames}")
    # Walk the marker segments up to the start of scan: exactly one frame header, and it must be
    # SOF0 (baseline, 8-bit), not progressive or extended.
    pos, sofs = 2, []
    while pos < len(data):
        expect(data[pos] == 0xFF, f"{path}: broken marker at {pos}")
        marker = data[pos + 1]
        if marker == 0xDA:
            break
        length = struct.unpack(">H", data[pos + 2 : pos + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            precision, height, width = struct.unpack(">BHH", data[pos + 4 : pos + 9])
            sofs.append((marker, precision, width, height))
        pos += 2 + length
    expect(sofs == [(0xC0, 8, 150, 30)], f"{path}: frame headers {sofs}")
    return f"JPEG 150x30 baseline (SOF0, 8-bit), {len(data)} bytes"


def check_gif(path):
    data = open(path, "rb").read()
    expect(data[:6] == b"GIF89a", f"{path}: header {data[:6]!r}")
    expect(struct.unpack("<HH", data[6:10]) == (32, 32), f"{path}: logical screen size")
    frames = identify(path)
    expect(len(frames) == 1 and frames[0][:3] == ["GIF", "32", "32"], f"{path}: identify {frames}")
    # The corners are background, so the image needs a transparent colour (Graphic Control
    # Extension with its transparency flag set) for the button face to show through.
    gce = data.find(b"\x21\xf9\x04")
    expect(gce > 0 and data[gce + 3] & 1, f"{path}: no transparent colour")
    return f"GIF89a 32x32, one frame, {len(data)} bytes"


def parse_ico(path):
    """Reads an icon's directory and each entry's BMP header; checks that they agree."""
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    expect((reserved, kind) == (0, 1), f"{path}: not an icon")
    entries, end = [], 6 + 16 * count
    for i in range(count):
        w, h, colors, res, planes, bpp, size, offset = struct.unpack(
            "<BBBBHHII", data[6 + 16 * i : 22 + 16 * i]
        )
        w, h = w or 256, h or 256
        expect(res == 0 and planes == 1, f"{path}[{i}]: reserved/planes")
        expect(offset == end, f"{path}[{i}]: offset {offset}, expected {end} (gap or overlap)")
        expect(offset + size <= len(data), f"{path}[{i}]: runs past the end of the file")
        hdr = struct.unpack("<IiiHHIIiiII", data[offset : offset + 40])
        expect(hdr[0] == 40, f"{path}[{i}]: BMP header size {hdr[0]}")
        expect((hdr[1], hdr[2]) == (w, 2 * h), f"{path}[{i}]: BMP size {hdr[1]}x{hdr[2]}")
        expect(hdr[3] == 1 and hdr[4] == bpp, f"{path}[{i}]: BMP planes/bpp {hdr[3]}/{hdr[4]}")
        expect(hdr[5] == 0, f"{path}[{i}]: compressed")
        pal = (1 << bpp) if bpp <= 8 else 0
        xor_row = (w * bpp + 31) // 32 * 4
        and_row = (w + 31) // 32 * 4
        expected = 40 + 4 * pal + (xor_row + and_row) * h
        expect(size == expected, f"{path}[{i}]: {size} bytes, expected {expected}")
        expect(colors == (pal if pal < 256 else 0), f"{path}[{i}]: colour count {colors}")
        entries.append((w, h, bpp, size, offset))
        end = offset + size
    expect(end == len(data), f"{path}: {len(data) - end} trailing bytes")
    return entries, data


def check_ico(path, wanted):
    entries, data = parse_ico(path)
    got = [(w, h, bpp) for w, h, bpp, _, _ in entries]
    expect(got == wanted, f"{path}: entries {got}, expected {wanted}")
    frames = identify(path)
    sizes = [(int(f[1]), int(f[2])) for f in frames]
    expect(sizes == [(w, h) for w, h, _ in wanted], f"{path}: identify {frames}")
    listing = ", ".join(f"{w}x{h} {b} bpp @{o} ({s} bytes)" for w, h, b, s, o in entries)
    return f"ICO, {len(data)} bytes: {listing}"


CHECKS = [
    (LOGO, check_logo),
    (SETUP_GIF, check_gif),
    (UNINSTALL_GIF, check_gif),
    (SETUP_ICO, lambda p: check_ico(p, [(32, 32, 8), (16, 16, 32)])),
    (UNINSTALL_ICO, lambda p: check_ico(p, [(32, 32, 1), (32, 32, 4), (16, 16, 4)])),
]


def preview(directory):
    """Enlarged PNGs (8x, icons one file per entry) for looking at the pictures."""
    os.makedirs(directory, exist_ok=True)
    for rel, _ in CHECKS:
        src = os.path.join(ROOT, rel)
        stem = rel.replace("/", "_").rsplit(".", 1)[0]
        if rel.endswith(".ico"):
            for i in range(len(parse_ico(src)[0])):
                out = os.path.join(directory, f"{stem}_{i}.png")
                run([CONVERT, f"{src}[{i}]", "-background", "#ff00ff", "-flatten",
                     "-scale", "800%", out])  # fmt: skip
        else:
            run([CONVERT, src, "-background", "#f0f0f0", "-flatten", "-scale", "800%",
                 os.path.join(directory, stem + ".png")])  # fmt: skip


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only check the existing files")
    parser.add_argument("--preview", metavar="DIR", help="also write enlarged PNGs into DIR")
    args = parser.parse_args()
    if not args.check:
        make_logo(os.path.join(ROOT, LOGO))
        make_gif(os.path.join(ROOT, SETUP_GIF), draw_install)
        make_gif(os.path.join(ROOT, UNINSTALL_GIF), draw_remove)
        make_setup_ico(os.path.join(ROOT, SETUP_ICO))
        make_uninstall_ico(os.path.join(ROOT, UNINSTALL_ICO))
    failed = False
    for rel, check in CHECKS:
        try:
            print(f"ok   {rel}: {check(os.path.join(ROOT, rel))}")
        except (CheckError, OSError, subprocess.CalledProcessError) as e:
            print(f"FAIL {rel}: {e}")
            failed = True
    if args.preview and not failed:
        preview(args.preview)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
