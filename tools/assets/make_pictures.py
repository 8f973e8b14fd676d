#!/usr/bin/python3
"""Draws the show's seventeen pictures as raw RGB files (3 bytes a pixel, rows from the top).

Every picture is drawn at SS times its size and box-filtered down, so edges come out as
smooth ramps that the shade glyphs can dither. Colours keep close to the 16 console colours.
Keyed pictures (shown over other effects with black as transparent) have a background of
exactly (0, 0, 0) and no pure black inside their subjects.

Usage: make_pictures.py OUTPUT_DIR
"""
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

SS = 4  # supersampling factor
H = 100
ASPECT = 1.5  # a cell of 2 x 2 pixels is an 8 x 12 glyph, so pixels are 1.5 times taller than wide
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_COND = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"

# The console colours (VGA text palette).
BLACK, BLUE, GREEN, CYAN = (0, 0, 0), (0, 0, 170), (0, 170, 0), (0, 170, 170)
RED, MAGENTA, BROWN, LGREY = (170, 0, 0), (170, 0, 170), (170, 85, 0), (170, 170, 170)
LBLUE, LGREEN, LCYAN = (85, 85, 255), (85, 255, 85), (85, 255, 255)
LRED, LMAGENTA, YELLOW, WHITE = (255, 85, 85), (255, 85, 255), (255, 255, 85), (255, 255, 255)
# The darkest colour a keyed subject uses where it wants black: a deep blue the converter
# still shows as black, yet not the transparent value.
INK = (0, 0, 24)


# ---------------------------------------------------------------- helpers

def canvas(width, colour=BLACK):
    return Image.new("RGB", (width * SS, H * SS), colour)


def mask(width):
    return Image.new("L", (width * SS, H * SS), 0)


def font(size, path=FONT_BOLD):
    return ImageFont.truetype(path, int(size * SS))


def vertical_gradient(width, stops):
    """An RGB array whose rows ramp through (position 0..1, colour) stops."""
    ys = np.linspace(0.0, 1.0, H * SS)
    out = np.zeros((H * SS, width * SS, 3))
    pos = [p for p, _ in stops]
    for c in range(3):
        col = np.interp(ys, pos, [s[1][c] for s in stops])
        out[:, :, c] = col[:, None]
    return out


def to_image(array):
    return Image.fromarray(np.clip(np.rint(array), 0, 255).astype(np.uint8), "RGB")


def shrink(image):
    """Box-filters the supersampled picture down to its real size."""
    a = np.asarray(image, dtype=np.float64)
    h, w = a.shape[0] // SS, a.shape[1] // SS
    return a.reshape(h, SS, w, SS, -1).mean(axis=(1, 3)) if a.ndim == 3 else \
        a.reshape(h, SS, w, SS).mean(axis=(1, 3))


def finish(image):
    return np.clip(np.rint(shrink(image)), 0, 255).astype(np.uint8)


def finish_keyed(image, alpha):
    """Shrinks a subject drawn over black with its coverage mask: uncovered pixels are exactly
    black, covered ones never are."""
    rgb = shrink(image)
    cover = shrink(alpha) / 255.0
    out = np.clip(np.rint(rgb), 0, 255).astype(np.uint8)
    inside = cover >= 0.5
    out[~inside] = 0
    dark = inside & (out.max(axis=2) == 0)
    out[dark] = INK
    return out


def text_size(draw, text, f):
    left, top, right, bottom = draw.textbbox((0, 0), text, font=f)
    return left, top, right - left, bottom - top


def fit_font(text, box_w, box_h, path=FONT_BOLD):
    """The largest font size (in real pixels) whose rendering of text fits the box."""
    probe = ImageDraw.Draw(Image.new("L", (8, 8)))
    size = 4
    while True:
        _, _, w, h = text_size(probe, text, font(size + 1, path))
        if w > box_w * SS or h > box_h * SS:
            return size
        size += 1


def draw_text_centered(draw, text, cx, cy, f, fill, stroke=0, stroke_fill=None):
    left, top, w, h = text_size(draw, text, f)
    x = cx * SS - w / 2 - left
    y = cy * SS - h / 2 - top
    draw.text((x, y), text, font=f, fill=fill, stroke_width=int(stroke * SS), stroke_fill=stroke_fill)


def text_mask(width, text, cx, cy, f, stroke=0):
    m = mask(width)
    draw_text_centered(ImageDraw.Draw(m), text, cx, cy, f, 255, stroke, 255)
    return m


def paint(base, fill_array, m):
    """Lays an RGB array onto `base` where mask m is set."""
    base.paste(to_image(fill_array), (0, 0), m)


def ellipse(draw, cx, cy, rx, ry, fill):
    draw.ellipse([(cx - rx) * SS, (cy - ry) * SS, (cx + rx) * SS, (cy + ry) * SS], fill=fill)


def circle(draw, cx, cy, r, fill):
    """A circle as the screen shows it: a picture pixel is half as tall again as it is wide."""
    ellipse(draw, cx, cy, r, r / ASPECT, fill)


def poly(draw, points, fill):
    draw.polygon([(x * SS, y * SS) for x, y in points], fill=fill)


def rect(draw, x0, y0, x1, y1, fill):
    draw.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=fill)


def line(draw, points, fill, width):
    draw.line([(x * SS, y * SS) for x, y in points], fill=fill, width=int(width * SS), joint="curve")


def lettering(width, text, stops, outline, box, cx, cy, stroke=2.5, path=FONT_BOLD):
    """Keyed lettering: a vertical colour ramp inside a coloured outline, over black."""
    size = fit_font(text, box[0], box[1], path)
    f = font(size, path)
    img = canvas(width)
    outer = text_mask(width, text, cx, cy, f, stroke)
    inner = text_mask(width, text, cx, cy, f)
    paint(img, np.full((H * SS, width * SS, 3), outline, dtype=np.float64), outer)
    paint(img, vertical_gradient(width, stops), inner)
    return img, outer


# ---------------------------------------------------------------- the pictures

def qo():
    """The opening title: a night sky over a dark hill, the two handles presenting."""
    img = to_image(vertical_gradient(160, [(0, (0, 0, 40)), (0.7, (0, 0, 120)), (1, (30, 30, 170))]))
    d = ImageDraw.Draw(img)
    rng = np.random.default_rng(7)
    for _ in range(40):
        x, y = rng.uniform(0, 160), rng.uniform(0, 70)
        rect(d, x, y, x + 2, y + 2, WHITE if rng.random() < 0.5 else LCYAN)
    circle(d, 130, 20, 12, (255, 255, 150))
    circle(d, 125, 18, 11, (0, 0, 50))  # a crescent moon
    poly(d, [(0, 100), (0, 84), (40, 76), (90, 82), (130, 74), (160, 80), (160, 100)], (0, 60, 0))
    f = font(fit_font("quenby & dralsk", 140, 20))
    draw_text_centered(d, "quenby & dralsk", 80, 38, f, YELLOW, 1, BLUE)
    f2 = font(fit_font("present", 70, 14))
    draw_text_centered(d, "present", 80, 60, f2, LCYAN)
    return finish(img)


def landscape(width):
    """Sunset over the sea: sky ramp, sun, mountains, and a reflection striped by waves."""
    img = to_image(vertical_gradient(width, [(0, (40, 0, 120)), (0.3, (200, 40, 120)),
                                             (0.55, (255, 200, 60)), (0.56, (0, 90, 170)),
                                             (1, (0, 20, 90))]))
    d = ImageDraw.Draw(img)
    sun_x = width - 60 if width > 160 else 80
    circle(d, sun_x, 30, 20, (255, 255, 120))
    rect(d, 0, 56, width, 100, (0, 60, 150))
    # mountains, drawn from a few seeded peaks
    rng = np.random.default_rng(11 + width)
    xs = np.arange(0, width + 1, 4)
    ridge = 46 + 5 * np.sin(xs / 17.0) + 6 * np.sin(xs / 7.3 + 1) + rng.uniform(-2, 2, len(xs))
    poly(d, [(0, 56)] + list(zip(xs, ridge)) + [(width, 56)], (120, 0, 100))
    ridge2 = 51 + 3 * np.sin(xs / 11.0 + 2) + rng.uniform(-1, 1, len(xs))
    poly(d, [(0, 56)] + list(zip(xs, ridge2)) + [(width, 56)], (60, 0, 90))
    # the sun's reflection: short bright dashes on the waves, wider towards the shore
    for i, y in enumerate(range(58, 100, 3)):
        half = 3 + i * 1.3
        shift = 3 * math.sin(i * 1.7)
        rect(d, sun_x - half + shift, y, sun_x + half + shift, y + 1.5, (255, 230, 90))
    for i, y in enumerate(range(60, 100, 5)):
        for x0 in range(int(7 * i) % 23, width, 23):
            rect(d, x0, y, x0 + 8, y + 1, (60, 140, 230))
    return img


def osmir():
    return finish(landscape(160))


def skyline(width):
    """A city at night: towers with lit windows under a purple sky and a big moon."""
    img = to_image(vertical_gradient(width, [(0, (10, 0, 60)), (0.6, (110, 0, 140)), (1, (170, 40, 120))]))
    d = ImageDraw.Draw(img)
    circle(d, 30, 20, 14, (255, 255, 200))
    rng = np.random.default_rng(23 + width)
    x = 0
    while x < width:
        w = int(rng.integers(12, 26))
        top = int(rng.integers(25, 65))
        body = (0, 30, 90) if rng.random() < 0.5 else (0, 60, 100)
        rect(d, x, top, x + w - 1, 100, body)
        for wy in range(top + 4, 98, 6):
            for wx in range(x + 3, x + w - 4, 5):
                if rng.random() < 0.55:
                    rect(d, wx, wy, wx + 2, wy + 2, YELLOW if rng.random() < 0.7 else LCYAN)
        x += w
    rect(d, 0, 92, width, 100, (0, 0, 60))
    for x0 in range(0, width, 20):  # road markings
        rect(d, x0 + 2, 95, x0 + 12, 97, LGREY)
    return img


def ferrund():
    return finish(skyline(160))


def ferrund_osmir():
    """The city and the seaside, side by side on one wide panorama."""
    left = np.asarray(skyline(160))
    right = np.asarray(landscape(160))
    return finish(Image.fromarray(np.concatenate([left, right], axis=1)))


def varnel():
    """Copper bars behind the words "text mode": shakes row by row well."""
    rows = np.zeros((H * SS, 160 * SS, 3))
    bar_colours = [RED, BROWN, YELLOW, GREEN, CYAN, BLUE, MAGENTA]
    ys = np.arange(H * SS) / SS
    for i, c in enumerate(bar_colours):
        centre = 7 + i * 14
        k = np.clip(1 - np.abs(ys - centre) / 7.0, 0, 1) ** 0.8
        for ch in range(3):
            rows[:, :, ch] = np.maximum(rows[:, :, ch], (k * c[ch])[:, None])
    img = to_image(rows)
    f = font(fit_font("TEXT", 150, 40))
    m = text_mask(160, "TEXT", 80, 27, f, 2)
    paint(img, np.full(rows.shape, (0, 0, 60.0)), m)
    paint(img, vertical_gradient(160, [(0, WHITE), (0.5, LCYAN), (1, BLUE)]), text_mask(160, "TEXT", 80, 27, f))
    f2 = font(fit_font("MODE", 150, 40))
    m2 = text_mask(160, "MODE", 80, 73, f2, 2)
    paint(img, np.full(rows.shape, (0, 0, 60.0)), m2)
    paint(img, vertical_gradient(160, [(0, YELLOW), (0.6, LRED), (1, RED)]), text_mask(160, "MODE", 80, 73, f2))
    return finish(img)


def trelbo():
    """A shiny ball over a chequered floor that runs to the horizon."""
    sky = vertical_gradient(160, [(0, (0, 0, 80)), (0.45, (60, 60, 220)), (0.46, BLACK), (1, BLACK)])
    # floor: perspective checkerboard below the horizon at y = 46
    ys, xs = np.mgrid[0:H * SS, 0:160 * SS] / SS
    below = ys > 46
    depth = 400.0 / np.maximum(ys - 46, 0.5)
    u = (xs - 80) * depth / 70.0
    v = depth / 4.0
    check = ((np.floor(u) + np.floor(v)) % 2 == 0)
    floor = np.where(check[..., None], np.array(LRED, float), np.array(YELLOW, float))
    # towards the horizon the squares get too small for the cells: fade them into a haze
    haze = np.clip((depth - 24) / 36.0, 0, 1)[..., None]
    floor = floor * (1 - haze) + np.array((170, 85, 60), float) * haze
    arr = np.where(below[..., None], floor, sky)
    # the ball: shaded sphere with a highlight
    cx, cy, r = 80, 40, 24
    dx, dy = (xs - cx) / r, (ys - cy) * ASPECT / r
    inside = dx * dx + dy * dy <= 1
    dz = np.sqrt(np.clip(1 - dx * dx - dy * dy, 0, 1))
    light = np.clip(-0.5 * dx - 0.6 * dy + 0.62 * dz, 0, 1)
    highlight = np.clip(light, 0, 1) ** 20
    ball = np.array(LBLUE, float) * (0.25 + 0.75 * light[..., None]) + 255 * highlight[..., None]
    arr = np.where(inside[..., None], np.clip(ball, 0, 255), arr)
    # its shadow on the floor
    shadow = ((xs - cx) / 26) ** 2 + ((ys - 80) / 5) ** 2 <= 1
    arr = np.where((shadow & ~inside)[..., None], arr * 0.35, arr)
    return finish(to_image(arr))


def kvrtlogo(width, tagline):
    """The event's logo: chrome-gold letters over black, with a tagline and side stars."""
    size_box = (width - 40, 70) if width > 320 else (width - 20, 62)
    img, cover = lettering(width, "KVRT6", [(0, (255, 255, 170)), (0.45, YELLOW), (0.5, (255, 140, 0)),
                                           (1, RED)], (90, 0, 160), size_box, width / 2, 38, 3)
    d = ImageDraw.Draw(img)
    dm = ImageDraw.Draw(cover)
    f = font(fit_font(tagline, width * 0.6, 14, FONT_COND), FONT_COND)
    draw_text_centered(d, tagline, width / 2, 88, f, LCYAN)
    draw_text_centered(dm, tagline, width / 2, 88, f, 255)
    for sx in (10, width - 10) if width <= 320 else (14, width - 14):
        pts = []
        for k in range(10):
            rad = 9 if k % 2 == 0 else 3.5
            a = math.pi / 2 + k * math.pi / 5
            pts.append((sx + rad * math.cos(a), 50 - rad * math.sin(a)))
        poly(d, pts, WHITE)
        poly(dm, pts, 255)
    return finish_keyed(img, cover)


def kvrtlogo_640():
    """A wide banner: it scrolls by 480 pixels behind a 160-pixel window."""
    img, cover = lettering(640, "KVRT6", [(0, (255, 255, 170)), (0.45, YELLOW), (0.5, (255, 140, 0)),
                                         (1, RED)], (90, 0, 160), (560, 78), 320, 42, 3)
    d = ImageDraw.Draw(img)
    dm = ImageDraw.Draw(cover)
    # arrows that lead the eye along the banner at both ends
    for x0 in (6, 584):
        for k in range(3):
            x = x0 + k * 16
            pts = [(x, 30), (x + 8, 30), (x + 18, 50), (x + 8, 70), (x, 70), (x + 10, 50)]
            poly(d, pts, [LCYAN, LBLUE, LMAGENTA][k])
            poly(dm, pts, 255)
    f = font(fit_font("text mode party 2003", 300, 12, FONT_COND), FONT_COND)
    draw_text_centered(d, "text mode party 2003", 320, 92, f, LCYAN)
    draw_text_centered(dm, "text mode party 2003", 320, 92, f, 255)
    return finish_keyed(img, cover)


def quenby():
    img, cover = lettering(160, "quenby", [(0, LCYAN), (0.5, LBLUE), (1, MAGENTA)], YELLOW, (150, 60), 80, 50, 3)
    return finish_keyed(img, cover)


def dralsk():
    img, cover = lettering(160, "dralsk", [(0, YELLOW), (0.5, LRED), (1, RED)], LGREEN, (150, 60), 80, 50, 3)
    return finish_keyed(img, cover)


def face():
    """A smiling face with hair and shading, over black."""
    img = canvas(160)
    cover = mask(160)
    d, dm = ImageDraw.Draw(img), ImageDraw.Draw(cover)
    # hair behind the head
    ellipse(d, 80, 44, 40, 34, BROWN)
    ellipse(dm, 80, 44, 40, 34, 255)
    # neck and shoulders
    rect(d, 70, 78, 90, 92, (230, 150, 75)); rect(dm, 70, 78, 90, 92, 255)
    ellipse(d, 80, 112, 50, 22, BLUE); ellipse(dm, 80, 112, 50, 22, 255)
    # the face, shaded from the left
    ys, xs = np.mgrid[0:H * SS, 0:160 * SS] / SS
    fx, fy = (xs - 80) / 32, (ys - 52) / 30
    inside = fx * fx + fy * fy <= 1
    # skin halfway between light red and yellow, which the cells show as an even shade;
    # a gentle shadow towards the jaw and the right cheek
    shade = np.clip(1.02 - 0.12 * (fx + 0.3) ** 2 - 0.08 * fy, 0.85, 1)
    skin = np.array((255, 170, 85), float) * shade[..., None]
    m = Image.fromarray((inside * 255).astype(np.uint8), "L")
    img.paste(to_image(skin), (0, 0), m)
    dm.bitmap((0, 0), m, fill=255)
    # fringe
    poly(d, [(48, 38), (54, 18), (80, 10), (106, 18), (112, 38), (98, 26), (82, 30), (66, 24)], BROWN)
    # eyes
    for ex in (67, 93):
        ellipse(d, ex, 48, 8, 4.5, WHITE)
        circle(d, ex + 1, 48, 4, (0, 120, 60))
        circle(d, ex + 1, 48, 2, INK)
        line(d, [(ex - 8, 39), (ex, 36), (ex + 8, 39)], (120, 60, 0), 2)
    # nose and mouth
    line(d, [(80, 50), (76, 64), (82, 65)], (170, 85, 0), 2)
    d.chord([64 * SS, 62 * SS, 96 * SS, 80 * SS], 0, 180, fill=(170, 0, 40))
    d.chord([68 * SS, 64 * SS, 92 * SS, 72 * SS], 0, 180, fill=WHITE)
    ellipse(d, 60, 64, 5, 3, (255, 130, 120))
    ellipse(d, 100, 64, 5, 3, (255, 130, 120))
    return finish_keyed(img, cover)


def face2():
    """A robot's face in chrome with glowing eyes, over black (it floats in the stars)."""
    img = canvas(160)
    cover = mask(160)
    d, dm = ImageDraw.Draw(img), ImageDraw.Draw(cover)
    ys, xs = np.mgrid[0:H * SS, 0:160 * SS] / SS
    inside = (np.abs(xs - 80) <= 36) & (ys >= 14) & (ys <= 90)
    metal = vertical_gradient(160, [(0, WHITE), (0.35, LGREY), (0.7, (90, 90, 130)), (1, (40, 40, 90))])
    metal *= np.clip(1.05 - 0.4 * ((xs - 80) / 36) ** 2, 0.5, 1)[..., None]
    m = Image.fromarray((inside * 255).astype(np.uint8), "L")
    img.paste(to_image(metal), (0, 0), m)
    dm.bitmap((0, 0), m, fill=255)
    # antenna and ears
    rect(d, 78, 4, 82, 14, LGREY); rect(dm, 78, 4, 82, 14, 255)
    circle(d, 80, 5, 4, LRED); circle(dm, 80, 5, 4, 255)
    for x0 in (36, 116):
        rect(d, x0, 40, x0 + 8, 64, (60, 60, 150)); rect(dm, x0, 40, x0 + 8, 64, 255)
    # visor with two glowing eyes
    rect(d, 50, 32, 110, 56, (0, 0, 60))
    for ex in (66, 94):
        circle(d, ex, 44, 10, CYAN)
        circle(d, ex, 44, 6, LCYAN)
        circle(d, ex, 44, 2.5, WHITE)
    # grille mouth
    rect(d, 58, 66, 102, 82, (0, 0, 60))
    for x0 in range(60, 102, 6):
        rect(d, x0, 68, x0 + 3, 80, LGREEN if x0 % 12 == 0 else GREEN)
    return finish_keyed(img, cover)


def dancer(mirror):
    """A figure dancing on a stage under a spotlight; the mirrored pose makes the pair."""
    img = to_image(vertical_gradient(160, [(0, (60, 0, 90)), (0.8, (0, 0, 60)), (1, (0, 0, 30))]))
    d = ImageDraw.Draw(img)
    poly(d, [(70, 0), (90, 0), (130, 92), (30, 92)], (110, 60, 150))  # spotlight cone
    rect(d, 0, 92, 160, 100, BROWN)
    ellipse(d, 80, 93, 36, 4, (220, 170, 90))
    # the figure, posed for the left; mirrored below for the right
    body = (255, 255, 85)
    line(d, [(80, 34), (78, 62)], body, 7)                   # torso
    line(d, [(79, 40), (64, 30), (54, 14)], body, 5)         # raised arm
    line(d, [(79, 42), (94, 50), (106, 44)], body, 5)        # bent arm
    line(d, [(78, 62), (66, 76), (60, 92)], body, 6)         # leg
    line(d, [(78, 62), (90, 76), (102, 86)], body, 6)        # kicking leg
    circle(d, 82, 25, 8, body)                               # head
    circle(d, 85, 24, 2, (0, 0, 100))
    for x, y in ((20, 20), (140, 14), (128, 40), (30, 52)):
        poly(d, [(x, y - 6), (x + 2, y), (x, y + 6), (x - 2, y)], LCYAN)  # glints
        poly(d, [(x - 6, y), (x, y - 2), (x + 6, y), (x, y + 2)], LCYAN)
    out = finish(img)
    return out[:, ::-1] if mirror else out


def eye(look):
    """A big eye looking to one side: the pair looks left, then right."""
    img = canvas(160, (0, 0, 100))
    d = ImageDraw.Draw(img)
    for k in range(8):  # concentric rings around the eye
        ellipse(d, 80, 50, 80 - k * 6, 50 - k * 4, [BLUE, (0, 0, 100)][k % 2])
    d.chord([14 * SS, 14 * SS, 146 * SS, 86 * SS], 0, 360, fill=(40, 0, 80))
    ellipse(d, 80, 50, 62, 30, WHITE)
    ix = 80 + 26 * look
    circle(d, ix, 50, 24, (0, 140, 80))
    circle(d, ix, 50, 17, LGREEN)
    circle(d, ix, 50, 9, (0, 0, 30))
    circle(d, ix - 5, 46, 4, WHITE)
    # lids cut the iris where it overflows the white
    lid = (170, 0, 170)
    poly(d, [(0, 0), (160, 0), (160, 30), (130, 26), (80, 18), (30, 26), (0, 30)], lid)
    poly(d, [(0, 100), (160, 100), (160, 70), (130, 76), (80, 82), (30, 76), (0, 70)], lid)
    line(d, [(0, 30), (30, 26), (80, 18), (130, 26), (160, 30)], LMAGENTA, 3)
    line(d, [(0, 70), (30, 76), (80, 82), (130, 76), (160, 70)], LMAGENTA, 3)
    return finish(img)


def zul():
    """A loudspeaker cone in a red cabinet, with "ZUL" on its badge."""
    img = canvas(160, (170, 0, 0))
    d = ImageDraw.Draw(img)
    rect(d, 30, 0, 130, 100, (100, 0, 0))
    for k, c in enumerate([LGREY, (60, 60, 60), LGREY, (40, 40, 40), (120, 120, 120), (30, 30, 30)]):
        circle(d, 80, 64, 46 - k * 7, c)
    circle(d, 80, 64, 9, WHITE)
    for x in (12, 148):
        for y in (12, 50, 88):
            circle(d, x, y, 4, YELLOW)
    rect(d, 50, 2, 110, 30, LGREY)
    rect(d, 52, 4, 108, 28, (0, 0, 100))
    f = font(fit_font("ZUL", 50, 22))
    draw_text_centered(d, "ZUL", 80, 16, f, YELLOW)
    return finish(img)


PICTURES = {
    "ferrund_osmir_320x100.raw": ferrund_osmir,
    "qo_160x100.raw": qo,
    "halvern_l_160x100.raw": lambda: dancer(False),
    "halvern_r_160x100.raw": lambda: dancer(True),
    "halvern2_l_160x100.raw": lambda: eye(-1),
    "halvern2_r_160x100.raw": lambda: eye(1),
    "varnel_160x100.raw": varnel,
    "kvrtlogo_320x100.raw": lambda: kvrtlogo(320, "text mode party 2003"),
    "kvrtlogo_640x100.raw": kvrtlogo_640,
    "trelbo_160x100.raw": trelbo,
    "osmir_160x100.raw": osmir,
    "ferrund_160x100.raw": ferrund,
    "dralsk_160x100.raw": dralsk,
    "face_160x100.raw": face,
    "face2_160x100.raw": face2,
    "quenby_160x100.raw": quenby,
    "zul_160x100.raw": zul,
}


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else "data"
    os.makedirs(out_dir, exist_ok=True)
    for name, make in PICTURES.items():
        pixels = make()
        width = int(name.rsplit("_", 1)[1].split("x")[0])
        assert pixels.shape == (H, width, 3) and pixels.dtype == np.uint8, name
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(pixels.tobytes())


if __name__ == "__main__":
    main()
