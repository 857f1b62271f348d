#!/usr/bin/python3
"""Generator of the tremolo editor's sixteen skin images.

Run from anywhere (Debian's system interpreter, which is the one that sees
python3-cairo):

    /usr/bin/python3 tools/skin/make_skin.py               # writes the PNGs
    /usr/bin/python3 tools/skin/make_skin.py --preview /tmp/skin-preview

It writes the sixteen PNG files into tremolo/resources/img/ (relative to the
repository root, found from this file's location), replacing what is there.
With --preview DIR it also composes two pictures of the whole editor (tempo
sync off and on) into DIR, laid out the way the editor places its controls,
so the art can be checked by eye; the previews are not part of the plug-in.

Needs: python3-cairo (pycairo) and the fonts of fonts-dejavu-core
("DejaVu Sans" book and bold). When that family is missing, fontconfig
substitutes its nearest sans face and a warning is printed: the images are
still made, but text widths change and the layout should be checked again.

The output is deterministic: no randomness, no timestamps; the PNG files
hold only IHDR, IDAT and IEND, recompressed at zlib level 9.

Fixed by the editor's layout (and therefore repeated here): the file names,
the frame counts (150, 7 for Note, 2 for the switch), vertical stacking of
frames, the background size 863 x 468, the 24 x 24 switch frame, the control
positions, the Prefix caption's offset of 53 pixels above its buttons and
the cover's corner at (242, 391). Everything else (sizes of knobs and
scales, colours, text) is chosen here.

How the editor draws what this script makes:
- A knob and its scale are both centred on the knob's anchor point, the
  scale first; so a scale is a transparent image with its centre at the
  knob's centre and the ticks drawn outside the knob's frame.
- A knob with N frames shows frame 1 + trunc((N - 1) * value), so frame i
  (1-based) points at the angle of value (i - 1) / (N - 1); all knobs sweep
  270 degrees clockwise from lower left (-135 degrees, 0 = straight up).
- Only the part of the back buffer inside a dirty control's rectangle is
  repainted, so no scale may put visible pixels into another control's
  rectangle; check_layout() verifies this.
- The plot adds its blurred green curve onto the background, so the plot
  area is near black.
"""

import argparse
import io
import math
import os
import struct
import subprocess
import sys
import zlib

import cairo

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DEFAULT_OUT = os.path.join(ROOT, "tremolo", "resources", "img")

FONT = "DejaVu Sans"

# ---------------------------------------------------------------------------
# Editor geometry (must agree with the editor's layout table).
# ---------------------------------------------------------------------------
EDITOR_W, EDITOR_H = 863, 468
PLOT_RECT = (542, 46, 817, 211)
TEMPO_SWITCH = (43, 62, 67, 110)
ONOFF_SWITCH = (43, 383, 67, 431)
MODE_SWITCH = (304, 62, 329, 110)
PREFIX_AREA = (243, 407, 329, 432)
PREFIX_CAPTION_DY = -53
COVER_POS = (242, 391)

VOLUME_AT = (770, 357)
DEPTH_AT = (616, 345)
RATE_AT = (185, 250)
SHAPE_AT = (428, 95)
PHASE_AT = (428, 230)
SYMMETRY_AT = (428, 368)

KNOB_FRAMES = 150
NOTE_FRAMES = 7
SWITCH_SIZE = 24

# Chosen sizes (square frames).
VOLUME_KNOB = 60
DEPTH_KNOB = 60
RATE_KNOB = 88
PSS_KNOB = 52
PREFIX_CAPTION_SIZE = (86, 20)
COVER_SIZE = (88, 60)

SWEEP_DEG = 270.0
START_DEG = -135.0

# ---------------------------------------------------------------------------
# Palette: dark blue-grey panel, light grey text, one mint accent that
# matches the plot's green glow.
# ---------------------------------------------------------------------------


def hexc(h, a=1.0):
    h = h.lstrip("#")
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0, int(h[4:6], 16) / 255.0, a)


BG_TOP = hexc("1b1f25")
BG_BOTTOM = hexc("101317")
PANEL_TOP = hexc("22272e")
PANEL_BOTTOM = hexc("181c21")
TEXT = hexc("dfe4ea")
TEXT_DIM = hexc("8a949f")
TEXT_FAINT = hexc("5a636d")
ACCENT = hexc("7fe3a4")
TICK_MAJOR = hexc("c9d0d8")
TICK_MINOR = hexc("5f6873")
ARC = hexc("343b44")
SCREEN = hexc("050807")
GRID = hexc("15241b")
LED_ON = hexc("6eff6e")  # the plot's line colour (110, 255, 110)


# ---------------------------------------------------------------------------
# Small drawing helpers.
# ---------------------------------------------------------------------------


def set_font(ctx, size, bold=False):
    ctx.select_font_face(FONT, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    fo = cairo.FontOptions()
    fo.set_antialias(cairo.ANTIALIAS_GRAY)
    fo.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    fo.set_hint_metrics(cairo.HINT_METRICS_OFF)
    ctx.set_font_options(fo)


def text_size(ctx, s, size, bold=False, tracking=0.0):
    """Width of s and the cap height of the font, in pixels."""
    set_font(ctx, size, bold)
    width = sum(ctx.text_extents(ch).x_advance for ch in s) + tracking * max(0, len(s) - 1)
    cap = ctx.text_extents("H").height
    return width, cap


def draw_text(ctx, s, x, y, size, color, bold=False, align="c", tracking=0.0):
    """Draws s with its cap height centred on y; align is l, c or r about x.
    Returns the box (left, top, right, bottom) it occupies."""
    width, cap = text_size(ctx, s, size, bold, tracking)
    if align == "c":
        x0 = x - width / 2.0
    elif align == "r":
        x0 = x - width
    else:
        x0 = x
    baseline = round(y + cap / 2.0)
    ctx.set_source_rgba(*color)
    pen = x0
    for ch in s:
        ctx.move_to(pen, baseline)
        ctx.show_text(ch)
        pen += ctx.text_extents(ch).x_advance + tracking
    ctx.new_path()
    return (x0, baseline - cap, x0 + width, baseline)


def rounded_rect(ctx, x0, y0, x1, y1, r):
    ctx.new_sub_path()
    ctx.arc(x1 - r, y0 + r, r, -math.pi / 2, 0)
    ctx.arc(x1 - r, y1 - r, r, 0, math.pi / 2)
    ctx.arc(x0 + r, y1 - r, r, math.pi / 2, math.pi)
    ctx.arc(x0 + r, y0 + r, r, math.pi, 1.5 * math.pi)
    ctx.close_path()


def vgrad(y0, y1, c0, c1):
    g = cairo.LinearGradient(0, y0, 0, y1)
    g.add_color_stop_rgba(0, *c0)
    g.add_color_stop_rgba(1, *c1)
    return g


def knob_angle(norm):
    """Pointer angle in degrees for a normalized value, 0 = up, clockwise."""
    return START_DEG + SWEEP_DEG * norm


def polar(cx, cy, r, deg):
    a = math.radians(deg)
    return cx + r * math.sin(a), cy - r * math.cos(a)


# ---------------------------------------------------------------------------
# Waveform icons (shape and symmetry ends), drawn in a w x h box.
# ---------------------------------------------------------------------------

ICON_W, ICON_H = 18.0, 9.0


def icon_points(kind, n=48):
    """One cycle drawn from trough to trough, the way waveforms are usually
    pictured; the ramps show where the peak falls for either end of the
    symmetry range."""
    def peak_at(t, p):
        return t / p if t < p else (1 - t) / (1 - p)

    pts = []
    for i in range(n + 1):
        t = i / n
        if kind == "cosine":
            v = 0.5 - 0.5 * math.cos(2 * math.pi * t)
        elif kind == "triangle":
            v = peak_at(t, 0.5)
        elif kind == "square":
            v = min(1.0, max(0.0, (0.5 - abs(t - 0.5)) / 0.06 - 2.5))
        elif kind == "rise":  # small symmetry: slow rise, fast fall
            v = peak_at(t, 0.88)
        elif kind == "fall":  # large symmetry: fast rise, slow fall
            v = peak_at(t, 0.12)
        else:
            raise ValueError(kind)
        pts.append((t, v))
    return pts


def draw_icon(ctx, kind, cx, cy, color, w=ICON_W, h=ICON_H):
    ctx.save()
    ctx.set_line_width(1.4)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_source_rgba(*color)
    for i, (t, v) in enumerate(icon_points(kind)):
        x = cx - w / 2 + t * w
        y = cy + h / 2 - v * h
        if i == 0:
            ctx.move_to(x, y)
        else:
            ctx.line_to(x, y)
    ctx.stroke()
    ctx.restore()
    return (cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2)


# ---------------------------------------------------------------------------
# Knob frames.
# ---------------------------------------------------------------------------


def draw_knob(ctx, size, angle_deg):
    """One knob frame in a size x size square at the origin. Everything but
    the pointer is the same in every frame, which keeps the strips small."""
    c = size / 2.0
    body = size * 0.40
    # Soft shadow, offset downward as if lit from above.
    sh = cairo.RadialGradient(c, c + size * 0.03, body * 0.7, c, c + size * 0.03, c - 0.5)
    sh.add_color_stop_rgba(0, 0, 0, 0, 0.65)
    sh.add_color_stop_rgba(1, 0, 0, 0, 0.0)
    ctx.set_source(sh)
    ctx.arc(c, c, c - 0.5, 0, 2 * math.pi)
    ctx.fill()
    # Skirt: a metallic rim, bright on top.
    ctx.arc(c, c, body, 0, 2 * math.pi)
    ctx.set_source(vgrad(c - body, c + body, hexc("6a737e"), hexc("121519")))
    ctx.fill()
    # Face.
    face = body * 0.84
    ctx.arc(c, c, face, 0, 2 * math.pi)
    ctx.set_source(vgrad(c - face, c + face, hexc("373e47"), hexc("1d2127")))
    ctx.fill_preserve()
    sheen = cairo.RadialGradient(c - face * 0.35, c - face * 0.45, 0, c - face * 0.35, c - face * 0.45, face * 1.1)
    sheen.add_color_stop_rgba(0, 1, 1, 1, 0.10)
    sheen.add_color_stop_rgba(1, 1, 1, 1, 0.0)
    ctx.set_source(sheen)
    ctx.fill()
    ctx.arc(c, c, face, 0, 2 * math.pi)
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(0, 0, 0, 0.55)
    ctx.stroke()
    # Pointer: a faint mint glow under a bright line from the face's middle
    # to the rim, so the setting reads at a glance.
    x0, y0 = polar(c, c, face * 0.28, angle_deg)
    x1, y1 = polar(c, c, body - size * 0.035, angle_deg)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_width(size * 0.11)
    ctx.set_source_rgba(ACCENT[0], ACCENT[1], ACCENT[2], 0.18)
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()
    ctx.set_line_width(max(2.2, size * 0.045))
    ctx.set_source_rgba(*hexc("f4f7f9"))
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()


def make_knob_strip(size, frames):
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, size, size * frames)
    ctx = cairo.Context(surf)
    for i in range(frames):
        ctx.save()
        ctx.translate(0, i * size)
        ctx.rectangle(0, 0, size, size)
        ctx.clip()
        draw_knob(ctx, size, knob_angle(i / (frames - 1)))
        ctx.restore()
    return surf


# ---------------------------------------------------------------------------
# Scales: ticks, values and the control's name around a knob.
# ---------------------------------------------------------------------------


class Scale:
    """ticks: normalized positions of minor ticks; labels: (norm, text or
    'icon:<kind>') pairs, each with a major tick; title and unit go under
    the knob, in the gap of the arc."""

    def __init__(self, knob, ticks, labels, title, unit="", label_size=9.0):
        self.knob = knob
        self.ticks = ticks
        self.labels = labels
        self.title = title
        self.unit = unit
        self.label_size = label_size


def draw_scale(ctx, sc, cx, cy):
    """Draws the scale centred on (cx, cy); returns nothing. Everything lies
    outside the knob's own square."""
    r_arc = sc.knob / 2.0 + 1.5
    minor_len = 3.5
    major_len = 6.5
    # The track.
    ctx.set_line_width(1.5)
    ctx.set_source_rgba(*ARC)
    ctx.arc(cx, cy, r_arc, math.radians(START_DEG - 90), math.radians(START_DEG + SWEEP_DEG - 90))
    ctx.stroke()
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_width(1.2)
    ctx.set_source_rgba(*TICK_MINOR)
    for t in sc.ticks:
        a = knob_angle(t)
        ctx.move_to(*polar(cx, cy, r_arc + 1.0, a))
        ctx.line_to(*polar(cx, cy, r_arc + minor_len, a))
        ctx.stroke()
    ctx.set_line_width(1.6)
    ctx.set_source_rgba(*TICK_MAJOR)
    for t, _ in sc.labels:
        a = knob_angle(t)
        ctx.move_to(*polar(cx, cy, r_arc + 1.0, a))
        ctx.line_to(*polar(cx, cy, r_arc + major_len, a))
        ctx.stroke()
    # Values: each label's box just touches the circle r_label in the
    # direction of its tick (support function of the box).
    r_label = r_arc + major_len + 3.5
    lowest = cy
    for t, lab in sc.labels:
        a = knob_angle(t)
        s, c = math.sin(math.radians(a)), -math.cos(math.radians(a))
        if lab.startswith("icon:"):
            hw, hh = ICON_W / 2, ICON_H / 2
        else:
            w, cap = text_size(ctx, lab, sc.label_size)
            hw, hh = w / 2, cap / 2
        d = r_label + hw * abs(s) + hh * abs(c)
        lx, ly = cx + d * s, cy + d * c
        if lab.startswith("icon:"):
            box = draw_icon(ctx, lab[5:], lx, ly, TEXT)
        else:
            box = draw_text(ctx, lab, lx, ly, sc.label_size, TEXT)
        lowest = max(lowest, box[3])
    # Name (accent) and unit (dim) under the knob, below the lowest value.
    size = 8.5
    tw, cap = text_size(ctx, sc.title, size, True, 1.2)
    uw = 0.0
    if sc.unit:
        uw, _ = text_size(ctx, sc.unit, size)
        uw += 4
    ty = max(lowest + 4 + cap / 2, cy + sc.knob / 2.0 + 6 + cap / 2)
    x0 = cx - (tw + uw) / 2
    draw_text(ctx, sc.title, x0, ty, size, ACCENT, True, "l", 1.2)
    if sc.unit:
        draw_text(ctx, sc.unit, x0 + tw + 4, ty, size, TEXT_DIM, False, "l")


def alpha_bbox(surf):
    """Tight box (x0, y0, x1, y1) of the pixels with non-zero alpha."""
    surf.flush()
    w, h, stride = surf.get_width(), surf.get_height(), surf.get_stride()
    data = surf.get_data()
    x0, y0, x1, y1 = w, h, -1, -1
    for y in range(h):
        row = bytes(data[y * stride:y * stride + w * 4])
        alphas = row[3::4]  # ARGB32 is B, G, R, A in memory on little endian
        if alphas.count(0) == w:
            continue
        y0 = min(y0, y)
        y1 = max(y1, y)
        first = next(i for i, v in enumerate(alphas) if v)
        last = w - 1 - next(i for i, v in enumerate(reversed(alphas)) if v)
        x0 = min(x0, first)
        x1 = max(x1, last)
    return x0, y0, x1 + 1, y1 + 1


def make_scale(sc):
    """Renders the scale on a large canvas, finds how far it reaches from the
    centre and renders it again into the smallest even-sized image that keeps
    the knob's centre in the middle."""
    big = 400
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, big, big)
    draw_scale(cairo.Context(surf), sc, big / 2, big / 2)
    x0, y0, x1, y1 = alpha_bbox(surf)
    half_w = max(big / 2 - x0, x1 - big / 2) + 1
    half_h = max(big / 2 - y0, y1 - big / 2) + 1
    w, h = 2 * int(math.ceil(half_w)), 2 * int(math.ceil(half_h))
    out = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    draw_scale(cairo.Context(out), sc, w / 2, h / 2)
    return out


def frange(a, b, step):
    out = []
    v = a
    while v <= b + 1e-9:
        out.append(v)
        v += step
    return out


def scales():
    vol_ticks = [v / 2.0 for v in frange(0, 2, 0.25)]
    vol_labels = [(0.0, "\u2212\u221e"), (0.25, "\u22126"), (0.5, "0"), (0.75, "+3.5"), (1.0, "+6")]
    depth_ticks = frange(0, 1, 0.1)
    depth_labels = [(0.0, "0"), (0.25, "25"), (0.5, "50"), (0.75, "75"), (1.0, "100")]
    f_norm = lambda hz: (hz - 0.1) / 31.9
    freq_ticks = [f_norm(hz) for hz in range(2, 32, 2)]
    freq_labels = [(0.0, "0.1")] + [(f_norm(hz), str(hz)) for hz in range(4, 33, 4)]
    notes = ["1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64"]
    note_labels = [(k / 6.0, n) for k, n in enumerate(notes)]
    phase_ticks = frange(0, 1, 0.125)
    phase_labels = [(0.0, "\u2212180\u00b0"), (0.5, "0\u00b0"), (1.0, "+180\u00b0")]
    sym_ticks = frange(0, 1, 0.1)
    sym_labels = [(0.0, "icon:rise"), (0.5, "icon:triangle"), (1.0, "icon:fall")]
    shape_ticks = frange(0, 1, 0.125)
    shape_labels = [(0.0, "icon:cosine"), (0.5, "icon:triangle"), (1.0, "icon:square")]
    return {
        "Vol_scale_small3.png": Scale(VOLUME_KNOB, vol_ticks, vol_labels, "VOLUME", "dB"),
        "Depth_scale_small.png": Scale(DEPTH_KNOB, depth_ticks, depth_labels, "DEPTH", "%"),
        "Freq_scale3_small.png": Scale(RATE_KNOB, freq_ticks, freq_labels, "RATE", "Hz", 10.0),
        "Note_scale3_small.png": Scale(RATE_KNOB, [], note_labels, "RATE", "note", 10.0),
        "Phase_scale_small.png": Scale(PSS_KNOB, phase_ticks, phase_labels, "PHASE"),
        "Symm_scale_small.png": Scale(PSS_KNOB, sym_ticks, sym_labels, "SYMMETRY"),
        "Shape_scale_small.png": Scale(PSS_KNOB, shape_ticks, shape_labels, "SHAPE"),
    }


# ---------------------------------------------------------------------------
# Switch button (frame 1 off, frame 2 on) and radio layout.
# ---------------------------------------------------------------------------


def draw_switch(ctx, on, dim=False):
    c = SWITCH_SIZE / 2.0
    if on:
        halo = cairo.RadialGradient(c, c, 3, c, c, c)
        halo.add_color_stop_rgba(0, LED_ON[0], LED_ON[1], LED_ON[2], 0.45)
        halo.add_color_stop_rgba(1, LED_ON[0], LED_ON[1], LED_ON[2], 0.0)
        ctx.set_source(halo)
        ctx.arc(c, c, c, 0, 2 * math.pi)
        ctx.fill()
    # Bezel.
    ctx.arc(c, c, 8.5, 0, 2 * math.pi)
    ctx.set_source(vgrad(c - 8.5, c + 8.5, hexc("59616c"), hexc("14171b")))
    ctx.fill()
    ctx.arc(c, c, 6.6, 0, 2 * math.pi)
    ctx.set_source_rgba(*hexc("0d1013"))
    ctx.fill()
    if on:
        led = cairo.RadialGradient(c - 1.2, c - 1.5, 0.5, c, c, 5.6)
        led.add_color_stop_rgba(0, *hexc("f2fff2"))
        led.add_color_stop_rgba(0.45, LED_ON[0], LED_ON[1], LED_ON[2], 1.0)
        led.add_color_stop_rgba(1, *hexc("1f7a35"))
        ctx.set_source(led)
    else:
        led = cairo.RadialGradient(c - 1.2, c - 1.5, 0.5, c, c, 5.6)
        led.add_color_stop_rgba(0, *(hexc("2d3a32") if not dim else hexc("232a26")))
        led.add_color_stop_rgba(1, *hexc("121815"))
        ctx.set_source(led)
    ctx.arc(c, c, 5.4, 0, 2 * math.pi)
    ctx.fill()


def make_switch_strip():
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, SWITCH_SIZE, SWITCH_SIZE * 2)
    ctx = cairo.Context(surf)
    for i, on in enumerate((False, True)):
        ctx.save()
        ctx.translate(0, i * SWITCH_SIZE)
        draw_switch(ctx, on)
        ctx.restore()
    return surf


def radio_buttons(rect, n, w, h, horizontal):
    """Button rectangles as the radio control lays them out (not reversed):
    first at the near edge, last at the far edge, truncated gaps."""
    left, top, right, bottom = rect
    out = []
    if horizontal:
        gap = int((right - left - n * w) / (n - 1))
        x = left
        for _ in range(n):
            out.append((x, top, x + w, top + h))
            x += w + gap
    else:
        gap = int((bottom - top - n * h) / (n - 1))
        y = top
        for _ in range(n):
            out.append((left, y, left + w, y + h))
            y += h + gap
    return out


def centre(r):
    return (r[0] + r[2]) / 2.0, (r[1] + r[3]) / 2.0


PREFIX_BUTTONS = radio_buttons(PREFIX_AREA, 3, SWITCH_SIZE, SWITCH_SIZE, True)
PREFIX_CAPTION_AT = (PREFIX_AREA[0], PREFIX_AREA[1] + PREFIX_CAPTION_DY)


# ---------------------------------------------------------------------------
# Background.
# ---------------------------------------------------------------------------


def panel(ctx, x0, y0, x1, y1, r=9):
    rounded_rect(ctx, x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, r)
    ctx.set_source(vgrad(y0, y1, PANEL_TOP, PANEL_BOTTOM))
    ctx.fill_preserve()
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(0, 0, 0, 0.55)
    ctx.stroke()
    # Top highlight: light falls from above.
    rounded_rect(ctx, x0 + 1.5, y0 + 1.5, x1 - 1.5, y1 - 1.5, r - 1)
    g = vgrad(y0, y0 + 40, (1, 1, 1, 0.07), (1, 1, 1, 0.0))
    ctx.set_source(g)
    ctx.set_line_width(1.0)
    ctx.stroke()


def recess(ctx, x0, y0, x1, y1, r):
    """A shallow slot behind a group of buttons."""
    rounded_rect(ctx, x0, y0, x1, y1, r)
    ctx.set_source(vgrad(y0, y1, hexc("0c0e11"), hexc("171b20")))
    ctx.fill_preserve()
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(1, 1, 1, 0.05)
    ctx.stroke()


def switch_group(ctx, rect, title, labels, side):
    """Slot, title and option labels of a two-button vertical switch; side
    says where the labels go ('r' right of the buttons, 'l' left)."""
    buttons = radio_buttons(rect, 2, SWITCH_SIZE, SWITCH_SIZE, False)
    x0, y0 = buttons[0][0], buttons[0][1]
    x1, y1 = buttons[-1][2], buttons[-1][3]
    recess(ctx, x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, 11.5)
    for b, lab in zip(buttons, labels):
        bx, by = centre(b)
        if side == "r":
            draw_text(ctx, lab, x1 + 6, by, 10, TEXT, False, "l")
        else:
            draw_text(ctx, lab, x0 - 6, by, 10, TEXT, False, "r")
    ty = y0 - 11
    if side == "r":
        draw_text(ctx, title, x0 + 1, ty, 8.5, ACCENT, True, "l", 1.2)
    else:
        draw_text(ctx, title, x1 - 1, ty, 8.5, ACCENT, True, "r", 1.2)


def display(ctx):
    l, t, r, b = PLOT_RECT
    # Bezel around the screen.
    rounded_rect(ctx, l - 7.5, t - 7.5, r + 7.5, b + 7.5, 7)
    ctx.set_source(vgrad(t - 8, b + 8, hexc("0b0d10"), hexc("2a3037")))
    ctx.fill_preserve()
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(0, 0, 0, 0.7)
    ctx.stroke()
    # Screen: exactly the plot's rectangle.
    ctx.rectangle(l, t, r - l, b - t)
    ctx.set_source(vgrad(t, b, hexc("08100c"), SCREEN))
    ctx.fill()
    # Grid that matches the curve's frame: levels 1 and 0 five pixels in
    # from the top and bottom, 0.5 in the middle, and quarter cycles from
    # x = 2 to the last point at 2 + 199 * (width - 4) / 200.
    w, h = r - l, b - t
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(*GRID)
    for yy in (5, (h - 10) / 2.0 + 5, h - 5):
        y = math.floor(t + yy) + 0.5
        ctx.move_to(l + 1, y)
        ctx.line_to(r - 1, y)
    last = 2 + 199 * (w - 4) / 200.0
    for k in range(5):
        x = math.floor(l + 2 + k * (last - 2) / 4.0) + 0.5
        ctx.move_to(x, t + 1)
        ctx.line_to(x, b - 1)
    ctx.stroke()
    # Inner shadow along the top edge: the glass sits below the bezel.
    ctx.rectangle(l, t, w, 6)
    ctx.set_source(vgrad(t, t + 6, (0, 0, 0, 0.6), (0, 0, 0, 0)))
    ctx.fill()


def product_name(ctx):
    cx = (PLOT_RECT[0] + PLOT_RECT[2]) / 2.0
    y = 243
    a, cap = text_size(ctx, "Quillbar", 22, True)
    b, _ = text_size(ctx, "Tremolo", 22, False)
    x0 = cx - (a + b) / 2.0
    draw_text(ctx, "Quillbar", x0, y, 22, TEXT, True, "l")
    draw_text(ctx, "Tremolo", x0 + a, y, 22, ACCENT, False, "l")
    draw_text(ctx, "quillbarfx", x0 + a + b, y + cap / 2 + 8, 8.5, TEXT_DIM, False, "r", 1.5)


def draw_background(ctx, prefix_labels=True):
    ctx.rectangle(0, 0, EDITOR_W, EDITOR_H)
    ctx.set_source(vgrad(0, EDITOR_H, BG_TOP, BG_BOTTOM))
    ctx.fill()
    panel(ctx, 10, 10, 346, 458)
    panel(ctx, 352, 10, 505, 458)
    panel(ctx, 511, 10, 853, 458)
    display(ctx)
    rate_plate(ctx)
    product_name(ctx)
    switch_group(ctx, TEMPO_SWITCH, "TEMPO", ("free", "sync"), "r")
    switch_group(ctx, MODE_SWITCH, "MODE", ("tremolo", "pan"), "l")
    switch_group(ctx, ONOFF_SWITCH, "EFFECT", ("on", "bypass"), "r")
    # Prefix: the slot behind the three buttons, the values above them and
    # what the two odd lengths do below; all of it lies where the cover goes,
    # so the cover hides it with the buttons while tempo sync is off.
    b0, b2 = PREFIX_BUTTONS[0], PREFIX_BUTTONS[-1]
    recess(ctx, b0[0] - 1.5, b0[1] + 0.5, b2[2] + 1.5, b2[3] - 0.5, 11.5)
    if prefix_labels:
        for b, lab in zip(PREFIX_BUTTONS, ("plain", "4/3", "2/3")):
            bx, _ = centre(b)
            draw_text(ctx, lab, bx, COVER_POS[1] + 8, 9.5, TEXT)
        for b, lab in zip(PREFIX_BUTTONS[1:], ("longer", "triplet")):
            bx, _ = centre(b)
            draw_text(ctx, lab, bx, b[3] + 9, 8, TEXT_DIM)


def rate_plate(ctx):
    """A shallow round well under the big rate knob."""
    cx, cy = RATE_AT
    r = 98
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.set_source(vgrad(cy - r, cy + r, hexc("181c21"), hexc("20252c")))
    ctx.fill()
    ctx.arc(cx, cy, r - 0.5, 0, 2 * math.pi)
    ctx.set_source(vgrad(cy - r, cy + r, (0, 0, 0, 0.45), (1, 1, 1, 0.07)))
    ctx.set_line_width(1.0)
    ctx.stroke()


def make_background():
    surf = cairo.ImageSurface(cairo.FORMAT_RGB24, EDITOR_W, EDITOR_H)
    draw_background(cairo.Context(surf))
    return surf


def make_prefix_caption():
    w, h = PREFIX_CAPTION_SIZE
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    ctx = cairo.Context(surf)
    y = h - 7.5
    box = draw_text(ctx, "PREFIX", w / 2.0, y, 8.5, ACCENT, True, "c", 1.2)
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(*ARC)
    ctx.move_to(2, math.floor(y) + 0.5)
    ctx.line_to(box[0] - 5, math.floor(y) + 0.5)
    ctx.move_to(box[2] + 5, math.floor(y) + 0.5)
    ctx.line_to(w - 2, math.floor(y) + 0.5)
    ctx.stroke()
    return surf


def make_prefix_cover():
    """The background under the cover's corner, with the value labels left
    out, dimmed sockets in place of the buttons and a note that the prefix
    only applies to synced notes. Opaque, so it hides what lies under it."""
    w, h = COVER_SIZE
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    ctx = cairo.Context(surf)
    ctx.save()
    ctx.translate(-COVER_POS[0], -COVER_POS[1])
    draw_background(ctx, prefix_labels=False)
    for b in PREFIX_BUTTONS:
        ctx.save()
        ctx.translate(b[0], b[1])
        draw_switch(ctx, False, dim=True)
        ctx.restore()
    ctx.restore()
    # Veil the slot and its sockets so they read as unavailable.
    b0, b2 = PREFIX_BUTTONS[0], PREFIX_BUTTONS[-1]
    rounded_rect(ctx, b0[0] - 1.5 - COVER_POS[0], b0[1] + 0.5 - COVER_POS[1],
                 b2[2] + 1.5 - COVER_POS[0], b2[3] - 0.5 - COVER_POS[1], 11.5)
    ctx.set_source_rgba(BG_BOTTOM[0], BG_BOTTOM[1], BG_BOTTOM[2], 0.5)
    ctx.fill()
    draw_text(ctx, "prefix: sync only", w / 2.0, 8, 8, TEXT_DIM)
    return surf


# ---------------------------------------------------------------------------
# PNG output: cairo's writer, then IDAT recompressed at level 9 and every
# chunk other than IHDR, IDAT and IEND dropped (nothing time-dependent).
# ---------------------------------------------------------------------------


def png_chunk(tag, data):
    return (struct.pack(">I", len(data)) + tag + data +
            struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))


def write_png(surf, path):
    buf = io.BytesIO()
    surf.write_to_png(buf)
    raw = buf.getvalue()
    assert raw[:8] == b"\x89PNG\r\n\x1a\n"
    pos, ihdr, idat = 8, None, b""
    while pos < len(raw):
        (length,) = struct.unpack(">I", raw[pos:pos + 4])
        tag = raw[pos + 4:pos + 8]
        data = raw[pos + 8:pos + 8 + length]
        pos += 12 + length
        if tag == b"IHDR":
            ihdr = data
        elif tag == b"IDAT":
            idat += data
    filtered = zlib.decompress(idat)
    comp = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY)
    packed = comp.compress(filtered) + comp.flush()
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", ihdr))
        f.write(png_chunk(b"IDAT", packed))
        f.write(png_chunk(b"IEND", b""))


# ---------------------------------------------------------------------------
# Layout check and preview.
# ---------------------------------------------------------------------------


def control_rects(images):
    """Rectangles of every control as the editor computes them, by name."""
    def knob_rect(at, strip, frames):
        w, h = strip.get_width(), strip.get_height()
        x, y = at
        return (x - w // 2, y - h // (2 * frames), x - w // 2 + w, y - h // (2 * frames) + h // frames)

    r = {
        "Volume": knob_rect(VOLUME_AT, images["Vol_base_knob8.png"], KNOB_FRAMES),
        "Depth": knob_rect(DEPTH_AT, images["Depth_base_knob6.png"], KNOB_FRAMES),
        "Frequency": knob_rect(RATE_AT, images["Freq_base_knob4.png"], KNOB_FRAMES),
        "Note": knob_rect(RATE_AT, images["Note_base_knob3.png"], NOTE_FRAMES),
        "Phase": knob_rect(PHASE_AT, images["PSS_knob_base4.png"], KNOB_FRAMES),
        "Symmetry": knob_rect(SYMMETRY_AT, images["PSS_knob_base4.png"], KNOB_FRAMES),
        "Shape": knob_rect(SHAPE_AT, images["PSS_knob_base4.png"], KNOB_FRAMES),
        "Prefix": PREFIX_AREA,
        "TempoSync": TEMPO_SWITCH,
        "OnOff": ONOFF_SWITCH,
        "Mode": MODE_SWITCH,
        "Cover": (COVER_POS[0], COVER_POS[1], COVER_POS[0] + COVER_SIZE[0], COVER_POS[1] + COVER_SIZE[1]),
        "Plot": PLOT_RECT,
    }
    return r


def caption_placements(images):
    """(owner, image name, left, top) of every caption as drawn centred."""
    out = []
    for owner, name, at in (("Volume", "Vol_scale_small3.png", VOLUME_AT),
                            ("Depth", "Depth_scale_small.png", DEPTH_AT),
                            ("Frequency", "Freq_scale3_small.png", RATE_AT),
                            ("Note", "Note_scale3_small.png", RATE_AT),
                            ("Phase", "Phase_scale_small.png", PHASE_AT),
                            ("Symmetry", "Symm_scale_small.png", SYMMETRY_AT),
                            ("Shape", "Shape_scale_small.png", SHAPE_AT)):
        s = images[name]
        out.append((owner, name, at[0] - s.get_width() // 2, at[1] - s.get_height() // 2))
    out.append(("Prefix", "prefix_cap.png", PREFIX_CAPTION_AT[0], PREFIX_CAPTION_AT[1]))
    return out


def check_layout(images):
    """A caption is repainted only when its own control or the whole editor
    is redrawn, so its visible pixels must stay out of every other control's
    rectangle and inside the editor. Returns a list of problems."""
    rects = control_rects(images)
    problems = []
    for owner, name, left, top in caption_placements(images):
        s = images[name]
        bx0, by0, bx1, by1 = alpha_bbox(s)
        box = (left + bx0, top + by0, left + bx1, top + by1)
        if box[0] < 0 or box[1] < 0 or box[2] > EDITOR_W or box[3] > EDITOR_H:
            problems.append("%s leaves the editor: %s" % (name, box))
        for other, r in rects.items():
            if other == owner or {owner, other} == {"Frequency", "Note"}:
                continue
            if owner == "Prefix" and other == "Cover":
                continue  # never visible together
            if box[0] < r[2] and r[0] < box[2] and box[1] < r[3] and r[1] < box[3]:
                problems.append("%s overlaps %s %s" % (name, other, r))
    return problems


def blit(ctx, surf, x, y, src_y=0, h=None):
    h = surf.get_height() if h is None else h
    ctx.save()
    ctx.rectangle(x, y, surf.get_width(), h)
    ctx.clip()
    ctx.set_source_surface(surf, x, y - src_y)
    ctx.paint()
    ctx.restore()


def draw_frame(ctx, strip, frames, rect, value):
    fh = strip.get_height() // frames
    i = min(frames, max(1, 1 + int((frames - 1) * value)))
    blit(ctx, strip, rect[0], rect[1], (i - 1) * fh, fh)


def lfo_plot_values(n=200):
    # Default settings: triangle, symmetric, phase 1.5 half cycles (the
    # editor's curve); enough for a picture of the glow.
    out = []
    for i in range(n):
        x = (i / (n - 1) + 0.75) % 1.0
        out.append(abs(1 - 2 * x))
    return out


def draw_glow(ctx, values):
    l, t, r, b = PLOT_RECT
    w, h = r - l, b - t
    step = (w - 4) / float(len(values))
    pts = [(l + 2 + i * step, t + h - v * (h - 10) - 5) for i, v in enumerate(values)]
    ctx.save()
    ctx.rectangle(l, t, w, h)
    ctx.clip()
    ctx.set_operator(cairo.OPERATOR_ADD)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    for width, alpha in ((9, 0.05), (6, 0.08), (4, 0.12), (2.5, 0.25), (1.5, 0.35)):
        ctx.set_line_width(width)
        ctx.set_source_rgba(LED_ON[0], LED_ON[1], LED_ON[2], alpha)
        for i, p in enumerate(pts):
            (ctx.move_to if i == 0 else ctx.line_to)(*p)
        ctx.stroke()
    ctx.restore()


def preview(images, path, sync):
    surf = cairo.ImageSurface(cairo.FORMAT_RGB24, EDITOR_W, EDITOR_H)
    ctx = cairo.Context(surf)
    blit(ctx, images["back3.png"], 0, 0)
    rects = control_rects(images)
    caps = {owner: (name, x, y) for owner, name, x, y in caption_placements(images)}
    knobs = [("Volume", "Vol_base_knob8.png", KNOB_FRAMES, 0.5),
             ("Depth", "Depth_base_knob6.png", KNOB_FRAMES, 0.5),
             ("Frequency", "Freq_base_knob4.png", KNOB_FRAMES, (6.0 - 0.1) / 31.9),
             ("Note", "Note_base_knob3.png", NOTE_FRAMES, 3 / 6.0),
             ("Phase", "PSS_knob_base4.png", KNOB_FRAMES, 0.5),
             ("Symmetry", "PSS_knob_base4.png", KNOB_FRAMES, 0.5),
             ("Shape", "PSS_knob_base4.png", KNOB_FRAMES, 0.5)]
    for owner, strip, frames, value in knobs:
        if (owner == "Frequency" and sync) or (owner == "Note" and not sync):
            continue
        name, x, y = caps[owner]
        blit(ctx, images[name], x, y)
        draw_frame(ctx, images[strip], frames, rects[owner], value)
    sw = images["sw_simple.png"]
    if sync:
        name, x, y = caps["Prefix"]
        blit(ctx, images[name], x, y)
        for i, b in enumerate(PREFIX_BUTTONS):
            draw_frame(ctx, sw, 2, b, 1.0 if i == 0 else 0.0)
    for rect, active in ((TEMPO_SWITCH, 1 if sync else 0), (ONOFF_SWITCH, 0), (MODE_SWITCH, 0)):
        for i, b in enumerate(radio_buttons(rect, 2, SWITCH_SIZE, SWITCH_SIZE, False)):
            draw_frame(ctx, sw, 2, b, 1.0 if i == active else 0.0)
    if not sync:
        blit(ctx, images["prefix_none.png"], COVER_POS[0], COVER_POS[1])
    draw_glow(ctx, lfo_plot_values())
    surf.write_to_png(path)


# ---------------------------------------------------------------------------


def check_font():
    try:
        found = subprocess.run(["fc-match", "-f", "%{family}", FONT],
                               capture_output=True, text=True, check=False).stdout
    except OSError:
        found = ""
    if "DejaVu Sans" not in found:
        print("warning: font %r not found (fontconfig gives %r); install fonts-dejavu-core "
              "and check the layout again" % (FONT, found), file=sys.stderr)


def build_images():
    images = {
        "back3.png": make_background(),
        "Vol_base_knob8.png": make_knob_strip(VOLUME_KNOB, KNOB_FRAMES),
        "Depth_base_knob6.png": make_knob_strip(DEPTH_KNOB, KNOB_FRAMES),
        "Freq_base_knob4.png": make_knob_strip(RATE_KNOB, KNOB_FRAMES),
        "Note_base_knob3.png": make_knob_strip(RATE_KNOB, NOTE_FRAMES),
        "PSS_knob_base4.png": make_knob_strip(PSS_KNOB, KNOB_FRAMES),
        "sw_simple.png": make_switch_strip(),
        "prefix_cap.png": make_prefix_caption(),
        "prefix_none.png": make_prefix_cover(),
    }
    for name, sc in scales().items():
        images[name] = make_scale(sc)
    return images


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", default=DEFAULT_OUT, help="folder for the PNG files")
    ap.add_argument("--preview", metavar="DIR", help="also write editor previews into DIR")
    args = ap.parse_args()
    check_font()
    images = build_images()
    problems = check_layout(images)
    for p in problems:
        print("layout: " + p, file=sys.stderr)
    os.makedirs(args.out, exist_ok=True)
    for name in sorted(images):
        path = os.path.join(args.out, name)
        write_png(images[name], path)
        s = images[name]
        print("%-24s %4d x %5d  %7d bytes" % (name, s.get_width(), s.get_height(), os.path.getsize(path)))
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        written = {}
        for name in images:
            written[name] = cairo.ImageSurface.create_from_png(os.path.join(args.out, name))
        preview(written, os.path.join(args.preview, "editor-free.png"), sync=False)
        preview(written, os.path.join(args.preview, "editor-sync.png"), sync=True)
        print("previews in " + args.preview)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
