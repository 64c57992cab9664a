#!/usr/bin/python3
"""Makes bitmap 148, the splash the Overlay setup dialog's preview box shows when it opens:
480 x 270 (16:9), opaque. Needs python3-pil and fonts-dejavu-core."""
import sys
from PIL import Image, ImageDraw, ImageFont

W, H = 480, 270
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
BOOK = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
GOLD = (255, 196, 40)


def centred(draw, y, text, font, fill):
    left, _, right, _ = draw.textbbox((0, 0), text, font=font)
    draw.text(((W - (right - left)) // 2, y), text, font=font, fill=fill)


def main(out):
    img = Image.new("RGB", (W, H))
    draw = ImageDraw.Draw(img)
    for y in range(H):  # the watermark's deep blue to violet
        t = y / (H - 1)
        draw.line([(0, y), (W, y)], fill=(int(20 + 40 * t), int(30 + 10 * t), int(90 + 60 * t)))
    # A transparency checkerboard in the four corners hints at what the logo is sent over.
    for cx, cy in ((0, 0), (W - 64, 0), (0, H - 64), (W - 64, H - 64)):
        for i in range(4):
            for j in range(4):
                shade = (70, 70, 90) if (i + j) % 2 else (40, 40, 60)
                draw.rectangle([cx + 16 * i, cy + 16 * j, cx + 16 * i + 15, cy + 16 * j + 15], fill=shade)
    cx, cy, r = W // 2, 92, 48
    draw.ellipse([cx - r, cy - r, cx + r, cy + r], outline=GOLD, width=7)
    draw.polygon([(cx - 20, cy - 28), (cx + 30, cy), (cx - 20, cy + 28)], fill=GOLD)
    centred(draw, 152, "Kelo Vantor", ImageFont.truetype(BOLD, 40), (255, 255, 255))
    centred(draw, 204, "Load a logo, pick a corner, press Play", ImageFont.truetype(BOOK, 17),
            (220, 226, 255))
    img.save(out, optimize=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "bitmaps/148.png")
