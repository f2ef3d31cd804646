#!/usr/bin/python3
"""Draws the demo content server's login frame art.

The demo must not ship anyone else's artwork, so the frame is drawn here from
code; Pillow encodes it. The drawing is reproducible pixel for pixel, so a
changed picture always means a changed design. (The launcher movie is
compiled from its own source in tools/demo/launcher.)

    python3 tools/make_demo_content.py          # write bg.png, verify, print its hash
    python3 tools/make_demo_content.py --check  # only verify the file already written
"""
import argparse
import hashlib
import math
import os
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
CONTENT = os.path.join(HERE, "demo", "content", "kvx_stable")
BG_PATH = os.path.join(CONTENT, "microClient", "bg.png")
FONT_PATH = os.path.join(HERE, "demo", "pixel_font.txt")

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

# A blocky face of our own, 5 columns wide, shared with the launcher movie:
# one glyph a line, the character, a space, then its rows top down. The
# lower-case letters keep two rows below the baseline for the descender of "g".
def read_font(path):
    with open(path, encoding="ascii") as f:
        return {line[0]: line[2:].split() for line in f.read().split("\n") if len(line) > 2}


GLYPHS = read_font(FONT_PATH)


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


def check_png(path):
    with Image.open(path) as image:
        image.load()
        assert image.format == "PNG" and image.mode == "RGBA", "%s %s" % (image.format, image.mode)
        w, h = image.size
        alpha = image.getchannel("A").tobytes()
    assert (w, h) == (WIDTH, HEIGHT), "size %dx%d" % (w, h)
    hole = opaque = partial = 0
    for y in range(h):
        in_rows = HOLE_Y <= y < HOLE_Y + HOLE_H
        for x in range(w):
            a = alpha[y * w + x]
            if in_rows and HOLE_X <= x < HOLE_X + HOLE_W:
                assert a == 0, "alpha %d inside the hole at (%d, %d)" % (a, x, y)
                hole += 1
            else:
                assert a > 0, "transparent pixel outside the hole at (%d, %d)" % (x, y)
                opaque += a == 255
                partial += a != 255
    assert hole == HOLE_W * HOLE_H
    return "%dx%d RGBA; %d pixels alpha 0 = hole %dx%d at (%d, %d); %d opaque, %d partial" % (
        w, h, hole, HOLE_W, HOLE_H, HOLE_X, HOLE_Y, opaque, partial)


# --- Driver -----------------------------------------------------------------


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="verify the written file without redrawing it")
    args = parser.parse_args()
    if not args.check:
        canvas = draw_bg()
        os.makedirs(os.path.dirname(BG_PATH), exist_ok=True)
        Image.frombytes("RGBA", (WIDTH, HEIGHT), bytes(canvas.rgba())).save(BG_PATH, optimize=True)
    try:
        report = check_png(BG_PATH)
    except AssertionError as e:
        print("check failed: %s" % e, file=sys.stderr)
        return 1
    rel = os.path.relpath(BG_PATH, os.path.dirname(HERE))
    print("%s  %s  %d bytes" % (sha256(BG_PATH), rel, os.path.getsize(BG_PATH)))
    print("    ok: %s" % report)
    return 0


if __name__ == "__main__":
    sys.exit(main())
