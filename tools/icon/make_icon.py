#!/usr/bin/python3
"""Draws Brevant's application icon into data/Icons/.

    /usr/bin/python3 tools/icon/make_icon.py [OUT_DIR]

Writes brevant-16.png ... brevant-256.png and brevant.svg (the same drawing,
scalable). The mark: one computer on a link with three devices hanging from
it, white and light grey on a rounded square of the brand red. Small sizes
leave out the details that would turn to mush and put every edge on a pixel.
Deterministic: the same Pillow gives the same bytes. Needs python3-pil.
"""

import os
import sys

from PIL import Image, ImageDraw

RED = (216, 34, 40)
WHITE = (255, 255, 255)
GREY = (235, 238, 237)
SIZES = (16, 32, 48, 64, 128, 256)
SUPERSAMPLE = 8

# The drawing on a 256-unit canvas: (kind, box or points, colour, radius or width).
TILE = ((8, 8, 248, 248), 56)
SCREEN_OUTER = (86, 50, 170, 104)
SCREEN_INNER = (96, 60, 160, 94)
CHECK = ((113, 77), (124, 87), (144, 67))
STEM = (122, 104, 134, 140)
BUS = (50, 134, 206, 146)
DEVICE_CENTRES = (64, 128, 192)
DROP_TOP, DROP_BOTTOM, DROP_HALF = 140, 170, 6
DEVICE_HALF_W, DEVICE_TOP, DEVICE_BOTTOM = 27, 168, 204
LED_Y, LED_STEP, LED_R = 186, 11, 3.5

# At 16 pixels the drawing is laid out pixel by pixel instead (16 units): a
# hollow screen, 2-pixel stem and drops, a 1-pixel link, 4-pixel devices.
PIXEL_16 = [
    ("rrect", (0, 0, 16, 16), RED, 3),
    ("rect", (5, 2, 11, 7), WHITE, 0),
    ("rect", (6, 3, 10, 6), RED, 0),
    ("rect", (7, 7, 9, 9), WHITE, 0),
    ("rect", (2, 9, 14, 10), WHITE, 0),
] + [shape for x in (1, 6, 11) for shape in (
    ("rect", (x + 1, 10, x + 3, 11), WHITE, 0),
    ("rrect", (x, 11, x + 4, 14), GREY, 0.6),
)]


def parts(level):
    """The shapes at one level of detail, in 256 units: 1 has no check mark,
    2 no status lights, 3 everything."""
    shapes = [("rrect", TILE[0], RED, TILE[1]),
              ("rrect", SCREEN_OUTER, WHITE, 9),
              ("rrect", SCREEN_INNER, RED, 3)]
    if level >= 2:
        shapes.append(("check", CHECK, WHITE, 8))
    shapes.append(("rect", STEM, WHITE, 0))
    shapes.append(("rrect", BUS, WHITE, 6))
    for x in DEVICE_CENTRES:
        shapes.append(("rect", (x - DROP_HALF, DROP_TOP, x + DROP_HALF, DROP_BOTTOM), WHITE, 0))
        box = (x - DEVICE_HALF_W, DEVICE_TOP, x + DEVICE_HALF_W, DEVICE_BOTTOM)
        shapes.append(("rrect", box, GREY, 8))
        if level >= 3:
            for dx in (-LED_STEP, 0, LED_STEP):
                shapes.append(("dot", (x + dx, LED_Y), RED, LED_R))
    return shapes


def level_for(size):
    return 1 if size <= 48 else 2 if size <= 64 else 3


def snap(value, size, units):
    """Drawing units to whole pixels of the target size, then to the supersampled grid."""
    return round(value * size / units) * SUPERSAMPLE


def render(size):
    big = size * SUPERSAMPLE
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    units = 16 if size == 16 else 256
    scale = big / units
    shapes = PIXEL_16 if size == 16 else parts(level_for(size))
    for kind, geometry, colour, extent in shapes:
        if kind in ("rect", "rrect"):
            x0, y0, x1, y1 = (snap(v, size, units) for v in geometry)
            box = (x0, y0, x1 - 1, y1 - 1)
            radius = round(extent * scale)
            if kind == "rrect" and radius > 0:
                draw.rounded_rectangle(box, radius=radius, fill=colour)
            else:
                draw.rectangle(box, fill=colour)
        elif kind == "dot":
            cx, cy = geometry[0] * scale, geometry[1] * scale
            r = extent * scale
            draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=colour)
        elif kind == "check":
            points = [(x * scale, y * scale) for x, y in geometry]
            width = round(extent * scale)
            draw.line(points, fill=colour, width=width, joint="curve")
            r = width / 2
            for x, y in (points[0], points[-1]):
                draw.ellipse((x - r, y - r, x + r, y + r), fill=colour)
    return image.resize((size, size), Image.BOX)


def svg():
    def rgb(c):
        return "#%02x%02x%02x" % c

    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for kind, geometry, colour, extent in parts(3):
        if kind in ("rect", "rrect"):
            x0, y0, x1, y1 = geometry
            rx = ' rx="%g"' % extent if kind == "rrect" and extent else ""
            lines.append('  <rect x="%g" y="%g" width="%g" height="%g"%s fill="%s"/>'
                         % (x0, y0, x1 - x0, y1 - y0, rx, rgb(colour)))
        elif kind == "dot":
            lines.append('  <circle cx="%g" cy="%g" r="%g" fill="%s"/>'
                         % (geometry[0], geometry[1], extent, rgb(colour)))
        elif kind == "check":
            points = " ".join("%g,%g" % p for p in geometry)
            lines.append('  <polyline points="%s" fill="none" stroke="%s" stroke-width="%g" '
                         'stroke-linecap="round" stroke-linejoin="round"/>'
                         % (points, rgb(colour), extent))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "data", "Icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        render(size).save(os.path.join(out, "brevant-%d.png" % size), optimize=True)
    with open(os.path.join(out, "brevant.svg"), "w", encoding="utf-8") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
