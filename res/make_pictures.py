#!/usr/bin/env python3
"""Turn the program's text pictures into .bmp, .ico and .cur files.

Every picture is kept as a text file so that a diff shows what changed:

    # what the picture shows (comment lines start with '#')
    kind icon                  bitmap, icon or cursor
    hotspot 7 8                cursors only: x and y of the hot spot

    image 32x32 16             width x height, then 16 or 2 colours
    <one row of palette letters per pixel row, top row first>

The palette file gives the letters: one line per colour, "letter RRGGBB name",
sixteen colours in the order they take in a 16-colour bitmap, and one line
"letter transparent" for the see-through pixels of icons and cursors.

usage: make_pictures.py --palette FILE --out DIR SOURCE...

Each SOURCE becomes DIR/<its name><.bmp|.ico|.cur>. Any fault in a source is
reported as "file:line: message" and ends the run with exit status 1 before
anything of that source is written.
"""

import argparse
import os
import struct
import sys

KINDS = {"bitmap": ".bmp", "icon": ".ico", "cursor": ".cur"}

# The two colours of a monochrome image, as its palette indices 0 and 1.
MONO_COLOURS = ((0, 0, 0), (255, 255, 255))

# Icon and cursor images must fit in the one-byte sizes of the directory entry.
MAX_ICON_SIDE = 255


class PictureError(Exception):
    """A fault in a palette or picture source, with the place it was found."""

    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: {message}" if line else f"{path}: {message}")


class Palette:
    """The sixteen letters with their colours, and the transparent letter."""

    def __init__(self, colours, transparent, mono):
        self.colours = colours          # list of (letter, (r, g, b)), index order
        self.index = {letter: i for i, (letter, _) in enumerate(colours)}
        self.transparent = transparent  # letter, or None
        self.mono = mono                # {letter: 0 or 1} for 2-colour images


def read_palette(path):
    colours = []
    transparent = None
    mono = {}
    with open(path, encoding="ascii") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            fields = line.split()
            letter = fields[0]
            if len(letter) != 1 or letter.isspace():
                raise PictureError(path, number, f"palette letter must be one character, not {letter!r}")
            if any(letter == known for known, _ in colours) or letter == transparent:
                raise PictureError(path, number, f"letter {letter!r} is given twice")
            if len(fields) < 2:
                raise PictureError(path, number, "a palette line needs a colour after the letter")
            if fields[1] == "transparent":
                if transparent is not None:
                    raise PictureError(path, number, "only one letter can be transparent")
                transparent = letter
                continue
            value = fields[1]
            if len(value) != 6 or any(c not in "0123456789abcdefABCDEF" for c in value):
                raise PictureError(path, number, f"colour must be six hex digits RRGGBB, not {value!r}")
            rgb = (int(value[0:2], 16), int(value[2:4], 16), int(value[4:6], 16))
            if rgb in MONO_COLOURS:
                mono[letter] = MONO_COLOURS.index(rgb)
            colours.append((letter, rgb))
    if len(colours) != 16:
        raise PictureError(path, 0, f"palette must list 16 colours, it lists {len(colours)}")
    if sorted(mono.values()) != [0, 1]:
        raise PictureError(path, 0, "palette must hold black 000000 and white FFFFFF once each")
    return Palette(colours, transparent, mono)


class Image:
    def __init__(self, width, height, depth, rows, line):
        self.width = width
        self.height = height
        self.depth = depth      # 16 or 2 colours
        self.rows = rows        # list of strings, top row first
        self.line = line        # line of the "image" header, for messages


class Picture:
    def __init__(self, name, kind, hotspot, images):
        self.name = name
        self.kind = kind
        self.hotspot = hotspot  # (x, y) for cursors, else None
        self.images = images


def parse_size(path, number, text):
    parts = text.lower().split("x")
    if len(parts) != 2 or not all(p.isdigit() for p in parts):
        raise PictureError(path, number, f"image size must read WIDTHxHEIGHT, not {text!r}")
    width, height = int(parts[0]), int(parts[1])
    if width == 0 or height == 0:
        raise PictureError(path, number, "image size must not be zero")
    return width, height


def read_picture(path, palette):
    name = os.path.splitext(os.path.basename(path))[0]
    kind = None
    hotspot = None
    images = []
    with open(path, encoding="ascii") as f:
        lines = [raw.rstrip("\r\n") for raw in f]

    number = 0
    while number < len(lines):
        line = lines[number]
        number += 1
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        fields = stripped.split()
        keyword = fields[0]
        if keyword == "kind":
            if len(fields) != 2 or fields[1] not in KINDS:
                raise PictureError(path, number, f"kind must be one of {', '.join(KINDS)}")
            if kind is not None:
                raise PictureError(path, number, "kind is given twice")
            kind = fields[1]
        elif keyword == "hotspot":
            if hotspot is not None:
                raise PictureError(path, number, "hotspot is given twice")
            if len(fields) != 3 or not fields[1].isdigit() or not fields[2].isdigit():
                raise PictureError(path, number, "hotspot must read 'hotspot X Y'")
            hotspot = (int(fields[1]), int(fields[2]))
        elif keyword == "image":
            if len(fields) != 3 or fields[2] not in ("16", "2"):
                raise PictureError(path, number, "image must read 'image WIDTHxHEIGHT 16' or '... 2'")
            width, height = parse_size(path, number, fields[1])
            depth = int(fields[2])
            header_line = number
            rows = []
            while len(rows) < height and number < len(lines) and not ends_grid(lines[number]):
                rows.append(lines[number])
                number += 1
            if len(rows) < height:
                raise PictureError(path, header_line,
                                   f"image is declared {height} rows high but has {len(rows)}")
            # A further grid row right after the image means the declared height is too small.
            if number < len(lines) and not ends_grid(lines[number]):
                raise PictureError(path, number + 1, f"image has more than the declared {height} rows")
            for offset, row in enumerate(rows):
                check_row(path, header_line + 1 + offset, row, width, depth, palette)
            images.append(Image(width, height, depth, rows, header_line))
        else:
            raise PictureError(path, number, f"unknown line {stripped!r}; expected kind, hotspot or image")

    if kind is None:
        raise PictureError(path, 0, "no 'kind' line")
    check_picture(path, kind, hotspot, images, palette)
    return Picture(name, kind, hotspot, images)


def ends_grid(line):
    """A blank line, a comment or the next header line closes an image's rows."""
    stripped = line.strip()
    return not stripped or stripped.startswith("#") or stripped.split()[0] in ("kind", "hotspot", "image")


def check_row(path, number, row, width, depth, palette):
    if len(row) != width:
        raise PictureError(path, number, f"row has {len(row)} pixels, the image is {width} wide")
    for column, letter in enumerate(row):
        if letter == palette.transparent:
            continue
        if letter not in palette.index:
            raise PictureError(path, number, f"unknown letter {letter!r} in column {column + 1}")
        if depth == 2 and letter not in palette.mono:
            raise PictureError(path, number,
                               f"letter {letter!r} in column {column + 1} is not black, white or "
                               f"transparent, which is all a 2-colour image holds")


def check_picture(path, kind, hotspot, images, palette):
    if not images:
        raise PictureError(path, 0, "no image")
    if kind != "cursor" and hotspot is not None:
        raise PictureError(path, 0, "only a cursor has a hot spot")
    if kind == "bitmap":
        if len(images) != 1:
            raise PictureError(path, images[1].line, "a bitmap holds exactly one image")
        image = images[0]
        if image.depth != 16:
            raise PictureError(path, image.line, "a bitmap is drawn in 16 colours")
        for offset, row in enumerate(image.rows):
            column = row.find(palette.transparent) if palette.transparent else -1
            if column >= 0:
                raise PictureError(path, image.line + 1 + offset,
                                   f"a bitmap has no transparency (column {column + 1})")
        return
    seen = set()
    for image in images:
        if image.width > MAX_ICON_SIDE or image.height > MAX_ICON_SIDE:
            raise PictureError(path, image.line, f"icon and cursor images are at most {MAX_ICON_SIDE} pixels a side")
        key = (image.width, image.height, image.depth)
        if key in seen:
            raise PictureError(path, image.line, "the same size and colour depth is given twice")
        seen.add(key)
    if kind == "cursor":
        if len(images) != 1:
            raise PictureError(path, images[1].line, "a cursor holds exactly one image")
        image = images[0]
        if image.depth != 2:
            raise PictureError(path, image.line, "a cursor is drawn in 2 colours")
        if hotspot is None:
            raise PictureError(path, 0, "a cursor needs a 'hotspot X Y' line")
        if hotspot[0] >= image.width or hotspot[1] >= image.height:
            raise PictureError(path, 0, f"hot spot {hotspot} lies outside the {image.width}x{image.height} image")


# --- Writing ---------------------------------------------------------------

def stride(width, bits):
    """Bytes in one DIB row: the pixels' bits rounded up to whole 32-bit words."""
    return (width * bits + 31) // 32 * 4


def pack_rows(rows, bits, pixel_value):
    """DIB pixel data of rows (top row first), stored bottom-up as a DIB wants it."""
    out = bytearray()
    width = len(rows[0])
    for row in reversed(rows):
        packed = bytearray(stride(width, bits))
        for x, letter in enumerate(row):
            value = pixel_value(letter)
            bit = x * bits
            shift = 8 - bits - bit % 8
            packed[bit // 8] |= value << shift
        out += packed
    return bytes(out)


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)


def info_header(width, height, bits, image_size, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, colours_used, 0)


def dib_colours(image, palette):
    """The palette of one image's DIB and the letter-to-index mapping for its pixels.

    Transparent pixels take index 0; the mask decides what shows there."""
    if image.depth == 16:
        return [rgb for _, rgb in palette.colours], lambda letter: palette.index.get(letter, 0)
    return list(MONO_COLOURS), lambda letter: palette.mono.get(letter, 0)


def make_bitmap(picture, palette):
    image = picture.images[0]
    colours, value = dib_colours(image, palette)
    pixels = pack_rows(image.rows, 4, value)
    offset = 14 + 40 + 4 * len(colours)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return (file_header + info_header(image.width, image.height, 4, len(pixels), len(colours))
            + palette_bytes(colours) + pixels)


def icon_image(image, palette):
    """One icon or cursor image: a DIB of doubled height, colour bits, then the AND mask."""
    bits = 4 if image.depth == 16 else 1
    colours, value = dib_colours(image, palette)
    # Transparent pixels are colour 0 in the colour bits and set in the mask.
    xor = pack_rows(image.rows, bits, value)
    mask = pack_rows(image.rows, 1, lambda letter: 1 if letter == palette.transparent else 0)
    header = info_header(image.width, image.height * 2, bits, len(xor) + len(mask), 0)
    return header + palette_bytes(colours) + xor + mask


def make_icon_file(picture, palette):
    resource_type = 2 if picture.kind == "cursor" else 1
    images = [icon_image(image, palette) for image in picture.images]
    directory = struct.pack("<HHH", 0, resource_type, len(images))
    offset = 6 + 16 * len(images)
    for image, data in zip(picture.images, images):
        colour_count = 16 if image.depth == 16 else 2
        if picture.kind == "cursor":
            # A cursor's entry carries the hot spot where an icon's has planes and bit count.
            middle = struct.pack("<HH", *picture.hotspot)
        else:
            middle = struct.pack("<HH", 1, 4 if image.depth == 16 else 1)
        directory += (struct.pack("<BBBB", image.width, image.height, colour_count, 0) + middle
                      + struct.pack("<II", len(data), offset))
        offset += len(data)
    return directory + b"".join(images)


def render(picture, palette):
    if picture.kind == "bitmap":
        return make_bitmap(picture, palette)
    return make_icon_file(picture, palette)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Turn text pictures into .bmp, .ico and .cur files.")
    parser.add_argument("--palette", required=True, help="the palette file with the letters")
    parser.add_argument("--out", required=True, help="folder that receives the files")
    parser.add_argument("sources", nargs="+", help="picture sources")
    args = parser.parse_args(argv)

    try:
        palette = read_palette(args.palette)
        # Read every source before writing anything, so a fault leaves no partial set behind.
        pictures = [read_picture(path, palette) for path in args.sources]
        names = {}
        for path, picture in zip(args.sources, pictures):
            target = picture.name + KINDS[picture.kind]
            if target in names:
                raise PictureError(path, 0, f"{target} is also made from {names[target]}")
            names[target] = path
    except (PictureError, OSError, UnicodeDecodeError) as error:
        print(f"{parser.prog}: error: {error}", file=sys.stderr)
        return 1

    os.makedirs(args.out, exist_ok=True)
    for picture in pictures:
        data = render(picture, palette)
        target = os.path.join(args.out, picture.name + KINDS[picture.kind])
        with open(target + ".tmp", "wb") as f:
            f.write(data)
        os.replace(target + ".tmp", target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
