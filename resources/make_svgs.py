#!/usr/bin/env python3
"""Writes the SVG sources for the Pelorvane pedal artwork into resources/svg/.

Everything here is plain geometry; render.sh turns the SVGs into the PNGs the
editor loads.  The output is deterministic: same script, same SVG bytes.

Geometry that the editor code relies on (image pixels):
  Background 1260 x 1603, knob centres (497,383) (767,383) (497,637) (767,637),
  footswitch body centre about (629,1061), lamp box (750,1008) 100 x 100,
  link buttons at (120,1460) and (720,1460), 412 x 88 each.
  knob_strip frames 421 x 421, pivot (210.5,210.5), angle -150 + 3k degrees.
  basicKnob_strip frames 328 x 328, same angles.
  Footswitch 425 x 425, opaque disc centre (212,212) radius 122.
  Lamp 125 x 125, centre (62.5,62.5).
  Buttons 413 x 89.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "svg")

FRAMES = 100
START_DEG = -150.0
STEP_DEG = 3.0


def f(v):
    """Compact, stable number formatting."""
    s = "%.3f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def polar(cx, cy, r, deg):
    """Point at radius r, deg degrees clockwise from straight up."""
    a = math.radians(deg)
    return cx + r * math.sin(a), cy - r * math.cos(a)


def svg_open(w, h, extra=""):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" '
            'xmlns:xlink="http://www.w3.org/1999/xlink" '
            'width="%d" height="%d" viewBox="0 0 %d %d"%s>\n' % (w, h, w, h, extra))


def write(name, text):
    path = os.path.join(OUT, name)
    with open(path, "w", encoding="utf-8", newline="\n") as fh:
        fh.write(text)


def grey(level):
    level = max(0, min(255, int(round(level))))
    return "#%02x%02x%02x" % (level, level, level)


def mix(c1, c2, t):
    a = [int(c1[i:i + 2], 16) for i in (1, 3, 5)]
    b = [int(c2[i:i + 2], 16) for i in (1, 3, 5)]
    return "#" + "".join("%02x" % int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def conic_wedges(cx, cy, r, n, shade, opacity=1.0):
    """Fake conic gradient: n wedges, shade(deg) -> '#rrggbb'. Wedges overlap a
    hair so no seams show after antialiasing."""
    out = []
    for i in range(n):
        a0 = 360.0 * i / n - 0.4
        a1 = 360.0 * (i + 1) / n + 0.4
        x0, y0 = polar(cx, cy, r, a0)
        x1, y1 = polar(cx, cy, r, a1)
        mid = 360.0 * (i + 0.5) / n
        out.append('<path d="M%s %sL%s %sA%s %s 0 0 1 %s %sZ" fill="%s"%s/>' % (
            f(cx), f(cy), f(x0), f(y0), f(r), f(r), f(x1), f(y1), shade(mid),
            "" if opacity >= 1 else ' fill-opacity="%s"' % f(opacity)))
    return "\n".join(out)


def bow_ties(cx, cy, r, axis_deg, widths, colour, opacity):
    """Pairs of opposite wedges centred on axis_deg, one pair per width,
    stacked so the sheen fades off to the sides."""
    out = []
    for w in widths:
        d = ""
        for base in (axis_deg, axis_deg + 180):
            x0, y0 = polar(cx, cy, r, base - w / 2.0)
            x1, y1 = polar(cx, cy, r, base + w / 2.0)
            d += "M%s %sL%s %sA%s %s 0 0 1 %s %sZ" % (f(cx), f(cy), f(x0), f(y0), f(r), f(r), f(x1), f(y1))
        out.append('<path d="%s" fill="%s" fill-opacity="%s"/>' % (d, colour, f(opacity)))
    return "\n".join(out) + "\n"


def arc_band(cx, cy, r, a0, a1, width, colour, opacity):
    """Stroke along a circle from a0 to a1 degrees (clockwise from up)."""
    x0, y0 = polar(cx, cy, r, a0)
    x1, y1 = polar(cx, cy, r, a1)
    large = 1 if (a1 - a0) % 360 > 180 else 0
    return ('<path d="M%s %sA%s %s 0 %d 1 %s %s" fill="none" stroke="%s" stroke-opacity="%s" stroke-width="%s"/>\n'
            % (f(x0), f(y0), f(r), f(r), large, f(x1), f(y1), colour, f(opacity), f(width)))


def brushed(deg, base, amp, light_deg=-45.0, sharp=1.0):
    """Anisotropic 'spun metal' reflection: two bright lobes across the light."""
    t = math.cos(math.radians(2 * (deg - light_deg)))
    t = math.copysign(abs(t) ** sharp, t)
    return grey(base + amp * t)


def star_path(cx, cy, r, waist=0.12, rot=0.0):
    """Four-pointed glint with concave sides."""
    pts = []
    for i in range(4):
        a = rot + 90 * i
        tip = polar(cx, cy, r, a)
        ctl = polar(cx, cy, r * waist, a + 45)
        pts.append((tip, ctl))
    d = "M%s %s" % (f(pts[0][0][0]), f(pts[0][0][1]))
    for i in range(4):
        ctl = pts[i][1]
        nxt = pts[(i + 1) % 4][0]
        d += "Q%s %s %s %s" % (f(ctl[0]), f(ctl[1]), f(nxt[0]), f(nxt[1]))
    return d + "Z"


# ---------------------------------------------------------------------------
# Footswitch
# ---------------------------------------------------------------------------

FS_C = 212.0
FS_R = 122.0


def footswitch(pressed):
    c = FS_C
    s = [svg_open(425, 425)]
    s.append('<defs>\n')
    s.append('<filter id="soft" x="-10%" y="-10%" width="120%" height="120%">'
             '<feGaussianBlur stdDeviation="1.6"/></filter>\n')
    s.append('<filter id="shadow" x="-30%" y="-30%" width="160%" height="160%">'
             '<feGaussianBlur stdDeviation="9"/></filter>\n')
    s.append('<clipPath id="body"><circle cx="%s" cy="%s" r="%s"/></clipPath>\n' % (f(c), f(c), f(FS_R)))
    # chrome dome of the actuator
    if pressed:
        hx, hy = "46%", "48%"
    else:
        hx, hy = "36%", "32%"
    s.append('<radialGradient id="dome" cx="50%%" cy="50%%" r="50%%" fx="%s" fy="%s">'
             '<stop offset="0" stop-color="#ffffff"/>'
             '<stop offset="0.18" stop-color="#e9edf1"/>'
             '<stop offset="0.55" stop-color="#8b939c"/>'
             '<stop offset="0.8" stop-color="#3c424a"/>'
             '<stop offset="0.93" stop-color="#a9b0b8"/>'
             '<stop offset="1" stop-color="#5a6068"/></radialGradient>\n' % (hx, hy))
    s.append('<linearGradient id="bevel" x1="0" y1="0" x2="1" y2="1">'
             '<stop offset="0" stop-color="#ffffff" stop-opacity="0.85"/>'
             '<stop offset="0.5" stop-color="#ffffff" stop-opacity="0"/>'
             '<stop offset="0.5" stop-color="#000000" stop-opacity="0"/>'
             '<stop offset="1" stop-color="#000000" stop-opacity="0.55"/></linearGradient>\n')
    s.append('<linearGradient id="bushing" x1="0" y1="0" x2="1" y2="1">'
             '<stop offset="0" stop-color="#cfd4da"/>'
             '<stop offset="0.45" stop-color="#6d747c"/>'
             '<stop offset="0.7" stop-color="#2c3036"/>'
             '<stop offset="1" stop-color="#8e959d"/></linearGradient>\n')
    s.append('</defs>\n')

    if pressed:
        # soft contact shadow, kept well under the hit-test alpha
        s.append('<circle cx="%s" cy="%s" r="%s" fill="#000" fill-opacity="0.55" filter="url(#shadow)"/>\n'
                 % (f(c + 3), f(c + 5), f(FS_R + 2)))

    s.append('<g clip-path="url(#body)">\n')
    # washer: spun steel
    light = -50.0 if not pressed else -30.0
    s.append(conic_wedges(c, c, FS_R + 1, 120,
                          lambda d: brushed(d, 150, 70, light, 0.8)))
    # spun rings on the washer
    for i, rr in enumerate(range(108, 122, 2)):
        s.append('<circle cx="%s" cy="%s" r="%d" fill="none" stroke="%s" stroke-opacity="0.10" stroke-width="1"/>'
                 % (f(c), f(c), rr, "#000" if i % 2 else "#fff"))
    # washer rim bevel
    s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="url(#bevel)" stroke-width="4"/>\n'
             % (f(c), f(c), f(FS_R - 2)))
    s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="#1c1f24" stroke-opacity="0.7" stroke-width="1.5"/>\n'
             % (f(c), f(c), f(FS_R - 0.75)))

    # hex nut: corners at r=104, flats at 90
    rn = 104.0
    pts = [polar(c, c, rn, 30 + 60 * i) for i in range(6)]
    # nut shadow onto the washer
    s.append('<polygon points="%s" fill="#000" fill-opacity="0.45" filter="url(#soft)" transform="translate(2.5 3.5)"/>\n'
             % " ".join("%s,%s" % (f(x), f(y)) for x, y in pts))
    # chamfer facets, one shade per corner (light from upper left)
    for i in range(6):
        a = 30 + 60 * i
        p0 = polar(c, c, rn, a - 60)
        p1 = polar(c, c, rn, a)
        p2 = polar(c, c, rn, a + 60)
        lum = 0.5 + 0.5 * math.cos(math.radians(a - (-45 if not pressed else -30)))
        col = grey(70 + 150 * lum)
        s.append('<polygon points="%s,%s %s,%s %s,%s %s,%s" fill="%s"/>' % (
            f(c), f(c), f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1]), f(p2[0]), f(p2[1]), col))
    s.append('<polygon points="%s" fill="none" stroke="#202328" stroke-opacity="0.8" stroke-width="1.2"/>\n'
             % " ".join("%s,%s" % (f(x), f(y)) for x, y in pts))
    # nut top face (inside the chamfer circle): spun finish
    s.append(conic_wedges(c, c, 88, 96, lambda d: brushed(d, 165, 75, light + 5, 0.7)))
    s.append('<circle cx="%s" cy="%s" r="88" fill="none" stroke="url(#bevel)" stroke-width="2"/>\n' % (f(c), f(c)))
    # threaded bushing
    s.append('<circle cx="%s" cy="%s" r="62" fill="#000" fill-opacity="0.5" filter="url(#soft)" transform="translate(1.5 2.5)"/>\n'
             % (f(c), f(c)))
    s.append('<circle cx="%s" cy="%s" r="61" fill="url(#bushing)"/>\n' % (f(c), f(c)))
    for rr in range(50, 61, 3):
        s.append('<circle cx="%s" cy="%s" r="%d" fill="none" stroke="#000" stroke-opacity="0.35" stroke-width="1.2"/>'
                 % (f(c), f(c), rr))
        s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="#fff" stroke-opacity="0.18" stroke-width="0.8"/>'
                 % (f(c), f(c), f(rr + 1.2)))
    # actuator: dark gap ring then chrome dome
    cap_r = 46.0 if not pressed else 43.5
    off = 0.0 if not pressed else 1.5
    s.append('<circle cx="%s" cy="%s" r="%s" fill="#101215"/>\n' % (f(c), f(c), f(cap_r + 3)))
    s.append('<circle cx="%s" cy="%s" r="%s" fill="url(#dome)"/>\n' % (f(c + off), f(c + off), f(cap_r)))
    s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="url(#bevel)" stroke-width="1.5"/>\n'
             % (f(c + off), f(c + off), f(cap_r - 1)))
    if pressed:
        # pressed: the whole body sits a little deeper and darker
        s.append('<circle cx="%s" cy="%s" r="%s" fill="#000" fill-opacity="0.16"/>\n' % (f(c), f(c), f(FS_R + 1)))
        s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="#000" stroke-opacity="0.35" stroke-width="10" filter="url(#soft)"/>\n'
                 % (f(c), f(c), f(FS_R)))
    s.append('</g>\n</svg>\n')
    return "".join(s)


# ---------------------------------------------------------------------------
# Lamp
# ---------------------------------------------------------------------------

def lamp(lit):
    c = 62.5
    s = [svg_open(125, 125)]
    s.append('<defs>\n')
    s.append('<filter id="glow" x="-50%" y="-50%" width="200%" height="200%">'
             '<feGaussianBlur stdDeviation="7"/></filter>\n')
    s.append('<filter id="soft" x="-20%" y="-20%" width="140%" height="140%">'
             '<feGaussianBlur stdDeviation="1.4"/></filter>\n')
    s.append('<linearGradient id="bezel" x1="0.15" y1="0" x2="0.85" y2="1">'
             '<stop offset="0" stop-color="#fbfcfd"/>'
             '<stop offset="0.3" stop-color="#a4abb3"/>'
             '<stop offset="0.55" stop-color="#e8ebee"/>'
             '<stop offset="0.8" stop-color="#4b5158"/>'
             '<stop offset="1" stop-color="#9aa1a9"/></linearGradient>\n')
    s.append('<linearGradient id="bezelIn" x1="0.85" y1="1" x2="0.15" y2="0">'
             '<stop offset="0" stop-color="#f2f4f6"/>'
             '<stop offset="0.5" stop-color="#7d848c"/>'
             '<stop offset="1" stop-color="#2a2e33"/></linearGradient>\n')
    if lit:
        s.append('<radialGradient id="lens" cx="50%" cy="50%" r="50%" fx="50%" fy="50%">'
                 '<stop offset="0" stop-color="#ffffff"/>'
                 '<stop offset="0.3" stop-color="#e4f4ff"/>'
                 '<stop offset="0.65" stop-color="#7fc8ff"/>'
                 '<stop offset="1" stop-color="#2f74d8"/></radialGradient>\n')
        s.append('<radialGradient id="halo" cx="50%" cy="50%" r="50%">'
                 '<stop offset="0" stop-color="#bfe4ff" stop-opacity="0.95"/>'
                 '<stop offset="0.45" stop-color="#6cb8ff" stop-opacity="0.45"/>'
                 '<stop offset="1" stop-color="#3f86ff" stop-opacity="0"/></radialGradient>\n')
    else:
        s.append('<radialGradient id="lens" cx="50%" cy="50%" r="50%" fx="40%" fy="35%">'
                 '<stop offset="0" stop-color="#3a4f66"/>'
                 '<stop offset="0.5" stop-color="#1b2735"/>'
                 '<stop offset="1" stop-color="#0a0f16"/></radialGradient>\n')
    s.append('<radialGradient id="glint" cx="50%" cy="50%" r="50%">'
             '<stop offset="0" stop-color="#fff" stop-opacity="0.9"/>'
             '<stop offset="1" stop-color="#fff" stop-opacity="0"/></radialGradient>\n')
    s.append('</defs>\n')
    if lit:
        s.append('<circle cx="%s" cy="%s" r="60" fill="url(#halo)"/>\n' % (f(c), f(c)))
    # bezel shadow
    s.append('<circle cx="%s" cy="%s" r="46" fill="#000" fill-opacity="0.55" filter="url(#soft)"/>\n'
             % (f(c + 1.5), f(c + 2.5)))
    # knurled bezel
    s.append('<circle cx="%s" cy="%s" r="45" fill="url(#bezel)"/>\n' % (f(c), f(c)))
    for i in range(60):
        p0 = polar(c, c, 40.5, i * 6)
        p1 = polar(c, c, 44.5, i * 6)
        s.append('<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="#000" stroke-opacity="0.22" stroke-width="1.1"/>'
                 % (f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1])))
    s.append('\n<circle cx="%s" cy="%s" r="45" fill="none" stroke="#1d2025" stroke-opacity="0.8" stroke-width="1"/>\n'
             % (f(c), f(c)))
    s.append('<circle cx="%s" cy="%s" r="37" fill="url(#bezelIn)"/>\n' % (f(c), f(c)))
    s.append('<circle cx="%s" cy="%s" r="31" fill="#07090c"/>\n' % (f(c), f(c)))
    # lens
    s.append('<circle cx="%s" cy="%s" r="29" fill="url(#lens)"/>\n' % (f(c), f(c)))
    if lit:
        s.append('<circle cx="%s" cy="%s" r="22" fill="#e8f6ff" fill-opacity="0.7" filter="url(#glow)"/>\n'
                 % (f(c), f(c)))
        # faint star glint in the lens, the 'lumens' motif
        s.append('<path d="%s" fill="#ffffff" fill-opacity="0.55"/>\n' % star_path(c, c, 21, 0.09))
    # lens facets (fresnel rings)
    for rr in (10, 17, 24):
        s.append('<circle cx="%s" cy="%s" r="%d" fill="none" stroke="#fff" stroke-opacity="%s" stroke-width="0.8"/>'
                 % (f(c), f(c), rr, "0.18" if lit else "0.07"))
    s.append('\n<ellipse cx="%s" cy="%s" rx="13" ry="8" fill="url(#glint)" transform="rotate(-35 %s %s)" opacity="%s"/>\n'
             % (f(c - 9), f(c - 12), f(c - 9), f(c - 12), "0.9" if lit else "0.55"))
    s.append('</svg>\n')
    return "".join(s)


# ---------------------------------------------------------------------------
# Background
# ---------------------------------------------------------------------------

BG_W, BG_H = 1260, 1603
KNOBS = [("space", 497, 383), ("lumens", 767, 383), ("tone", 497, 637), ("mix", 767, 637)]
FOOT_C = (629, 1061)
LAMP_C = (800, 1058)
# enclosure outline and the painted face inside its rounded rim
BOX = (300, 150, 960, 1410, 64)
FACE = (316, 166, 944, 1394, 50)

INK = "#e9e7f4"        # pearl print
INK_DIM = "#b9bcd8"
SANS = "DejaVu Sans"
SERIF = "DejaVu Serif"


class Rng:
    """Tiny LCG so the star field is the same on every run."""

    def __init__(self, seed):
        self.x = seed

    def next(self):
        self.x = (self.x * 1103515245 + 12345) & 0x7FFFFFFF
        return self.x / float(0x7FFFFFFF)


def rrect(x0, y0, x1, y1, r, attrs):
    return '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" %s/>\n' % (
        f(x0), f(y0), f(x1 - x0), f(y1 - y0), f(r), attrs)


def text(x, y, s, size, attrs="", family=SANS, anchor="middle", fill=INK):
    return ('<text x="%s" y="%s" font-family="%s" font-size="%s" text-anchor="%s" fill="%s" %s>%s</text>\n'
            % (f(x), f(y), family, f(size), anchor, fill, attrs, s))


def knob_scale(cx, cy):
    """Printed travel scale: 11 bars over 300 degrees, dots between."""
    out = []
    for i in range(11):
        a = -150 + 30 * i
        big = i in (0, 5, 10)
        r0 = 90.0
        r1 = 104.0 if big else 100.0
        p0 = polar(cx, cy, r0, a)
        p1 = polar(cx, cy, r1, a)
        out.append('<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s" stroke-linecap="round"/>'
                   % (f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1]), INK, "3.6" if big else "2.8"))
        if i < 10:
            d = polar(cx, cy, 95.0, a + 15)
            out.append('<circle cx="%s" cy="%s" r="1.7" fill="%s" fill-opacity="0.75"/>' % (f(d[0]), f(d[1]), INK))
    return "\n".join(out) + "\n"


def knob_body(cx, cy, idx):
    """Machined knob: knurled skirt r=84, spun satin-black cap r=76."""
    out = []
    out.append('<circle cx="%s" cy="%s" r="86" fill="#000" fill-opacity="0.75" filter="url(#knobShadow)"/>\n'
               % (f(cx + 5), f(cy + 9)))
    out.append('<circle cx="%s" cy="%s" r="84" fill="url(#skirt)"/>\n' % (f(cx), f(cy)))
    ridges = []
    for i in range(90):
        a = i * 4.0
        p0 = polar(cx, cy, 77.5, a)
        p1 = polar(cx, cy, 83.6, a)
        ridges.append("M%s %sL%s %s" % (f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1])))
    out.append('<path d="%s" stroke="#000" stroke-opacity="0.55" stroke-width="1.6"/>\n' % "".join(ridges))
    ridges = []
    for i in range(90):
        a = i * 4.0 + 1.6
        p0 = polar(cx, cy, 78, a)
        p1 = polar(cx, cy, 83.6, a)
        ridges.append("M%s %sL%s %s" % (f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1])))
    out.append('<path d="%s" stroke="#fff" stroke-opacity="0.10" stroke-width="1"/>\n' % "".join(ridges))
    out.append('<circle cx="%s" cy="%s" r="84" fill="url(#skirtLight)"/>\n' % (f(cx), f(cy)))
    out.append('<circle cx="%s" cy="%s" r="83.5" fill="none" stroke="#000" stroke-opacity="0.8" stroke-width="1.2"/>\n'
               % (f(cx), f(cy)))
    # cap: spun satin black
    out.append(conic_wedges(cx, cy, 76, 72, lambda d: brushed(d, 38, 22, -45, 1.6)))
    out.append('\n<circle cx="%s" cy="%s" r="76" fill="url(#capDome)"/>\n' % (f(cx), f(cy)))
    out.append('<circle cx="%s" cy="%s" r="75" fill="none" stroke="url(#capRim)" stroke-width="2.2"/>\n'
               % (f(cx), f(cy)))
    out.append('<circle cx="%s" cy="%s" r="6" fill="#000" fill-opacity="0.35"/>\n' % (f(cx), f(cy)))
    return "".join(out)


def side_jack(x_wall, cy, direction):
    """A 1/4" jack seen from above, poking out of a side wall.
    direction -1: left wall (grows to smaller x), +1: right wall."""
    out = []
    d = direction
    nut_w, sleeve_w = 15.0, 18.0
    x_nut0 = x_wall
    x_nut1 = x_wall + d * nut_w
    x_sl1 = x_nut1 + d * sleeve_w
    lo, hi = min(x_nut0, x_nut1), max(x_nut0, x_nut1)
    out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="url(#nutSide)" rx="2"/>\n'
               % (f(lo - 6), f(cy - 26), f(hi - lo + 6), "52"))
    # hex flats as bands
    out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="#fff" fill-opacity="0.18"/>\n'
               % (f(lo), f(cy - 13), f(hi - lo), "2"))
    out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="#000" fill-opacity="0.25"/>\n'
               % (f(lo), f(cy + 12), f(hi - lo), "2"))
    lo2, hi2 = min(x_nut1, x_sl1), max(x_nut1, x_sl1)
    out.append('<rect x="%s" y="%s" width="%s" height="%s" fill="url(#sleeve)"/>\n'
               % (f(lo2), f(cy - 17), f(hi2 - lo2), "34"))
    for i in range(1, 6):
        x = x_nut1 + d * 3.0 * i
        out.append('<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="#000" stroke-opacity="0.35" stroke-width="1.1"/>'
                   % (f(x), f(cy - 17), f(x), f(cy + 17)))
    out.append('\n')
    # dark socket mouth
    xm = x_sl1
    out.append('<rect x="%s" y="%s" width="3" height="26" fill="#0b0c0f"/>\n'
               % (f(xm - (3 if d > 0 else 0)), f(cy - 13)))
    return "".join(out)


def background():
    s = [svg_open(BG_W, BG_H)]
    bx0, by0, bx1, by1, br = BOX
    fx0, fy0, fx1, fy1, fr = FACE
    s.append('<defs>\n')
    s.append('<radialGradient id="field" cx="50%" cy="32%" r="78%">'
             '<stop offset="0" stop-color="#232634"/>'
             '<stop offset="0.55" stop-color="#15171f"/>'
             '<stop offset="1" stop-color="#08090c"/></radialGradient>\n')
    s.append('<filter id="fieldTex" x="0" y="0" width="%d" height="%d" filterUnits="userSpaceOnUse">'
             '<feTurbulence type="fractalNoise" baseFrequency="0.55" numOctaves="2" seed="11"/>'
             '<feColorMatrix type="matrix" values="0 0 0 0 1  0 0 0 0 1  0 0 0 0 1  0.9 0 0 0 -0.38"/>'
             '<feComposite operator="in" in2="SourceGraphic"/></filter>\n' % (BG_W, BG_H))
    s.append('<filter id="boxShadow" x="-20%" y="-20%" width="140%" height="140%">'
             '<feGaussianBlur stdDeviation="26"/></filter>\n')
    s.append('<filter id="tight" x="-20%" y="-20%" width="140%" height="140%">'
             '<feGaussianBlur stdDeviation="5"/></filter>\n')
    s.append('<filter id="knobShadow" x="-30%" y="-30%" width="160%" height="160%">'
             '<feGaussianBlur stdDeviation="7"/></filter>\n')
    s.append('<filter id="soft2" x="-30%" y="-30%" width="160%" height="160%">'
             '<feGaussianBlur stdDeviation="2"/></filter>\n')
    s.append('<filter id="aurora" x="-30%" y="-30%" width="160%" height="160%">'
             '<feGaussianBlur stdDeviation="34"/></filter>\n')
    s.append('<filter id="logoGlow" x="-20%" y="-60%" width="140%" height="220%">'
             '<feGaussianBlur stdDeviation="10"/></filter>\n')
    s.append('<filter id="flake" x="%d" y="%d" width="%d" height="%d" filterUnits="userSpaceOnUse">'
             '<feTurbulence type="fractalNoise" baseFrequency="0.9" numOctaves="1" seed="4"/>'
             '<feColorMatrix type="matrix" values="0 0 0 0 0.85  0 0 0 0 0.9  0 0 0 0 1  14 0 0 0 -8.9"/>'
             '<feComposite operator="in" in2="SourceGraphic"/></filter>\n'
             % (fx0, fy0, fx1 - fx0, fy1 - fy0))
    s.append('<clipPath id="faceClip">%s</clipPath>\n' % rrect(fx0, fy0, fx1, fy1, fr, ""))
    s.append('<linearGradient id="paint" x1="0" y1="0" x2="0.55" y2="1">'
             '<stop offset="0" stop-color="#2f3a78"/>'
             '<stop offset="0.45" stop-color="#1f2858"/>'
             '<stop offset="1" stop-color="#121737"/></linearGradient>\n')
    s.append('<radialGradient id="sheen" cx="28%" cy="14%" r="60%">'
             '<stop offset="0" stop-color="#c9d6ff" stop-opacity="0.26"/>'
             '<stop offset="0.5" stop-color="#9fb3ff" stop-opacity="0.07"/>'
             '<stop offset="1" stop-color="#9fb3ff" stop-opacity="0"/></radialGradient>\n')
    s.append('<linearGradient id="rimWall" x1="0" y1="0" x2="0.35" y2="1">'
             '<stop offset="0" stop-color="#3a4684"/>'
             '<stop offset="0.5" stop-color="#161c40"/>'
             '<stop offset="1" stop-color="#090b1a"/></linearGradient>\n')
    s.append('<linearGradient id="rimLight" x1="0" y1="0" x2="0.3" y2="1">'
             '<stop offset="0" stop-color="#e6ecff" stop-opacity="0.75"/>'
             '<stop offset="0.3" stop-color="#e6ecff" stop-opacity="0.12"/>'
             '<stop offset="0.7" stop-color="#000" stop-opacity="0.1"/>'
             '<stop offset="1" stop-color="#000" stop-opacity="0.6"/></linearGradient>\n')
    s.append('<linearGradient id="faceEdge" x1="0" y1="0" x2="0.3" y2="1">'
             '<stop offset="0" stop-color="#000" stop-opacity="0.55"/>'
             '<stop offset="0.5" stop-color="#000" stop-opacity="0.15"/>'
             '<stop offset="1" stop-color="#b9c6ff" stop-opacity="0.35"/></linearGradient>\n')
    # knob parts
    s.append('<linearGradient id="skirt" x1="0.2" y1="0" x2="0.8" y2="1">'
             '<stop offset="0" stop-color="#5a5e66"/>'
             '<stop offset="0.45" stop-color="#202226"/>'
             '<stop offset="1" stop-color="#0a0b0d"/></linearGradient>\n')
    s.append('<radialGradient id="skirtLight" cx="50%" cy="50%" r="50%" fx="30%" fy="20%">'
             '<stop offset="0.85" stop-color="#fff" stop-opacity="0.0"/>'
             '<stop offset="1" stop-color="#fff" stop-opacity="0.14"/></radialGradient>\n')
    s.append('<radialGradient id="capDome" cx="50%" cy="50%" r="50%" fx="34%" fy="26%">'
             '<stop offset="0" stop-color="#ffffff" stop-opacity="0.16"/>'
             '<stop offset="0.55" stop-color="#ffffff" stop-opacity="0.03"/>'
             '<stop offset="1" stop-color="#000000" stop-opacity="0.35"/></radialGradient>\n')
    s.append('<linearGradient id="capRim" x1="0.2" y1="0" x2="0.8" y2="1">'
             '<stop offset="0" stop-color="#ffffff" stop-opacity="0.55"/>'
             '<stop offset="0.5" stop-color="#ffffff" stop-opacity="0.08"/>'
             '<stop offset="1" stop-color="#000000" stop-opacity="0.6"/></linearGradient>\n')
    # jack metal
    s.append('<linearGradient id="nutSide" x1="0" y1="0" x2="0" y2="1">'
             '<stop offset="0" stop-color="#6f767f"/>'
             '<stop offset="0.25" stop-color="#f1f3f5"/>'
             '<stop offset="0.5" stop-color="#aab1b9"/>'
             '<stop offset="0.75" stop-color="#5b6169"/>'
             '<stop offset="1" stop-color="#2b2f34"/></linearGradient>\n')
    s.append('<linearGradient id="sleeve" x1="0" y1="0" x2="0" y2="1">'
             '<stop offset="0" stop-color="#4d535a"/>'
             '<stop offset="0.3" stop-color="#e3e7eb"/>'
             '<stop offset="0.6" stop-color="#8c939b"/>'
             '<stop offset="1" stop-color="#24282c"/></linearGradient>\n')
    s.append('<linearGradient id="dcBody" x1="0" y1="0" x2="1" y2="0">'
             '<stop offset="0" stop-color="#0c0d0f"/>'
             '<stop offset="0.35" stop-color="#3b3e44"/>'
             '<stop offset="0.6" stop-color="#17191c"/>'
             '<stop offset="1" stop-color="#060708"/></linearGradient>\n')
    s.append('<radialGradient id="recess" cx="50%" cy="50%" r="50%">'
             '<stop offset="0.78" stop-color="#000" stop-opacity="0"/>'
             '<stop offset="0.9" stop-color="#000" stop-opacity="0.3"/>'
             '<stop offset="1" stop-color="#000" stop-opacity="0"/></radialGradient>\n')
    s.append('<linearGradient id="shelfLine" x1="0" y1="0" x2="1" y2="0">'
             '<stop offset="0" stop-color="#8ea2ff" stop-opacity="0"/>'
             '<stop offset="0.5" stop-color="#8ea2ff" stop-opacity="0.35"/>'
             '<stop offset="1" stop-color="#8ea2ff" stop-opacity="0"/></linearGradient>\n')
    s.append('<radialGradient id="shelfGlow" cx="50%" cy="50%" r="50%">'
             '<stop offset="0" stop-color="#3b4aa0" stop-opacity="0.20"/>'
             '<stop offset="1" stop-color="#3b4aa0" stop-opacity="0"/></radialGradient>\n')
    s.append('</defs>\n')

    # --- field -------------------------------------------------------------
    s.append('<rect width="%d" height="%d" fill="url(#field)"/>\n' % (BG_W, BG_H))
    s.append('<rect width="%d" height="%d" fill="#fff" filter="url(#fieldTex)" opacity="0.07"/>\n' % (BG_W, BG_H))
    # faint glow under the link buttons
    s.append('<ellipse cx="630" cy="1510" rx="620" ry="120" fill="url(#shelfGlow)"/>\n')
    s.append('<rect x="90" y="1440" width="1080" height="1.5" fill="url(#shelfLine)"/>\n')

    # --- enclosure -----------------------------------------------------------
    s.append(rrect(bx0 - 6, by0 + 22, bx1 + 6, by1 + 34, br, 'fill="#000" fill-opacity="0.85" filter="url(#boxShadow)"'))
    s.append(rrect(bx0 + 4, by0 + 8, bx1 - 4, by1 + 8, br, 'fill="#000" fill-opacity="0.8" filter="url(#tight)"'))
    # jacks go under the rim
    s.append(side_jack(bx0 + 2, 230, -1))
    s.append(side_jack(bx1 - 2, 230, 1))
    # dc jack on the top wall
    s.append('<rect x="603" y="122" width="54" height="34" rx="3" fill="url(#dcBody)"/>\n')
    s.append('<rect x="614" y="118" width="32" height="8" rx="2" fill="#1e2024"/>\n')
    s.append('<circle cx="630" cy="121" r="2.5" fill="#8d949c"/>\n')
    s.append(rrect(bx0, by0, bx1, by1, br, 'fill="url(#rimWall)"'))
    s.append(rrect(bx0 + 1.5, by0 + 1.5, bx1 - 1.5, by1 - 1.5, br - 1.5,
                   'fill="none" stroke="url(#rimLight)" stroke-width="3"'))
    s.append(rrect(fx0, fy0, fx1, fy1, fr, 'fill="url(#paint)"'))
    s.append('<g clip-path="url(#faceClip)">\n')
    # aurora: soft bands of light drifting across the face
    s.append('<path d="M250 980 C420 820 560 900 700 760 S930 600 1010 700 L1010 840 C880 760 820 900 680 930 S430 980 250 1120 Z" '
             'fill="#57d6ff" fill-opacity="0.20" filter="url(#aurora)"/>\n')
    s.append('<path d="M250 760 C400 700 520 760 640 690 S880 560 1010 600 L1010 680 C860 640 760 770 640 790 S380 800 250 860 Z" '
             'fill="#9b7bff" fill-opacity="0.20" filter="url(#aurora)"/>\n')
    s.append('<path d="M250 1300 C450 1250 560 1330 720 1270 S930 1180 1010 1220 L1010 1420 L250 1420 Z" '
             'fill="#6d5cff" fill-opacity="0.14" filter="url(#aurora)"/>\n')
    s.append(rrect(fx0, fy0, fx1, fy1, fr, 'fill="url(#sheen)"'))
    s.append(rrect(fx0, fy0, fx1, fy1, fr, 'fill="#fff" filter="url(#flake)" opacity="0.42"'))
    # star field (kept clear of knobs, logo, footswitch and lamp)
    rng = Rng(20240611)
    keep_out = [(k[1], k[2], 112) for k in KNOBS] + [(FOOT_C[0], FOOT_C[1], 135), (LAMP_C[0], LAMP_C[1], 60),
                                              (629, 1212, 62), (800, 1124, 42)]
    placed = 0
    tries = 0
    stars = []
    while placed < 70 and tries < 5000:
        tries += 1
        x = fx0 + 30 + rng.next() * (fx1 - fx0 - 60)
        y = fy0 + 70 + rng.next() * (fy1 - fy0 - 140)
        size = rng.next()
        op = 0.25 + 0.6 * rng.next()
        if any((x - kx) ** 2 + (y - ky) ** 2 < kr * kr for kx, ky, kr in keep_out):
            continue
        if 770 < y < 940 or (y < 260) or (1250 < y < 1345 and 420 < x < 840) or (470 < y < 520) or (725 < y < 770):
            continue
        placed += 1
        if size > 0.86:
            stars.append('<path d="%s" fill="#f4f6ff" fill-opacity="%s"/>' % (star_path(x, y, 5 + 7 * size, 0.1), f(op)))
        else:
            stars.append('<circle cx="%s" cy="%s" r="%s" fill="#f4f6ff" fill-opacity="%s"/>'
                         % (f(x), f(y), f(0.8 + 1.6 * size), f(op * 0.8)))
    s.append("\n".join(stars) + "\n")
    s.append('</g>\n')
    # inner edge where the face meets the rim
    s.append(rrect(fx0 + 1, fy0 + 1, fx1 - 1, fy1 - 1, fr - 1, 'fill="none" stroke="url(#faceEdge)" stroke-width="2.5"'))
    # printed border
    s.append(rrect(fx0 + 22, fy0 + 22, fx1 - 22, fy1 - 22, fr - 18,
                   'fill="none" stroke="%s" stroke-opacity="0.35" stroke-width="1.6"' % INK))

    # --- jack and power legends ---------------------------------------------
    s.append(text(fx0 + 44, 238, "&#9664; output", 21, 'letter-spacing="2"', anchor="start"))
    s.append(text(fx1 - 44, 238, "input &#9654;", 21, 'letter-spacing="2"', anchor="end"))
    s.append(text(630, 218, "9V DC", 17, 'letter-spacing="3" font-weight="bold" fill-opacity="0.85"'))
    # centre-negative polarity mark
    s.append('<path d="M594 240h10M610 240h20M638 240h12M654 240h12M660 234v12" stroke="%s" stroke-width="1.8" '
             'stroke-opacity="0.85" fill="none"/>\n' % INK)
    s.append(arc_band(630, 240, 8, -50, 230, 1.8, INK, 0.85))
    s.append('<circle cx="630" cy="240" r="2.6" fill="%s" fill-opacity="0.85"/>\n\n' % INK)
    # --- knobs ---------------------------------------------------------------
    for i, (name, cx, cy) in enumerate(KNOBS):
        s.append(knob_scale(cx, cy))
        s.append(knob_body(cx, cy, i))
        s.append(text(cx, cy + 114, name, 25, 'letter-spacing="3"'))

    # --- logo -----------------------------------------------------------------
    s.append(text(630, 874, "Pelorvane", 104, 'font-style="italic" fill-opacity="0.9" filter="url(#logoGlow)"',
                  family=SERIF, fill="#8fc7ff"))
    s.append(text(630, 874, "Pelorvane", 104, 'font-style="italic"', family=SERIF, fill="#f3f1fb"))
    s.append('<path d="%s" fill="#ffffff"/>\n' % star_path(840, 800, 24, 0.08))
    s.append('<circle cx="840" cy="800" r="3" fill="#fff"/>\n')
    s.append(text(630, 914, "shimmer reverb", 20, 'letter-spacing="9"', fill=INK_DIM))

    # --- footswitch seat and lamp seat ---------------------------------------
    fcx, fcy = FOOT_C
    s.append('<circle cx="%d" cy="%d" r="128" fill="url(#recess)"/>\n' % (fcx, fcy))
    s.append('<circle cx="%d" cy="%d" r="112" fill="#000" fill-opacity="0.55" filter="url(#knobShadow)" transform="translate(4 8)"/>\n'
             % (fcx, fcy))
    s.append('<circle cx="%d" cy="%d" r="120" fill="none" stroke="%s" stroke-opacity="0.35" stroke-width="1.6"/>\n'
             % (fcx, fcy, INK))
    lx, ly = LAMP_C
    s.append('<circle cx="%d" cy="%d" r="40" fill="#000" fill-opacity="0.6" filter="url(#soft2)" transform="translate(2 3)"/>\n'
             % (lx, ly))
    s.append(text(lx, ly + 70, "on", 17, 'letter-spacing="3" fill-opacity="0.8"'))
    s.append(text(fcx, fcy + 156, "bypass", 17, 'letter-spacing="4" fill-opacity="0.8"'))

    # --- maker ------------------------------------------------------------------
    s.append('<path d="%s" fill="%s" fill-opacity="0.9"/>\n' % (star_path(630, 1283, 13, 0.12), INK))
    s.append('<circle cx="630" cy="1283" r="19" fill="none" stroke="%s" stroke-width="1.6" stroke-opacity="0.8"/>\n' % INK)
    s.append(text(630, 1336, "OMBRIX AUDIO", 22, 'letter-spacing="8" font-weight="bold" fill-opacity="0.88"'))
    s.append('</svg>\n')
    return "".join(s)


# ---------------------------------------------------------------------------
# Film strips
# ---------------------------------------------------------------------------

KS_FRAME = 421
KS_PIVOT = 210.5
# pointer: a short lit line on the cap, radius 94..142 frame px
KS_R0, KS_R1 = 94.0, 142.0


def frame_angle(k):
    return START_DEG + STEP_DEG * k


def pointer_strokes(cx, cy, r0, r1, deg, core_w, glow, colour="#ffffff", glow_colour="#cfe6ff"):
    p0 = polar(cx, cy, r0, deg)
    p1 = polar(cx, cy, r1, deg)
    seg = 'x1="%s" y1="%s" x2="%s" y2="%s" stroke-linecap="round"' % (f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1]))
    out = []
    for w, op in glow:
        out.append('<line %s stroke="%s" stroke-opacity="%s" stroke-width="%s"/>' % (seg, glow_colour, f(op), f(w)))
    out.append('<line %s stroke="%s" stroke-width="%s"/>' % (seg, colour, f(core_w)))
    return "".join(out)


def knob_strip():
    n = FRAMES
    s = [svg_open(KS_FRAME, KS_FRAME * n)]
    for k in range(n):
        cy = KS_FRAME * k + KS_PIVOT
        s.append(pointer_strokes(KS_PIVOT, cy, KS_R0, KS_R1, frame_angle(k), 10.5,
                                 [(19.0, 0.10), (15.0, 0.22)]))
        s.append("\n")
    s.append("</svg>\n")
    return "".join(s)


BK_FRAME = 328
BK_C = 164.0
BK_R = 146.0


def basic_knob_strip():
    n = FRAMES
    c = BK_C
    s = [svg_open(BK_FRAME, BK_FRAME * n)]
    s.append('<defs>\n')
    # soft contact shadow as a gradient: filters would need a canvas-sized
    # scratch surface, and this canvas is taller than cairo allows
    sh_r = BK_R + 9
    inner = (BK_R - 6) / sh_r
    s.append('<radialGradient id="shadow" cx="50%%" cy="50%%" r="50%%">'
             '<stop offset="%s" stop-color="#000" stop-opacity="0.5"/>'
             '<stop offset="%s" stop-color="#000" stop-opacity="0.22"/>'
             '<stop offset="1" stop-color="#000" stop-opacity="0"/></radialGradient>\n'
             % (f(inner), f((inner + 1) / 2)))
    s.append('<linearGradient id="capRim" x1="0.2" y1="0" x2="0.8" y2="1">'
             '<stop offset="0" stop-color="#ffffff" stop-opacity="0.55"/>'
             '<stop offset="0.5" stop-color="#ffffff" stop-opacity="0.08"/>'
             '<stop offset="1" stop-color="#000000" stop-opacity="0.6"/></linearGradient>\n')
    # the knob body is the same in every frame; only the pointer turns
    s.append('<g id="body">\n')
    s.append('<circle cx="%s" cy="%s" r="%s" fill="url(#shadow)"/>\n' % (f(c + 1.5), f(c + 3), f(sh_r)))
    # flat fills and few edges on purpose: every frame repeats the body, and
    # smooth gradients would make this strip several times larger
    s.append('<circle cx="%s" cy="%s" r="%s" fill="#1d1f23"/>\n' % (f(c), f(c), f(BK_R)))
    ridges = []
    for i in range(60):
        a = i * 6.0
        p0 = polar(c, c, BK_R - 12, a)
        p1 = polar(c, c, BK_R - 0.8, a)
        ridges.append("M%s %sL%s %s" % (f(p0[0]), f(p0[1]), f(p1[0]), f(p1[1])))
    s.append('<path d="%s" stroke="#000" stroke-opacity="0.6" stroke-width="2.4"/>\n' % "".join(ridges))
    # light catching the upper left of the skirt, shade on the lower right
    s.append(arc_band(c, c, BK_R - 6, -150, 30, 11, "#ffffff", 0.10))
    s.append(arc_band(c, c, BK_R - 6, -110, -10, 11, "#ffffff", 0.08))
    s.append(arc_band(c, c, BK_R - 6, 60, 200, 11, "#000000", 0.25))
    s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="#000" stroke-opacity="0.8" stroke-width="1.6"/>\n'
             % (f(c), f(c), f(BK_R - 0.8)))
    cap = BK_R - 13
    # spun finish from a few stacked bow-ties
    s.append('<circle cx="%s" cy="%s" r="%s" fill="#2a2b30"/>\n' % (f(c), f(c), f(cap)))
    s.append(bow_ties(c, c, cap, -45, (64, 40, 22, 9), "#ffffff", 0.045))
    s.append(bow_ties(c, c, cap, 45, (50, 20), "#000000", 0.08))
    s.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="url(#capRim)" stroke-width="3"/>\n'
             % (f(c), f(c), f(cap - 1.5)))
    s.append('</g>\n</defs>\n')
    for k in range(n):
        y = BK_FRAME * k
        s.append('<use xlink:href="#body" href="#body" y="%d"/>' % y)
        s.append(pointer_strokes(c, y + c, 62, cap - 12, frame_angle(k), 15,
                                 [(27.0, 0.10), (21.0, 0.22)]))
        s.append("\n")
    s.append("</svg>\n")
    return "".join(s)


# ---------------------------------------------------------------------------
# Link buttons
# ---------------------------------------------------------------------------

def button(label, icon, top, bottom):
    w, h = 413, 89
    s = [svg_open(w, h)]
    s.append('<defs>\n')
    s.append('<linearGradient id="face" x1="0" y1="0" x2="0" y2="1">'
             '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></linearGradient>\n' % (top, bottom))
    s.append('<linearGradient id="rim" x1="0" y1="0" x2="0" y2="1">'
             '<stop offset="0" stop-color="#f4f6ff"/>'
             '<stop offset="0.5" stop-color="#8d95b8"/>'
             '<stop offset="1" stop-color="#d9def2"/></linearGradient>\n')
    s.append('<linearGradient id="gloss" x1="0" y1="0" x2="0" y2="1">'
             '<stop offset="0" stop-color="#ffffff" stop-opacity="0.30"/>'
             '<stop offset="1" stop-color="#ffffff" stop-opacity="0.02"/></linearGradient>\n')
    s.append('<radialGradient id="lumen" cx="50%" cy="100%" r="60%">'
             '<stop offset="0" stop-color="#9fd8ff" stop-opacity="0.35"/>'
             '<stop offset="1" stop-color="#9fd8ff" stop-opacity="0"/></radialGradient>\n')
    s.append('<clipPath id="inner"><rect x="4" y="4" width="%d" height="%d" rx="%s"/></clipPath>\n'
             % (w - 8, h - 8, f((h - 8) / 2.0)))
    s.append('</defs>\n')
    # silver rim
    s.append('<rect x="1" y="1" width="%d" height="%d" rx="%s" fill="url(#rim)"/>\n' % (w - 2, h - 2, f((h - 2) / 2.0)))
    s.append('<rect x="4" y="4" width="%d" height="%d" rx="%s" fill="url(#face)"/>\n' % (w - 8, h - 8, f((h - 8) / 2.0)))
    s.append('<g clip-path="url(#inner)">\n')
    s.append('<rect x="0" y="0" width="%d" height="%d" fill="url(#lumen)"/>\n' % (w, h))
    s.append('<rect x="4" y="4" width="%d" height="%s" rx="%s" fill="url(#gloss)"/>\n' % (w - 8, f((h - 8) * 0.48), "30"))
    s.append('</g>\n')
    s.append('<rect x="4.5" y="4.5" width="%d" height="%d" rx="%s" fill="none" stroke="#05060c" stroke-opacity="0.55" stroke-width="1"/>\n'
             % (w - 9, h - 9, f((h - 9) / 2.0)))
    # icon in a round badge on the left
    bx, by = 46.0, h / 2.0
    s.append('<circle cx="%s" cy="%s" r="25" fill="#ffffff" fill-opacity="0.14" stroke="#ffffff" stroke-opacity="0.55" stroke-width="2"/>\n'
             % (f(bx), f(by)))
    s.append(icon(bx, by))
    # lettering, with a dark drop for legibility at half size
    tx = (bx + 27 + w - 20) / 2.0
    s.append('<text x="%s" y="%s" font-family="DejaVu Sans Condensed" font-weight="bold" font-size="26.5" '
             'letter-spacing="1.2" text-anchor="middle" fill="#000" fill-opacity="0.45">%s</text>\n'
             % (f(tx + 1), f(by + 11), label))
    s.append('<text x="%s" y="%s" font-family="DejaVu Sans Condensed" font-weight="bold" font-size="26.5" '
             'letter-spacing="1.2" text-anchor="middle" fill="#ffffff">%s</text>\n' % (f(tx), f(by + 9.5), label))
    s.append('</svg>\n')
    return "".join(s)


def share_icon(cx, cy):
    pts = [(cx + 8, cy - 10), (cx - 9, cy), (cx + 8, cy + 10)]
    out = '<path d="M%s %sL%s %sL%s %s" fill="none" stroke="#fff" stroke-width="3"/>\n' % (
        f(pts[0][0]), f(pts[0][1]), f(pts[1][0]), f(pts[1][1]), f(pts[2][0]), f(pts[2][1]))
    for x, y in pts:
        out += '<circle cx="%s" cy="%s" r="5.2" fill="#fff"/>\n' % (f(x), f(y))
    return out


def add_icon(cx, cy):
    return ('<path d="M%s %sh22M%s %sv22" stroke="#fff" stroke-width="5" stroke-linecap="round"/>\n'
            % (f(cx - 11), f(cy), f(cx), f(cy - 11)))


def main():
    os.makedirs(OUT, exist_ok=True)
    write("stompSwitchUp.svg", footswitch(False))
    write("stompSwitchDown.svg", footswitch(True))
    write("LED_on.svg", lamp(True))
    write("LED_off.svg", lamp(False))
    write("Background.svg", background())
    write("knob_strip.svg", knob_strip())
    write("button1.svg", button("SHARE PELORVANE", share_icon, "#3b4796", "#1a2056"))
    write("button2.svg", button("ADD TO YOUR BOARD", add_icon, "#2f5c96", "#142a56"))
    write("basicKnob_strip.svg", basic_knob_strip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
