#!/usr/bin/python3
"""The cell comparison of scripts/real-terminals-check.py on screenshots drawn here, with no X.

Run by `make real-terminals` before the emulators (it needs python3-numpy, which the build
does not): /usr/bin/python3 tests/real_terminals_check_test.py
"""

import tempfile
import types
import unittest
from pathlib import Path

import numpy as np

SCRIPT = Path(__file__).resolve().parent.parent / "scripts" / "real-terminals-check.py"
check = types.ModuleType("real_terminals_check")  # the script's name has hyphens: no import statement
exec(compile(SCRIPT.read_text(), str(SCRIPT), "exec"), check.__dict__)

CELL_W, CELL_H, LEFT, TOP = 6, 8, 3, 2
GRID = (LEFT, TOP, CELL_W, CELL_H)
BLUE, BROWN, WHITE = 1, 6, 15


def blank_frame(bg=BLUE):
    return [[(0x20, WHITE, bg) for _ in range(check.COLUMNS)] for _ in range(check.ROWS)]


def draw(cells):
    """The screenshot a perfect terminal would give: half blocks split, other glyphs a fg dot."""
    image = np.full((TOP + check.ROWS * CELL_H + 5, LEFT + check.COLUMNS * CELL_W + 5, 3), 77, dtype=np.uint8)
    for y, row in enumerate(cells):
        for x, (code, fg, bg) in enumerate(row):
            cell = image[TOP + y * CELL_H:TOP + (y + 1) * CELL_H, LEFT + x * CELL_W:LEFT + (x + 1) * CELL_W]
            cell[:] = check.VGA[bg]
            if code == check.FULL_BLOCK:
                cell[:] = check.VGA[fg]
            elif code in (check.UPPER_HALF, check.LOWER_HALF):
                cell[:CELL_H // 2] = check.VGA[fg if code == check.UPPER_HALF else bg]
                cell[CELL_H // 2:] = check.VGA[bg if code == check.UPPER_HALF else fg]
            elif code in (check.LEFT_HALF, check.RIGHT_HALF):
                cell[:, :CELL_W // 2] = check.VGA[fg if code == check.LEFT_HALF else bg]
                cell[:, CELL_W // 2:] = check.VGA[bg if code == check.LEFT_HALF else fg]
            elif code not in check.BLANKS:
                cell[3:5, 2:4] = check.VGA[fg]
    return image


def cell_box(image, x, y):
    return image[TOP + y * CELL_H:TOP + (y + 1) * CELL_H, LEFT + x * CELL_W:LEFT + (x + 1) * CELL_W]


class FrameCheck(unittest.TestCase):
    def test_a_right_picture_passes_with_every_rule_counted(self):
        cells = blank_frame()
        cells[0][0] = (check.UPPER_HALF, WHITE, BROWN)
        cells[0][1] = (check.RIGHT_HALF, BROWN, BLUE)
        cells[1][0] = (check.FULL_BLOCK, BROWN, BLUE)
        cells[1][1] = (0x41, WHITE, BLUE)
        result = check.check_frame(draw(cells), GRID, cells, check.VGA)
        self.assertEqual(result["wrong"], 0, result["faults"])
        self.assertEqual(result["by_rule"], {"half": 2, "one": 3997, "glyph": 1})

    def test_mirrored_half_block_in_exchanged_colours_looks_the_same(self):
        cells, mirrored = blank_frame(), blank_frame()
        cells[5][7] = (check.UPPER_HALF, WHITE, BROWN)
        mirrored[5][7] = (check.LOWER_HALF, BROWN, WHITE)
        self.assertEqual(check.check_frame(draw(mirrored), GRID, cells, check.VGA)["wrong"], 0)

    def test_wrong_pictures_are_caught_at_their_cell(self):
        cells = blank_frame()
        cells[3][4] = (check.UPPER_HALF, WHITE, BROWN)
        upside_down = [row[:] for row in cells]
        upside_down[3][4] = (check.LOWER_HALF, WHITE, BROWN)
        image = draw(cells)
        cell_box(image, 79, 49)[2:4, 2:4] = check.VGA[WHITE]  # a stray glyph in a blank cell
        cell_box(image, 10, 20)[:] = (0xCD, 0x00, 0x00)  # a theme's red for VGA's blue
        faults = {(f["x"], f["y"]) for f in check.check_frame(image, GRID, cells, check.VGA)["faults"]}
        self.assertEqual(faults, {(79, 49), (10, 20)})
        swapped = check.check_frame(draw(upside_down), GRID, cells, check.VGA)
        self.assertEqual([(f["x"], f["y"], f["rule"]) for f in swapped["faults"]], [(4, 3, "half")])

    def test_a_shade_drawn_as_a_flat_tint_is_a_mix_not_a_wrong_colour(self):
        cells = blank_frame()
        cells[0][0] = (0xB1, WHITE, BLUE)
        image = draw(cells)
        cell_box(image, 0, 0)[:] = (0x7F, 0x7F, 0xD4)  # halfway between white and blue
        result = check.check_frame(image, GRID, cells, check.VGA)
        self.assertEqual((result["wrong"], result["mixed"], result["mixed_glyphs"]), (0, 1, ["B1"]))
        cell_box(image, 0, 0)[:] = (0xD4, 0x7F, 0x7F)  # no mix of the two
        self.assertEqual(check.check_frame(image, GRID, cells, check.VGA)["wrong"], 1)


class GridAndColours(unittest.TestCase):
    def test_grid_is_the_box_of_changed_pixels_when_it_is_whole_cells(self):
        changed = np.zeros((500, 600), dtype=bool)
        changed[5:5 + 50 * 9, 7:7 + 80 * 7] = True
        self.assertEqual(check.find_grid(changed), (7, 5, 7, 9))
        changed[100, 300] = False  # a hole: something other than the fill changed
        self.assertIsNone(check.find_grid(changed))
        changed[100, 300] = True
        changed[5:7] = False  # two rows short: no whole cells
        self.assertIsNone(check.find_grid(changed))

    def test_ansi_colours_are_read_back_from_their_rows(self):
        image = np.zeros((TOP + 50 * CELL_H, LEFT + 80 * CELL_W, 3), dtype=np.uint8)
        for n in range(32):
            image[TOP + n * CELL_H:TOP + (n + 1) * CELL_H] = (n, 255 - n, 7)
        colours = check.read_ansi_colours(image, GRID)
        self.assertEqual((colours["bg"][1], colours["fg"][1]), ((1, 254, 7), (17, 238, 7)))
        self.assertFalse(check.same_colours(colours, {"bg": colours["fg"], "fg": colours["bg"]}))


class AnswersAndReplays(unittest.TestCase):
    def test_answers_as_three_emulators_gave_them(self):
        xterm = check.describe_answer(b"\x1b]4;0;rgb:0000/0000/0000\x1b\\\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c")
        urxvt = check.describe_answer(b"\x1b]4;0;rgb:0000/0000/0000\x1b\x1b[?1;2c")  # no backslash after ESC
        konsole = check.describe_answer(b"\x1b]4;0;rgb:0000/0000/0000\x07\x1b[?62;1;4c")
        for answer in (xterm, urxvt, konsole):
            self.assertEqual((answer["osc4_answered"], answer["osc4_answer"], answer["csi_c_answered"]),
                             (True, "rgb:0000/0000/0000", True))
        silent = check.describe_answer(b"\x1b[?6c")
        self.assertEqual((silent["osc4_answered"], silent["csi_c_answered"]), (False, True))

    def test_palette_replay_is_shot_before_its_restore(self):
        with tempfile.TemporaryDirectory() as folder:
            replay = Path(folder) / "palette.ansi"
            replay.write_bytes(b"\x1b]4;1;rgb:aa/00/00\x1b\\frame" + check.RESTORE_TAIL)
            frame = {"palette": replay}
            check.split_palette_replay(frame)
            self.assertEqual(frame["palette-body"].read_bytes(), b"\x1b]4;1;rgb:aa/00/00\x1b\\frame")
            replay.write_bytes(b"frame\x1b[0m\n")  # a replay that leaves the palette set
            with self.assertRaises(RuntimeError):
                check.split_palette_replay(frame)


class PaletteProbe(unittest.TestCase):
    XTERM = b"\x1b]4;0;rgb:0000/0000/0000\x1b\\\x1b]4;1;rgb:cdcd/0000/0000\x1b\\\x1b[?64;1;2c"
    URXVT = b"\x1b]4;0;rgb:0000/0000/0000\x1b\x1b]4;1;rgb:cdcd/0000/0000\x1b\x1b[?1;2c"  # a lone ESC ends each
    KONSOLE = b"\x1b]4;0;rgb:0000/0000/0000\x07\x1b]4;1;rgb:b2b2/1818/1818\x07\x1b[?62;1;4c"

    def test_replies_are_read_whatever_ends_them(self):
        for answer, end, red in ((self.XTERM, "ESC \\", "rgb:cdcd/0000/0000"), (self.URXVT, "lone ESC", "rgb:cdcd/0000/0000"),
                                 (self.KONSOLE, "BEL", "rgb:b2b2/1818/1818")):
            replies = check.describe_replies(answer, [0, 1])
            self.assertEqual((replies["entries"], replies["in_order"], replies["terminators"], replies["csi_c_answered"]),
                             ([0, 1], True, [end], True), answer)
            self.assertEqual(replies["values"], {0: "rgb:0000/0000/0000", 1: red})

    def test_missing_or_reordered_replies_are_not_in_order(self):
        self.assertFalse(check.describe_replies(self.XTERM, [0, 1, 2])["in_order"])
        self.assertFalse(check.describe_replies(self.XTERM, [1, 0])["in_order"])

    def test_colour_texts_of_any_width_read_as_the_same_colour(self):
        self.assertEqual(check.colour_text_rgb("rgb:aa/55/00"), (0xAA, 0x55, 0x00))
        self.assertEqual(check.colour_text_rgb("rgb:aaaa/5555/0000"), (0xAA, 0x55, 0x00))
        self.assertEqual(check.colour_text_rgb("rgb:f/8/0"), (0xFF, 0x88, 0x00))
        self.assertNotEqual(check.colour_text_rgb("rgb:1818/b2b2/b2b2"), check.colour_text_rgb("rgb:12/34/56"))
        self.assertIsNone(check.colour_text_rgb("#aa5500"))

    def test_restore_sends_the_replies_back_one_entry_a_sequence(self):
        values = check.describe_replies(self.URXVT, [0, 1])["values"]
        self.assertEqual(check.palette_set(values),
                         b"\x1b]4;0;rgb:0000/0000/0000\x1b\\\x1b]4;1;rgb:cdcd/0000/0000\x1b\\")
        whole = check.palette_set(check.vga_colour_texts(), one_sequence=True)
        self.assertEqual(whole.count(b"\x1b]"), 1)
        self.assertEqual(len(whole[4:-2].split(b";")), 32)  # 16 pairs after the 4
        self.assertEqual(check.palette_set(check.vga_colour_texts()).count(b"\x1b]4;"), 16)

    def test_vga_colour_texts_follow_ansi_numbers(self):
        texts = check.vga_colour_texts()
        self.assertEqual((texts[1], texts[3], texts[4], texts[6]),
                         ("rgb:aa/00/00", "rgb:aa/55/00", "rgb:00/00/aa", "rgb:00/aa/aa"))


if __name__ == "__main__":
    unittest.main()
