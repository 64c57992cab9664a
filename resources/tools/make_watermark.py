#!/usr/bin/python3
"""Makes bitmap 139, the house watermark: 480 x 184, straight alpha, opaque in the middle and
fading to transparent at its four edges. Needs python3-pil and fonts-dejavu-core."""
import sys
from PIL import Image, ImageDraw, ImageFont

W, H, FADE = 480, 184, 28
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
BOOK = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def edge_alpha(x, y):
    d = min(x, y, W - 1 - x, H - 1 - y)
    return 255 if d >= FADE else round(255 * d / FADE)


def main(out):
    img = Image.new("RGB", (W, H))
    draw = ImageDraw.Draw(img)
    for y in range(H):  # deep blue to violet, top to bottom
        t = y / (H - 1)
        draw.line([(0, y), (W, y)], fill=(int(20 + 40 * t), int(30 + 10 * t), int(90 + 60 * t)))
    # Emblem: a ring with a play wedge, the "V" of Vantor inside.
    cx, cy, r = 92, 92, 52
    draw.ellipse([cx - r, cy - r, cx + r, cy + r], outline=(255, 196, 40), width=8)
    draw.polygon([(cx - 22, cy - 30), (cx + 32, cy), (cx - 22, cy + 30)], fill=(255, 196, 40))
    draw.text((170, 44), "Kelo", font=ImageFont.truetype(BOOK, 40), fill=(230, 236, 255))
    draw.text((168, 88), "Vantor", font=ImageFont.truetype(BOLD, 54), fill=(255, 255, 255))
    alpha = Image.new("L", (W, H))
    alpha.putdata([edge_alpha(x, y) for y in range(H) for x in range(W)])
    img.putalpha(alpha)
    img.save(out, optimize=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "bitmaps/139.png")
