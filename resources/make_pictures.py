#!/usr/bin/python3
"""Draw Corvane's pictures from scratch.

Makes:
  icons/*.png                16 x 16 RGBA toolbar icons (New, Save, Save All, Save Locally,
                             Delete, Cut, Copy, Paste, Undo, Redo, Zoom in/out, Terminal)
  resources/icon16.png       16 x 16 RGBA window icon (the logo mark)
  resources/icon32.png       32 x 32 RGBA window icon (the logo mark)
  resources/iconNN.png       48, 64, 128 and 256 px RGBA logo marks for the desktop's menus
  resources/splash.png       400 x 200 RGB splash screen

Run:  resources/make_pictures.py        (from any directory; writes into this source tree)

The shapes are drawn by the small anti-aliasing rasteriser below (standard library only); the
splash text is set by ImageMagick's `convert` with the DejaVu fonts (Debian packages
imagemagick and fonts-dejavu-core). Output is deterministic: two runs give identical files.
The PNGs are committed, so building the program never needs this script.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ICONS = os.path.join(ROOT, "icons")
RESOURCES = os.path.join(ROOT, "resources")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
VERSION = "2.1.1a"


# ------------------------------------------------------------------------------------------------
# Shapes are signed distance functions: negative inside, positive outside, |value| never larger
# than the true distance to the edge. That lets the rasteriser skip pixels lying wholly inside or
# outside and lets any shape be grown or shrunk (outlines are "shape" minus "shape grown by -1").

class Shape:
    def __init__(self, sdf, bbox):
        self.sdf = sdf
        self.bbox = bbox  # (x0, y0, x1, y1), may be larger than the shape

    def grow(self, d):
        f = self.sdf
        x0, y0, x1, y1 = self.bbox
        return Shape(lambda x, y: f(x, y) - d, (x0 - d, y0 - d, x1 + d, y1 + d))

    def __or__(self, other):
        f, g = self.sdf, other.sdf
        a, b = self.bbox, other.bbox
        return Shape(lambda x, y: min(f(x, y), g(x, y)),
                     (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])))

    def __and__(self, other):
        f, g = self.sdf, other.sdf
        a, b = self.bbox, other.bbox
        return Shape(lambda x, y: max(f(x, y), g(x, y)),
                     (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3])))

    def __sub__(self, other):
        f, g = self.sdf, other.sdf
        return Shape(lambda x, y: max(f(x, y), -g(x, y)), self.bbox)


def rect(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hw, hh = (x1 - x0) / 2, (y1 - y0) / 2

    def sdf(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return Shape(sdf, (x0, y0, x1, y1))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def _seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    L = dx * dx + dy * dy
    t = 0.0 if L == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / L))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def _bbox(pts, pad=0.0):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)


def polygon(pts):
    n = len(pts)
    edges = [(pts[i][0], pts[i][1], pts[(i + 1) % n][0], pts[(i + 1) % n][1]) for i in range(n)]

    def sdf(x, y):
        d = min(_seg_dist(x, y, *e) for e in edges)
        inside = False
        for ax, ay, bx, by in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -d if inside else d
    return Shape(sdf, _bbox(pts))


def stroke(pts, width):
    """A polyline drawn with a round pen of the given width."""
    segs = [(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1]) for i in range(len(pts) - 1)]
    h = width / 2

    def sdf(x, y):
        return min(_seg_dist(x, y, *s) for s in segs) - h
    return Shape(sdf, _bbox(pts, h))


def arc_points(cx, cy, r, a0, a1, steps=24):
    """Points on a circle, angles in degrees, 0 = east, 90 = south (screen coordinates)."""
    out = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        out.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return out


def quad_points(p0, p1, p2, steps=8):
    out = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                    u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return out


def mirror_x(pts, axis):
    return [(2 * axis - x, y) for x, y in pts]


# ------------------------------------------------------------------------------------------------
# Paints: functions of the position (in drawing units) giving straight RGBA in 0..1.

def rgb(hexstr, alpha=1.0):
    h = hexstr.lstrip("#")
    return (int(h[0:2], 16) / 255, int(h[2:4], 16) / 255, int(h[4:6], 16) / 255, alpha)


def solid(hexstr, alpha=1.0):
    c = rgb(hexstr, alpha)
    return lambda x, y: c


def _mix(stops, t):
    t = max(0.0, min(1.0, t))
    for i in range(len(stops) - 1):
        t0, c0 = stops[i]
        t1, c1 = stops[i + 1]
        if t <= t1:
            k = 0.0 if t1 == t0 else (t - t0) / (t1 - t0)
            return tuple(a + (b - a) * k for a, b in zip(c0, c1))
    return stops[-1][1]


def linear(x0, y0, x1, y1, *colors):
    """Linear gradient; colors are hex strings (evenly spaced) or (t, hex[, alpha]) tuples."""
    stops = []
    for i, c in enumerate(colors):
        if isinstance(c, tuple):
            stops.append((c[0], rgb(c[1], c[2] if len(c) > 2 else 1.0)))
        else:
            stops.append((i / (len(colors) - 1), rgb(c)))
    dx, dy = x1 - x0, y1 - y0
    L = dx * dx + dy * dy
    return lambda x, y: _mix(stops, ((x - x0) * dx + (y - y0) * dy) / L)


def vgrad(y0, y1, *colors):
    return linear(0, y0, 0, y1, *colors)


# ------------------------------------------------------------------------------------------------
# Canvas: premultiplied RGBA floats; each fill composites paint x coverage over what is there.

class Canvas:
    def __init__(self, w, h, scale=1.0, ss=8):
        self.w, self.h, self.scale, self.ss = w, h, scale, ss
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def fill(self, shape, paint, opacity=1.0):
        if isinstance(paint, str):
            paint = solid(paint)
        s, ss = self.scale, self.ss
        x0, y0, x1, y1 = shape.bbox
        ix0 = max(0, int(math.floor(x0 * s)) - 1)
        iy0 = max(0, int(math.floor(y0 * s)) - 1)
        ix1 = min(self.w, int(math.ceil(x1 * s)) + 1)
        iy1 = min(self.h, int(math.ceil(y1 * s)) + 1)
        half_diag = 0.7072 / s
        sdf = shape.sdf
        offs = [(k + 0.5) / ss for k in range(ss)]
        n = ss * ss
        for py in range(iy0, iy1):
            for px in range(ix0, ix1):
                cx, cy = (px + 0.5) / s, (py + 0.5) / s
                d = sdf(cx, cy)
                if d >= half_diag:
                    continue
                if d <= -half_diag:
                    cov = 1.0
                else:
                    hits = 0
                    for oy in offs:
                        sy = (py + oy) / s
                        for ox in offs:
                            if sdf((px + ox) / s, sy) < 0:
                                hits += 1
                    if not hits:
                        continue
                    cov = hits / n
                r, g, b, a = paint(cx, cy)
                a *= cov * opacity
                p = self.px[py * self.w + px]
                k = 1 - a
                p[0] = r * a + p[0] * k
                p[1] = g * a + p[1] * k
                p[2] = b * a + p[2] * k
                p[3] = a + p[3] * k

    def paste(self, other, ox, oy):
        """Composite another canvas over this one at integer offset (ox, oy)."""
        for y in range(other.h):
            for x in range(other.w):
                tx, ty = x + ox, y + oy
                if not (0 <= tx < self.w and 0 <= ty < self.h):
                    continue
                s = other.px[y * other.w + x]
                d = self.px[ty * self.w + tx]
                k = 1 - s[3]
                for i in range(4):
                    d[i] = s[i] + d[i] * k

    def outlined(self, shape, outline, fill, width=1.0):
        """A shape with a crisp outline of the given width laid inside its edge."""
        self.fill(shape, outline)
        self.fill(shape.grow(-width), fill)

    def rows(self, alpha=True, dither=False):
        bayer = [0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5]
        out = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                bias = (bayer[(y % 4) * 4 + x % 4] + 0.5) / 16 if dither else 0.5
                chans = (r, g, b, a) if alpha else (r, g, b)
                for c in chans:
                    row.append(max(0, min(255, int(c * 255 + bias))))
            out.append(bytes(row))
        return out

    def save(self, path, alpha=True, dither=False):
        write_png(path, self.w, self.h, self.rows(alpha, dither), 6 if alpha else 2)


def write_png(path, w, h, rows, color_type):
    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + r for r in rows)
    data = (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, color_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


# ------------------------------------------------------------------------------------------------
# Building blocks shared by several icons. All coordinates are pixels of a 16 x 16 icon, with
# (0, 0) the top-left corner of the top-left pixel; edges on whole numbers come out crisp.

PAGE_LINE = "#8f9fb3"
PAGE_EDGE = "#7d8a99"


def page(c, x0, y0, x1, y1, ear=4, lines=()):
    """A sheet of paper with a folded top-right corner and optional text lines (x0, x1, y)."""
    body = polygon([(x0, y0), (x1 - ear, y0), (x1, y0 + ear), (x1, y1), (x0, y1)])
    c.outlined(body, PAGE_EDGE, linear(x0, y0, x1, y1, "#ffffff", "#e4eaf1"))
    for lx0, lx1, ly in lines:
        c.fill(rect(lx0, ly, lx1, ly + 1), PAGE_LINE)
    fold = polygon([(x1 - ear, y0), (x1 - ear, y0 + ear), (x1, y0 + ear)])
    c.fill(fold, PAGE_EDGE)
    c.fill(polygon([(x1 - ear + 1, y0 + 1.5), (x1 - ear + 1, y0 + ear - 1), (x1 - 1.5, y0 + ear - 1)]),
           "#d3dbe5")


def floppy(c, x, y, s):
    """A blue floppy disk of s x s pixels (s = 16, 12 or 10) with its top-left corner at (x, y)."""
    notch = 2 if s >= 12 else 1.5
    body = polygon([(x, y), (x + s - notch, y), (x + s, y + notch), (x + s, y + s), (x, y + s)])
    c.outlined(body, "#1c3c70", linear(x, y, x + s, y + s, "#6fa0ea", "#2e5eb4"))
    # metal shutter along the top edge, with its window
    sw0, sw1 = x + round(s * 0.25), x + s - round(s * 0.25)
    sh = y + round(s * 0.4)
    c.outlined(rect(sw0, y, sw1, sh), "#4d5866", vgrad(y, sh, "#f2f4f7", "#aab3bf"))
    win = round(s * 0.15)
    c.fill(rect(sw1 - 1 - win - (1 if s >= 12 else 0), y + 1, sw1 - 1 - (1 if s >= 12 else 0), sh - 1),
           "#2e3742")
    # paper label on the lower half
    lx0, lx1 = x + round(s * 0.19), x + s - round(s * 0.19)
    ly0 = y + round(s * 0.56)
    c.fill(rect(lx0, ly0, lx1, y + s - 1), vgrad(ly0, y + s, "#ffffff", "#dfe6ee"))
    if s >= 12:
        for ly in range(ly0 + 2, y + s - 2, 2):
            c.fill(rect(lx0 + 1, ly, lx1 - 1, ly + 1), "#9fb4cc")


def plus_badge(c, x0, y0, size=8):
    """The green 'add' plus: arms 2 px wide inside a 1 px dark outline."""
    m = x0 + size / 2
    n = y0 + size / 2
    outer = rect(m - 2, y0, m + 2, y0 + size) | rect(x0, n - 2, x0 + size, n + 2)
    inner = rect(m - 1, y0 + 1, m + 1, y0 + size - 1) | rect(x0 + 1, n - 1, x0 + size - 1, n + 1)
    c.fill(outer, "#2f6b12")
    c.fill(inner, vgrad(y0, y0 + size, "#a6e36b", "#3f9e16"))


def magnifier(c, sign):
    cx = cy = 6.0
    c.fill(stroke([(9.6, 9.6), (14.0, 14.0)], 4.6), "#3b2a1a")
    c.fill(stroke([(9.9, 9.9), (13.9, 13.9)], 2.6), linear(10, 12, 12, 10, "#d99a55", "#7a4a1c"))
    c.fill(circle(cx, cy, 6.0), "#3a4350")
    c.fill(circle(cx, cy, 5.0), linear(1, 1, 11, 11, "#f4f6f8", "#8d97a3"))
    c.fill(circle(cx, cy, 4.0), linear(2, 2, 10, 10, "#ffffff", "#d9ebfc", "#a7cbf0"))
    mark = "#1d4f91"
    c.fill(rect(3, 5, 9, 7), mark)
    if sign == "+":
        c.fill(rect(5, 3, 7, 9), mark)


def curved_arrow(c, mirror):
    """Undo arrow (pointing left); mirrored for redo."""
    # head: tip at the left; the shaft leaves it to the right and bends down in a quarter-plus turn
    head = [(0.5, 5.5), (6.0, 0.5), (6.0, 10.5)]
    shaft = [(5.0, 5.5), (8.0, 5.5)] + arc_points(8.0, 11.0, 5.5, -90, 30, 20)
    if mirror:
        head = mirror_x(head, 8)
        shaft = mirror_x(shaft, 8)
    outline = "#1b4d8c"
    fill = linear(0, 2, 0, 14, "#8cc2f7", "#2f74d0")
    c.fill(stroke(shaft, 5.0), outline)
    c.fill(polygon(head).grow(1.0), outline)
    c.fill(stroke(shaft, 3.0), fill)
    c.fill(polygon(head), fill)


# ------------------------------------------------------------------------------------------------
# The toolbar icons.

def icon_page_add(c):
    page(c, 2, 0, 14, 16, ear=4, lines=[(4, 9, 5), (4, 10, 8)])
    plus_badge(c, 8, 8)


def icon_disk(c):
    floppy(c, 1, 1, 14)


def icon_disk_multiple(c):
    floppy(c, 0, 0, 11)
    floppy(c, 4, 4, 12)


def icon_drive_disk(c):
    # the hard drive: a flat grey box seen from the front, a slot and a green light
    c.outlined(rect(0, 7, 16, 15, 1.5), "#4a525c", vgrad(7, 15, "#f1f3f5", "#b9c0c8", "#8e97a2"))
    c.fill(rect(2, 11, 10, 12), "#59626d")
    c.fill(rect(12, 10, 14, 12), "#2e7d17")
    c.fill(rect(12, 10, 13.2, 11), "#9af06a")
    # a floppy in front of it
    floppy(c, 5, 0, 10)


def icon_delete(c):
    c.fill(circle(8, 8, 7.6), "#8e1a10")
    c.fill(circle(8, 8, 6.6), linear(4, 2, 12, 14, "#ff8f7e", "#e53a27", "#b7200f"))
    c.fill(stroke([(5.2, 5.2), (10.8, 10.8)], 2.2) | stroke([(10.8, 5.2), (5.2, 10.8)], 2.2), "#ffffff")


def icon_cut(c):
    steel_edge = "#2f3842"
    # blades: each runs from a ring at the bottom, through the pivot, to a point at the top
    blade_a = polygon([(5.6, 11.0), (3.4, 9.4), (11.9, 0.3), (8.2, 9.4)])
    blade_b = polygon([(10.4, 11.0), (12.6, 9.4), (4.1, 0.3), (7.8, 9.4)])
    c.fill(blade_b.grow(0.7), steel_edge)
    c.fill(blade_b, linear(4, 0, 12, 10, "#e9edf2", "#8e9aa8"))
    c.fill(blade_a.grow(0.7), steel_edge)
    c.fill(blade_a, linear(12, 0, 4, 10, "#ffffff", "#a9b4c1"))
    c.fill(circle(8, 6.8, 0.9), "#2e3640")
    # finger rings
    handle = linear(0, 9, 0, 16, "#ef5a50", "#a8170e")
    for rx in (4.0, 12.0):
        ring = circle(rx, 12.8, 2.7) - circle(rx, 12.8, 1.7)
        c.fill(ring.grow(0.6), "#5e0d08")
        c.fill(ring, handle)


def icon_page_copy(c):
    page(c, 1, 0, 11, 12, ear=3, lines=[(3, 8, 4), (3, 7, 6), (3, 8, 8)])
    page(c, 5, 4, 15, 16, ear=3, lines=[(7, 12, 8), (7, 11, 10), (7, 12, 12)])


def icon_paste_plain(c):
    # the clipboard board and its metal clip
    c.outlined(rect(1, 2, 13, 16, 1.5), "#6b4219", linear(1, 2, 13, 16, "#e0a663", "#a8692b"))
    c.outlined(rect(4, 0.5, 10, 4, 1.0), "#4b5460", vgrad(0, 4, "#ffffff", "#a3adb9"))
    c.fill(rect(6, 1.5, 8, 2.5), "#4b5460")
    # the page lying on it
    page(c, 6, 6, 15, 16, ear=3, lines=[(8, 12, 10), (8, 11, 12)])


def icon_arrow_undo(c):
    curved_arrow(c, mirror=False)


def icon_arrow_redo(c):
    curved_arrow(c, mirror=True)


def icon_zoom_in(c):
    magnifier(c, "+")


def icon_zoom_out(c):
    magnifier(c, "-")


def icon_terminal(c):
    c.outlined(rect(0, 1, 16, 15, 1.0), "#3a4452", vgrad(1, 5, "#7fb1ee", "#2d66c3"))
    c.fill(rect(1, 4, 15, 14), vgrad(4, 14, "#2b2f36", "#101215"))
    c.fill(rect(12, 2, 14, 3), "#dbe8fa")
    prompt = "#8ff06a"
    c.fill(stroke([(3.5, 6.5), (5.5, 8.5), (3.5, 10.5)], 1.3), prompt)
    c.fill(rect(7, 10, 11, 11), prompt)


TOOLBAR_ICONS = {
    "page_add.png": icon_page_add,
    "disk.png": icon_disk,
    "disk_multiple.png": icon_disk_multiple,
    "drive_disk.png": icon_drive_disk,
    "delete.png": icon_delete,
    "cut.png": icon_cut,
    "page_copy.png": icon_page_copy,
    "paste_plain.png": icon_paste_plain,
    "arrow_undo.png": icon_arrow_undo,
    "arrow_redo.png": icon_arrow_redo,
    "zoom_in.png": icon_zoom_in,
    "zoom_out.png": icon_zoom_out,
    "application_xp_terminal.png": icon_terminal,
}


# ------------------------------------------------------------------------------------------------
# The logo mark: curly braces round an amber diamond (a vane's pointer) on a rounded blue-teal
# tile. Drawn in a 32-unit square; `scale` is pixels per unit.

def left_brace():
    top = quad_points((14.0, 7.5), (11.0, 7.5), (11.0, 10.5), 6)
    mid_a = quad_points((11.0, 13.0), (11.0, 16.0), (8.0, 16.0), 6)
    mid_b = quad_points((8.0, 16.0), (11.0, 16.0), (11.0, 19.0), 6)
    bottom = quad_points((11.0, 21.5), (11.0, 24.5), (14.0, 24.5), 6)
    return top + mid_a + mid_b[1:] + bottom


def draw_logo(c, ox=0.0, oy=0.0, with_rim=True, brace_width=2.6):
    def moved(shape):
        f = shape.sdf
        x0, y0, x1, y1 = shape.bbox
        return Shape(lambda x, y: f(x - ox, y - oy), (x0 + ox, y0 + oy, x1 + ox, y1 + oy))

    def paint_moved(p):
        return lambda x, y: p(x - ox, y - oy)

    tile = rect(0.5, 0.5, 31.5, 31.5, 7.0)
    if with_rim:
        c.fill(moved(tile), "#0d2a4a")
        inner = tile.grow(-1.2)
    else:
        inner = tile
    c.fill(moved(inner), paint_moved(linear(0, 0, 32, 32, "#2f9fd0", "#1f5fa8", "#243d8a")))
    # a soft sheen over the upper half
    sheen = inner & circle(16, -18, 34)
    c.fill(moved(sheen), paint_moved(vgrad(0, 16, (0, "#ffffff", 0.22), (1, "#ffffff", 0.0))))
    lb = left_brace()
    rb = mirror_x(lb, 16)
    braces = stroke(lb, brace_width) | stroke(rb, brace_width)
    c.fill(moved(braces.grow(0.6)), "#0d2a4a", opacity=0.35)
    c.fill(moved(braces), "#ffffff")
    diamond = polygon([(16, 12.5), (19.5, 16), (16, 19.5), (12.5, 16)])
    c.fill(moved(diamond), paint_moved(linear(13, 13, 19, 19, "#ffd36b", "#f29a1d")))


# Sizes the desktop's menus and launchers ask for, besides the window icons' 16 and 32.
DESKTOP_ICON_SIZES = (48, 64, 128, 256)


def logo_canvas(px, with_rim=True):
    """The mark for window icons: braces exactly 1 px (16 px icon) or 2 px (32 px) wide."""
    c = Canvas(px, px, scale=px / 32.0)
    draw_logo(c, with_rim=with_rim, brace_width=2.0)
    return c


# ------------------------------------------------------------------------------------------------
# Splash screen.

def font(name):
    path = os.path.join(FONT_DIR, name)
    if not os.path.exists(path):
        sys.exit("missing font %s (install fonts-dejavu-core)" % path)
    return path


def make_splash(path):
    W, H = 400, 200
    c = Canvas(W, H, scale=1.0, ss=4)
    c.fill(rect(0, 0, W, H), linear(0, 0, W, H, "#0e1f3a", "#16365f", "#114e63"))
    # soft light behind the logo and a faint arc sweeping across the right side
    glow = circle(80, 100, 150)

    def glow_paint(x, y):
        d = math.hypot(x - 80, y - 100) / 150
        return (0.35, 0.75, 0.95, 0.16 * max(0.0, 1 - d) ** 2)
    c.fill(glow, glow_paint)
    ring = circle(470, 250, 260) - circle(470, 250, 258.5)
    c.fill(ring, "#7fc4e8", opacity=0.18)
    ring2 = circle(470, 250, 228) - circle(470, 250, 227)
    c.fill(ring2, "#7fc4e8", opacity=0.10)
    # thin amber accent under the name
    c.fill(rect(150, 112, 214, 114, 1.0), linear(150, 0, 214, 0, "#ffd36b", "#f29a1d"))
    # the logo, with a soft drop shadow
    shadow = rect(30 + 3, 50 + 5, 130 + 3, 150 + 5, 22)
    for k in range(6):
        c.fill(shadow.grow(4 - k * 1.2), "#000000", opacity=0.05)
    logo = Canvas(100, 100, scale=100 / 32.0, ss=4)
    draw_logo(logo, with_rim=False)
    c.paste(logo, 30, 50)

    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "base.png")
        c.save(base, alpha=False, dither=True)
        bold, regular, mono = (font("DejaVuSans-Bold.ttf"), font("DejaVuSans.ttf"),
                               font("DejaVuSansMono.ttf"))
        cmd = ["convert", base,
               "-font", bold, "-pointsize", "46",
               "-fill", "#00000066", "-annotate", "+149+102", "Corvane",
               "-fill", "#ffffff", "-annotate", "+147+100", "Corvane",
               "-font", regular, "-pointsize", "13",
               "-fill", "#d3e6f5", "-annotate", "+149+138", "Keep, edit and share",
               "-annotate", "+149+156", "your code snippets",
               "-font", mono, "-pointsize", "11",
               "-fill", "#8fb6d6", "-gravity", "SouthEast", "-annotate", "+10+8", "version " + VERSION,
               "-strip", "-define", "png:exclude-chunks=date,time",
               "PNG24:" + path]
        subprocess.run(cmd, check=True)


# ------------------------------------------------------------------------------------------------

def main():
    os.makedirs(ICONS, exist_ok=True)
    for name, draw in TOOLBAR_ICONS.items():
        c = Canvas(16, 16)
        draw(c)
        c.save(os.path.join(ICONS, name))
    logo_canvas(32).save(os.path.join(RESOURCES, "icon32.png"))
    logo_canvas(16, with_rim=False).save(os.path.join(RESOURCES, "icon16.png"))
    for px in DESKTOP_ICON_SIZES:
        logo_canvas(px).save(os.path.join(RESOURCES, "icon%d.png" % px))
    make_splash(os.path.join(RESOURCES, "splash.png"))


if __name__ == "__main__":
    main()
