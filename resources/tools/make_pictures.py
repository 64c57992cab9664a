#!/usr/bin/python3
"""Makes the built-in pictures besides the watermark (139) and the splash (148): the program's
icon, the on-air lamps, the About box logo, the badges and the support dialog's picture, each
as bitmaps/<id>.png. Needs python3-pil and fonts-dejavu-core.

Usage: make_pictures.py [output folder, default bitmaps]"""
import math
import sys
from pathlib import Path
from PIL import Image, ImageDraw, ImageFont

BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
BOOK = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
GOLD = (255, 196, 40)
INK = (20, 30, 90)  # the darkest blue of the house gradient, for marks on gold
HOUSE = (INK, (60, 40, 150))  # the watermark's deep blue to violet, top to bottom
SUPPORT = ((32, 48, 118), (84, 56, 176))  # a lighter shade, for the support dialog's badges
SCALE = 8  # shapes are drawn this many times larger and reduced: PIL does not antialias them


def mix(a, b, t):
    return tuple(int(x + (y - x) * t) for x, y in zip(a, b))


def font(size, bold=False):
    return ImageFont.truetype(BOLD if bold else BOOK, size)


class Sketch:
    """A canvas addressed in the picture's own pixels but drawn SCALE times larger, so that
    ellipses and polygons have smooth edges once finish() reduces it."""

    def __init__(self, width, height, mode="RGB"):
        self.canvas = Image.new(mode, (width * SCALE, height * SCALE))
        self.draw = ImageDraw.Draw(self.canvas)

    @staticmethod
    def box(x0, y0, x1, y1):
        return [round(x0 * SCALE), round(y0 * SCALE), round(x1 * SCALE) - 1, round(y1 * SCALE) - 1]

    def gradient(self, shade, x0, y0, x1, y1, radius=0):
        """Fills the box with the shade's top-to-bottom gradient, its corners rounded by radius."""
        top, bottom = shade
        box = self.box(x0, y0, x1, y1)
        height = box[3] - box[1] + 1
        fill = Image.new(self.canvas.mode, (box[2] - box[0] + 1, height))
        fill_draw = ImageDraw.Draw(fill)
        for y in range(height):
            fill_draw.line([(0, y), (fill.width, y)], fill=mix(top, bottom, y / (height - 1)))
        mask = Image.new("L", fill.size)
        ImageDraw.Draw(mask).rounded_rectangle([0, 0, fill.width - 1, height - 1],
                                               radius * SCALE, fill=255)
        self.canvas.paste(fill, box[:2], mask)

    def circle(self, cx, cy, r, fill=None, outline=None, width=0):
        self.draw.ellipse(self.box(cx - r, cy - r, cx + r, cy + r), fill=fill, outline=outline,
                          width=round(width * SCALE))

    def rounded(self, x0, y0, x1, y1, radius, fill=None, outline=None, width=0):
        self.draw.rounded_rectangle(self.box(x0, y0, x1, y1), radius * SCALE, fill=fill,
                                    outline=outline, width=round(width * SCALE))

    def polygon(self, points, fill):
        self.draw.polygon([(x * SCALE, y * SCALE) for x, y in points], fill=fill)

    def line(self, points, fill, width):
        self.draw.line([(x * SCALE, y * SCALE) for x, y in points], fill=fill,
                       width=round(width * SCALE))

    def shoulders(self, cx, top, half_width, fill):
        """A person's shoulders below a head: the upper half of an upright ellipse."""
        self.draw.chord(self.box(cx - half_width, top, cx + half_width, top + 3 * half_width),
                        180, 360, fill=fill)

    def emblem(self, cx, cy, r, ring=None):
        """The house emblem: a gold ring with a play wedge, in the watermark's proportions. A
        heavier ring shrinks the wedge with the ring's opening, so the gap between them stays."""
        ring = ring or r * 0.154
        self.circle(cx, cy, r, outline=GOLD, width=ring)
        w = (r - ring) / (1 - 0.154)
        self.polygon([(cx - 0.42 * w, cy - 0.58 * w), (cx + 0.62 * w, cy),
                      (cx - 0.42 * w, cy + 0.58 * w)], GOLD)

    def sphere(self, cx, cy, r, colour):
        """A glass dome lit from the upper left: a soft diffuse fall-off and a small highlight."""
        light = (-0.45, -0.6, 0.66)
        pixels = self.canvas.load()
        big_r = r * SCALE
        for y in range(round((cy - r) * SCALE), round((cy + r) * SCALE)):
            for x in range(round((cx - r) * SCALE), round((cx + r) * SCALE)):
                nx, ny = (x + 0.5 - cx * SCALE) / big_r, (y + 0.5 - cy * SCALE) / big_r
                if nx * nx + ny * ny >= 1:
                    continue
                nz = math.sqrt(1 - nx * nx - ny * ny)
                facing = max(0.0, nx * light[0] + ny * light[1] + nz * light[2])
                lit = mix((0, 0, 0), colour, 0.55 + 0.45 * facing)
                shine = 0.85 * facing ** 24
                pixels[x, y] = mix(lit, (255, 255, 255), shine) + (255,)

    def finish(self):
        return self.canvas.reduce(SCALE)


def centred(image, cx, y, text, size, fill, bold=False):
    ImageDraw.Draw(image).text((cx, y), text, font=font(size, bold), fill=fill, anchor="mt")


def icon():
    """128: the program's icon (window and desktop): the emblem on a rounded house-blue square.
    The ring and the wedge are drawn heavy so that they still read when shrunk to 16 pixels."""
    s = Sketch(256, 256, "RGBA")
    s.rounded(8, 8, 248, 248, 52, fill=(104, 100, 210, 255))  # a rim that parts it from dark panels
    s.gradient(HOUSE, 12, 12, 244, 244, radius=48)
    s.emblem(128, 128, 92, ring=22)
    return s.finish()


def lamp(colour):
    """An on-air lamp: a dark bezel around a shaded glass dome, transparent outside."""
    s = Sketch(30, 30, "RGBA")
    s.circle(15, 15, 14.5, fill=(52, 54, 62, 255))
    s.circle(15, 15, 13.5, fill=(92, 96, 108, 255))
    s.sphere(15, 15, 12, colour)
    return s.finish()


def lamp_idle():
    """131: the main window's on-air lamp while nothing is sent: grey, unlit."""
    return lamp((150, 154, 162))


def lamp_on_air():
    """132: the on-air lamp while sending: red."""
    return lamp((235, 36, 30))


def lamp_amber():
    """133: the on-air lamp's second colour, alternating with red while sending: amber."""
    return lamp((255, 180, 10))


def maker_logo():
    """144: the maker's logo in the About box: the emblem above "Kelo", 64 x 48, opaque."""
    s = Sketch(64, 48)
    s.gradient(HOUSE, 0, 0, 64, 48)
    s.emblem(32, 16, 13, ring=2.2)
    image = s.finish()
    centred(image, 32, 32, "Kelo", 12, (255, 255, 255), bold=True)
    return image


def group_badge(shade):
    """The maker's user-group badge: two people in a gold speech bubble, 38 x 30, opaque."""
    s = Sketch(38, 30)
    s.gradient(shade, 0, 0, 38, 30)
    s.rounded(5, 3, 33, 22, 6, fill=GOLD)
    s.polygon([(9, 20), (16, 20), (8, 27)], GOLD)
    for cx in (14.5, 23.5):
        s.circle(cx, 9, 2.8, fill=INK)
        s.shoulders(cx, 13.5, 4, fill=INK)
    return s.finish()


def channel_badge(shade):
    """The maker's video-channel badge: a play wedge on a screen on its stand, 38 x 30, opaque."""
    s = Sketch(38, 30)
    s.gradient(shade, 0, 0, 38, 30)
    s.polygon([(16, 22), (22, 22), (24, 27), (14, 27)], (200, 206, 230))
    s.rounded(4, 3, 34, 23, 3, fill=(220, 226, 250))
    s.rounded(6, 5, 32, 21, 1.5, fill=INK)
    s.polygon([(15.5, 8), (24.5, 13), (15.5, 18)], GOLD)
    return s.finish()


def group_badge_main():
    """145: the main window's badge of the maker's user group on a social network."""
    return group_badge(HOUSE)


def channel_badge_main():
    """147: the main window's badge of the maker's video channel."""
    return channel_badge(HOUSE)


def group_badge_support():
    """195: the support dialog's copy of the user-group badge, in the support dialog's shade."""
    return group_badge(SUPPORT)


def channel_badge_support():
    """196: the support dialog's copy of the video-channel badge, in the same shade as 195."""
    return channel_badge(SUPPORT)


PRODUCTS = (
    ("Kelo Vantor for NDI", "Your station logo as a network video source, over any programme."),
    ("Kelo Caption", "Lower thirds and name captions, typed live or played from a list."),
    ("Kelo Clock", "Studio clocks and countdowns, sent to every screen in the building."),
)


def caption_glyph(s, cx, cy):
    """A screen with a gold lower third: the caption product."""
    s.rounded(cx - 17, cy - 12, cx + 17, cy + 12, 3, outline=(220, 226, 250), width=2.5)
    s.rounded(cx - 12, cy + 1, cx + 12, cy + 8, 1.5, fill=GOLD)


def clock_glyph(s, cx, cy):
    """A clock face at ten past ten: the clock product."""
    s.circle(cx, cy, 15, outline=GOLD, width=2.5)
    s.line([(cx, cy), (cx - 5, cy - 6)], (255, 255, 255), 2.5)
    s.line([(cx, cy), (cx + 8, cy - 5)], (255, 255, 255), 2)
    s.circle(cx, cy, 2, fill=GOLD)


def store_picture():
    """190: the support dialog's picture, 640 x 360, opaque: the maker's products and the way to
    the store. The dialog shows it from (10, 10) in a 630 x 350 box, so its right and bottom
    ten pixels may be cut: nothing that matters lies there."""
    s = Sketch(640, 360)
    s.gradient(HOUSE, 0, 0, 640, 360)
    s.emblem(70, 62, 38)
    s.line([(30, 116), (610, 116)], GOLD, 1.5)
    s.emblem(58, 150, 15)
    caption_glyph(s, 58, 204)
    clock_glyph(s, 58, 258)
    s.rounded(24, 294, 616, 336, 10, fill=GOLD)
    image = s.finish()
    draw = ImageDraw.Draw(image)
    draw.text((126, 30), "Kelo Vantor", font=font(44, bold=True), fill=(255, 255, 255))
    draw.text((128, 82), "Live station logos for every studio", font=font(17), fill=(220, 226, 255))
    for row, (name, blurb) in enumerate(PRODUCTS):
        y = 136 + 54 * row
        draw.text((96, y), name, font=font(19, bold=True), fill=GOLD)
        draw.text((96, y + 25), blurb, font=font(14), fill=(230, 236, 255))
    centred(image, 320, 304, "Support development: visit the Kelo store", 20, INK, bold=True)
    return image


PICTURES = {
    128: icon,
    131: lamp_idle,
    132: lamp_on_air,
    133: lamp_amber,
    144: maker_logo,
    145: group_badge_main,
    147: channel_badge_main,
    190: store_picture,
    195: group_badge_support,
    196: channel_badge_support,
}


def main(folder):
    for picture_id, make in PICTURES.items():
        make().save(Path(folder) / f"{picture_id}.png", optimize=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "bitmaps")
