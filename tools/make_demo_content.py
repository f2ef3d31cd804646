#!/usr/bin/env python3
"""Draws the demo content server's login frame art and launcher movie.

The demo must not ship anyone else's artwork, so both files are produced
here from code, with nothing but the standard library. The output is
reproducible byte for byte, so a changed hash always means a changed design.

    python3 tools/make_demo_content.py          # write both files, verify, print hashes
    python3 tools/make_demo_content.py --check  # only verify the files already written
"""
import argparse
import hashlib
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CONTENT = os.path.join(HERE, "demo", "content", "kvx_stable")
BG_PATH = os.path.join(CONTENT, "microClient", "bg.png")
SWF_PATH = os.path.join(CONTENT, "bin", "Kestrune.swf")

# The login window is sized to the image, and the login page is placed
# exactly over this hole, so these numbers are shared with the client.
WIDTH, HEIGHT = 1050, 630
HOLE_X, HOLE_Y, HOLE_W, HOLE_H = 306, 89, 620, 416
# Where the minimise and close buttons are mounted: (left, top, size).
SOCKETS = ((883, 62, 24), (911, 59, 28))

GOLD = (0xE8, 0xC2, 0x5A)
BODY_TOP = (0x2A, 0x3B, 0x5C)
BODY_BOTTOM = (0x1D, 0x25, 0x36)
INK = (9, 11, 17)

# One light for everything embossed, from the upper left, so the frame,
# the lettering and the sockets agree about where their shadows fall.
_LN = math.sqrt(0.55 ** 2 + 0.75 ** 2 + 1.0)
LIGHT = (-0.55 / _LN, -0.75 / _LN, 1.0 / _LN)

# Control points of the metal ramp; 0.62 is the plain gold a flat face shows.
GOLD_RAMP = (
    (0.00, (34, 22, 8)),
    (0.22, (98, 66, 22)),
    (0.45, (170, 128, 50)),
    (0.62, GOLD),
    (0.82, (250, 224, 138)),
    (1.00, (255, 249, 222)),
)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def gold(v):
    v = clamp(v)
    for (t0, c0), (t1, c1) in zip(GOLD_RAMP, GOLD_RAMP[1:]):
        if v <= t1:
            return mix(c0, c1, (v - t0) / (t1 - t0))
    return GOLD_RAMP[-1][1]


def lit(gx, gy):
    """Brightness change of a surface with height gradient (gx, gy) against a flat face."""
    n = math.sqrt(gx * gx + gy * gy + 1.0)
    return (-gx * LIGHT[0] - gy * LIGHT[1] + LIGHT[2]) / n - LIGHT[2]


def noise(x, y):
    """Deterministic grain in [-0.5, 0.5]; random would break reproducibility."""
    h = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return (h & 0xFFFF) / 65535.0 - 0.5


# --- Raster -----------------------------------------------------------------


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [(0.0, 0.0, 0.0)] * (w * h)
        self.alpha = [255] * (w * h)

    def over(self, x, y, c, a=1.0):
        if a <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        i = y * self.w + x
        if a >= 1.0:
            self.px[i] = c
        else:
            self.px[i] = mix(self.px[i], c, a)

    def scale(self, x, y, f):
        i = y * self.w + x
        r, g, b = self.px[i]
        self.px[i] = (r * f, g * f, b * f)

    def rgba(self):
        out = bytearray(self.w * self.h * 4)
        for i, (r, g, b) in enumerate(self.px):
            o = i * 4
            out[o] = int(clamp(r, 0, 255) + 0.5)
            out[o + 1] = int(clamp(g, 0, 255) + 0.5)
            out[o + 2] = int(clamp(b, 0, 255) + 0.5)
            out[o + 3] = self.alpha[i]
        return out


def chamfer(mask, w, h):
    """Approximate distance of every set cell to the nearest clear one (3-4 chamfer)."""
    big = 1e9
    d = [big if m else 0.0 for m in mask]
    diag = math.sqrt(2.0)
    for y in range(h):
        for x in range(w):
            i = y * w + x
            if d[i] == 0.0:
                continue
            v = d[i]
            if x > 0:
                v = min(v, d[i - 1] + 1.0)
            if y > 0:
                v = min(v, d[i - w] + 1.0)
                if x > 0:
                    v = min(v, d[i - w - 1] + diag)
                if x < w - 1:
                    v = min(v, d[i - w + 1] + diag)
            d[i] = v
    for y in range(h - 1, -1, -1):
        for x in range(w - 1, -1, -1):
            i = y * w + x
            if d[i] == 0.0:
                continue
            v = d[i]
            if x < w - 1:
                v = min(v, d[i + 1] + 1.0)
            if y < h - 1:
                v = min(v, d[i + w] + 1.0)
                if x < w - 1:
                    v = min(v, d[i + w + 1] + diag)
                if x > 0:
                    v = min(v, d[i + w - 1] + diag)
            d[i] = v
    return d


def box_blur(v, w, h):
    out = [0.0] * (w * h)
    for y in range(h):
        y0, y1 = max(y - 1, 0), min(y + 1, h - 1)
        for x in range(w):
            x0, x1 = max(x - 1, 0), min(x + 1, w - 1)
            acc = 0.0
            for yy in range(y0, y1 + 1):
                row = yy * w
                for xx in range(x0, x1 + 1):
                    acc += v[row + xx]
            out[y * w + x] = acc / ((y1 - y0 + 1) * (x1 - x0 + 1))
    return out


class Shape:
    """A filled outline rasterised over a box, with coverage and distance fields.

    The distance fields let every piece be embossed, outlined and shadowed the
    same way, whatever the outline is made of.
    """

    def __init__(self, inside, x0, y0, x1, y1, ss=4):
        self.x0, self.y0 = x0, y0
        self.w, self.h = x1 - x0, y1 - y0
        w, h = self.w, self.h
        centre = [inside(x0 + x + 0.5, y0 + y + 0.5) for y in range(h) for x in range(w)]
        cov = [1.0 if c else 0.0 for c in centre]
        if ss > 1:
            # Only cells whose neighbours disagree can be partly covered.
            for y in range(h):
                for x in range(w):
                    i = y * w + x
                    c = centre[i]
                    edge = (x > 0 and centre[i - 1] != c) or (x < w - 1 and centre[i + 1] != c) or (
                        y > 0 and centre[i - w] != c) or (y < h - 1 and centre[i + w] != c)
                    if edge:
                        n = 0
                        for sy in range(ss):
                            for sx in range(ss):
                                n += inside(x0 + x + (sx + 0.5) / ss, y0 + y + (sy + 0.5) / ss)
                        cov[i] = n / (ss * ss)
        self.cov = cov
        self.mask = [c >= 0.5 for c in cov]
        self.din = chamfer(self.mask, w, h)
        self.dout = chamfer([not m for m in self.mask], w, h)

    def cells(self):
        for y in range(self.h):
            for x in range(self.w):
                yield x, y, y * self.w + x

    def relief(self, bevel, depth):
        """Per-cell brightness change of the shape pressed up into a rounded bevel."""
        w, h = self.w, self.h
        height = [depth * math.sin(min(max(d - 0.5, 0.0), bevel) / bevel * math.pi / 2) for d in self.din]
        # The chamfer distance steps at inner corners; a light blur keeps
        # those steps from catching the light as bright specks.
        height = box_blur(box_blur(height, w, h), w, h)
        out = [0.0] * (w * h)
        for x, y, i in self.cells():
            if not self.mask[i]:
                continue
            gx = (height[i + 1] if x < w - 1 else 0.0) - (height[i - 1] if x > 0 else 0.0)
            gy = (height[i + w] if y < h - 1 else 0.0) - (height[i - w] if y > 0 else 0.0)
            out[i] = lit(gx / 2.0, gy / 2.0)
        return out

    def outline(self, canvas, width, colour, strength=1.0):
        for x, y, i in self.cells():
            d = self.dout[i]
            if 0.0 < d <= width + 1.0:
                canvas.over(self.x0 + x, self.y0 + y, colour, strength * clamp(width + 0.5 - d))

    def shadow(self, canvas, dx, dy, blur, strength):
        w = self.w
        for x, y, i in self.cells():
            sx, sy = x - dx, y - dy
            if 0 <= sx < w and 0 <= sy < self.h:
                d = self.dout[sy * w + sx]
                f = strength * clamp(1.0 - d / blur)
                if f > 0.0:
                    canvas.scale(self.x0 + x, self.y0 + y, 1.0 - f)


# --- Lettering --------------------------------------------------------------

# A blocky face of our own, 5 columns wide; the lower-case letters keep two
# rows below the baseline for the descender of "g".
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."],
    "g": [".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###.", ".....", "....."],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#", ".....", "....."],
}


def text_cells(text, gap):
    """Set cells of a line of text, in glyph-cell units, and its width."""
    cells = set()
    col = 0
    for ch in text:
        for row, line in enumerate(GLYPHS[ch]):
            for c, bit in enumerate(line):
                if bit == "#":
                    cells.add((col + c, row))
        col += 5 + gap
    return cells, col - gap


def text_shape(text, left, top, scale, gap, pad, bold=0.0):
    """Rasterised text; bold grows every block by that many pixels on each side."""
    cells, cols = text_cells(text, gap)
    rows = max(r for _, r in cells) + 1

    def inside(px, py):
        u, v = (px - left) / scale, (py - top) / scale
        cx, cy = math.floor(u), math.floor(v)
        grow = bold / scale
        xs = [cx] + ([cx - 1] if u - cx < grow else []) + ([cx + 1] if u - cx > 1.0 - grow else [])
        ys = [cy] + ([cy - 1] if v - cy < grow else []) + ([cy + 1] if v - cy > 1.0 - grow else [])
        return any((x, y) in cells for x in xs for y in ys)

    extra = int(math.ceil(bold))
    return Shape(inside, left - pad - extra, top - pad - extra, left + cols * scale + pad + extra,
                 top + rows * scale + pad + extra, ss=1)


def draw_title(canvas, text, centre_x, top, scale):
    _, cols = text_cells(text, 1)
    left = int(centre_x - cols * scale / 2)
    s = text_shape(text, left, top, scale, 1, 10, bold=2.0)
    s.shadow(canvas, 3, 4, 5.0, 0.6)
    s.outline(canvas, 2.0, INK)
    rel = s.relief(3.5, 2.6)
    top -= 2
    height = 7 * scale + 4
    for x, y, i in s.cells():
        if not s.mask[i]:
            continue
        # A polished band across the upper half and a darker lower half give
        # the letters the look of struck metal rather than flat paint.
        t = (s.y0 + y + 0.5 - top) / height
        base = 0.80 - 0.10 * t if t < 0.48 else 0.58 - 0.16 * (t - 0.48)
        canvas.over(s.x0 + x, s.y0 + y, gold(base + 1.3 * rel[i]), s.cov[i])


def draw_label(canvas, text, left, top, scale):
    s = text_shape(text, left, top, scale, 1, 4)
    s.shadow(canvas, 1, 2, 2.0, 0.5)
    for x, y, i in s.cells():
        if s.mask[i]:
            t = (s.y0 + y + 0.5 - top) / (7 * scale)
            canvas.over(s.x0 + x, s.y0 + y, gold(0.68 - 0.12 * t), s.cov[i])


# --- The frame --------------------------------------------------------------


def bead(s, s0, s1, depth, nx, ny):
    """Brightness change across a half-round moulding from s0 to s1 along the normal (nx, ny)."""
    span = s1 - s0
    slope = depth * math.pi / span * math.cos(math.pi * (s - s0) / span)
    return lit(slope * nx, slope * ny)


def hole_distance(x, y):
    """Distance outside the hole (0 for the first row of frame) and its outward normal."""
    hx1, hy1 = HOLE_X + HOLE_W - 1, HOLE_Y + HOLE_H - 1
    dx = HOLE_X - 1 - x if x < HOLE_X else x - hx1 - 1 if x > hx1 else -1
    dy = HOLE_Y - 1 - y if y < HOLE_Y else y - hy1 - 1 if y > hy1 else -1
    if dx < 0 and dy < 0:
        return -1, 0, 0
    if dx >= dy:
        return dx, (-1 if x < HOLE_X else 1), 0
    return dy, 0, (-1 if y < HOLE_Y else 1)


def edge_distance(x, y):
    """Distance in from the outer edge and the inward normal there."""
    best = (x, 1, 0)
    for d, nx, ny in ((y, 0, 1), (WIDTH - 1 - x, -1, 0), (HEIGHT - 1 - y, 0, -1)):
        if d < best[0]:
            best = (d, nx, ny)
    return best


EMBLEM_X, EMBLEM_TOP = 157, 168


def draw_body(canvas):
    glow_x, glow_y = EMBLEM_X, EMBLEM_TOP + 120
    for y in range(HEIGHT):
        row = mix(BODY_TOP, BODY_BOTTOM, (y / (HEIGHT - 1)) ** 0.9)
        for x in range(WIDTH):
            r, g, b = row
            # A faint light behind the emblem keeps the side panel from
            # reading as a flat slab.
            q = ((x - glow_x) ** 2 + (y - glow_y) ** 2) / (230.0 ** 2)
            if q < 1.0:
                f = (1.0 - q) ** 2
                r, g, b = r + 12 * f, g + 16 * f, b + 24 * f
            n = 3.2 * noise(x, y)
            c = (r + n, g + n, b + n * 1.3)
            d_hole = hole_distance(x, y)[0]
            d_edge = edge_distance(x, y)[0]
            # Soft occlusion where the body meets the mouldings, as if they
            # stood proud of it.
            occ = 1.0
            if d_hole >= 0:
                occ *= 1.0 - 0.45 * clamp(1.0 - (d_hole - 10) / 16.0) ** 2
            occ *= 1.0 - 0.40 * clamp(1.0 - (d_edge - 12) / 18.0) ** 2
            canvas.px[y * WIDTH + x] = (c[0] * occ, c[1] * occ, c[2] * occ)


def draw_mouldings(canvas):
    for y in range(HEIGHT):
        for x in range(WIDTH):
            d, nx, ny = hole_distance(x, y)
            if 0 <= d < 10:
                s = d + 0.5
                if s < 1.5:
                    c = (26, 19, 9)
                elif s < 9.0:
                    c = gold(0.62 + 1.2 * bead(s, 1.5, 9.0, 2.8, nx, ny))
                else:
                    c = INK
                canvas.over(x, y, c)
                continue
            d, nx, ny = edge_distance(x, y)
            s = d + 0.5
            if s < 1.5:
                canvas.over(x, y, INK)
            elif s < 11.0:
                canvas.over(x, y, gold(0.60 + 1.2 * bead(s, 1.5, 11.0, 3.4, nx, ny)))
            elif s < 12.0:
                canvas.over(x, y, INK)
            elif 16.0 <= s < 19.0:
                canvas.over(x, y, gold(0.56 + 1.1 * bead(s, 16.0, 19.0, 0.9, nx, ny)))


def draw_stud(canvas, cx, cy, r):
    """A faceted diamond stud, used where lines of the frame meet."""
    def inside(px, py):
        return abs(px - cx) + abs(py - cy) <= r

    s = Shape(inside, int(cx - r - 6), int(cy - r - 6), int(cx + r + 7), int(cy + r + 7))
    s.shadow(canvas, 2, 2, 3.0, 0.5)
    s.outline(canvas, 1.2, INK)
    rel = s.relief(r * 0.55, r * 0.5)
    for x, y, i in s.cells():
        if s.cov[i] > 0.0:
            canvas.over(s.x0 + x, s.y0 + y, gold(0.62 + 1.4 * rel[i]), s.cov[i])


def draw_flourish(canvas, x0, x1, y):
    """A thin engraved rule that fades towards both ends, with a stud in its middle."""
    mid = (x0 + x1) / 2.0
    half = (x1 - x0) / 2.0
    for x in range(x0, x1):
        fade = clamp(1.0 - abs(x + 0.5 - mid) / half) ** 0.7
        canvas.over(x, y - 1, gold(0.80), 0.85 * fade)
        canvas.over(x, y, gold(0.45), 0.85 * fade)
        canvas.over(x, y + 1, INK, 0.5 * fade)
    draw_stud(canvas, mid, y + 0.5, 6)


def shield_half_width(py, top, half, height):
    """Half width of a heater shield: straight sides, then a curve to the point."""
    shoulder = top + 0.42 * height
    if py < top or py > top + height:
        return -1.0
    if py <= shoulder:
        return half
    t = (py - shoulder) / (top + height - shoulder)
    return half * (1.0 - t ** 1.9)


def draw_emblem(canvas):
    cx, top, half, height = EMBLEM_X, EMBLEM_TOP, 84.0, 232.0

    def inside(px, py):
        return abs(px - cx) <= shield_half_width(py, top, half, height)

    s = Shape(inside, int(cx - half - 12), top - 12, int(cx + half + 14), int(top + height + 14))
    s.shadow(canvas, 4, 6, 9.0, 0.55)
    s.outline(canvas, 1.6, INK)
    rel = s.relief(3.5, 2.6)
    rim = 10.0
    for x, y, i in s.cells():
        if s.cov[i] <= 0.0:
            continue
        d = s.din[i] - 0.5
        px, py = s.x0 + x, s.y0 + y
        if d < rim - 1.5:
            c = gold(0.62 + 1.3 * rel[i])
        elif d < rim:
            c = INK
        else:
            # The field sinks below the rim: darker near the rim's upper-left
            # inner wall, lighter towards the centre.
            t = (py - top) / height
            c = mix((34, 50, 84), (17, 24, 40), t)
            sink = clamp((d - rim) / 9.0)
            c = mix((10, 13, 22), c, 0.35 + 0.65 * sink)
            n = 2.0 * noise(px, py)
            c = (c[0] + n, c[1] + n, c[2] + n)
        canvas.over(px, py, c, s.cov[i])
    draw_tower(canvas, cx, top + 24)


def draw_tower(canvas, cx, top):
    """The hold of the game's name: a keep with battlements, a window and a gate."""
    def inside(px, py):
        x, y = px - cx, py - top
        if -30 <= x <= 30 and 30 <= y <= 150:
            if -11 <= x <= 11 and y >= 118 and (y >= 129 or x * x + (y - 129) ** 2 <= 121):
                return False
            if -4 <= x <= 4 and 58 <= y <= 86 and (y >= 62 or x * x + (y - 62) ** 2 <= 16):
                return False
            return True
        if -40 <= x <= 40 and 22 <= y <= 36:
            return True
        if 8 <= y <= 22:
            for m in (-40, -8, 24):
                if m <= x <= m + 16:
                    return True
        if -40 <= x <= 40 and 150 <= y <= 159:
            return True
        return False

    s = Shape(inside, cx - 58, top - 6, cx + 60, top + 172)
    s.shadow(canvas, 3, 4, 5.0, 0.6)
    s.outline(canvas, 1.4, INK)
    rel = s.relief(3.0, 2.4)
    for x, y, i in s.cells():
        if s.cov[i] > 0.0:
            t = (y + s.y0 - top) / 160.0
            canvas.over(s.x0 + x, s.y0 + y, gold(0.70 - 0.16 * t + 1.3 * rel[i]), s.cov[i])


def draw_socket(canvas, left, top, size):
    """A round recess for a window button, rimmed in gold."""
    r = size / 2.0
    cx, cy = left + r, top + r
    x0, y0 = int(left) - 4, int(top) - 4
    x1, y1 = int(left + size) + 5, int(top + size) + 5
    # A soft shadow cast to the lower right, under the rim.
    for y in range(y0, y1):
        for x in range(x0, x1):
            d = math.hypot(x + 0.5 - cx - 1.5, y + 0.5 - cy - 2.0) - r
            if d < 3.0:
                canvas.scale(x, y, 1.0 - 0.45 * clamp(1.0 - d / 3.0))
    ss = 4
    for y in range(y0, y1):
        for x in range(x0, x1):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(ss):
                for sx in range(ss):
                    px, py = x + (sx + 0.5) / ss, y + (sy + 0.5) / ss
                    dx, dy = px - cx, py - cy
                    dist = math.hypot(dx, dy)
                    if dist > r + 1.0:
                        continue
                    hits += 1
                    ux, uy = (dx / dist, dy / dist) if dist > 1e-6 else (0.0, 0.0)
                    depth_in = r - dist
                    if depth_in < 0.0:
                        c = INK
                    elif depth_in < 3.4:
                        c = gold(0.62 + 1.2 * bead(depth_in, 0.0, 3.4, 1.6, -ux, -uy))
                    elif depth_in < 4.2:
                        c = INK
                    else:
                        # The inner wall catches the light on the far side.
                        f = clamp(0.5 + 0.5 * (ux * -LIGHT[0] + uy * -LIGHT[1]) * (dist / r))
                        c = mix((8, 10, 17), (36, 48, 74), f)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            if hits:
                canvas.over(x, y, (acc[0] / hits, acc[1] / hits, acc[2] / hits), hits / (ss * ss))


def draw_bg():
    canvas = Canvas(WIDTH, HEIGHT)
    draw_body(canvas)
    draw_mouldings(canvas)
    for cx, cy in ((17.5, 17.5), (WIDTH - 17.5, 17.5), (17.5, HEIGHT - 17.5), (WIDTH - 17.5, HEIGHT - 17.5)):
        draw_stud(canvas, cx, cy, 9)
    for cx, cy in ((HOLE_X - 5, HOLE_Y - 5), (HOLE_X - 5, HOLE_Y + HOLE_H + 5),
                   (HOLE_X + HOLE_W + 5, HOLE_Y + HOLE_H + 5)):
        draw_stud(canvas, cx, cy, 7)
    hole_mid = HOLE_X + HOLE_W / 2.0
    draw_title(canvas, "TARNHOLD", hole_mid, 24, 7)
    draw_flourish(canvas, HOLE_X + 40, HOLE_X + HOLE_W - 40, HOLE_Y + HOLE_H + 60)
    draw_emblem(canvas)
    draw_flourish(canvas, EMBLEM_X - 110, EMBLEM_X + 110, EMBLEM_TOP + 272)
    draw_label(canvas, "Login", EMBLEM_X - 43, EMBLEM_TOP + 292, 3)
    for left, top, size in SOCKETS:
        draw_socket(canvas, left, top, size)
    # The hole is cleared last, so nothing drawn near it can leak in; black
    # keeps the colour consistent with zero alpha when it is premultiplied.
    for y in range(HOLE_Y, HOLE_Y + HOLE_H):
        for x in range(HOLE_X, HOLE_X + HOLE_W):
            i = y * WIDTH + x
            canvas.px[i] = (0.0, 0.0, 0.0)
            canvas.alpha[i] = 0
    return canvas


# --- PNG --------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, row, prev, bpp):
    out = bytearray(len(row))
    for i, v in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if kind == 0:
            p = 0
        elif kind == 1:
            p = a
        elif kind == 2:
            p = b
        elif kind == 3:
            p = (a + b) >> 1
        else:
            p = paeth(a, b, c)
        out[i] = (v - p) & 0xFF
    return out


def encode_png(w, h, rgba):
    stride = w * 4
    raw = bytearray()
    prev = bytearray(stride)
    for y in range(h):
        row = rgba[y * stride:(y + 1) * stride]
        # Pick each row's filter by the usual smallest-sum-of-magnitudes rule.
        best = None
        for kind in range(5):
            f = filter_row(kind, row, prev, 4)
            score = sum(v if v < 128 else 256 - v for v in f)
            if best is None or score < best[0]:
                best = (score, kind, f)
        raw.append(best[1])
        raw += best[2]
        prev = row
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    return (PNG_SIGNATURE + png_chunk(b"IHDR", ihdr) + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            png_chunk(b"IEND", b""))


def decode_png(data):
    """Reads back an 8-bit RGBA, non-interlaced PNG; returns (w, h, colour type, rgba)."""
    assert data[:8] == PNG_SIGNATURE, "PNG signature"
    pos, idat, ihdr, kinds = 8, bytearray(), None, []
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, "CRC of %r" % kind
        kinds.append(kind)
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    assert pos == len(data), "trailing bytes after the last chunk"
    assert kinds[0] == b"IHDR" and kinds[-1] == b"IEND", "chunk order %r" % kinds
    w, h, depth, colour, comp, filt, interlace = ihdr
    assert (depth, comp, filt, interlace) == (8, 0, 0, 0), "IHDR %r" % (ihdr,)
    assert colour == 6, "colour type %d" % colour
    raw = zlib.decompress(bytes(idat))
    stride = w * 4
    assert len(raw) == h * (stride + 1), "image data length"
    out = bytearray(h * stride)
    prev = bytearray(stride)
    for y in range(h):
        kind = raw[y * (stride + 1)]
        assert kind <= 4, "filter type %d" % kind
        line = raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
        cur = bytearray(stride)
        for i in range(stride):
            a = cur[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            p = 0 if kind == 0 else a if kind == 1 else b if kind == 2 else (a + b) >> 1 if kind == 3 else paeth(a, b, c)
            cur[i] = (line[i] + p) & 0xFF
        out[y * stride:(y + 1) * stride] = cur
        prev = cur
    return w, h, colour, out


def check_png(path):
    with open(path, "rb") as f:
        w, h, colour, rgba = decode_png(f.read())
    assert (w, h) == (WIDTH, HEIGHT), "size %dx%d" % (w, h)
    hole = opaque = partial = 0
    for y in range(h):
        in_rows = HOLE_Y <= y < HOLE_Y + HOLE_H
        for x in range(w):
            a = rgba[(y * w + x) * 4 + 3]
            if in_rows and HOLE_X <= x < HOLE_X + HOLE_W:
                assert a == 0, "alpha %d inside the hole at (%d, %d)" % (a, x, y)
                hole += 1
            else:
                assert a > 0, "transparent pixel outside the hole at (%d, %d)" % (x, y)
                opaque += a == 255
                partial += a != 255
    assert hole == HOLE_W * HOLE_H
    return "%dx%d RGBA (colour type %d); %d pixels alpha 0 = hole %dx%d at (%d, %d); %d opaque, %d partial" % (
        w, h, colour, hole, HOLE_W, HOLE_H, HOLE_X, HOLE_Y, opaque, partial)


# --- SWF --------------------------------------------------------------------

TWIPS = 20
STAGE_W, STAGE_H = 1000, 700  # the game window's design size, in pixels
SWF_VERSION = 10  # AVM1 reaches ExternalInterface from version 8 on
FPS = 24

TAG_END, TAG_SHOW_FRAME, TAG_DEFINE_SHAPE, TAG_SET_BACKGROUND, TAG_DO_ACTION = 0, 1, 2, 9, 12
TAG_PLACE_OBJECT2, TAG_DEFINE_EDIT_TEXT, TAG_DEFINE_SPRITE, TAG_FILE_ATTRIBUTES, TAG_DEFINE_FONT3 = 26, 37, 39, 69, 75

SWF_BACKGROUND = (0x12, 0x17, 0x22)
SWF_BAR_FILL = GOLD
SWF_BAR_SHADOW = (0x8A, 0x64, 0x24)
SWF_DIM = (0xB0, 0x9A, 0x62)

# The rest of printable ASCII in the same blocky face, rows top down, so the
# movie can show whatever the page hands it. Rows 7 and 8 lie below the
# baseline. The letters the frame art uses stay in GLYPHS untouched, or the
# art would change.
MORE_GLYPHS = {
    " ": "..... ..... ..... ..... ..... ..... .....",
    "!": "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",
    '"': ".#.#. .#.#. .#.#. ..... ..... ..... .....",
    "#": ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.",
    "$": "..#.. .#### #.#.. .###. ..#.# ####. ..#..",
    "%": "##... ##..# ...#. ..#.. .#... #..## ...##",
    "&": ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",
    "'": "..#.. ..#.. .#... ..... ..... ..... .....",
    "(": "...#. ..#.. .#... .#... .#... ..#.. ...#.",
    ")": ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",
    "*": "..... ..#.. #.#.# .###. #.#.# ..#.. .....",
    "+": "..... ..#.. ..#.. ##### ..#.. ..#.. .....",
    ",": "..... ..... ..... ..... .##.. ..#.. .#...",
    "-": "..... ..... ..... ##### ..... ..... .....",
    ".": "..... ..... ..... ..... ..... .##.. .##..",
    "/": "..... ....# ...#. ..#.. .#... #.... .....",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.",
    "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####",
    "3": "##### ...#. ..#.. ...#. ....# #...# .###.",
    "4": "...#. ..##. .#.#. #..#. ##### ...#. ...#.",
    "5": "##### #.... ####. ....# ....# #...# .###.",
    "6": "..##. .#... #.... ####. #...# #...# .###.",
    "7": "##### ....# ...#. ..#.. .#... .#... .#...",
    "8": ".###. #...# #...# .###. #...# #...# .###.",
    "9": ".###. #...# #...# .#### ....# ...#. .##..",
    ":": "..... .##.. .##.. ..... .##.. .##.. .....",
    ";": "..... .##.. .##.. ..... .##.. ..#.. .#...",
    "<": "...#. ..#.. .#... #.... .#... ..#.. ...#.",
    "=": "..... ..... ##### ..... ##### ..... .....",
    ">": ".#... ..#.. ...#. ....# ...#. ..#.. .#...",
    "?": ".###. #...# ....# ...#. ..#.. ..... ..#..",
    "@": ".###. #...# ....# .##.# #.#.# #.#.# .###.",
    "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.",
    "E": "##### #.... #.... ####. #.... #.... #####",
    "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####",
    "I": ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "J": "..### ...#. ...#. ...#. ...#. #..#. .##..",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#",
    "P": "####. #...# #...# ####. #.... #.... #....",
    "Q": ".###. #...# #...# #...# #.#.# #..#. .##.#",
    "S": ".#### #.... #.... .###. ....# ....# ####.",
    "U": "#...# #...# #...# #...# #...# #...# .###.",
    "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",
    "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# #...# .#.#. ..#.. ..#.. ..#..",
    "Z": "##### ....# ...#. ..#.. .#... #.... #####",
    "[": ".###. .#... .#... .#... .#... .#... .###.",
    "\\": "..... #.... .#... ..#.. ...#. ....# .....",
    "]": ".###. ...#. ...#. ...#. ...#. ...#. .###.",
    "^": "..#.. .#.#. #...# ..... ..... ..... .....",
    "_": "..... ..... ..... ..... ..... ..... ..... #####",
    "`": ".#... ..#.. ..... ..... ..... ..... .....",
    "a": "..... ..... .###. ....# .#### #...# .####",
    "b": "#.... #.... #.##. ##..# #...# #...# ####.",
    "c": "..... ..... .###. #.... #.... #...# .###.",
    "d": "....# ....# .##.# #..## #...# #...# .####",
    "e": "..... ..... .###. #...# ##### #.... .###.",
    "f": "..##. .#..# .#... ###.. .#... .#... .#...",
    "h": "#.... #.... #.##. ##..# #...# #...# #...#",
    "j": "...#. ..... ..##. ...#. ...#. ...#. ...#. #..#. .##..",
    "k": "#.... #.... #..#. #.#.. ##... #.#.. #..#.",
    "l": ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "m": "..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#",
    "p": "..... ..... ####. #...# #...# #...# ####. #.... #....",
    "q": "..... ..... .#### #...# #...# #...# .#### ....# ....#",
    "r": "..... ..... #.##. ##..# #.... #.... #....",
    "s": "..... ..... .#### #.... .###. ....# ####.",
    "t": ".#... .#... ###.. .#... .#... .#..# ..##.",
    "u": "..... ..... #...# #...# #...# #..## .##.#",
    "v": "..... ..... #...# #...# #...# .#.#. ..#..",
    "w": "..... ..... #...# #...# #.#.# #.#.# .#.#.",
    "x": "..... ..... #...# .#.#. ..#.. .#.#. #...#",
    "y": "..... ..... #...# #...# #...# #...# .#### ....# .###.",
    "z": "..... ..... ##### ...#. ..#.. .#... #####",
    "{": "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.",
    "|": "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "}": ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#...",
    "~": "..... ..... .#... #.#.# ...#. ..... .....",
}
FONT_GLYPHS = dict(GLYPHS, **{ch: rows.split() for ch, rows in MORE_GLYPHS.items()})
FONT_CODES = list(range(0x20, 0x7F))
FONT_NAME = b"Tarnhold Pixel"

# A glyph cell is 5 x 7 blocks over the baseline and 2 under it; the em is
# 10 blocks, so a field's font height in pixels divided by 10 is the block
# size, and a height that is a multiple of 10 keeps every edge on a pixel.
FONT_EM = 1024 * TWIPS  # DefineFont3 glyphs are drawn on a 20480-unit em
FONT_BLOCK = FONT_EM // 10
FONT_ASCENT, FONT_DESCENT = 8 * FONT_BLOCK, 2 * FONT_BLOCK
FONT_ADVANCE = 6 * FONT_BLOCK
FONT_ID, BAR_ID, MARKER_SHAPE_ID, MARKER_ID = 1, 2, 3, 4

# The marker slides along the bar so that a still picture taken a moment
# later shows the movie running, not frozen on its first frame.
BAR_X, BAR_Y, BAR_W, BAR_H, BAR_LIP = 200, 335, 600, 24, 6
MARKER_W = 40
MARKER_STEP = 5

# (character id, name, left, top, width, font px, colour, bound variable, initial text)
TEXT_X = BAR_X - 2  # the field's own 2-pixel gutter, so the letters line up with the bar
FIELDS = (
    (10, "title", 356 - 2, 90, 300, 60, GOLD, "", "TARNHOLD"),
    (11, "server", TEXT_X, 190, 780, 30, GOLD, "lineServer", ""),
    (12, "host", TEXT_X, 235, 780, 30, GOLD, "lineHost", ""),
    (13, "session", TEXT_X, 280, 780, 30, GOLD, "lineSession", ""),
    (14, "frame", TEXT_X, 390, 780, 20, SWF_DIM, "lineFrame", "Frame 0"),
)
# The page's flash variables, in the order the host page's callback takes them.
REPORTED = ("sso", "sid", "host", "poy", "microp", "platform")
SHOWN = (("lineServer", "Server ", "sid"), ("lineHost", "Host ", "host"), ("lineSession", "Session ", "sso"))
STARTED_CALLBACK, FRAME_CALLBACK = "tarnholdMovieStarted", "tarnholdMovieFrame"


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def ub(self, value, bits):
        assert 0 <= value < (1 << bits) or bits == 0
        for k in range(bits - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> k) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc = self.n = 0

    def sb(self, value, bits):
        assert -(1 << (bits - 1)) <= value < (1 << (bits - 1))
        self.ub(value & ((1 << bits) - 1), bits)

    def align(self):
        if self.n:
            self.ub(0, 8 - self.n)
        return bytes(self.out)


class BitReader:
    def __init__(self, data, pos=0):
        self.data, self.bit = data, pos * 8

    def ub(self, bits):
        v = 0
        for _ in range(bits):
            byte = self.data[self.bit >> 3]
            v = (v << 1) | ((byte >> (7 - (self.bit & 7))) & 1)
            self.bit += 1
        return v

    def sb(self, bits):
        v = self.ub(bits)
        return v - (1 << bits) if bits and v >> (bits - 1) else v

    def align(self):
        self.bit = (self.bit + 7) & ~7
        return self.bit >> 3


def signed_bits(*values):
    n = 1
    for v in values:
        while not -(1 << (n - 1)) <= v < (1 << (n - 1)):
            n += 1
    return n


def rect(bw, xmin, xmax, ymin, ymax):
    n = signed_bits(xmin, xmax, ymin, ymax)
    bw.ub(n, 5)
    for v in (xmin, xmax, ymin, ymax):
        bw.sb(v, n)


def tag(code, body):
    if len(body) < 0x3F:
        return struct.pack("<H", code << 6 | len(body)) + body
    return struct.pack("<HI", code << 6 | 0x3F, len(body)) + body


def rgb(c):
    return bytes(c)


def cstr(s):
    return s.encode("ascii") + b"\x00"


def rect_records(bw, rects, fill_bits, fill_of):
    """Edge records of non-overlapping rectangles [(x, y, w, h)], each a closed outline."""
    for index, (x, y, w, h) in enumerate(rects):
        # Style change: set fill style 1 and move to the rectangle's corner.
        bw.ub(0, 1)
        bw.ub(0b00101, 5)
        n = signed_bits(x, y)
        bw.ub(n, 5)
        bw.sb(x, n)
        bw.sb(y, n)
        bw.ub(fill_of(index), fill_bits)
        # Clockwise on screen, so the fill lies to the right of every edge.
        for vertical, delta in ((False, w), (True, h), (False, -w), (True, -h)):
            n = max(2, signed_bits(delta))
            bw.ub(1, 1)
            bw.ub(1, 1)
            bw.ub(n - 2, 4)
            bw.ub(0, 1)
            bw.ub(1 if vertical else 0, 1)
            bw.sb(delta, n)
    bw.ub(0, 6)  # end of shape


def define_shape(shape_id, rects):
    """One shape of axis-aligned filled rectangles: [(fill colour, x, y, w, h)] in twips."""
    xmin = min(r[1] for r in rects)
    ymin = min(r[2] for r in rects)
    xmax = max(r[1] + r[3] for r in rects)
    ymax = max(r[2] + r[4] for r in rects)
    bw = BitWriter()
    rect(bw, xmin, xmax, ymin, ymax)
    body = struct.pack("<H", shape_id) + bw.align()
    body += bytes([len(rects)]) + b"".join(b"\x00" + rgb(r[0]) for r in rects)
    body += b"\x00"  # no line styles
    fill_bits = signed_bits(len(rects)) - 1 or 1
    bw = BitWriter()
    bw.ub(fill_bits, 4)
    bw.ub(0, 4)
    rect_records(bw, [r[1:] for r in rects], fill_bits, lambda i: i + 1)
    return tag(TAG_DEFINE_SHAPE, body + bw.align())


def glyph_blocks(rows):
    """A glyph's set blocks merged into non-overlapping rectangles (col, row, w, h).

    Runs along a row are joined first, then a run is stretched down over the
    rows that repeat it exactly; overlapping outlines would cancel each other
    out under an even-odd fill.
    """
    runs = []
    for r, line in enumerate(rows):
        c = 0
        while c < len(line):
            if line[c] == "#":
                start = c
                while c < len(line) and line[c] == "#":
                    c += 1
                runs.append((start, r, c - start))
            else:
                c += 1
    taken, out = set(), []
    for start, r, w in runs:
        if (start, r, w) in taken:
            continue
        h = 1
        while (start, r + h, w) in runs:
            taken.add((start, r + h, w))
            h += 1
        out.append((start, r, w, h))
    return out


def glyph_rects(ch):
    """A glyph's rectangles in em units, the origin on the baseline at the left."""
    return [(c * FONT_BLOCK, (r - 7) * FONT_BLOCK, w * FONT_BLOCK, h * FONT_BLOCK)
            for c, r, w, h in glyph_blocks(FONT_GLYPHS[ch])]


def define_font3():
    shapes, bounds = [], []
    for code in FONT_CODES:
        rects = glyph_rects(chr(code))
        bw = BitWriter()
        bw.ub(1, 4)
        bw.ub(0, 4)
        rect_records(bw, rects, 1, lambda i: 1)
        shapes.append(bw.align())
        bw = BitWriter()
        if rects:
            rect(bw, min(x for x, _, _, _ in rects), max(x + w for x, _, w, _ in rects),
                 min(y for _, y, _, _ in rects), max(y + h for _, y, _, h in rects))
        else:
            rect(bw, 0, 0, 0, 0)
        bounds.append(bw.align())
    n = len(FONT_CODES)
    offsets, at = [], 2 * n + 2
    for s in shapes:
        offsets.append(at)
        at += len(s)
    assert at < 0x10000, "glyphs outgrow 16-bit offsets"
    body = struct.pack("<HBBB", FONT_ID, 0x84, 1, len(FONT_NAME)) + FONT_NAME  # has layout, wide codes; Latin
    body += struct.pack("<H", n) + struct.pack("<%dH" % n, *offsets) + struct.pack("<H", at) + b"".join(shapes)
    body += struct.pack("<%dH" % n, *FONT_CODES)
    body += struct.pack("<hhh", FONT_ASCENT, FONT_DESCENT, 0)
    body += struct.pack("<%dh" % n, *([FONT_ADVANCE] * n)) + b"".join(bounds) + struct.pack("<H", 0)
    return tag(TAG_DEFINE_FONT3, body)


def define_edit_text(char_id, width, font_px, colour, variable, text):
    bw = BitWriter()
    rect(bw, 0, width * TWIPS, 0, (font_px + 6) * TWIPS)
    flags = 0x08 | 0x04 | 0x01 | (0x80 if text else 0)  # read-only, colour, font; text if any
    flags2 = 0x10 | 0x01  # not selectable; embedded outlines, never a device font
    body = struct.pack("<H", char_id) + bw.align() + bytes([flags, flags2])
    body += struct.pack("<HH", FONT_ID, font_px * TWIPS) + rgb(colour) + b"\xff"
    body += cstr(variable) + (cstr(text) if text else b"")
    return tag(TAG_DEFINE_EDIT_TEXT, body)


def place_object2(char_id, depth, tx, ty, name=""):
    bw = BitWriter()
    bw.ub(0, 1)  # no scale
    bw.ub(0, 1)  # no rotation
    n = signed_bits(tx, ty)
    bw.ub(n, 5)
    bw.sb(tx, n)
    bw.sb(ty, n)
    flags = 0x06 | (0x20 if name else 0)
    return tag(TAG_PLACE_OBJECT2, struct.pack("<BHH", flags, depth, char_id) + bw.align() +
               (cstr(name) if name else b""))


# --- AVM1 -------------------------------------------------------------------

A_END, A_STOP, A_NOT, A_POP, A_GET_VARIABLE, A_SET_VARIABLE = 0x00, 0x07, 0x12, 0x17, 0x1C, 0x1D
A_MODULO, A_ADD2, A_EQUALS2, A_GET_MEMBER, A_SET_MEMBER, A_CALL_METHOD = 0x3F, 0x47, 0x49, 0x4E, 0x4F, 0x52
A_MULTIPLY, A_PUSH, A_DEFINE_FUNCTION, A_IF = 0x0C, 0x96, 0x9B, 0x9D


def act(code, payload=b""):
    return bytes([code]) + (struct.pack("<H", len(payload)) + payload if code >= 0x80 else b"")


def push(*values):
    out = bytearray()
    for v in values:
        if isinstance(v, str):
            out += b"\x00" + cstr(v)
        else:
            out += b"\x07" + struct.pack("<i", v)
    return act(A_PUSH, bytes(out))


def root_get(name):
    return push("_root") + act(A_GET_VARIABLE) + push(name) + act(A_GET_MEMBER)


def call_external(name, arg_code):
    """ExternalInterface.call(name, ...) with the arguments' code already in reverse order."""
    count = len(arg_code) + 1
    return (b"".join(arg_code) + push(name, count, "flash") + act(A_GET_VARIABLE) + push("external") +
            act(A_GET_MEMBER) + push("ExternalInterface") + act(A_GET_MEMBER) + push("call") +
            act(A_CALL_METHOD) + act(A_POP))


def frame_one_actions():
    # Report before anything else touches _root, so the page sees the
    # variables exactly as the player handed them over.
    code = call_external(STARTED_CALLBACK, [root_get(v) for v in reversed(REPORTED)])
    for var, label, source in SHOWN:
        code += push("_root") + act(A_GET_VARIABLE) + push(var, label) + root_get(source) + act(A_ADD2)
        code += act(A_SET_MEMBER)
    code += push("_root") + act(A_GET_VARIABLE) + push("tick", 0) + act(A_SET_MEMBER)
    # The root timeline has a single frame; onEnterFrame keeps running on it.
    code += push("_root") + act(A_GET_VARIABLE) + push("onEnterFrame")
    body = on_enter_frame()
    code += act(A_DEFINE_FUNCTION, cstr("") + struct.pack("<HH", 0, len(body))) + body
    code += act(A_SET_MEMBER) + act(A_STOP) + act(A_END)
    return code


def on_enter_frame():
    code = push("_root") + act(A_GET_VARIABLE) + push("tick") + root_get("tick") + push(1) + act(A_ADD2)
    code += act(A_SET_MEMBER)
    code += push("_root") + act(A_GET_VARIABLE) + push("lineFrame", "Frame ") + root_get("tick") + act(A_ADD2)
    code += act(A_SET_MEMBER)
    code += push("_root") + act(A_GET_VARIABLE) + push("marker") + act(A_GET_MEMBER) + push("_x", BAR_X)
    code += root_get("tick") + push(MARKER_STEP) + act(A_MULTIPLY)
    code += push(BAR_W - MARKER_W) + act(A_MODULO) + act(A_ADD2) + act(A_SET_MEMBER)
    # Once a second, tell the page the movie is still alive.
    report = call_external(FRAME_CALLBACK, [root_get("tick")])
    code += root_get("tick") + push(FPS) + act(A_MODULO) + push(0) + act(A_EQUALS2) + act(A_NOT)
    code += act(A_IF, struct.pack("<h", len(report))) + report
    return code


def define_sprite(sprite_id, shape_id):
    """A one-frame clip holding one shape at its origin.

    AVM1 cannot script a shape: a shape's instance name resolves to the clip
    it sits in, so moving the marker must go through a clip of its own.
    """
    control = place_object2(shape_id, 1, 0, 0) + tag(TAG_SHOW_FRAME, b"") + tag(TAG_END, b"")
    return tag(TAG_DEFINE_SPRITE, struct.pack("<HH", sprite_id, 1) + control)


def swf_layout():
    bar_w, bar_h, lip = BAR_W * TWIPS, BAR_H * TWIPS, BAR_LIP * TWIPS
    rects = [(SWF_BAR_FILL, 0, 0, bar_w, bar_h), (SWF_BAR_SHADOW, 0, bar_h, bar_w, lip)]
    return rects, (BAR_X * TWIPS, BAR_Y * TWIPS)


def marker_layout():
    return [(SWF_BACKGROUND, 0, 0, MARKER_W * TWIPS, BAR_H * TWIPS)], (BAR_X * TWIPS, BAR_Y * TWIPS)


def make_swf():
    rects, (tx, ty) = swf_layout()
    mrects, (mx, my) = marker_layout()
    bw = BitWriter()
    rect(bw, 0, STAGE_W * TWIPS, 0, STAGE_H * TWIPS)
    after_length = bw.align() + struct.pack("<HH", FPS << 8, 1)
    tags = tag(TAG_FILE_ATTRIBUTES, struct.pack("<I", 0)) + tag(TAG_SET_BACKGROUND, rgb(SWF_BACKGROUND))
    tags += define_font3() + define_shape(BAR_ID, rects) + define_shape(MARKER_SHAPE_ID, mrects)
    tags += define_sprite(MARKER_ID, MARKER_SHAPE_ID)
    for char_id, _, _, _, width, px, colour, var, text in FIELDS:
        tags += define_edit_text(char_id, width, px, colour, var, text)
    tags += place_object2(BAR_ID, 1, tx, ty) + place_object2(MARKER_ID, 2, mx, my, "marker")
    for depth, (char_id, name, x, y, *_rest) in enumerate(FIELDS, start=10):
        tags += place_object2(char_id, depth, x * TWIPS, y * TWIPS, name)
    tags += tag(TAG_DO_ACTION, frame_one_actions()) + tag(TAG_SHOW_FRAME, b"") + tag(TAG_END, b"")
    body = after_length + tags
    return b"FWS" + bytes([SWF_VERSION]) + struct.pack("<I", 8 + len(body)) + body


# --- SWF check ---------------------------------------------------------------


def read_rect(br):
    n = br.ub(5)
    return n, tuple(br.sb(n) for _ in range(4))


def read_cstr(data, pos):
    end = data.index(b"\x00", pos)
    return data[pos:end].decode("ascii"), end + 1


def parse_records(br, fill_bits, line_bits):
    """Shape records up to the end record: paths of straight edges with their fill styles."""
    paths, current, x, y = [], None, 0, 0
    while True:
        if br.ub(1) == 0:
            flags = br.ub(5)
            if flags == 0:
                break
            assert flags & 0b10000 == 0, "no new styles are written"
            if flags & 1:
                n = br.ub(5)
                x, y = br.sb(n), br.sb(n)
            fill0 = br.ub(fill_bits) if flags & 0b00010 else 0
            fill1 = br.ub(fill_bits) if flags & 0b00100 else 0
            if flags & 0b01000:
                br.ub(line_bits)
            current = {"fill0": fill0, "fill1": fill1, "points": [(x, y)]}
            paths.append(current)
        else:
            assert br.ub(1) == 1, "only straight edges are written"
            n = br.ub(4) + 2
            if br.ub(1):
                x += br.sb(n)
                y += br.sb(n)
            elif br.ub(1):
                y += br.sb(n)
            else:
                x += br.sb(n)
            assert current is not None, "edge before the first move"
            current["points"].append((x, y))
    return paths


def parse_shape(body):
    (shape_id,) = struct.unpack("<H", body[:2])
    br = BitReader(body, 2)
    _, bounds = read_rect(br)
    pos = br.align()
    count = body[pos]
    pos += 1
    fills = []
    for _ in range(count):
        assert body[pos] == 0x00, "only solid fills are written"
        fills.append(tuple(body[pos + 1:pos + 4]))
        pos += 4
    assert body[pos] == 0, "no line styles are written"
    pos += 1
    br = BitReader(body, pos)
    fill_bits, line_bits = br.ub(4), br.ub(4)
    paths = parse_records(br, fill_bits, line_bits)
    assert br.align() == len(body), "shape ends with its last record"
    return shape_id, bounds, fills, paths


def check_rect_shape(body, layout):
    shape_id, bounds, fills, paths = parse_shape(body)
    rects, _ = layout()
    assert fills == [r[0] for r in rects], "fills %r" % fills
    assert len(paths) == len(rects)
    for p, (_, x, y, w, h) in zip(paths, rects):
        pts = p["points"]
        assert pts == [(x, y), (x + w, y), (x + w, y + h), (x, y + h), (x, y)], "outline %r" % pts
        assert 1 <= p["fill1"] <= len(fills) and p["fill0"] == 0
        assert bounds[0] <= x and x + w <= bounds[1] and bounds[2] <= y and y + h <= bounds[3]
    return shape_id, bounds


def blocks_of_outlines(paths):
    """The font blocks the closed rectangular outlines of one glyph cover, each exactly once."""
    covered = []
    for p in paths:
        pts = p["points"]
        assert p["fill1"] == 1 and p["fill0"] == 0, "glyph fill %r" % p
        assert len(pts) == 5 and pts[0] == pts[4], "glyph outline %r" % pts
        xs, ys = sorted({x for x, _ in pts}), sorted({y for _, y in pts})
        assert len(xs) == 2 and len(ys) == 2 and pts[1][1] == pts[0][1] and pts[1][0] > pts[0][0], \
            "not a clockwise rectangle %r" % pts
        assert all(v % FONT_BLOCK == 0 for v in xs + ys), "edge off the block grid %r" % pts
        for c in range(xs[0] // FONT_BLOCK, xs[1] // FONT_BLOCK):
            for r in range(ys[0] // FONT_BLOCK + 7, ys[1] // FONT_BLOCK + 7):
                covered.append((c, r))
    assert len(covered) == len(set(covered)), "overlapping glyph outlines"
    return set(covered)


def check_font3(body):
    font_id, flags, lang, name_len = struct.unpack("<HBBB", body[:5])
    assert flags == 0x84, "font flags %#x: layout and wide codes only" % flags
    name = body[5:5 + name_len]
    pos = 5 + name_len
    (n,) = struct.unpack("<H", body[pos:pos + 2])
    pos += 2
    table = pos
    offsets = struct.unpack("<%dH" % n, body[pos:pos + 2 * n])
    (code_at,) = struct.unpack("<H", body[pos + 2 * n:pos + 2 * n + 2])
    assert offsets[0] == 2 * n + 2 and list(offsets) == sorted(offsets) and offsets[-1] < code_at
    codes = struct.unpack("<%dH" % n, body[table + code_at:table + code_at + 2 * n])
    assert list(codes) == FONT_CODES, "code table %r" % (codes,)
    for i, code in enumerate(codes):
        start = table + offsets[i]
        end = table + (offsets[i + 1] if i + 1 < n else code_at)
        br = BitReader(body, start)
        assert (br.ub(4), br.ub(4)) == (1, 0), "glyph %r style bits" % chr(code)
        paths = parse_records(br, 1, 0)
        assert br.align() == end, "glyph %r length" % chr(code)
        want = {(c, r) for r, line in enumerate(FONT_GLYPHS[chr(code)]) for c, b in enumerate(line) if b == "#"}
        assert blocks_of_outlines(paths) == want, "glyph %r draws other blocks than its bitmap" % chr(code)
        assert all(c < 5 and r < 9 for c, r in want), "glyph %r outside its cell" % chr(code)
        assert code == 0x20 or want, "glyph %r is empty" % chr(code)
    pos = table + code_at + 2 * n
    ascent, descent, leading = struct.unpack("<hhh", body[pos:pos + 6])
    assert ascent + descent == FONT_EM and ascent == 8 * FONT_BLOCK, "ascent %d descent %d" % (ascent, descent)
    pos += 6
    advances = struct.unpack("<%dh" % n, body[pos:pos + 2 * n])
    assert set(advances) == {FONT_ADVANCE}, "advances %r" % (set(advances),)
    br = BitReader(body, pos + 2 * n)
    for _ in range(n):
        read_rect(br)
        pos = br.align()  # every RECT starts on a byte
    assert body[pos:] == b"\x00\x00", "kerning count and end of font"
    return font_id, name


def check_edit_text(body, font_id):
    (char_id,) = struct.unpack("<H", body[:2])
    br = BitReader(body, 2)
    _, bounds = read_rect(br)
    pos = br.align()
    flags, flags2 = body[pos], body[pos + 1]
    assert flags & 0x7F == 0x0D and flags2 == 0x11, "field %d flags %#x %#x" % (char_id, flags, flags2)
    fid, height = struct.unpack("<HH", body[pos + 2:pos + 6])
    assert fid == font_id, "field %d uses font %d" % (char_id, fid)
    assert height % (10 * TWIPS) == 0, "field %d font height %d off the pixel grid" % (char_id, height)
    assert bounds[3] - bounds[2] >= height + 4 * TWIPS, "field %d too short for its font" % char_id
    colour = tuple(body[pos + 6:pos + 10])
    assert colour[3] == 0xFF, "field %d colour %r" % (char_id, colour)
    variable, pos = read_cstr(body, pos + 10)
    text = ""
    if flags & 0x80:
        text, pos = read_cstr(body, pos)
        assert all(ord(c) in FONT_CODES for c in text), "field %d text outside the font" % char_id
    assert pos == len(body), "field %d trailing bytes" % char_id
    return char_id, bounds, variable, text


def check_place(body):
    flags, depth, char_id = struct.unpack("<BHH", body[:5])
    assert flags & ~0x20 == 0x06, "PlaceObject2 flags %#x" % flags
    br = BitReader(body, 5)
    assert br.ub(1) == 0 and br.ub(1) == 0
    n = br.ub(5)
    placed = (br.sb(n), br.sb(n))
    pos = br.align()
    name = ""
    if flags & 0x20:
        name, pos = read_cstr(body, pos)
    assert pos == len(body), "PlaceObject2 trailing bytes"
    return depth, char_id, placed, name


def decode_actions(code, start, end):
    """{offset: (opcode, operands)} for the actions in code[start:end], nested bodies included."""
    out, pos = {}, start
    while pos < end:
        op = code[pos]
        here = pos
        pos += 1
        args = None
        if op >= 0x80:
            (size,) = struct.unpack("<H", code[pos:pos + 2])
            pos += 2
            payload = code[pos:pos + size]
            assert len(payload) == size, "action %#x runs past the end" % op
            pos += size
            if op == A_PUSH:
                args, p = [], 0
                while p < size:
                    kind = payload[p]
                    if kind == 0:
                        s, p = read_cstr(payload, p + 1)
                        args.append(s)
                    elif kind == 7:
                        args.append(struct.unpack("<i", payload[p + 1:p + 5])[0])
                        p += 5
                    else:
                        raise AssertionError("push type %d is not written" % kind)
            elif op == A_IF:
                (args,) = struct.unpack("<h", payload)
            elif op == A_DEFINE_FUNCTION:
                name, p = read_cstr(payload, 0)
                nparams, body_size = struct.unpack("<HH", payload[p:p + 4])
                assert name == "" and nparams == 0 and p + 4 == size, "function header"
                assert pos + body_size <= end, "function body runs past its action block"
                args = (pos, pos + body_size)
                out.update(decode_actions(code, pos, pos + body_size))
                pos += body_size
            else:
                raise AssertionError("action %#x is not written" % op)
        else:
            assert op in (A_END, A_STOP, A_NOT, A_POP, A_GET_VARIABLE, A_MODULO, A_ADD2, A_EQUALS2, A_GET_MEMBER,
                          A_SET_MEMBER, A_CALL_METHOD, A_MULTIPLY), "action %#x is not written" % op
        out[here] = (op, args, pos)
    assert pos == end, "actions overrun their block"
    return out


class Avm1Object(dict):
    pass


def run_actions(actions, start, end, root, calls):
    """Runs the few AVM1 actions the movie uses, the way the player would, on plain objects."""
    stack, pc = [], start
    while pc < end:
        op, args, nxt = actions[pc]
        if op == A_PUSH:
            stack.extend(args)
        elif op == A_GET_VARIABLE:
            name = stack.pop()
            assert name in ("_root", "flash"), "reads the variable %r off the scope chain" % name
            stack.append(root if name == "_root" else root["$flash"])
        elif op == A_GET_MEMBER:
            name, obj = stack.pop(), stack.pop()
            stack.append(obj.get(name) if isinstance(obj, dict) else None)
        elif op == A_SET_MEMBER:
            value, name, obj = stack.pop(), stack.pop(), stack.pop()
            assert isinstance(obj, dict), "sets %r on %r" % (name, obj)
            obj[name] = value
        elif op == A_CALL_METHOD:
            name, obj, count = stack.pop(), stack.pop(), stack.pop()
            call_args = [stack.pop() for _ in range(count)]
            assert obj is root["$flash"]["external"]["ExternalInterface"] and name == "call", "calls %r" % name
            calls.append(tuple(call_args))
            stack.append(None)
        elif op == A_ADD2:
            b, a = stack.pop(), stack.pop()
            if isinstance(a, str) or isinstance(b, str):
                text = lambda v: "undefined" if v is None else v if isinstance(v, str) else "%d" % v
                stack.append(text(a) + text(b))
            else:
                stack.append(a + b)
        elif op in (A_MULTIPLY, A_MODULO):
            b, a = stack.pop(), stack.pop()
            stack.append(a * b if op == A_MULTIPLY else a % b)
        elif op == A_EQUALS2:
            b, a = stack.pop(), stack.pop()
            stack.append(a == b)
        elif op == A_NOT:
            stack.append(not stack.pop())
        elif op == A_POP:
            stack.pop()
        elif op == A_IF:
            if stack.pop():
                nxt += args
                assert nxt in actions or nxt == end, "branch into the middle of an action"
        elif op == A_DEFINE_FUNCTION:
            stack.append(("function",) + args)
        elif op == A_STOP:
            root["$stopped"] = True
        elif op == A_END:
            assert nxt == end, "End before the block's end"
            break
        pc = nxt
    assert not stack, "stack left with %r" % stack


def check_actions(code, fields):
    actions = decode_actions(code, 0, len(code))
    assert code[-1] == A_END, "frame actions end with End"
    flash_vars = {"sso": "serverid=7&username=ab", "sid": "7", "host": "http://127.0.0.1:18080/kvx_stable",
                  "poy": "250", "microp": "1", "platform": "1"}
    api = Avm1Object()
    root = Avm1Object(flash_vars, marker=Avm1Object(_x=BAR_X), **{"$flash": {"external": {"ExternalInterface": api}}})
    calls = []
    run_actions(actions, 0, len(code), root, calls)
    assert calls == [(STARTED_CALLBACK,) + tuple(flash_vars[v] for v in REPORTED)], "first frame calls %r" % calls
    assert root.get("$stopped"), "the timeline is not stopped"
    shown = {v: root.get(v) for v in ("lineServer", "lineHost", "lineSession")}
    assert shown == {"lineServer": "Server 7", "lineHost": "Host " + flash_vars["host"],
                     "lineSession": "Session " + flash_vars["sso"]}, "shown %r" % shown
    bound = {f[2] for f in fields}
    assert set(shown) | {"lineFrame"} <= bound, "lines without a field: %r" % (set(shown) - bound)
    handler = root.get("onEnterFrame")
    assert handler and handler[0] == "function", "no onEnterFrame handler"
    xs = set()
    for _ in range(2 * FPS):
        run_actions(actions, handler[1], handler[2], root, calls)
        xs.add(root["marker"]["_x"])
    assert root["tick"] == 2 * FPS and root["lineFrame"] == "Frame %d" % (2 * FPS), "ticks %r" % root["tick"]
    assert calls[1:] == [(FRAME_CALLBACK, FPS), (FRAME_CALLBACK, 2 * FPS)], "frame reports %r" % calls[1:]
    assert len(xs) > FPS and min(xs) >= BAR_X and max(xs) + MARKER_W <= BAR_X + BAR_W, "marker at %r" % sorted(xs)
    # A movie without the flash variables must still run: the callback then
    # gets undefined for each, and the lines say so rather than failing.
    bare = Avm1Object(marker=Avm1Object(_x=0), **{"$flash": root["$flash"]})
    calls = []
    run_actions(actions, 0, len(code), bare, calls)
    assert calls == [(STARTED_CALLBACK,) + (None,) * len(REPORTED)], "bare calls %r" % calls
    assert bare["lineServer"] == "Server undefined"
    return len(actions)


def split_tags(data, pos):
    tags = []
    while pos < len(data):
        (head,) = struct.unpack("<H", data[pos:pos + 2])
        code, size = head >> 6, head & 0x3F
        pos += 2
        if size == 0x3F:
            (size,) = struct.unpack("<I", data[pos:pos + 4])
            pos += 4
        assert pos + size <= len(data), "tag %d runs past the end" % code
        tags.append((code, data[pos:pos + size]))
        pos += size
        if code == TAG_END:
            break
    assert pos == len(data), "bytes after the End tag"
    return tags


def check_sprite(body, shapes):
    sprite_id, frames = struct.unpack("<HH", body[:4])
    inner = split_tags(body, 4)
    assert frames == 1 and [c for c, _ in inner] == [TAG_PLACE_OBJECT2, TAG_SHOW_FRAME, TAG_END], \
        "sprite %d tags %r" % (sprite_id, [c for c, _ in inner])
    depth, char_id, placed, name = check_place(inner[0][1])
    assert char_id in shapes and placed == (0, 0), "sprite %d holds %d at %r" % (sprite_id, char_id, placed)
    return sprite_id, shapes[char_id]


def check_swf(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:3] == b"FWS", "signature %r" % data[:3]
    assert data[3] == SWF_VERSION, "version %d" % data[3]
    (length,) = struct.unpack("<I", data[4:8])
    assert length == len(data), "header length %d, file %d" % (length, len(data))
    br = BitReader(data, 8)
    nbits, frame = read_rect(br)
    assert frame == (0, STAGE_W * TWIPS, 0, STAGE_H * TWIPS), "frame %r" % (frame,)
    assert nbits == signed_bits(*frame), "RECT field width %d" % nbits
    pos = br.align()
    assert pos == 8 + (5 + 4 * nbits + 7) // 8
    rate, frames = struct.unpack("<HH", data[pos:pos + 4])
    assert rate == FPS << 8, "frame rate %r" % rate
    assert frames == 1, "frame count %d" % frames
    tags = split_tags(data, pos + 4)
    codes = [c for c, _ in tags]
    expected = ([TAG_FILE_ATTRIBUTES, TAG_SET_BACKGROUND, TAG_DEFINE_FONT3, TAG_DEFINE_SHAPE, TAG_DEFINE_SHAPE,
                 TAG_DEFINE_SPRITE] +
                [TAG_DEFINE_EDIT_TEXT] * len(FIELDS) + [TAG_PLACE_OBJECT2] * (2 + len(FIELDS)) +
                [TAG_DO_ACTION, TAG_SHOW_FRAME, TAG_END])
    assert codes == expected, "tags %r" % codes
    bodies = [b for _, b in tags]
    attrs = bodies[0]
    # No AS3 flag: the movie's code is AVM1.
    assert len(attrs) == 4 and struct.unpack("<I", attrs)[0] & 0x08 == 0
    background = tuple(bodies[1])
    assert len(background) == 3 and sum(background) < 150, "background %r" % (background,)
    font_id, font_name = check_font3(bodies[2])
    bar_id, bar_bounds = check_rect_shape(bodies[3], swf_layout)
    marker_shape_id, marker_bounds = check_rect_shape(bodies[4], marker_layout)
    marker_id, _ = check_sprite(bodies[5], {marker_shape_id: marker_bounds})
    fields = [check_edit_text(b, font_id) for b in bodies[6:6 + len(FIELDS)]]
    chars = {bar_id: bar_bounds, marker_id: marker_bounds}
    chars.update({f[0]: f[1] for f in fields})
    assert len(chars) == 2 + len(FIELDS) and font_id not in chars and marker_shape_id not in chars, \
        "character ids collide"
    places = [check_place(b) for b in bodies[6 + len(FIELDS):6 + 2 * len(FIELDS) + 2]]
    assert len({p[0] for p in places}) == len(places), "two objects on one depth"
    names = {}
    for depth, char_id, (tx, ty), name in places:
        assert char_id in chars, "places undefined character %d" % char_id
        b = chars[char_id]
        assert 0 <= tx + b[0] and tx + b[1] <= frame[1] and 0 <= ty + b[2] and ty + b[3] <= frame[3], \
            "character %d placed off the stage" % char_id
        if name:
            names[name] = char_id
    # Scripts move the marker by name, which only reaches a clip.
    assert names.get("marker") == marker_id, "the moving marker is not a named clip"
    assert places[0][1] == bar_id and places[1][1] == marker_id and places[0][0] < places[1][0], \
        "the marker must lie over the bar"
    n_actions = check_actions(bodies[-3], fields)
    assert bodies[-2] == b"" and bodies[-1] == b""
    listing = ", ".join("%d(%d)" % (c, len(b)) for c, b in tags)
    return ("FWS v%d, %d bytes, frame %r twips in %d-bit RECT, %d fps, 1 frame; font %r, %d glyphs; "
            "%d actions decoded and run; tags code(len): %s") % (
        data[3], length, frame, nbits, FPS, font_name.decode(), len(FONT_CODES), n_actions, listing)


# --- Driver -----------------------------------------------------------------


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="verify the written files without redrawing them")
    args = parser.parse_args()
    if not args.check:
        canvas = draw_bg()
        write(BG_PATH, encode_png(WIDTH, HEIGHT, canvas.rgba()))
        write(SWF_PATH, make_swf())
    try:
        png_report = check_png(BG_PATH)
        swf_report = check_swf(SWF_PATH)
    except AssertionError as e:
        print("check failed: %s" % e, file=sys.stderr)
        return 1
    for path, report in ((BG_PATH, png_report), (SWF_PATH, swf_report)):
        rel = os.path.relpath(path, os.path.dirname(HERE))
        print("%s  %s  %d bytes" % (sha256(path), rel, os.path.getsize(path)))
        print("    ok: %s" % report)
    return 0


if __name__ == "__main__":
    sys.exit(main())
