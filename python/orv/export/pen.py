"""Text and shapes on a frame picture: the colours, Pillow's bundled font, and text made safe
to draw.

Pillow's default font has Latin letters but not every sign the narration writes, so the signs
it lacks are drawn as their ASCII spellings; any other character it lacks shows as the font's
empty box. Text from a level may hold anything: control and formatting characters are shown
as "?" and very long text is cut, so no level text can garble or slow a picture.
"""

from __future__ import annotations

import unicodedata
from collections import OrderedDict
from functools import lru_cache

from PIL import Image, ImageDraw, ImageFont

Colour = tuple[int, int, int]

INK: Colour = (34, 34, 34)
MUTED: Colour = (102, 102, 102)
PAPER: Colour = (244, 241, 234)
WHITE: Colour = (255, 255, 255)
HEADER: Colour = (45, 42, 74)
HEADER_INK: Colour = (216, 212, 255)
ZONE_BORDER: Colour = (107, 99, 150)
FROZEN_FILL: Colour = (232, 241, 251)
CHANGED: Colour = (230, 149, 0)
CHANGED_GLOW: Colour = (255, 210, 122)
SUCCESS: Colour = (47, 125, 50)
SUCCESS_FILL: Colour = (223, 243, 226)
FAILURE: Colour = (179, 38, 30)
WARNING: Colour = (160, 90, 0)
CONSUMED: Colour = (138, 138, 138)
CONSUMED_FILL: Colour = (228, 228, 228)
# Chip fill and border of a charge of each polarity, as the viewer page draws them.
POLARITY_COLOURS: dict[str, tuple[Colour, Colour]] = {
    "positive": ((227, 244, 225), (74, 155, 69)),
    "negative": ((251, 227, 225), (192, 73, 61)),
    "neutral": ((236, 236, 236), (136, 136, 136)),
}
PALETTE_COLOURS = (INK, MUTED, PAPER, WHITE, HEADER, HEADER_INK, ZONE_BORDER, FROZEN_FILL,
                   CHANGED, CHANGED_GLOW, SUCCESS, SUCCESS_FILL, FAILURE, WARNING, CONSUMED,
                   CONSUMED_FILL, *(colour for pair in POLARITY_COLOURS.values()
                                    for colour in pair))

# The narration's signs that the bundled font lacks, and how they are spelled instead.
ASCII_SIGNS = str.maketrans({"→": "->", "−": "-", "≤": "<=", "≥": ">=", "×": "x",
                             "✓": "", "…": "..."})
# Longer text is cut before it is measured: no line of a picture holds more.
LONGEST_TEXT = 300
# Rendered lines kept for reuse: agents and zone titles repeat from frame to frame.
CACHED_LINES = 4096


def drawable(text: str) -> str:
    """``text`` as it can be drawn: signs spelled in ASCII, control characters as "?"."""
    text = text[:LONGEST_TEXT].encode("utf-8", "replace").decode("utf-8")
    text = text.translate(ASCII_SIGNS)
    return "".join("?" if unicodedata.category(c) in ("Cc", "Cf", "Cs", "Zl", "Zp") else c
                   for c in text)


@lru_cache(maxsize=8)
def font(size: int) -> ImageFont.FreeTypeFont | ImageFont.ImageFont:
    return ImageFont.load_default(size=size)


class Pen:
    """Draws onto one RGB picture; each line of text is rendered once and then pasted."""

    def __init__(self, picture: Image.Image, lines: OrderedDict[tuple[str, int], Image.Image]
                 ) -> None:
        self.picture = picture
        self.draw = ImageDraw.Draw(picture)
        self._lines = lines

    def text(self, xy: tuple[int, int], text: str, size: int, colour: Colour,
             limit: int | None = None) -> int:
        """Draw ``text`` with its top left at ``xy``, cut with "..." to ``limit`` pixels;
        the width drawn."""
        mask = self._mask(fitted(drawable(text), size, limit), size)
        self.picture.paste(colour, (xy[0], xy[1], xy[0] + mask.width, xy[1] + mask.height),
                           mask)
        return mask.width

    def box(self, box: tuple[int, int, int, int], fill: Colour | None, outline: Colour | None,
            width: int = 1, radius: int = 6) -> None:
        self.draw.rounded_rectangle(box, radius=radius, fill=fill, outline=outline,
                                    width=width)

    def _mask(self, text: str, size: int) -> Image.Image:
        key = (text, size)
        mask = self._lines.get(key)
        if mask is None:
            face = font(size)
            mask = Image.new("L", (max(1, text_width(text, size)), size + size // 3 + 2), 0)
            ImageDraw.Draw(mask).text((0, 0), text, fill=255, font=face)
            self._lines[key] = mask
            if len(self._lines) > CACHED_LINES:
                self._lines.popitem(last=False)
        else:
            self._lines.move_to_end(key)
        return mask


def text_width(text: str, size: int) -> int:
    """The width of drawable ``text`` in pixels."""
    return int(font(size).getlength(text)) + 1


def fitted(text: str, size: int, limit: int | None) -> str:
    """``text``, or its longest start that fits ``limit`` pixels with "..." after it."""
    if limit is None or text_width(text, size) <= limit:
        return text
    low, high = 0, len(text)
    while low < high:
        middle = (low + high + 1) // 2
        if text_width(text[:middle] + "...", size) <= limit:
            low = middle
        else:
            high = middle - 1
    return text[:low] + "..."
