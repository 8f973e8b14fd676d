#!/usr/bin/python3
"""Draws the pictures of the "Lanterns" show (shows/lanterns/) as PNG files.

As tools/assets/make_pictures.py does for the built-in show: every picture is drawn at SS times
its size and box-filtered down, so edges come out as ramps the shade glyphs can dither, in
colours near the 16 console colours. A cell of 2 x 2 pixels is an 8 x 12 glyph on the screen,
so a pixel shows half as tall again as it is wide: circles are drawn 1.5 times wider than tall.

Keyed pictures (drawn over other effects with BlitKeyedImage) have a background of exactly
black, the see-through value, and no pure black inside their subjects. The lanterns keep to
warm light colours (yellow, light red, brown, white) and never the saturated console red, which
the flash rule counts as a red flash wherever it comes and goes.

Usage: make_lanterns_pictures.py [OUTPUT_DIR]   (default shows/lanterns)
"""
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

SS = 4       # supersampling factor
H = 100
ASPECT = 1.5  # a picture pixel shows 1.5 times taller than wide
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

BLACK, WHITE = (0, 0, 0), (255, 255, 255)
YELLOW, LRED, LMAGENTA = (255, 255, 85), (255, 85, 85), (255, 85, 255)
LCYAN, LGREEN, BROWN, BLUE = (85, 255, 255), (85, 255, 85), (170, 85, 0), (0, 0, 170)
ORANGE = (255, 170, 60)   # between light red and yellow: an even dither of the two
INK = (0, 0, 24)          # the darkest ink of a keyed subject: shows as black, is not see-through


# ---------------------------------------------------------------- helpers

def blank(width, colour=BLACK, mode="RGB"):
    return Image.new(mode, (width * SS, H * SS), colour)


def shrink(image):
    a = np.asarray(image, dtype=np.float64)
    h, w = a.shape[0] // SS, a.shape[1] // SS
    if a.ndim == 3:
        return a.reshape(h, SS, w, SS, -1).mean(axis=(1, 3))
    return a.reshape(h, SS, w, SS).mean(axis=(1, 3))


def finish(image):
    return np.clip(np.rint(shrink(image)), 0, 255).astype(np.uint8)


def finish_keyed(image, cover):
    """Pixels the subject covers less than half are exactly black; covered ones never are."""
    out = finish(image)
    inside = shrink(cover) >= 127.5
    out[~inside] = 0
    out[inside & (out.max(axis=2) == 0)] = INK
    return out


def gradient(width, stops):
    """Rows ramping through (position 0..1, colour) stops, as a float array."""
    ys = np.linspace(0.0, 1.0, H * SS)
    out = np.zeros((H * SS, width * SS, 3))
    for c in range(3):
        out[:, :, c] = np.interp(ys, [p for p, _ in stops], [s[1][c] for s in stops])[:, None]
    return out


def to_image(array):
    return Image.fromarray(np.clip(np.rint(array), 0, 255).astype(np.uint8), "RGB")


def ellipse(draw, cx, cy, rx, ry, fill):
    draw.ellipse([(cx - rx) * SS, (cy - ry) * SS, (cx + rx) * SS, (cy + ry) * SS], fill=fill)


def circle(draw, cx, cy, r, fill):
    """A circle as the screen shows it: r pixels wide each side, r / 1.5 tall."""
    ellipse(draw, cx, cy, r, r / ASPECT, fill)


def rect(draw, x0, y0, x1, y1, fill):
    draw.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=fill)


def poly(draw, points, fill):
    draw.polygon([(x * SS, y * SS) for x, y in points], fill=fill)


def line(draw, points, fill, width):
    draw.line([(x * SS, y * SS) for x, y in points], fill=fill, width=max(1, int(width * SS)), joint="curve")


def font(size):
    return ImageFont.truetype(FONT_BOLD, int(size * SS))


def fit_font(text, box_w, box_h):
    """The largest size (real pixels) at which the text fits the box."""
    probe = ImageDraw.Draw(Image.new("L", (8, 8)))
    size = 4
    while True:
        left, top, right, bottom = probe.textbbox((0, 0), text, font=font(size + 1))
        if right - left > box_w * SS or bottom - top > box_h * SS:
            return size
        size += 1


def text_centered(draw, text, cx, cy, f, fill, stroke=0, stroke_fill=None):
    left, top, right, bottom = draw.textbbox((0, 0), text, font=f)
    x = cx * SS - (right - left) / 2 - left
    y = cy * SS - (bottom - top) / 2 - top
    draw.text((x, y), text, font=f, fill=fill, stroke_width=int(stroke * SS), stroke_fill=stroke_fill)


def glow(width, cx, cy, rx, ry, colour, strength):
    """A soft round glow (float RGB array) that falls off with the distance from its centre."""
    ys, xs = np.mgrid[0:H * SS, 0:width * SS] / SS
    d = ((xs - cx) / rx) ** 2 + ((ys - cy) / ry) ** 2
    k = strength * np.exp(-d)
    return k[..., None] * np.array(colour, float)


# ---------------------------------------------------------------- a lantern

def lantern(d, m, cx, cy, r, body, rim=BROWN, string_to=None):
    """A paper lantern of half-width r pixels centred at (cx, cy) on the drawing d and its
    coverage mask m: a round paper body with ribs, a cap and a foot, a tassel, and optionally
    the string it hangs from up to the point string_to."""
    ry = r / ASPECT  # round on the screen
    if string_to is not None:
        line(d, [string_to, (cx, cy - ry - 2)], (170, 170, 170), 1.2)
        line(m, [string_to, (cx, cy - ry - 2)], 255, 1.2)
    # the paper: brighter towards the middle, where the flame is
    light = tuple(min(255, c + 70) for c in body)
    ellipse(d, cx, cy, r, ry, body)
    ellipse(d, cx, cy, r * 0.62, ry * 0.72, light)
    ellipse(d, cx, cy, r * 0.28, ry * 0.4, (255, 255, 200))
    ellipse(m, cx, cy, r, ry, 255)
    # ribs: the bamboo hoops seen from the side, as curves across the body
    for k in (-0.66, -0.33, 0.33, 0.66):
        y = cy + k * ry
        half = r * math.sqrt(1 - k * k)
        line(d, [(cx - half, y), (cx, y + ry * 0.08), (cx + half, y)], rim, max(0.6, r / 28))
    # cap and foot
    rect(d, cx - r * 0.35, cy - ry - 2, cx + r * 0.35, cy - ry + 1.5, rim)
    rect(m, cx - r * 0.35, cy - ry - 2, cx + r * 0.35, cy - ry + 1.5, 255)
    rect(d, cx - r * 0.3, cy + ry - 1.5, cx + r * 0.3, cy + ry + 2, rim)
    rect(m, cx - r * 0.3, cy + ry - 1.5, cx + r * 0.3, cy + ry + 2, 255)
    # the tassel
    tassel = [(cx - r * 0.08, cy + ry + 2), (cx + r * 0.08, cy + ry + 2),
              (cx + r * 0.14, cy + ry + 2 + ry * 0.5), (cx - r * 0.14, cy + ry + 2 + ry * 0.5)]
    poly(d, tassel, LRED)
    poly(m, tassel, 255)


# ---------------------------------------------------------------- the pictures

def title():
    """The title: dusk over a river, lanterns rising from it, "LANTERNS" across the sky."""
    sky = gradient(160, [(0, (0, 0, 60)), (0.45, (60, 0, 130)), (0.68, (200, 70, 110)), (0.7, (0, 20, 90)),
                         (1, (0, 0, 50))])
    # a warm haze over the water where the lanterns are
    sky += glow(160, 80, 72, 70, 14, (120, 60, 0), 0.6)
    img = to_image(sky)
    d = ImageDraw.Draw(img)
    # the far bank: low hills in deep blue at the horizon
    xs = np.arange(0, 161, 4)
    ridge = 66 - 3 * np.sin(xs / 13.0) - 2 * np.sin(xs / 5.0 + 1)
    poly(d, [(0, 70)] + list(zip(xs, ridge)) + [(160, 70)], (20, 0, 70))
    # reflections: short warm dashes on the water under each lantern
    mask = Image.new("L", img.size, 0)
    m = ImageDraw.Draw(mask)
    rng = np.random.default_rng(5)
    for x, y, r in ((24, 56, 6), (52, 48, 4.5), (108, 52, 5), (136, 60, 7), (80, 62, 3.5)):
        lantern(d, m, x, y, r, ORANGE if rng.random() < 0.6 else YELLOW)
        for k in range(4):
            w = r * (1.2 - 0.2 * k)
            yy = 74 + k * 6 + (y - 48) * 0.3
            rect(d, x - w, yy, x + w, yy + 1.5, (255, 200, 90) if k < 2 else (170, 110, 40))
    # the title lettering, light yellow inside a brown outline
    f = font(fit_font("LANTERNS", 150, 30))
    text_centered(d, "LANTERNS", 80, 24, f, (255, 255, 140), 2, (120, 40, 0))
    return finish(img)


def big_lantern():
    """One big lantern, keyed: it rises through the stars and floats over the ripples."""
    img = blank(160)
    cover = blank(160, 0, "L")
    d, m = ImageDraw.Draw(img), ImageDraw.Draw(cover)
    lantern(d, m, 80, 46, 42, ORANGE, string_to=None)
    return finish_keyed(img, cover)


def banner():
    """A string of lanterns three canvases wide, keyed: the scene slides it by 320 pixels."""
    width = 480
    img = blank(width)
    cover = blank(width, 0, "L")
    d, m = ImageDraw.Draw(img), ImageDraw.Draw(cover)
    # the rope sags between posts every 120 pixels
    def rope_y(x):
        u = (x % 120) / 120.0
        return 8 + 22 * 4 * u * (1 - u)
    xs = np.arange(0, width + 1, 2)
    rope = [(float(x), rope_y(x)) for x in xs]
    line(d, rope, (170, 170, 170), 2)
    line(m, rope, 255, 2)
    colours = [ORANGE, YELLOW, (255, 140, 170), LCYAN, ORANGE, LGREEN, YELLOW, (255, 140, 170)]
    for i, cx in enumerate(range(30, width, 60)):
        r = 18 if i % 2 == 0 else 14
        drop = 28 + (i % 3) * 6
        lantern(d, m, cx, rope_y(cx) + drop, r, colours[i % len(colours)], string_to=(cx, rope_y(cx)))
    return finish_keyed(img, cover)


def moon():
    """The river at night under a full moon, its light broken on the water: the closing picture."""
    sky = gradient(160, [(0, (0, 0, 40)), (0.6, (0, 0, 120)), (0.62, (0, 10, 70)), (1, (0, 0, 40))])
    sky += glow(160, 110, 22, 40, 24, (80, 80, 140), 0.7)
    img = to_image(sky)
    d = ImageDraw.Draw(img)
    rng = np.random.default_rng(9)
    for _ in range(30):
        x, y = rng.uniform(0, 160), rng.uniform(0, 56)
        if (x - 110) ** 2 + ((y - 22) * ASPECT) ** 2 > 30 ** 2:
            rect(d, x, y, x + 1.5, y + 1.5, WHITE if rng.random() < 0.5 else LCYAN)
    circle(d, 110, 22, 15, (255, 255, 210))
    circle(d, 104, 19, 3.5, (220, 220, 190))
    circle(d, 115, 26, 2.5, (220, 220, 190))
    # trees on the far bank
    for x in range(0, 160, 7):
        h = 6 + 4 * math.sin(x * 0.37) + 3 * math.sin(x * 0.11)
        poly(d, [(x - 5, 62), (x + 1, 62 - h), (x + 7, 62)], (0, 40, 30))
    rect(d, 0, 60, 160, 62, (0, 40, 30))
    # the moon's path on the water
    for k, y in enumerate(range(64, 100, 3)):
        w = 4 + k * 1.2
        shift = 3 * math.sin(k * 1.9)
        rect(d, 110 - w + shift, y, 110 + w + shift, y + 1.5, (230, 230, 200) if k < 6 else (140, 140, 170))
    # three small lanterns drifting away downstream
    mask = Image.new("L", img.size, 0)
    mm = ImageDraw.Draw(mask)
    for x, y, r in ((30, 74, 4), (48, 82, 5), (20, 90, 6)):
        lantern(d, mm, x, y, r, ORANGE)
    return finish(img)


PICTURES = {
    "title.png": title,
    "lantern.png": big_lantern,
    "banner.png": banner,
    "moon.png": moon,
}


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else "shows/lanterns"
    os.makedirs(out_dir, exist_ok=True)
    for name, make in PICTURES.items():
        pixels = make()
        assert pixels.dtype == np.uint8 and pixels.shape[0] == H and pixels.shape[2] == 3, name
        # no time stamps or other chunks that change from run to run: the same bytes every time
        Image.fromarray(pixels, "RGB").save(os.path.join(out_dir, name), optimize=False, compress_level=9)


if __name__ == "__main__":
    main()
