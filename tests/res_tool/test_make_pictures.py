#!/usr/bin/env python3
"""Tests of res/make_pictures.py, the tool that turns text pictures into
.bmp, .ico and .cur files.

The files it writes are read back here with a reader of their own, so a
fault in the tool's headers, palette, row order, padding or mask shows up as
a mismatch rather than being repeated by the test."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

RES_DIR = Path(__file__).resolve().parents[2] / "res"
TOOL = RES_DIR / "make_pictures.py"
PALETTE = RES_DIR / "pictures" / "palette.txt"

# The palette's colours by letter, as the program's pictures use them.
BLACK, DARK_RED, LIGHT_GREY, DARK_GREY, RED, YELLOW, WHITE = (
    (0, 0, 0), (0x80, 0, 0), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80), (0xFF, 0, 0), (0xFF, 0xFF, 0), (0xFF, 0xFF, 0xFF))


# --- An independent reader of the three formats ------------------------------

class Dib:
    """A device-independent bitmap as stored in a .bmp, .ico or .cur."""

    def __init__(self, data, offset, in_icon):
        (self.header_size, self.width, self.stored_height, self.planes, self.bits, self.compression,
         self.image_size, _, _, self.colours_used, _) = struct.unpack_from("<IiiHHIIiiII", data, offset)
        self.height = self.stored_height // 2 if in_icon else self.stored_height
        palette_entries = self.colours_used or (1 << self.bits)
        start = offset + self.header_size
        self.palette = [tuple(reversed(data[start + 4 * i:start + 4 * i + 3])) for i in range(palette_entries)]
        self.palette_reserved = [data[start + 4 * i + 3] for i in range(palette_entries)]
        self.pixels_at = start + 4 * palette_entries
        self.data = data
        self.stride = (self.width * self.bits + 31) // 32 * 4
        self.mask_stride = (self.width + 31) // 32 * 4
        self.mask_at = self.pixels_at + self.stride * self.height
        self.end = self.mask_at + (self.mask_stride * self.height if in_icon else 0)

    def index(self, x, y):
        """Palette index of pixel (x, y), y counted from the top."""
        row = self.pixels_at + (self.height - 1 - y) * self.stride
        bit = x * self.bits
        byte = self.data[row + bit // 8]
        return (byte >> (8 - self.bits - bit % 8)) & ((1 << self.bits) - 1)

    def colour(self, x, y):
        return self.palette[self.index(x, y)]

    def mask(self, x, y):
        row = self.mask_at + (self.height - 1 - y) * self.mask_stride
        return (self.data[row + x // 8] >> (7 - x % 8)) & 1


def read_bmp(data):
    magic, file_size, reserved1, reserved2, offset = struct.unpack_from("<2sIHHI", data, 0)
    dib = Dib(data, 14, in_icon=False)
    return {"magic": magic, "file_size": file_size, "reserved": (reserved1, reserved2),
            "offset": offset, "dib": dib}


def read_icon_file(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        width, height, colours, pad, word1, word2, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        entries.append({"width": width, "height": height, "colours": colours, "pad": pad,
                        "word1": word1, "word2": word2, "size": size, "offset": offset,
                        "dib": Dib(data, offset, in_icon=True)})
    return {"reserved": reserved, "type": kind, "entries": entries}


# --- Running the tool ---------------------------------------------------------

class ToolCase(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.dir = Path(self.scratch.name)
        self.out = self.dir / "out"

    def tearDown(self):
        self.scratch.cleanup()

    def source(self, name, text):
        path = self.dir / f"{name}.txt"
        path.write_text(text)
        return path

    def run_tool(self, *sources, palette=PALETTE):
        return subprocess.run([sys.executable, str(TOOL), "--palette", str(palette), "--out", str(self.out),
                               *map(str, sources)], capture_output=True, text=True)

    def make(self, name, text, extension):
        result = self.run_tool(self.source(name, text))
        self.assertEqual(result.returncode, 0, result.stderr)
        return (self.out / (name + extension)).read_bytes()

    def assert_rejected(self, text, *fragments):
        """The tool fails on text with a message holding every fragment, and writes nothing."""
        good = self.source("good", "kind bitmap\nimage 2x1 16\nkW\n")
        bad = self.source("bad", text)
        result = self.run_tool(good, bad)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("error", result.stderr)
        for fragment in fragments:
            self.assertIn(fragment, result.stderr)
        self.assertFalse((self.out / "good.bmp").exists(), "a failed run must not leave part of its output")
        return result.stderr


class BitmapTests(ToolCase):
    # Five pixels a row at 4 bits need 3 bytes, padded to 4.
    SOURCE = "# test\nkind bitmap\n\nimage 5x3 16\nkrsdR\nYWkkk\nWWWWr\n"

    def test_headers_describe_the_file(self):
        data = self.make("pic", self.SOURCE, ".bmp")
        bmp = read_bmp(data)
        dib = bmp["dib"]
        self.assertEqual(bmp["magic"], b"BM")
        self.assertEqual(bmp["file_size"], len(data))
        self.assertEqual(bmp["reserved"], (0, 0))
        self.assertEqual(bmp["offset"], 14 + 40 + 16 * 4)
        self.assertEqual(bmp["offset"], dib.pixels_at)
        self.assertEqual((dib.header_size, dib.width, dib.stored_height), (40, 5, 3))
        self.assertEqual((dib.planes, dib.bits, dib.compression), (1, 4, 0))
        self.assertEqual(dib.stride, 4)
        self.assertEqual(dib.image_size, 4 * 3)
        self.assertEqual(len(data), dib.pixels_at + 4 * 3)

    def test_palette_is_the_sixteen_colours_in_order(self):
        dib = read_bmp(self.make("pic", self.SOURCE, ".bmp"))["dib"]
        self.assertEqual(len(dib.palette), 16)
        self.assertEqual(dib.palette[0], BLACK)
        self.assertEqual(dib.palette[1], DARK_RED)
        self.assertEqual(dib.palette[7], LIGHT_GREY)
        self.assertEqual(dib.palette[8], DARK_GREY)
        self.assertEqual(dib.palette[15], WHITE)
        self.assertEqual(dib.palette_reserved, [0] * 16)

    def test_pixels_are_stored_bottom_up_left_pixel_in_high_nibble(self):
        dib = read_bmp(self.make("pic", self.SOURCE, ".bmp"))["dib"]
        expected = [[BLACK, DARK_RED, LIGHT_GREY, DARK_GREY, RED],
                    [YELLOW, WHITE, BLACK, BLACK, BLACK],
                    [WHITE, WHITE, WHITE, WHITE, DARK_RED]]
        self.assertEqual([[dib.colour(x, y) for x in range(5)] for y in range(3)], expected)
        # The file's first pixel row is the picture's bottom row.
        self.assertEqual(dib.data[dib.pixels_at], 0xFF)
        self.assertEqual(dib.data[dib.pixels_at + 3], 0, "padding bytes must be zero")

    def test_transparency_is_refused(self):
        self.assert_rejected("kind bitmap\nimage 2x2 16\nkk\nk.\n", "bad.txt:4:", "transparency")

    def test_two_colour_bitmap_is_refused(self):
        self.assert_rejected("kind bitmap\nimage 2x1 2\nkW\n", "bad.txt:2:", "16 colours")


class IconTests(ToolCase):
    def test_directory_lists_each_image(self):
        big = "\n".join(["R" * 32] * 32)
        small = "\n".join(["k" * 16] * 16)
        data = self.make("pic", f"kind icon\nimage 32x32 16\n{big}\n\nimage 16x16 16\n{small}\n", ".ico")
        icon = read_icon_file(data)
        self.assertEqual((icon["reserved"], icon["type"]), (0, 1))
        self.assertEqual([(e["width"], e["height"]) for e in icon["entries"]], [(32, 32), (16, 16)])
        offset = 6 + 16 * 2
        for entry in icon["entries"]:
            dib = entry["dib"]
            self.assertEqual((entry["colours"], entry["pad"], entry["word1"], entry["word2"]), (16, 0, 1, 4))
            self.assertEqual(entry["offset"], offset, "images must follow the directory back to back")
            self.assertEqual(dib.end - entry["offset"], entry["size"])
            self.assertEqual((dib.width, dib.stored_height), (entry["width"], 2 * entry["height"]))
            self.assertEqual((dib.planes, dib.bits, dib.compression), (1, 4, 0))
            self.assertEqual(dib.image_size, dib.stride * dib.height + dib.mask_stride * dib.height)
            offset += entry["size"]
        self.assertEqual(offset, len(data))
        self.assertEqual(icon["entries"][0]["dib"].colour(31, 31), RED)
        self.assertEqual(icon["entries"][1]["dib"].colour(0, 0), BLACK)

    def test_transparent_letter_sets_the_mask_and_clears_the_colour(self):
        # Three pixels a row: mask rows are padded to 4 bytes, colour rows too.
        data = self.make("pic", "kind icon\nimage 3x2 16\n.YW\nr..\n", ".ico")
        dib = read_icon_file(data)["entries"][0]["dib"]
        masks = [[dib.mask(x, y) for x in range(3)] for y in range(2)]
        self.assertEqual(masks, [[1, 0, 0], [0, 1, 1]])
        self.assertEqual([dib.index(0, 0), dib.index(1, 1), dib.index(2, 1)], [0, 0, 0])
        self.assertEqual([dib.colour(1, 0), dib.colour(2, 0), dib.colour(0, 1)], [YELLOW, WHITE, DARK_RED])
        self.assertEqual(dib.mask_stride, 4)
        # Unused mask bits stay clear, so nothing beyond the image turns transparent.
        self.assertEqual(dib.data[dib.mask_at + 1:dib.mask_at + 4], b"\0\0\0")

    def test_two_colour_image_is_one_bit_black_and_white(self):
        data = self.make("pic", "kind icon\nimage 32x32 16\n" + "\n".join(["s" * 32] * 32)
                         + "\nimage 32x32 2\n" + "kW." + "k" * 29 + "\n" + "\n".join(["W" * 32] * 31) + "\n", ".ico")
        entries = read_icon_file(data)["entries"]
        mono = entries[1]
        dib = mono["dib"]
        self.assertEqual((mono["colours"], mono["word1"], mono["word2"]), (2, 1, 1))
        self.assertEqual(dib.bits, 1)
        self.assertEqual(dib.palette, [BLACK, WHITE])
        self.assertEqual([dib.index(x, 0) for x in range(3)], [0, 1, 0])
        self.assertEqual([dib.mask(x, 0) for x in range(3)], [0, 0, 1])
        self.assertEqual(dib.index(5, 5), 1)
        self.assertEqual(entries[0]["dib"].colour(5, 5), LIGHT_GREY)

    def test_colour_in_a_two_colour_image_is_refused(self):
        self.assert_rejected("kind icon\nimage 2x2 2\nkW\nRk\n", "bad.txt:4:", "'R'", "column 1")

    def test_same_size_and_depth_twice_is_refused(self):
        self.assert_rejected("kind icon\nimage 1x1 16\nk\nimage 1x1 16\nW\n", "bad.txt:4:")

    def test_oversized_icon_is_refused(self):
        rows = "\n".join(["k" * 256] * 2)
        self.assert_rejected(f"kind icon\nimage 256x2 16\n{rows}\n", "bad.txt:2:", "255")


class CursorTests(ToolCase):
    def test_cursor_entry_carries_the_hot_spot(self):
        rows = ["." * 32] * 32
        rows[8] = "." * 6 + "kWk" + "." * 23
        data = self.make("pic", "kind cursor\nhotspot 7 8\nimage 32x32 2\n" + "\n".join(rows) + "\n", ".cur")
        cursor = read_icon_file(data)
        self.assertEqual((cursor["reserved"], cursor["type"]), (0, 2))
        self.assertEqual(len(cursor["entries"]), 1)
        entry = cursor["entries"][0]
        self.assertEqual((entry["width"], entry["height"]), (32, 32))
        self.assertEqual((entry["word1"], entry["word2"]), (7, 8))
        dib = entry["dib"]
        self.assertEqual((dib.bits, dib.stored_height), (1, 64))
        self.assertEqual(dib.end - entry["offset"], entry["size"])
        self.assertEqual(entry["offset"] + entry["size"], len(data))
        self.assertEqual([dib.index(x, 8) for x in (6, 7, 8)], [0, 1, 0])
        self.assertEqual([dib.mask(x, 8) for x in (5, 6, 7, 8, 9)], [1, 0, 0, 0, 1])

    def test_cursor_without_hot_spot_is_refused(self):
        self.assert_rejected("kind cursor\nimage 2x2 2\nkW\nWk\n", "hotspot")

    def test_hot_spot_outside_the_image_is_refused(self):
        self.assert_rejected("kind cursor\nhotspot 2 0\nimage 2x2 2\nkW\nWk\n", "outside")

    def test_hot_spot_on_an_icon_is_refused(self):
        self.assert_rejected("kind icon\nhotspot 0 0\nimage 2x2 16\nkW\nWk\n", "hot spot")


class MalformedGridTests(ToolCase):
    def test_short_row(self):
        self.assert_rejected("kind bitmap\nimage 4x3 16\nkkkk\nkkk\nkkkk\n", "bad.txt:4:", "3 pixels", "4 wide")

    def test_long_row(self):
        self.assert_rejected("kind bitmap\nimage 4x2 16\nkkkk\nkkkkk\n", "bad.txt:4:", "5 pixels")

    def test_unknown_letter(self):
        self.assert_rejected("kind bitmap\nimage 4x2 16\nkkkk\nkkQk\n", "bad.txt:4:", "'Q'", "column 3")

    def test_too_few_rows(self):
        self.assert_rejected("kind bitmap\nimage 2x3 16\nkk\nkk\n", "bad.txt:2:", "3 rows", "has 2")

    def test_too_few_rows_before_the_next_image(self):
        self.assert_rejected("kind icon\nimage 2x3 16\nkk\nkk\nimage 1x1 16\nk\n", "bad.txt:2:", "has 2")

    def test_too_many_rows(self):
        self.assert_rejected("kind bitmap\nimage 2x2 16\nkk\nkk\nkk\n", "bad.txt:5:", "more than")

    def test_bad_size(self):
        self.assert_rejected("kind bitmap\nimage 16by16 16\n", "bad.txt:2:", "WIDTHxHEIGHT")
        self.assert_rejected("kind bitmap\nimage 0x1 16\n\n", "bad.txt:2:", "zero")

    def test_bad_header_lines(self):
        self.assert_rejected("kind picture\nimage 1x1 16\nk\n", "bad.txt:1:", "kind")
        self.assert_rejected("image 1x1 16\nk\n", "no 'kind'")
        self.assert_rejected("kind bitmap\nsize 1 1\n", "bad.txt:2:", "unknown line")
        self.assert_rejected("kind bitmap\nimage 1x1 256\nk\n", "bad.txt:2:")
        self.assert_rejected("kind bitmap\n", "no image")

    def test_two_sources_for_one_file(self):
        first = self.source("same", "kind bitmap\nimage 1x1 16\nk\n")
        other = self.dir / "sub"
        other.mkdir()
        second = other / "same.txt"
        second.write_text("kind bitmap\nimage 1x1 16\nW\n")
        result = self.run_tool(first, second)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("same.bmp", result.stderr)

    def test_bad_palette(self):
        lines = PALETTE.read_text().splitlines()
        short = self.dir / "short.txt"
        short.write_text("\n".join(line for line in lines if not line.startswith("W ")) + "\n")
        result = self.run_tool(self.source("pic", "kind bitmap\nimage 1x1 16\nk\n"), palette=short)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("16 colours", result.stderr)
        self.assertFalse(self.out.exists() and any(self.out.iterdir()))


class ShippedPictureTests(ToolCase):
    """The program's own pictures come out at the sizes and depths it loads them at."""

    TYPE_ICONS = ["object_unk", "object_key", "object_port", "object_device", "object_event", "object_symlink",
                  "object_section", "object_driver", "object_dir", "object_mutant", "object_windowstation",
                  "object_semaphore", "object_timer"]

    @classmethod
    def setUpClass(cls):
        cls.shipped = tempfile.TemporaryDirectory()
        sources = sorted(str(p) for p in (RES_DIR / "pictures").glob("*.txt") if p.name != PALETTE.name)
        result = subprocess.run([sys.executable, str(TOOL), "--palette", str(PALETTE), "--out", cls.shipped.name,
                                 *sources], capture_output=True, text=True)
        if result.returncode != 0:
            raise AssertionError(result.stderr)
        cls.files = {name: (Path(cls.shipped.name) / name).read_bytes() for name in os.listdir(cls.shipped.name)}

    @classmethod
    def tearDownClass(cls):
        cls.shipped.cleanup()

    def images(self, name):
        return sorted((e["width"], e["height"], e["dib"].bits) for e in read_icon_file(self.files[name])["entries"])

    def test_tree_bitmaps(self):
        for name in ("directory.bmp", "sel_directory.bmp"):
            dib = read_bmp(self.files[name])["dib"]
            self.assertEqual((dib.width, dib.height, dib.bits), (16, 16, 4), name)

    def test_toolbar_strip(self):
        dib = read_bmp(self.files["toolbar.bmp"])["dib"]
        self.assertEqual((dib.width, dib.height, dib.bits), (112, 21, 4))
        # Below the seven images the strip is plain background.
        self.assertEqual({dib.colour(x, y) for x in range(112) for y in range(16, 21)}, {LIGHT_GREY})

    def test_type_icons_have_both_sizes(self):
        for name in self.TYPE_ICONS:
            self.assertEqual(self.images(name + ".ico"), [(16, 16, 4), (32, 32, 4)], name)

    def test_program_icon(self):
        self.assertEqual(self.images("app.ico"), [(32, 32, 4)])

    def test_computer_in_sixteen_and_two_colours(self):
        self.assertEqual(self.images("computer.ico"), [(32, 32, 1), (32, 32, 4)])

    def test_splitter_cursor(self):
        cursor = read_icon_file(self.files["split.cur"])
        self.assertEqual(cursor["type"], 2)
        [entry] = cursor["entries"]
        self.assertEqual((entry["width"], entry["height"], entry["dib"].bits), (32, 32, 1))
        self.assertEqual((entry["word1"], entry["word2"]), (7, 8))

    def test_nothing_else_is_made(self):
        expected = {"directory.bmp", "sel_directory.bmp", "toolbar.bmp", "app.ico", "computer.ico", "split.cur"}
        expected |= {name + ".ico" for name in self.TYPE_ICONS}
        self.assertEqual(set(self.files), expected)


if __name__ == "__main__":
    unittest.main()
