#!/usr/bin/env python3
"""Draws Button, Parlavox's own character: a small mushroom sprite with a
honey-orange freckled cap with a leaf stuck on it, a cream body, stubby arms and brown boots.

Writes every part image (PNG, RGBA), the sounds (WAV) and the manifest
character.txt that `acstool build` compiles. Standard library only; run it in
this folder after changing a drawing or an animation, and commit its output
(the build does not run Python).

A frame is a stack of parts, top first: mouth, eyes (with cheeks and brows),
arms, body, plus optional props. Moving a part is an offset in the manifest,
so one drawing serves many frames."""
import math, os, struct, zlib

W = H = 128
S = 3  # samples per pixel along each axis: edges are antialiased inside the figure

# --- colours -------------------------------------------------------------------
OUT = (62, 36, 30)
CAP, CAP_SH, CAP_HI = (228, 142, 58), (188, 100, 42), (248, 186, 104)
SPOT = (255, 236, 200)
LEAF, LEAF_SH = (120, 184, 84), (70, 130, 60)
STEM, STEM_SH = (250, 237, 210), (226, 202, 166)
GILL = (214, 176, 132)
BOOT, BOOT_HI = (122, 80, 50), (156, 108, 72)
CHEEK = (246, 164, 150)
EYE, WHITE = (40, 26, 22), (255, 255, 255)
MOUTH_IN, TONGUE = (118, 34, 40), (232, 116, 116)
GOLD, DIRT, DIRT_SH = (255, 212, 72), (132, 96, 62), (98, 68, 44)
NOTE = (92, 70, 150)


# --- a tiny supersampling rasteriser -------------------------------------------------
class Canvas:
    def __init__(self, w=W, h=H):
        self.w, self.h = w, h
        self.buf = [None] * (w * S * h * S)

    def fill(self, inside, box, colour, clip=None):
        x0, y0, x1, y1 = box
        sx0, sy0 = max(0, int(x0 * S) - 1), max(0, int(y0 * S) - 1)
        sx1, sy1 = min(self.w * S, int(x1 * S) + 2), min(self.h * S, int(y1 * S) + 2)
        stride = self.w * S
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / S
            row = sy * stride
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / S
                if inside(x, y) and (clip is None or clip(x, y)):
                    self.buf[row + sx] = colour

    def ellipse(self, cx, cy, rx, ry, colour, clip=None):
        self.fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1,
                  (cx - rx, cy - ry, cx + rx, cy + ry), colour, clip)

    def outlined_ellipse(self, cx, cy, rx, ry, colour, line=1.8, clip=None):
        self.ellipse(cx, cy, rx + line, ry + line, OUT, clip)
        self.ellipse(cx, cy, rx, ry, colour, clip)

    def capsule(self, a, b, r, colour, clip=None):
        (ax, ay), (bx, by) = a, b
        dx, dy = bx - ax, by - ay
        ll = dx * dx + dy * dy or 1e-9

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
            px, py = ax + t * dx - x, ay + t * dy - y
            return px * px + py * py <= r * r
        self.fill(inside, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r),
                  colour, clip)

    def stroke(self, points, r, colour):
        for a, b in zip(points, points[1:]):
            self.capsule(a, b, r, colour)

    def polygon(self, pts, colour):
        def inside(x, y):
            c = False
            for (x1, y1), (x2, y2) in zip(pts, pts[1:] + pts[:1]):
                if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                    c = not c
            return c
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), colour)

    def save(self, path):
        # A pixel is opaque when at least half its samples are covered; its
        # colour is the mean of the covered samples, so outer edges stay crisp
        # against the desktop and inner edges are smooth.
        rows = []
        stride = self.w * S
        for y in range(self.h):
            row = bytearray(b'\0')
            for x in range(self.w):
                got = [self.buf[(y * S + j) * stride + x * S + i] for j in range(S) for i in range(S)]
                got = [c for c in got if c is not None]
                if 2 * len(got) < S * S:
                    row += b'\0\0\0\0'
                else:
                    n = len(got)
                    row += bytes((sum(c[0] for c in got) // n, sum(c[1] for c in got) // n,
                                  sum(c[2] for c in got) // n, 255))
            rows.append(bytes(row))
        write_png(path, self.w, self.h, b''.join(rows))


def write_png(path, w, h, raw):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def arc(cx, cy, rx, ry, a0, a1, n=16):
    """Points along an ellipse from angle a0 to a1 (degrees; 90 is down)."""
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


# --- the body: cap, stem and boots -------------------------------------------------
FACE_Y = 78          # eye centres
EYE_X = (52, 76)
MOUTH_AT = (64, 94)  # mouth centre
MOUTH_BOX = (26, 20)  # mouth images are this size, centred on MOUTH_AT

# name: (squash amount, cap x shift, cap y shift); squash > 0 is shorter and wider
BODIES = {
    'rest': (0, 0, 0),
    'squash': (1, 0, 0),
    'stretch': (-1, 0, 0),
    'breathe': (-0.4, 0, 0),
    'nod': (0, 0, 3),
    'lean-l': (0, 3, 0),    # toward the character's left: the viewer's right
    'lean-r': (0, -3, 0),
}


def face_shift(body):
    """Where the eyes, mouth and arms move on this body, as offsets."""
    sq, cdx, cdy = BODIES[body]
    eyes = (round(cdx * 1.4), round(6 * sq + cdy * 1.3))
    mouth = (round(cdx), round(4 * sq + cdy))
    arms = (0, round(4 * sq))
    return eyes, mouth, arms


def draw_body(body):
    sq, cdx, cdy = BODIES[body]
    c = Canvas()
    # Boots first: the stem sits on them.
    for bx in (50, 78):
        c.outlined_ellipse(bx, 117, 10 + sq, 5.5, BOOT)
        c.ellipse(bx - 3, 115.5, 4, 1.8, BOOT_HI)
    ry, rx = 32 - 4 * sq, 29 + 3 * sq
    cy = 114 - ry
    stem = lambda x, y: ((x - 64) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1
    c.outlined_ellipse(64, cy, rx, ry, STEM_SH)
    c.ellipse(61, cy - 3, rx - 3, ry - 2, STEM, clip=stem)
    # The cap's shade on the top of the stem.
    capy = 50 + 6 * sq + cdy
    c.ellipse(64 + cdx * 0.6, capy + 11, rx - 2, 7, GILL, clip=stem)

    crx, cry = 52 + 3 * sq, 35 - 2 * sq
    ccx = 64 + cdx

    def rim(x):
        return capy + 4 + 8 * max(0.0, 1 - ((x - ccx) / crx) ** 2)

    def cap(g):
        return lambda x, y: (((x - ccx) / (crx + g)) ** 2 + ((y - capy) / (cry + g)) ** 2 <= 1
                             and y <= rim(x) + g)
    box = (ccx - crx - 3, capy - cry - 3, ccx + crx + 3, capy + 16)
    c.fill(cap(1.9), box, OUT)
    c.fill(cap(0), box, CAP_SH)
    inner = cap(0)
    c.ellipse(ccx - 3, capy - 4, crx - 4, cry - 3, CAP, clip=inner)
    c.ellipse(ccx - 22, capy - cry + 12, 13, 6, CAP_HI, clip=inner)
    for sx, sy, r in ((-30, -10, 3.2), (-24, -2, 2.2), (-8, -22, 2.6), (4, -12, 3.4),
                      (22, -6, 2.4), (36, 2, 3), (-42, 4, 2.2), (-12, 2, 2), (12, 4, 1.8)):
        c.ellipse(ccx + sx, capy + sy, r, r * 0.8, SPOT, clip=inner)
    leaf(c, ccx + 24, capy - cry + 9, -28)
    return c


def leaf(c, x, y, angle):
    """A leaf lying on the cap: Button's trademark."""
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)

    def shape(g):
        def inside(px, py):
            u = (px - x) * ca + (py - y) * sa
            v = -(px - x) * sa + (py - y) * ca
            # pointed at both ends: the half-width shrinks toward the tips
            return abs(u) <= 11 + g and abs(v) <= (4.6 + g) * (1 - (u / (11.5 + g)) ** 2) ** 0.7
        return inside
    box = (x - 14, y - 14, x + 14, y + 14)
    c.fill(shape(1.6), box, OUT)
    c.fill(shape(0), box, LEAF)
    c.fill(lambda px, py: -(px - x) * sa + (py - y) * ca > 0.8, box, LEAF_SH, clip=shape(0))
    c.capsule((x - 9 * ca, y - 9 * sa), (x + 8 * ca, y + 8 * sa), 0.6, LEAF_SH)
    c.capsule((x - 11 * ca, y - 11 * sa), (x - 15 * ca + 1, y - 15 * sa + 2), 1.1, OUT)


# --- eyes, brows and cheeks -----------------------------------------------------------
def eye_open(c, x, y, r=1.0, look=(0, 0)):
    c.ellipse(x, y, 5 * r, 7 * r, EYE)
    c.ellipse(x - 1.6 + look[0], y - 2.8 + look[1], 2.1 * r, 2.3 * r, WHITE)
    c.ellipse(x + 1.8 + look[0], y + 2.6 + look[1], 1.0, 1.0, WHITE)


def eye_closed(c, x, y):       # a relaxed downward curve
    c.stroke(arc(x, y - 1, 5.5, 3.5, 10, 170), 1.1, EYE)


def eye_happy(c, x, y):        # upturned arcs
    c.stroke(arc(x, y + 2, 5.5, 5, 190, 350), 1.2, EYE)


def eye_half(c, x, y):
    c.fill(lambda px, py: ((px - x) / 5) ** 2 + ((py - y) / 7) ** 2 <= 1 and py >= y - 0.5,
           (x - 6, y - 8, x + 6, y + 8), EYE)
    c.stroke([(x - 6, y - 0.5), (x + 6, y - 0.5)], 1.0, EYE)
    c.ellipse(x + 1.6, y + 2.8, 1.0, 1.0, WHITE)


def cheeks(c, dy=0):
    for x in (41, 87):
        c.ellipse(x, 90 + dy, 6, 3.4, CHEEK)


def brows(c, left, right):
    c.stroke(left, 1.3, OUT)
    c.stroke(right, 1.3, OUT)


def draw_eyes(kind):
    c = Canvas()
    lx, rx = EYE_X
    y = FACE_Y
    cheeks(c)
    if kind == 'open':
        eye_open(c, lx, y), eye_open(c, rx, y)
    elif kind == 'half':
        eye_half(c, lx, y), eye_half(c, rx, y)
    elif kind == 'closed':
        eye_closed(c, lx, y), eye_closed(c, rx, y)
    elif kind == 'happy':
        eye_happy(c, lx, y), eye_happy(c, rx, y)
    elif kind == 'wink':
        eye_open(c, lx, y), eye_happy(c, rx, y)
    elif kind == 'up':
        eye_open(c, lx, y, look=(0.5, -1.2)), eye_open(c, rx, y, look=(0.5, -1.2))
    elif kind == 'wide':
        eye_open(c, lx, y, 1.2), eye_open(c, rx, y, 1.2)
        brows(c, arc(lx, y - 8, 6, 4, 200, 340), arc(rx, y - 8, 6, 4, 200, 340))
    elif kind == 'sad':
        eye_open(c, lx, y + 1, 0.9, look=(0, 2.5)), eye_open(c, rx, y + 1, 0.9, look=(0, 2.5))
        brows(c, [(lx - 6, y - 7), (lx + 5, y - 11)], [(rx - 5, y - 11), (rx + 6, y - 7)])
    elif kind == 'think':
        eye_open(c, lx, y, look=(1.2, -1.5))
        eye_half(c, rx, y)
        brows(c, arc(lx, y - 9, 6, 3.5, 200, 340), [(rx - 6, y - 6), (rx + 6, y - 7)])
    else:
        raise ValueError(kind)
    return c


# --- arms -----------------------------------------------------------------------------
SHOULDER = ((41, 88), (87, 88))
# name: (left hand, right hand, pointing finger direction or None) in screen
# coordinates; "left" here is the viewer's left.
ARMS = {
    'down': ((33, 101), (95, 101), None),
    'lift': ((28, 95), (100, 95), None),
    'wave-a': ((33, 101), (106, 66), None),
    'wave-b': ((33, 101), (94, 62), None),
    'cheer': ((22, 68), (106, 68), None),
    'open': ((21, 92), (107, 92), None),
    'explain': ((33, 101), (108, 84), None),
    'chin': ((33, 101), (74, 106), None),
    'droop': ((52, 109), (76, 109), None),
    'startle': ((25, 76), (103, 76), None),
    'ear': ((33, 101), (100, 68), None),
    'point-up': ((33, 101), (100, 64), ('r', (0, -1))),
    'point-down': ((33, 101), (104, 106), ('r', (0.6, 0.8))),
    # Button's left is the viewer's right.
    'point-left': ((33, 101), (110, 84), ('r', (1, -0.1))),
    'point-right': ((18, 84), (95, 101), ('l', (-1, -0.1))),
    'stretch': ((30, 62), (98, 62), None),
}


def draw_arm(c, shoulder, hand, finger=None):
    r = 4.6
    if finger:
        tip = (hand[0] + finger[0] * 8, hand[1] + finger[1] * 8)
        c.capsule(hand, tip, 2.4 + 1.7, OUT)
    c.capsule(shoulder, hand, r + 1.7, OUT)
    c.ellipse(hand[0], hand[1], 5.4 + 1.7, 5.4 + 1.7, OUT)
    if finger:
        c.capsule(hand, tip, 2.4, STEM)
    c.capsule(shoulder, hand, r, STEM)
    c.ellipse(hand[0], hand[1], 5.4, 5.4, STEM)


def draw_arms(kind):
    left, right, finger = ARMS[kind]
    side, direction = finger or (None, None)
    c = Canvas()
    # The right arm goes last: it is the one that crosses the body (chin).
    draw_arm(c, SHOULDER[0], left, direction if side == 'l' else None)
    draw_arm(c, SHOULDER[1], right, direction if side == 'r' else None)
    return c


# --- mouths -----------------------------------------------------------------------------
def draw_mouth(kind):
    w, h = MOUTH_BOX
    c = Canvas(w, h)
    cx, cy = w / 2, h / 2 - 2

    def open_mouth(rx, ry, flat=True, tongue=False):
        top = cy - (ry * 0.35 if flat else ry)

        def shape(g):
            return lambda x, y: ((x - cx) / (rx + g)) ** 2 + ((y - cy) / (ry + g)) ** 2 <= 1 and y >= top - g
        c.fill(shape(1.5), (0, 0, w, h), OUT)
        c.fill(shape(0), (0, 0, w, h), MOUTH_IN)
        if tongue:
            c.ellipse(cx + 1, cy + ry * 0.75, rx * 0.55, ry * 0.4, TONGUE, clip=shape(0))

    if kind == 'smile':
        c.stroke(arc(cx, cy - 3, 6, 5, 25, 155), 1.1, OUT)
    elif kind == 'wide1':
        open_mouth(6, 3)
    elif kind == 'wide2':
        open_mouth(7, 4.5, tongue=True)
    elif kind == 'wide3':
        open_mouth(8.5, 6, tongue=True)
    elif kind == 'wide4':
        open_mouth(9, 8, tongue=True)
    elif kind == 'medium':
        open_mouth(5, 5, flat=False, tongue=True)
    elif kind == 'narrow':
        open_mouth(2.8, 3.4, flat=False)
    elif kind == 'oh':
        open_mouth(4, 5.5, flat=False)
    elif kind == 'frown':
        c.stroke(arc(cx, cy + 4, 5.5, 4, 205, 335), 1.1, OUT)
    elif kind == 'hmm':
        c.stroke([(cx - 4, cy + 1), (cx + 4, cy - 0.5)], 1.1, OUT)
    else:
        raise ValueError(kind)
    return c


# --- props --------------------------------------------------------------------------------
def star(c, x, y, r):
    pts = [(x + (r if i % 2 == 0 else r * 0.38) * math.cos(math.radians(i * 45 - 90)),
            y + (r if i % 2 == 0 else r * 0.38) * math.sin(math.radians(i * 45 - 90))) for i in range(8)]
    grown = [(x + (px - x) * (r + 2.2) / r, y + (py - y) * (r + 2.2) / r) for px, py in pts]
    c.polygon(grown, OUT)
    c.polygon(pts, GOLD)


def draw_prop(kind):
    c = Canvas()
    if kind.startswith('sparkles'):
        spots = ((16, 30, 6), (112, 34, 5), (14, 108, 4), (114, 106, 6))
        if kind.endswith('b'):
            spots = ((24, 18, 4), (104, 14, 6), (8, 86, 5), (120, 84, 4))
        for x, y, r in spots:
            star(c, x, y, r)
    elif kind == 'ground':
        c.outlined_ellipse(64, 124, 40, 6, DIRT)
        c.ellipse(64, 126, 36, 3, DIRT_SH, clip=lambda x, y: ((x - 64) / 40) ** 2 + ((y - 124) / 6) ** 2 <= 1)
        for x in (36, 58, 84):
            c.ellipse(x, 120, 2.2, 1.6, DIRT_SH)
    elif kind.startswith('spores'):
        pts = ((40, 100, 2.5), (86, 96, 3), (28, 86, 2), (100, 110, 2), (60, 82, 2.5), (74, 104, 2))
        if kind.endswith('b'):
            pts = tuple((x + (x - 64) * 0.4, y - 20, r * 0.8) for x, y, r in pts)
        for x, y, r in pts:
            c.outlined_ellipse(x, y, r, r, SPOT, line=1.2)
    elif kind.startswith('bubbles'):
        n = int(kind[-1])
        for x, y, r in ((106, 27, 2.5), (114, 17, 3.5), (121, 7, 4.5))[:n]:
            c.outlined_ellipse(x, y, r, r, WHITE, line=1.3)
    elif kind.startswith('zz'):
        n = int(kind[-1])
        for x, y, s in ((104, 22, 4), (111, 12, 6), (119, 1, 8))[:n]:
            c.stroke([(x, y), (x + s, y), (x, y + s), (x + s, y + s)], 1.1, NOTE)
    elif kind.startswith('notes'):
        shift = 0 if kind.endswith("a") else -3
        # top left: the leaf is on the right of the cap
        for x, y in ((16, 25 + shift), (5, 15 + shift)):
            c.ellipse(x, y, 3.2, 2.4, NOTE)
            c.capsule((x + 2.6, y), (x + 2.6, y - 11), 0.9, NOTE)
            c.capsule((x + 2.6, y - 11), (x + 6.5, y - 7), 0.9, NOTE)
    else:
        raise ValueError(kind)
    return c


# --- sounds -------------------------------------------------------------------------------
RATE = 11025


def write_wav(path, samples):
    data = struct.pack('<%dh' % len(samples), *(max(-32767, min(32767, int(s))) for s in samples))
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt '
                + struct.pack('<IHHIIHH', 16, 1, 1, RATE, RATE * 2, 2, 16) + b'data'
                + struct.pack('<I', len(data)) + data)


def tone(seconds, freq, vol=9000, decay=4.0):
    """A sine whose frequency follows freq(t) and fades out."""
    out, phase, n = [], 0.0, int(seconds * RATE)
    for i in range(n):
        t = i / RATE
        phase += 2 * math.pi * freq(t) / RATE
        env = min(1.0, i / 80) * math.exp(-decay * t / seconds)
        out.append(vol * env * math.sin(phase))
    return out


def sounds():
    write_wav('pop.wav', tone(0.16, lambda t: 420 + 2400 * t))
    write_wav('sink.wav', tone(0.38, lambda t: 700 - 1200 * t, decay=2.5))
    chime = [a + b for a, b in zip(tone(0.5, lambda t: 1320, 6000, 5), [0] * 1500 + tone(0.5, lambda t: 1760, 6000, 5))]
    write_wav('chime.wav', chime)
    write_wav('boing.wav', tone(0.32, lambda t: 260 + 90 * math.sin(2 * math.pi * 18 * t) + 300 * t, decay=3))
    hum = []
    for f in (392, 494, 440):
        hum += tone(0.18, lambda t, f=f: f, 5000, 2)
    write_wav('hum.wav', hum)


# --- poses and animations -----------------------------------------------------------------
# A pose names its parts; frame() turns it into manifest lines.
def pose(eyes='open', arms='down', body='rest', mouth='smile', props=(), dx=0, dy=0,
         eyes_at=(0, 0), mouths=None):
    return dict(eyes=eyes, arms=arms, body=body, mouth=mouth, props=props, dx=dx, dy=dy,
                eyes_at=eyes_at, mouths=mouths)


OVERLAYS = ('closed', 'wide1', 'wide2', 'wide3', 'wide4', 'medium', 'narrow')
OVERLAY_ART = {'closed': 'smile'}  # the closed mouth is the resting smile


def neutral(**kw):
    """The resting pose; it carries the mouths so speech can start on it."""
    return pose(mouths=True, **kw)


def frame_lines(p, duration, sound=None, exit=None, branches=()):
    eo, mo, ao = face_shift(p['body'])
    dx, dy = p['dx'], p['dy']
    mx = MOUTH_AT[0] - MOUTH_BOX[0] // 2 + mo[0] + dx
    my = MOUTH_AT[1] - MOUTH_BOX[1] // 2 + mo[1] + dy
    lines = ['frame %d' % duration]
    for prop in p['props']:
        if prop == 'ground':
            lines.append('  image prop-ground.png')
        else:
            lines.append('  image prop-%s.png' % prop)
    lines.append('  image mouth-%s.png %d %d' % (p['mouth'], mx, my))
    ex, ey = p['eyes_at']
    lines.append('  image eyes-%s.png %d %d' % (p['eyes'], eo[0] + dx + ex, eo[1] + dy + ey))
    lines.append('  image arms-%s.png %d %d' % (p['arms'], ao[0] + dx, ao[1] + dy))
    lines.append('  image body-%s.png %d %d' % (p['body'], dx, dy))
    if sound:
        lines.append('  sound %s.wav' % sound)
    if exit is not None:
        lines.append('  exit %d' % exit)
    for target, pct in branches:
        lines.append('  branch %d %d' % (target, pct))
    if p['mouths']:
        for m in OVERLAYS:
            lines.append('  mouth %s mouth-%s.png %d %d replace' % (m, OVERLAY_ART.get(m, m), mx, my))
    return lines


# Each animation: (name, transition, return animation, frames); a frame is
# (pose, duration in 1/100 s, and optionally dict(sound=, exit=, branches=)).
# Ending poses: exit-branch animations end on a neutral frame; return
# animations hold their pose until their return animation brings Button back.
def F(p, d, **kw):
    return (p, d, kw)


REST = neutral()
HOP_UP = dict(body='stretch', dy=-5)
ANIMATIONS = [
    ('RestPose', 'none', None, [F(REST, 10)]),
    ('Show', 'exit-branches', None, [
        F(pose(props=('ground',), dy=100), 8, exit=6),
        F(pose(props=('ground',), body='stretch', dy=70), 6, sound='pop', exit=6),
        F(pose(props=('ground', 'spores-a'), body='stretch', dy=36, eyes='wide', mouth='oh'), 6, exit=6),
        F(pose(props=('spores-b',), body='stretch', dy=-6, eyes='happy', mouth='wide3', arms='cheer'), 8, exit=6),
        F(pose(body='squash', eyes='happy', mouth='wide3', arms='lift'), 8, exit=6),
        F(pose(body='breathe', eyes='happy'), 8, exit=6),
        F(REST, 10),
    ]),
    ('Hide', 'none', None, [
        F(pose(body='squash', eyes='closed', arms='lift'), 10),
        F(pose(body='stretch', dy=-4, eyes='closed', mouth='oh', arms='cheer'), 8, sound='sink'),
        F(pose(props=('ground',), body='stretch', dy=30, eyes='closed', mouth='oh', arms='cheer'), 6),
        F(pose(props=('ground', 'spores-a'), body='stretch', dy=70, eyes='closed', arms='cheer'), 6),
        F(pose(props=('ground', 'spores-b'), dy=110), 10),
    ]),
    ('Blink', 'exit-branches', None, [
        F(pose(eyes='half'), 4, exit=2),
        F(pose(eyes='closed'), 8, exit=2),
        F(REST, 10, branches=((0, 25),)),
    ]),
    ('Greet', 'exit-branches', None, [
        F(pose(body='squash', eyes='happy', arms='lift'), 8, exit=7),
        F(pose(eyes='happy', mouth='wide3', arms='cheer', **HOP_UP), 12, exit=7),
        F(pose(eyes='happy', mouth='wide3', arms='wave-a'), 10, exit=7),
        F(pose(eyes='happy', mouth='wide3', arms='wave-b'), 10, exit=7),
        F(pose(eyes='happy', mouth='wide3', arms='wave-a'), 10, exit=7),
        F(pose(eyes='happy', mouth='wide3', arms='wave-b'), 10, exit=7),
        F(pose(eyes='happy', arms='lift'), 10, exit=7),
        F(REST, 10),
    ]),
    ('Wave', 'exit-branches', None, [
        F(pose(arms='lift'), 6, exit=5),
        F(pose(eyes='happy', arms='wave-a'), 12, exit=5),
        F(pose(eyes='happy', arms='wave-b'), 12, exit=5),
        F(pose(eyes='happy', arms='wave-a'), 12, exit=5, branches=((2, 50),)),
        F(pose(arms='lift'), 6, exit=5),
        F(REST, 10),
    ]),
    ('LookLeft', 'return', 'LookLeftReturn', [
        F(pose(body='lean-l', eyes_at=(3, 0)), 8),
        F(pose(body='lean-l', eyes_at=(5, 0)), 40),
    ]),
    ('LookLeftReturn', 'none', None, [F(pose(body='lean-l', eyes_at=(2, 0)), 6), F(REST, 10)]),
    ('LookRight', 'return', 'LookRightReturn', [
        F(pose(body='lean-r', eyes_at=(-3, 0)), 8),
        F(pose(body='lean-r', eyes_at=(-5, 0)), 40),
    ]),
    ('LookRightReturn', 'none', None, [F(pose(body='lean-r', eyes_at=(-2, 0)), 6), F(REST, 10)]),
    ('LookUp', 'return', 'LookUpReturn', [
        F(pose(body='breathe', eyes='up', eyes_at=(0, -2)), 8),
        F(pose(body='stretch', eyes='up', eyes_at=(0, -2)), 40),
    ]),
    ('LookUpReturn', 'none', None, [F(pose(body='breathe'), 6), F(REST, 10)]),
    ('Think', 'return', 'ThinkReturn', [
        F(pose(eyes='think', mouth='hmm', arms='chin'), 12),
        F(pose(eyes='think', mouth='hmm', arms='chin', props=('bubbles1',)), 14),
        F(pose(eyes='think', mouth='hmm', arms='chin', props=('bubbles2',)), 14),
        F(pose(eyes='think', mouth='hmm', arms='chin', props=('bubbles3',)), 60),
    ]),
    ('ThinkReturn', 'none', None, [F(pose(eyes='half', arms='lift'), 8), F(REST, 10)]),
    ('Explain', 'return', 'ExplainReturn', [
        F(neutral(arms='lift'), 8),
        F(neutral(arms='explain'), 30),
        F(neutral(arms='open'), 30),
    ]),
    ('ExplainReturn', 'none', None, [F(neutral(arms='lift'), 8), F(REST, 10)]),
    ('Congratulate', 'exit-branches', None, [
        F(pose(body='squash', eyes='happy', arms='lift'), 8, exit=5),
        F(pose(eyes='happy', mouth='wide4', arms='cheer', props=('sparkles-a',), **HOP_UP), 14,
          sound='chime', exit=5),
        F(pose(eyes='wink', mouth='wide3', arms='cheer', props=('sparkles-b',)), 14, exit=5),
        F(pose(eyes='happy', mouth='wide4', arms='cheer', props=('sparkles-a',), **HOP_UP), 14,
          exit=5, branches=((2, 30),)),
        F(pose(body='squash', eyes='happy', arms='lift'), 8, exit=5),
        F(REST, 10),
    ]),
    ('Surprised', 'return', 'SurprisedReturn', [
        F(pose(body='squash', eyes='half'), 5),
        F(pose(body='stretch', dy=-10, eyes='wide', mouth='oh', arms='startle'), 10, sound='boing'),
        F(pose(body='rest', eyes='wide', mouth='oh', arms='startle'), 40),
    ]),
    ('SurprisedReturn', 'none', None, [F(pose(eyes='half', arms='lift'), 6), F(REST, 10)]),
    ('Sad', 'return', 'SadReturn', [
        F(pose(body='breathe', eyes='sad', mouth='frown', arms='lift'), 10),
        F(pose(body='squash', eyes='sad', mouth='frown', arms='droop'), 60),
    ]),
    ('SadReturn', 'none', None, [F(pose(eyes='closed', arms='lift'), 8), F(REST, 10)]),
    ('GestureUp', 'return', 'GestureUpReturn', [
        F(pose(eyes='up', arms='wave-b'), 8),
        F(pose(body='breathe', eyes='up', arms='point-up', mouth='oh'), 40),
    ]),
    ('GestureUpReturn', 'none', None, [F(pose(arms='lift'), 6), F(REST, 10)]),
    ('GestureDown', 'return', 'GestureDownReturn', [
        F(pose(body='nod', eyes='open', eyes_at=(0, 2), arms='lift'), 8),
        F(pose(body='nod', eyes='open', eyes_at=(2, 3), arms='point-down'), 40),
    ]),
    ('GestureDownReturn', 'none', None, [F(pose(arms='lift'), 6), F(REST, 10)]),
    ('GestureLeft', 'return', 'GestureLeftReturn', [
        F(pose(body='lean-l', eyes_at=(3, 0), arms='explain'), 8),
        F(pose(body='lean-l', eyes_at=(5, 0), arms='point-left'), 40),
    ]),
    ('GestureLeftReturn', 'none', None, [F(pose(body='lean-l', arms='lift'), 6), F(REST, 10)]),
    ('GestureRight', 'return', 'GestureRightReturn', [
        F(pose(body='lean-r', eyes_at=(-3, 0), arms='lift'), 8),
        F(pose(body='lean-r', eyes_at=(-5, 0), arms='point-right'), 40),
    ]),
    ('GestureRightReturn', 'none', None, [F(pose(body='lean-r', arms='lift'), 6), F(REST, 10)]),
    ('Nod', 'exit-branches', None, [
        F(pose(body='nod', eyes='happy'), 10, exit=4),
        F(pose(body='rest', eyes='happy'), 8, exit=4),
        F(pose(body='nod', eyes='happy'), 10, exit=4),
        F(pose(body='rest', eyes='happy'), 8, exit=4),
        F(REST, 10),
    ]),
    ('Decline', 'exit-branches', None, [
        F(pose(body='lean-l', eyes='closed', mouth='hmm', eyes_at=(2, 0)), 10, exit=4),
        F(pose(body='lean-r', eyes='closed', mouth='hmm', eyes_at=(-2, 0)), 10, exit=4),
        F(pose(body='lean-l', eyes='closed', mouth='hmm', eyes_at=(2, 0)), 10, exit=4),
        F(pose(body='lean-r', eyes='closed', mouth='hmm', eyes_at=(-2, 0)), 10, exit=4),
        F(REST, 10),
    ]),
    ('Listen', 'return', 'ListenReturn', [
        F(pose(body='lean-r', eyes='up', eyes_at=(-2, -1), arms='lift'), 8),
        F(pose(body='lean-r', eyes='up', eyes_at=(-3, -1), arms='ear'), 60),
    ]),
    ('ListenReturn', 'none', None, [F(pose(arms='lift'), 6), F(REST, 10)]),
    ('Speak', 'exit-branches', None, [
        F(neutral(arms='lift', body='breathe'), 8, exit=1),
        F(REST, 10),
    ]),
    # Idles: several variants each; branches repeat parts so no two rounds look alike.
    ('Breathe', 'exit-branches', None, [
        F(REST, 30, exit=3),
        F(neutral(body='breathe'), 40, exit=3),
        F(REST, 30, exit=3, branches=((1, 40),)),
        F(REST, 10),
    ]),
    ('Glance', 'exit-branches', None, [
        F(pose(eyes_at=(-3, 0)), 40, exit=3),
        F(pose(eyes='half', eyes_at=(-3, 0)), 4, exit=3, branches=((0, 30),)),
        F(pose(eyes_at=(3, 0)), 40, exit=3),
        F(REST, 10),
    ]),
    ('LookAround', 'exit-branches', None, [
        F(pose(body='lean-l', eyes_at=(5, 0)), 50, exit=4),
        F(pose(eyes='half'), 5, exit=4),
        F(pose(body='lean-r', eyes_at=(-5, 0)), 50, exit=4, branches=((0, 35),)),
        F(pose(eyes='up', eyes_at=(0, -2)), 40, exit=4),
        F(REST, 10),
    ]),
    ('Stretch', 'exit-branches', None, [
        F(pose(body='squash', eyes='closed', arms='lift'), 10, exit=4),
        F(pose(body='stretch', dy=-4, eyes='closed', mouth='oh', arms='stretch'), 60, exit=4),
        F(pose(body='stretch', eyes='closed', mouth='wide3', arms='stretch'), 30, exit=4),
        F(pose(body='squash', eyes='happy', arms='lift'), 10, exit=4),
        F(REST, 10),
    ]),
    ('Hum', 'exit-branches', None, [
        F(pose(eyes='happy', mouth='narrow', props=('notes-a',)), 30, sound='hum', exit=4),
        F(pose(body='lean-l', eyes='happy', mouth='narrow', props=('notes-b',)), 30, exit=4),
        F(pose(body='lean-r', eyes='happy', mouth='narrow', props=('notes-a',)), 30, exit=4,
          branches=((1, 40),)),
        F(pose(eyes='happy', mouth='smile', props=('notes-b',)), 20, exit=4),
        F(REST, 10),
    ]),
    ('Doze', 'return', 'DozeReturn', [
        F(pose(eyes='half'), 30),
        F(pose(body='squash', eyes='closed', arms='droop', props=('zz1',)), 50),
        F(pose(body='squash', eyes='closed', arms='droop', props=('zz2',)), 50),
        F(pose(body='breathe', eyes='closed', arms='droop', props=('zz3',)), 50),
        F(pose(body='squash', eyes='closed', arms='droop', mouth='narrow', props=('zz3',)), 60,
          branches=((1, 60),)),
    ]),
    ('DozeReturn', 'none', None, [
        F(pose(body='stretch', eyes='wide', mouth='oh', arms='startle'), 10),
        F(pose(eyes='half'), 10),
        F(REST, 10),
    ]),
]

STATES = [
    ('Showing', ['Show']),
    ('Hiding', ['Hide']),
    ('Speaking', ['Speak', 'Explain']),
    ('IdlingLevel1', ['Blink', 'Breathe', 'Glance']),
    ('IdlingLevel2', ['LookAround', 'Stretch', 'Blink']),
    ('IdlingLevel3', ['Hum', 'Doze']),
    ('GesturingUp', ['GestureUp']),
    ('GesturingDown', ['GestureDown']),
    ('GesturingLeft', ['GestureLeft']),
    ('GesturingRight', ['GestureRight']),
    ('Listening', ['Listen']),
    ('Hearing', ['Listen']),
]

HEADER = '''\
# Button: Parlavox's own character, a small mushroom sprite with a leaf on its cap.
# Generated by make-art.py in this folder (edit the script, not this file);
# compiled by `acstool build` into Button.acs (see tools/README.md).
# Left and right are Button's own: LookLeft turns toward the viewer's right.

[character]
width = 128
height = 128
guid = {5E2B8C41-7A3D-4F19-B6E0-93C4D1A8F2B7}
standard-animation-set = yes

[locale 0x0409]
name = Button
description = A cheerful little mushroom who lives on your desktop.
extra = Drawn for Parlavox.

[voice]
speed = 165
pitch = 190
language = 0x0409
gender = 1
age = 10

[balloon]
lines = 3
chars-per-line = 28
font = "DejaVu Sans"
font-height = -13
font-weight = 400
foreground = #3e241e
background = #fff6e2
border = #9a3f2e
'''


def manifest():
    out = [HEADER]
    for state, names in STATES:
        out.append('[state %s]' % state)
        out += ['animation = %s' % n for n in names]
        out.append('')
    for name, transition, ret, frames in ANIMATIONS:
        out.append('[animation %s]' % name)
        out.append('transition = %s' % transition)
        if ret:
            out.append('return = %s' % ret)
        for p, d, kw in frames:
            out += frame_lines(p, d, **kw)
        out.append('')
    return '\n'.join(out)


def used_parts():
    parts = set()
    for _, _, _, frames in ANIMATIONS:
        for p, _, _ in frames:
            parts.add(('eyes', p['eyes']))
            parts.add(('arms', p['arms']))
            parts.add(('body', p['body']))
            parts.add(('mouth', p['mouth']))
            parts.update(('prop', x) for x in p['props'])
    parts.update(('mouth', OVERLAY_ART.get(m, m)) for m in OVERLAYS)
    return sorted(parts)


def main():
    os.chdir(os.path.dirname(os.path.abspath(__file__)))
    for old in os.listdir('.'):
        if old.endswith('.png') or old.endswith('.wav'):
            os.remove(old)
    draw = {'eyes': draw_eyes, 'arms': draw_arms, 'body': draw_body, 'mouth': draw_mouth,
            'prop': draw_prop}
    for kind, name in used_parts():
        draw[kind](name).save('%s-%s.png' % (kind, name))
    sounds()
    with open('character.txt', 'w') as f:
        f.write(manifest())


if __name__ == '__main__':
    main()
