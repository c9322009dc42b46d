#!/usr/bin/env python3
"""Checks the editor bitmaps in this folder (python3 standard library only).

  python3 resources/check_images.py [folder]

Decodes every PNG itself (zlib + PNG row filters) and checks what the editor
code relies on: sizes, 8-bit RGBA non-interlaced format, an opaque
background with the knob bodies where the pointers land, the pointer strip's
bounds and angles, the complete-knob strip's angles, the footswitch hit disc,
lamp registration and the link buttons' shape.  Prints one line per check and
exits non-zero if any fails.
"""

import math
import os
import struct
import sys
import zlib

FRAMES = 100


def angle_of(k):
    return -150.0 + 3.0 * k


# ---------------------------------------------------------------------------
# PNG decoding
# ---------------------------------------------------------------------------

class Png:
    def __init__(self, path):
        with open(path, "rb") as fh:
            data = fh.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError("not a PNG file")
        pos = 8
        idat = []
        self.ihdr = None
        while pos < len(data):
            (n,) = struct.unpack(">I", data[pos:pos + 4])
            kind = data[pos + 4:pos + 8]
            body = data[pos + 8:pos + 8 + n]
            (crc,) = struct.unpack(">I", data[pos + 8 + n:pos + 12 + n])
            if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
                raise ValueError("bad CRC in %r chunk" % kind)
            pos += 12 + n
            if kind == b"IHDR":
                self.ihdr = struct.unpack(">IIBBBBB", body)
            elif kind == b"IDAT":
                idat.append(body)
            elif kind == b"IEND":
                break
        if self.ihdr is None:
            raise ValueError("no IHDR")
        (self.width, self.height, self.depth, self.ctype,
         _comp, _filt, self.interlace) = self.ihdr
        self._idat = b"".join(idat)
        self._rows = None

    def rows(self):
        """List of decoded rows (bytes, RGBA), decoded on first use."""
        if self._rows is None:
            if (self.depth, self.ctype, self.interlace) != (8, 6, 0):
                raise ValueError("can only decode 8-bit RGBA, non-interlaced")
            self._rows = unfilter(zlib.decompress(self._idat), self.width * 4, self.height)
        return self._rows

    def alpha(self, x, y):
        return self.rows()[y][4 * x + 3]

    def rgba(self, x, y):
        r = self.rows()[y]
        return tuple(r[4 * x:4 * x + 4])


def unfilter(raw, n, height):
    """Undo PNG filtering for 4-byte pixels.  Sub and Up run as whole-row
    integer arithmetic (bytes added lane-wise without carries); Average and
    Paeth run byte by byte but skip the all-zero start of a row."""
    stride = n + 1
    if len(raw) != stride * height:
        raise ValueError("image data has the wrong length")
    lo7 = int.from_bytes(b"\x7f" * n, "little")
    hi1 = int.from_bytes(b"\x80" * n, "little")
    mask = (1 << (8 * n)) - 1
    zero = bytes(n)

    def add(a, b):
        return ((a & lo7) + (b & lo7)) ^ ((a ^ b) & hi1)

    rows = []
    prev = zero
    for y in range(height):
        ft = raw[y * stride]
        cur = raw[y * stride + 1:(y + 1) * stride]
        if ft == 0 or (cur == zero and prev == zero):
            out = cur if ft == 0 else zero
        elif ft == 1:
            x = int.from_bytes(cur, "little")
            shift = 32
            while shift < 8 * n:
                x = add(x, (x << shift) & mask)
                shift *= 2
            out = x.to_bytes(n, "little")
        elif ft == 2:
            out = add(int.from_bytes(cur, "little"), int.from_bytes(prev, "little")).to_bytes(n, "little")
        elif ft in (3, 4):
            # leading bytes where both the filtered row and the row above are
            # zero decode to zero whatever the filter; start after them
            both = int.from_bytes(cur, "little") | int.from_bytes(prev, "little")
            start = 0
            if both:
                start = ((both & -both).bit_length() - 1) // 8
                start -= start % 4
            o = bytearray(n)
            if ft == 3:
                for i in range(start, n):
                    a = o[i - 4] if i >= 4 else 0
                    o[i] = (cur[i] + ((a + prev[i]) >> 1)) & 0xFF
            else:
                for i in range(start, n):
                    if i >= 4:
                        a = o[i - 4]
                        c = prev[i - 4]
                    else:
                        a = c = 0
                    b = prev[i]
                    pa = b - c if b > c else c - b
                    pb = a - c if a > c else c - a
                    pc = a + b - c - c
                    if pc < 0:
                        pc = -pc
                    if pa <= pb and pa <= pc:
                        pr = a
                    elif pb <= pc:
                        pr = b
                    else:
                        pr = c
                    o[i] = (cur[i] + pr) & 0xFF
            out = bytes(o)
        else:
            raise ValueError("bad filter type %d in row %d" % (ft, y))
        rows.append(out)
        prev = out
    return rows


# ---------------------------------------------------------------------------
# Checks
# ---------------------------------------------------------------------------

class Report:
    def __init__(self):
        self.failures = 0

    def check(self, ok, what):
        print("%s  %s" % ("ok  " if ok else "FAIL", what))
        if not ok:
            self.failures += 1
        return ok


EXPECTED = {
    "Background.png": (1260, 1603),
    "knob_strip.png": (421, 421 * FRAMES),
    "basicKnob_strip.png": (328, 328 * FRAMES),
    "stompSwitchUp.png": (425, 425),
    "stompSwitchDown.png": (425, 425),
    "LED_on.png": (125, 125),
    "LED_off.png": (125, 125),
    "button1.png": (413, 89),
    "button2.png": (413, 89),
}


def check_format(rep, folder):
    pngs = {}
    for name, (w, h) in sorted(EXPECTED.items()):
        path = os.path.join(folder, name)
        if not rep.check(os.path.isfile(path), "%s exists" % name):
            continue
        try:
            png = Png(path)
        except ValueError as err:
            rep.check(False, "%s readable (%s)" % (name, err))
            continue
        ok = rep.check((png.width, png.height) == (w, h),
                       "%s is %d x %d (found %d x %d)" % (name, w, h, png.width, png.height))
        ok &= rep.check((png.depth, png.ctype, png.interlace) == (8, 6, 0),
                        "%s is 8-bit RGBA (colour type 6), not interlaced (found depth %d, type %d, interlace %d)"
                        % (name, png.depth, png.ctype, png.interlace))
        if ok:
            pngs[name] = png
    return pngs


def lum(px):
    return 0.2126 * px[0] + 0.7152 * px[1] + 0.0722 * px[2]


def disc_pixels(cx, cy, r0, r1):
    for y in range(int(cy - r1) - 1, int(cy + r1) + 2):
        for x in range(int(cx - r1) - 1, int(cx + r1) + 2):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if r0 <= d <= r1:
                yield x, y


def mean_colour(png, pixels):
    acc = [0.0, 0.0, 0.0]
    n = 0
    for x, y in pixels:
        p = png.rgba(x, y)
        for i in range(3):
            acc[i] += p[i]
        n += 1
    return [v / n for v in acc]


def check_background(rep, png):
    rows = png.rows()
    transparent = sum(1 for r in rows for a in r[3::4] if a != 255)
    rep.check(transparent == 0, "Background.png fully opaque (%d pixels with alpha < 255)" % transparent)
    # knob bodies: a neutral dark cap where the pointers land, clearly set
    # apart from the painted panel just outside the printed scale
    for name, cx, cy in (("space", 497, 383), ("lumens", 767, 383), ("tone", 497, 637), ("mix", 767, 637)):
        cap = mean_colour(png, disc_pixels(cx, cy, 0, 74))
        panel = mean_colour(png, disc_pixels(cx, cy, 110, 118))
        chroma = max(cap) - min(cap)
        diff = math.sqrt(sum((a - b) ** 2 for a, b in zip(cap, panel)))
        rep.check(lum(cap) < 90 and chroma < 20 and diff > 25,
                  "Background.png knob body at (%d,%d) [%s]: cap rgb (%.0f,%.0f,%.0f), panel rgb (%.0f,%.0f,%.0f)"
                  % (cx, cy, name, cap[0], cap[1], cap[2], panel[0], panel[1], panel[2]))
        # the cap must be round and centred: compare the four quadrants'
        # radius where the dark cap ends along the axes
        edges = []
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            r = 60
            while r < 120:
                px = png.rgba(int(cx + dx * r), int(cy + dy * r))
                if max(px[:3]) - min(px[:3]) > 25:   # reached blue paint
                    break
                r += 1
            edges.append(r)
        rep.check(all(80 <= e <= 95 for e in edges),
                  "Background.png knob body at (%d,%d) ends at radius %s (right, left, down, up)" % (cx, cy, edges))


def alpha_stats(rows, y0, y1, x0, x1, thr=0):
    """Bounding box and alpha-weighted centroid of pixels with alpha > thr."""
    bx0 = by0 = 10 ** 9
    bx1 = by1 = -1
    sw = sx = sy = 0.0
    for y in range(y0, y1):
        r = rows[y]
        alphas = r[3 + 4 * x0:4 * x1:4]
        if not any(a > thr for a in alphas):
            continue
        for i, a in enumerate(alphas):
            if a > thr:
                x = x0 + i
                bx0 = min(bx0, x)
                bx1 = max(bx1, x)
                by0 = min(by0, y - y0)
                by1 = max(by1, y - y0)
                sw += a
                sx += a * (x + 0.5)
                sy += a * (y - y0 + 0.5)
    if sw == 0:
        return None
    return (bx0, by0, bx1, by1), (sx / sw, sy / sw)


def angle_from(cx, cy, px, py):
    """Degrees clockwise from straight up."""
    return math.degrees(math.atan2(px - cx, -(py - cy)))


def check_knob_strip(rep, png):
    rows = png.rows()
    fs = 421
    pivot = 210.5
    worst = [10 ** 9, 10 ** 9, -1, -1]
    worst_err = 0.0
    bad_frames = []
    for k in range(FRAMES):
        st = alpha_stats(rows, fs * k, fs * (k + 1), 0, fs)
        if st is None:
            bad_frames.append((k, "empty"))
            continue
        (x0, y0, x1, y1), (mx, my) = st
        worst = [min(worst[0], x0), min(worst[1], y0), max(worst[2], x1), max(worst[3], y1)]
        if x0 < 53 or x1 > 367 or y0 < 53 or y1 > 349:
            bad_frames.append((k, "bounds %d..%d x %d..%d" % (x0, x1, y0, y1)))
        err = angle_from(pivot, pivot, mx, my) - angle_of(k)
        err = (err + 180) % 360 - 180
        worst_err = max(worst_err, abs(err))
        if k in (0, 50, 99):
            rad = math.hypot(mx - pivot, my - pivot)
            rep.check(abs(err) < 1.0,
                      "knob_strip.png frame %d: pointer at %.2f deg (want %.0f), centroid radius %.1f px"
                      % (k, angle_from(pivot, pivot, mx, my), angle_of(k), rad))
    rep.check(not bad_frames, "knob_strip.png every frame has a pointer inside x 53..367, y 53..349 %s"
              % (bad_frames[:5] if bad_frames else "(union of all frames: x %d..%d, y %d..%d)"
                 % (worst[0], worst[2], worst[1], worst[3])))
    rep.check(worst_err < 1.0, "knob_strip.png all 100 frames within 1 deg of -150 + 3k (worst %.2f deg)" % worst_err)
    # the pointer itself must be light, the rest of the frame empty
    light = 0
    total = 0
    for y in range(fs * 50, fs * 51):
        r = rows[y]
        for x in range(fs):
            if r[4 * x + 3] > 200:
                total += 1
                light += lum(r[4 * x:4 * x + 3]) > 200
    rep.check(total > 200 and light == total,
              "knob_strip.png frame 50: %d opaque pointer pixels, %d of them light" % (total, light))


def check_basic_knob_strip(rep, png):
    rows = png.rows()
    fs = 328
    c = 164.0
    worst_err = 0.0
    outside = 0
    for k in range(FRAMES):
        sx = sy = n = 0.0
        for y in range(fs):
            r = rows[fs * k + y]
            for x in range(fs):
                a = r[4 * x + 3]
                d = math.hypot(x + 0.5 - c, y + 0.5 - c)
                if d > 162:
                    outside += a != 0
                elif a > 200 and lum(r[4 * x:4 * x + 3]) > 215:
                    sx += x + 0.5
                    sy += y + 0.5
                    n += 1
        if n < 50:
            rep.check(False, "basicKnob_strip.png frame %d has a visible pointer" % k)
            return
        ang = angle_from(c, c, sx / n, sy / n)
        err = (ang - angle_of(k) + 180) % 360 - 180
        worst_err = max(worst_err, abs(err))
        if k in (0, 50, 99):
            rep.check(abs(err) < 1.5, "basicKnob_strip.png frame %d: pointer at %.2f deg (want %.0f)"
                      % (k, ang, angle_of(k)))
        if k == 50:
            centre = rows[fs * k + int(c)][4 * int(c) + 3]
            rep.check(centre == 255, "basicKnob_strip.png frame 50: knob centre opaque (alpha %d)" % centre)
    rep.check(worst_err < 1.5, "basicKnob_strip.png all 100 frames within 1.5 deg of -150 + 3k (worst %.2f deg)"
              % worst_err)
    rep.check(outside == 0, "basicKnob_strip.png transparent beyond radius 162 in every frame (%d pixels not)" % outside)


def footswitch_body(png):
    """Bounding box and pixel count of the pixels with alpha > 230."""
    rows = png.rows()
    st = alpha_stats(rows, 0, png.height, 0, png.width, thr=230)
    (x0, y0, x1, y1), _ = st
    count = sum(1 for r in rows for a in r[3::4] if a > 230)
    return (x0, y0, x1, y1), count


def check_footswitch(rep, pngs):
    bodies = {}
    for name in ("stompSwitchUp.png", "stompSwitchDown.png"):
        if name not in pngs:
            continue
        png = pngs[name]
        (x0, y0, x1, y1), count = footswitch_body(png)
        bodies[name] = (x0, y0, x1, y1)
        cx, cy = (x0 + x1 + 1) / 2.0, (y0 + y1 + 1) / 2.0
        r = (x1 - x0 + 1 + y1 - y0 + 1) / 4.0
        rep.check(88 <= x0 <= 92 and 331 <= x1 <= 335 and 88 <= y0 <= 92 and 331 <= y1 <= 335,
                  "%s alpha>230 body spans x %d..%d, y %d..%d (centre %.1f,%.1f radius %.1f)"
                  % (name, x0, x1, y0, y1, cx, cy, r))
        disc = math.pi * r * r
        rep.check(abs(count - disc) / disc < 0.02,
                  "%s alpha>230 body is a solid disc (%d pixels, disc of that radius %.0f)" % (name, count, disc))
        # surround: nothing above the hit-test alpha outside the disc
        rows = png.rows()
        over = 0
        max_out = 0
        for y in range(png.height):
            r_ = rows[y]
            for x in range(png.width):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d > r + 1.5:
                    a = r_[4 * x + 3]
                    max_out = max(max_out, a)
                    over += a > 230
        if name == "stompSwitchUp.png":
            rep.check(max_out == 0, "%s fully transparent outside the body (max alpha %d)" % (name, max_out))
        else:
            rep.check(over == 0 and 20 <= max_out <= 200,
                      "%s soft shadow outside the body, max alpha %d (must stay <= 230)" % (name, max_out))
    if len(bodies) == 2:
        rep.check(bodies["stompSwitchUp.png"] == bodies["stompSwitchDown.png"],
                  "footswitch up/down bodies registered identically")
        up = mean_colour(pngs["stompSwitchUp.png"], disc_pixels(212, 212, 0, 115))
        down = mean_colour(pngs["stompSwitchDown.png"], disc_pixels(212, 212, 0, 115))
        rep.check(lum(down) < lum(up) - 3, "footswitch down body darker than up (%.0f vs %.0f)" % (lum(down), lum(up)))


def check_lamp(rep, pngs):
    if "LED_on.png" not in pngs or "LED_off.png" not in pngs:
        return
    boxes = {}
    for name in ("LED_on.png", "LED_off.png"):
        png = pngs[name]
        (x0, y0, x1, y1), _ = alpha_stats(png.rows(), 0, png.height, 0, png.width, thr=250)
        boxes[name] = (x0, y0, x1, y1)
        rep.check(abs((x0 + x1 + 1) / 2.0 - 62.5) <= 1.5 and abs((y0 + y1 + 1) / 2.0 - 62.5) <= 1.5,
                  "%s opaque bezel x %d..%d, y %d..%d centred" % (name, x0, x1, y0, y1))
        corner = png.alpha(0, 0)
        rep.check(corner < 40, "%s corner nearly transparent (alpha %d)" % (name, corner))
    rep.check(abs(boxes["LED_on.png"][0] - boxes["LED_off.png"][0]) <= 1
              and abs(boxes["LED_on.png"][2] - boxes["LED_off.png"][2]) <= 1,
              "lamp on/off registered")
    on = mean_colour(pngs["LED_on.png"], disc_pixels(62.5, 62.5, 0, 20))
    off = mean_colour(pngs["LED_off.png"], disc_pixels(62.5, 62.5, 0, 20))
    rep.check(lum(on) > lum(off) + 100, "lamp lens lit %.0f vs dark %.0f" % (lum(on), lum(off)))


def check_buttons(rep, pngs):
    for name in ("button1.png", "button2.png"):
        if name not in pngs:
            continue
        png = pngs[name]
        corners = [png.alpha(x, y) for x, y in ((0, 0), (412, 0), (0, 88), (412, 88), (6, 6), (406, 82))]
        rep.check(max(corners) == 0, "%s transparent outside the rounded shape (corner alphas %s)" % (name, corners))
        mid = [png.alpha(x, 44) for x in range(30, 383)]
        rep.check(min(mid) == 255, "%s opaque across its middle" % name)
        # lettering: enough white pixels in the label area
        white = 0
        for y in range(25, 65):
            for x in range(90, 400):
                p = png.rgba(x, y)
                white += p[3] == 255 and min(p[:3]) > 225
        rep.check(white > 1500, "%s has bold light lettering (%d white pixels)" % (name, white))


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rep = Report()
    pngs = check_format(rep, folder)
    if "Background.png" in pngs:
        check_background(rep, pngs["Background.png"])
    if "knob_strip.png" in pngs:
        check_knob_strip(rep, pngs["knob_strip.png"])
    if "basicKnob_strip.png" in pngs:
        check_basic_knob_strip(rep, pngs["basicKnob_strip.png"])
    check_footswitch(rep, pngs)
    check_lamp(rep, pngs)
    check_buttons(rep, pngs)
    print("%s: %d check(s) failed" % ("FAILED" if rep.failures else "PASSED", rep.failures)
          if rep.failures else "PASSED: all checks")
    return 1 if rep.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
