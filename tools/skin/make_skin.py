#!/usr/bin/python3
"""Draws Brevant's skin: every picture the screens load from Skin/.

    /usr/bin/python3 tools/skin/make_skin.py [OUTPUT_FOLDER]    (default: data/Skin)

Needs Debian's python3-pil and fonts-dejavu-core. The output is the same byte
for byte on every run, so the committed pictures can be checked against it
(--check compares instead of writing). To re-brand, change the colours and the
wordmark below and run it again.

The look: flat and light. White surfaces, light grey lines, one brand red for
primary buttons and hover, grey ink for secondary controls. Every picture is
the size of the control that shows it; shapes are drawn four times larger and
scaled down, so edges are smooth and straight edges stay crisp.
"""

import io
import math
import os
import sys

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:  # pragma: no cover
    sys.exit("make_skin.py needs Pillow: apt-get install python3-pil (run with /usr/bin/python3)")

# ---- the brand ----
RED = (216, 34, 40)
RED_HOVER = (230, 58, 64)
RED_DOWN = (182, 24, 30)
RED_DISABLED = (236, 164, 166)
RED_TINT = (253, 238, 238)
RED_TINT_DOWN = (248, 220, 221)
INK = (68, 68, 79)
INK_SOFT = (120, 122, 135)
INK_FAINT = (160, 162, 172)
LINE = (235, 238, 237)
BORDER = (220, 222, 228)
BACKDROP = (244, 245, 247)
SURFACE = (255, 255, 255)
GREEN = (34, 160, 92)
BLUE = (38, 120, 220)
# Pictures on a white key colour (the grid's check marks and status icons)
# paint their own white as 254, so only the surroundings turn transparent.
OPAQUE_WHITE = (254, 254, 254)

WORDMARK = "Brevant"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

SS = 4  # supersampling factor


def font(size):
    try:
        return ImageFont.truetype(FONT_BOLD, size)
    except OSError:  # pragma: no cover
        sys.exit("make_skin.py needs DejaVu Sans Bold: apt-get install fonts-dejavu-core")


class Canvas:
    """A picture drawn at SS times its size; coordinates are in final pixels."""

    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width, self.height = width, height
        if len(background) == 3:
            background = background + (255,)
        self.image = Image.new("RGBA", (width * SS, height * SS), background)
        self.draw = ImageDraw.Draw(self.image)

    @staticmethod
    def _box(box):
        x0, y0, x1, y1 = box
        return [round(x0 * SS), round(y0 * SS), round(x1 * SS) - 1, round(y1 * SS) - 1]

    def rounded(self, box, radius, fill=None, outline=None, width=1.0):
        self.draw.rounded_rectangle(self._box(box), radius=round(radius * SS), fill=rgba(fill),
                                    outline=rgba(outline), width=round(width * SS))

    def rect(self, box, fill):
        self.draw.rectangle(self._box(box), fill=rgba(fill))

    def ellipse(self, box, fill=None, outline=None, width=1.0):
        self.draw.ellipse(self._box(box), fill=rgba(fill), outline=rgba(outline),
                          width=round(width * SS))

    def line(self, points, color, width):
        pts = [(x * SS, y * SS) for x, y in points]
        self.draw.line(pts, fill=rgba(color), width=round(width * SS), joint="curve")
        # Round caps.
        r = width * SS / 2
        for x, y in (pts[0], pts[-1]):
            self.draw.ellipse([x - r, y - r, x + r, y + r], fill=rgba(color))

    def arc(self, box, start, end, color, width):
        self.draw.arc(self._box(box), start, end, fill=rgba(color), width=round(width * SS))

    def polygon(self, points, fill):
        self.draw.polygon([(x * SS, y * SS) for x, y in points], fill=rgba(fill))

    def text(self, xy, text, size, color, anchor="la"):
        self.draw.text((xy[0] * SS, xy[1] * SS), text, font=font(round(size * SS)),
                       fill=rgba(color), anchor=anchor)

    def paste(self, other, xy):
        layer = Image.new("RGBA", self.image.size, (0, 0, 0, 0))
        layer.paste(other.image, (round(xy[0] * SS), round(xy[1] * SS)))
        self.image = Image.alpha_composite(self.image, layer)
        self.draw = ImageDraw.Draw(self.image)

    def overlay(self, other):
        self.image = Image.alpha_composite(self.image, other.image)
        self.draw = ImageDraw.Draw(self.image)

    def result(self):
        return self.image.resize((self.width, self.height), Image.BOX)


def rgba(color):
    if color is None:
        return None
    return color if len(color) == 4 else color + (255,)


def text_width(text, size):
    return font(size).getlength(text)


# ---- pieces ----

def mark(size, background=RED, glyph=SURFACE):
    """The brand mark: a red rounded square holding a stack of three devices,
    each with its light on: many devices prepared at once."""
    c = Canvas(size, size)
    c.rounded((0, 0, size, size), size * 0.24, fill=background)
    s = size / 28.0
    for k in range(3):
        top = (6.4 + k * 5.6) * s
        c.rounded((6.5 * s, top, 21.5 * s, top + 3.8 * s), 1.3 * s, fill=glyph)
        c.ellipse((17.2 * s, top + 1.0 * s, 19.0 * s, top + 2.8 * s), fill=background)
    return c


def wordmark(canvas, x, y, mark_size, text_size, ink, mark_colors=(RED, SURFACE)):
    m = mark(mark_size, *mark_colors)
    canvas.paste(m, (x, y))
    baseline_mid = y + mark_size / 2
    canvas.text((x + mark_size + mark_size * 0.32, baseline_mid), WORDMARK, text_size, ink,
                anchor="lm")


def button(width, height, fill, outline=None, radius=4):
    c = Canvas(width, height)
    c.rounded((0, 0, width, height), radius, fill=fill, outline=outline)
    return c.result()


def cross(size, span, color, width, circle=None):
    c = Canvas(size, size)
    if circle is not None:
        c.ellipse((1, 1, size - 1, size - 1), fill=circle)
    a = (size - span) / 2
    b = a + span
    c.line([(a, a), (b, b)], color, width)
    c.line([(a, b), (b, a)], color, width)
    return c.result()


def minimise(size, color, circle=None):
    c = Canvas(size, size)
    if circle is not None:
        c.ellipse((1, 1, size - 1, size - 1), fill=circle)
    c.line([(size / 2 - 5, size / 2), (size / 2 + 5, size / 2)], color, 1.6)
    return c.result()


def on_white(image):
    """A picture with transparency laid on white, for the formats without it."""
    base = Image.new("RGBA", image.size, SURFACE + (255,))
    return Image.alpha_composite(base, image).convert("RGB")


# ---- the pictures ----

def backgrounds():
    pictures = {}
    w, h = 817, 540

    # Adapter page: a red band under the title, the page card floats across
    # its lower edge; the wordmark in white (the close button's second look
    # is white too).
    c = Canvas(w, h, BACKDROP)
    band = 206
    c.rect((0, 0, w, band), RED)
    shade = Canvas(w, h)
    for i in range(band):
        t = i / band
        shade.rect((0, i, w, i + 1), (150, 10, 18, round(38 * t)))
    c.overlay(shade)
    # A quiet constellation of devices on the right of the band.
    net = Canvas(w, h)
    nodes = [(640, 66), (700, 40), (760, 82), (716, 128), (784, 150), (652, 150), (596, 112)]
    links = [(0, 1), (1, 2), (2, 3), (0, 3), (3, 4), (2, 4), (3, 5), (0, 6), (5, 6)]
    for a, b in links:
        net.line([nodes[a], nodes[b]], (255, 255, 255, 34), 1.2)
    for x, y in nodes:
        net.ellipse((x - 4, y - 4, x + 4, y + 4), fill=(255, 255, 255, 70))
    c.overlay(net)
    wordmark(c, 18, 12, 24, 17, SURFACE, (SURFACE, RED))
    pictures["main_bk.png"] = ("PNG", c.result().convert("RGB"))

    def titled(backdrop):
        c = Canvas(w, h, backdrop)
        c.rect((0, 0, w, 48), SURFACE)
        c.rect((0, 47, w, 48), LINE)
        wordmark(c, 18, 12, 24, 17, INK)
        return c.result().convert("RGB")

    # Device list: the page covers everything below the title bar.
    pictures["main_bk.jpg"] = ("JPEG", titled(SURFACE))
    # Customization and anti-theft: the white page card on a light backdrop.
    pictures["main_bk3.jpg"] = ("JPEG", titled(BACKDROP))
    return pictures


def logo():
    c = Canvas(220, 48, SURFACE)
    text_size = 29
    mark_size = 34
    total = mark_size + mark_size * 0.32 + text_width(WORDMARK, text_size)
    x = (220 - total) / 2
    wordmark(c, x, (48 - mark_size) / 2, mark_size, text_size, (44, 44, 52))
    return c.result().convert("RGB")


def spinner():
    """16 x 16: a red arc running round a light ring, 12 frames of 80 ms."""
    frames = []
    for i in range(12):
        c = Canvas(16, 16, SURFACE)
        c.arc((1.5, 1.5, 14.5, 14.5), 0, 360, LINE, 2.0)
        start = i * 30 - 90
        c.arc((1.5, 1.5, 14.5, 14.5), start, start + 100, RED, 2.0)
        frames.append(c.result().convert("RGB"))
    # One fixed palette: white first (the background), then blends of the ring
    # and the arc into white.
    colors = [SURFACE]
    for target in (RED, LINE, INK_FAINT):
        for k in range(1, 33):
            t = k / 32
            colors.append(tuple(round(255 + (v - 255) * t) for v in target))
    for k in range(1, 33):
        t = k / 32
        colors.append(tuple(round(LINE[j] + (RED[j] - LINE[j]) * t) for j in range(3)))
    palette = Image.new("P", (1, 1))
    flat = [v for color in colors for v in color]
    palette.putpalette(flat + [0] * (768 - len(flat)))
    indexed = [f.quantize(palette=palette, dither=Image.Dither.NONE) for f in frames]
    out = io.BytesIO()
    indexed[0].save(out, "GIF", save_all=True, append_images=indexed[1:], duration=80, loop=0,
                    background=0, disposal=1, optimize=False)
    return out.getvalue()


def check_box(kind):
    c = Canvas(24, 24, SURFACE)
    box = (4, 4, 20, 20)
    if kind == "clear":
        c.rounded(box, 3.5, fill=OPAQUE_WHITE, outline=(180, 183, 194), width=1.0)
    else:
        c.rounded(box, 3.5, fill=RED)
        if kind == "set":
            c.line([(8.0, 12.3), (10.9, 15.1), (16.2, 9.2)], OPAQUE_WHITE, 2.0)
        else:
            c.line([(8.2, 12), (15.8, 12)], OPAQUE_WHITE, 2.0)
    return c.result().convert("RGB")


def status(kind):
    c = Canvas(24, 24, SURFACE)
    color = {"success": GREEN, "error": RED, "operating": BLUE}[kind]
    c.ellipse((2.5, 2.5, 21.5, 21.5), fill=color)
    if kind == "success":
        c.line([(7.6, 12.4), (10.6, 15.3), (16.6, 9.0)], OPAQUE_WHITE, 2.1)
    elif kind == "error":
        c.line([(8.6, 8.6), (15.4, 15.4)], OPAQUE_WHITE, 2.1)
        c.line([(8.6, 15.4), (15.4, 8.6)], OPAQUE_WHITE, 2.1)
    else:
        for x in (7.8, 12.0, 16.2):
            c.ellipse((x - 1.45, 12 - 1.45, x + 1.45, 12 + 1.45), fill=OPAQUE_WHITE)
    return c.result().convert("RGB")


def help_button():
    c = Canvas(24, 24, SURFACE)
    c.ellipse((4, 4, 20, 20), outline=INK_SOFT, width=1.4)
    c.ellipse((11.1, 7.4, 12.9, 9.2), fill=INK_SOFT)
    c.line([(12, 11.2), (12, 16.2)], INK_SOFT, 1.7)
    return c.result().convert("RGB")


def combo_arrow():
    c = Canvas(12, 12)
    c.line([(2.5, 4.6), (6, 8.0), (9.5, 4.6)], INK_SOFT, 1.5)
    return c.result()


def switch(on):
    c = Canvas(28, 16)
    c.rounded((0, 0, 28, 16), 8, fill=RED if on else (206, 208, 215))
    knob = (14, 2, 26, 14) if on else (2, 2, 14, 14)
    c.ellipse(knob, fill=SURFACE)
    return c.result()


def file_line(kind):
    """A chosen file: a light field with the file's icon in the room its six
    leading blanks leave (about 20 pixels)."""
    c = Canvas(209, 28)
    c.rounded((0, 0, 209, 28), 4, fill=(246, 247, 249), outline=(232, 234, 238))
    x, y = 3, 5
    if kind == "config":
        outline = [(x + 2.5, y + 0.5), (x + 10, y + 0.5), (x + 14.5, y + 5), (x + 14.5, y + 16.5),
                   (x + 2.5, y + 16.5), (x + 2.5, y + 0.5)]
        c.polygon(outline, (232, 233, 238))
        c.line(outline, INK_SOFT, 1.0)
        c.line([(x + 10, y + 0.5), (x + 10, y + 5), (x + 14.5, y + 5)], INK_SOFT, 1.0)
        for k, length in enumerate((6.0, 6.0, 4.0)):
            yy = y + 8.5 + k * 2.5
            c.line([(x + 5.5, yy), (x + 5.5 + length, yy)], RED if k == 0 else INK_SOFT, 1.0)
    else:
        c.rounded((x + 1.5, y + 2.5, x + 15.5, y + 15.5), 2, fill=(232, 233, 238), outline=INK_SOFT,
                  width=1.0)
        c.polygon([(x + 3.5, y + 13.2), (x + 7.2, y + 8.4), (x + 9.8, y + 11.2), (x + 11.4, y + 9.6),
                   (x + 13.6, y + 13.2)], RED)
        c.ellipse((x + 10.4, y + 4.8, x + 12.8, y + 7.2), fill=INK_SOFT)
    return c.result()


def choose_button():
    """"          Select": a bordered button with a folder before the word."""
    c = Canvas(99, 28)
    c.rounded((0, 0, 99, 28), 4, fill=SURFACE, outline=BORDER)
    x, y = 21, 8
    c.rounded((x, y, x + 7, y + 4), 1.2, fill=INK_SOFT)
    c.rounded((x, y + 2, x + 16, y + 13), 1.8, fill=INK_SOFT)
    c.rounded((x + 1.4, y + 4.6, x + 14.6, y + 11.6), 1.0, fill=(236, 237, 241))
    c.line([(x + 8, y + 10.4), (x + 8, y + 5.8)], RED, 1.3)
    c.line([(x + 5.9, y + 7.8), (x + 8, y + 5.7), (x + 10.1, y + 7.8)], RED, 1.3)
    return c.result()


def all_pictures():
    p = {}
    p.update(backgrounds())
    p["wait_search.gif"] = ("RAW", spinner())
    states = {"normal": RED, "over": RED_HOVER, "down": RED_DOWN, "disable": RED_DISABLED}
    for state, fill in states.items():
        p[f"scan_btn_{state}.png"] = ("PNG", button(218, 24, fill))
        p[f"protection_btn_{state}.png"] = ("PNG", button(142, 24, fill))
        p[f"apply_btn_{state}.png"] = ("PNG", button(67, 27, fill))
    p["ostrel_logo.bmp"] = ("BMP", logo())
    p["combox_down.png"] = ("PNG", combo_arrow())
    p["change_btn_normal.png"] = ("PNG", button(48, 18, RED, radius=4))
    p["btn_template.png"] = ("PNG", button(124, 24, RED_TINT))
    p["select.bmp"] = ("BMP", check_box("set"))
    p["unselect.bmp"] = ("BMP", check_box("clear"))
    p["part_select.bmp"] = ("BMP", check_box("part"))
    for kind in ("success", "error", "operating"):
        p[f"{kind}.bmp"] = ("BMP", status(kind))
    p["cancel_btn_normal.png"] = ("PNG", button(71, 27, SURFACE, BORDER))
    p["cancel_btn_over.png"] = ("PNG", button(71, 27, (255, 246, 246), RED))
    p["cancel_btn_down.png"] = ("PNG", button(71, 27, RED_TINT_DOWN, RED_DOWN))
    p["choose_btn_normal.png"] = ("PNG", choose_button())
    p["btn_ini_file.png"] = ("PNG", file_line("config"))
    p["btn_pic_file.png"] = ("PNG", file_line("picture"))
    p["btn_switch_on.png"] = ("PNG", switch(True))
    p["btn_switch_off.png"] = ("PNG", switch(False))
    p["btn_close_normal.png"] = ("PNG", cross(24, 9, INK_SOFT, 1.6))
    p["btn_close_over.png"] = ("PNG", cross(24, 9, RED, 1.6, circle=RED_TINT))
    p["btn_close_down.png"] = ("PNG", cross(24, 9, RED_DOWN, 1.6, circle=RED_TINT_DOWN))
    p["btn_close_normal2.png"] = ("PNG", cross(24, 9, SURFACE, 1.6))
    p["btn_child_close.png"] = ("PNG", cross(16, 8, INK_FAINT, 1.4))
    p["btn_child_close2.png"] = ("PNG", cross(16, 8, INK_FAINT, 1.4))
    p["btn_min_normal.png"] = ("PNG", minimise(24, INK_SOFT))
    p["btn_min_over.png"] = ("PNG", minimise(24, INK, circle=(238, 239, 243)))
    p["btn_min_down.png"] = ("PNG", minimise(24, INK, circle=(226, 228, 233)))
    p["help_normal.bmp"] = ("BMP", help_button())
    return p


def encode(kind, picture):
    if kind == "RAW":
        return picture
    out = io.BytesIO()
    if kind == "PNG":
        picture.save(out, "PNG", optimize=False, compress_level=9)
    elif kind == "JPEG":
        picture.save(out, "JPEG", quality=92, subsampling=0, optimize=False)
    elif kind == "BMP":
        picture.convert("RGB").save(out, "BMP")
    return out.getvalue()


def main(argv):
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    folder = args[0] if args else os.path.join(here, "..", "..", "data", "Skin")
    os.makedirs(folder, exist_ok=True)
    differ = []
    pictures = all_pictures()
    for name, (kind, picture) in sorted(pictures.items()):
        data = encode(kind, picture)
        path = os.path.join(folder, name)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        differ.append(name)
            except OSError:
                differ.append(name)
            continue
        with open(path, "wb") as f:
            f.write(data)
    if check:
        if differ:
            print("differ from the generator: " + " ".join(differ))
            return 1
        print("all pictures match the generator")
        return 0
    print(f"wrote {len(pictures)} pictures to {os.path.normpath(folder)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
