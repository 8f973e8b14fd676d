#!/usr/bin/python3
"""Checks of the "Lanterns" show's generators against the files committed in shows/lanterns
(run: python3 test_lanterns_assets.py)."""
import os
import sys
import unittest
from collections import deque

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SHOW = os.path.join(HERE, "..", "..", "shows", "lanterns")
sys.path.insert(0, HERE)
import make_lanterns_music as music  # noqa: E402
import make_lanterns_pictures as pictures  # noqa: E402
import make_lanterns_tracks as tracks  # noqa: E402
import synth as sy  # noqa: E402

KEYED = ("lantern.png", "banner.png")


def committed(name):
    return np.asarray(Image.open(os.path.join(SHOW, name)).convert("RGB"))


def black_reached_from_the_edges(pixels):
    """The black pixels a flood from the picture's border reaches, through black pixels only."""
    black = pixels.max(axis=2) == 0
    h, w = black.shape
    seen = np.zeros_like(black)
    todo = deque((y, x) for y in range(h) for x in (0, w - 1) if black[y, x])
    todo.extend((y, x) for x in range(w) for y in (0, h - 1) if black[y, x])
    while todo:
        y, x = todo.popleft()
        if seen[y, x]:
            continue
        seen[y, x] = True
        for ny, nx in ((y - 1, x), (y + 1, x), (y, x - 1), (y, x + 1)):
            if 0 <= ny < h and 0 <= nx < w and black[ny, nx] and not seen[ny, nx]:
                todo.append((ny, nx))
    return black, seen


class Pictures(unittest.TestCase):
    def test_the_committed_pictures_are_what_the_generator_draws(self):
        for name, make in pictures.PICTURES.items():
            with self.subTest(name):
                np.testing.assert_array_equal(committed(name), make(), err_msg=f"run make assets for {name}")

    def test_the_banner_is_three_canvases_wide_and_the_others_one(self):
        for name in pictures.PICTURES:
            with self.subTest(name):
                self.assertEqual(committed(name).shape, (100, 480 if name == "banner.png" else 160, 3))

    def test_keyed_pictures_have_no_see_through_holes_inside_their_subjects(self):
        # Every black pixel of a keyed picture must be background, reached from the border:
        # a black pixel inside a lantern would show the effect behind it through the paper.
        for name in KEYED:
            with self.subTest(name):
                black, outside = black_reached_from_the_edges(committed(name))
                self.assertTrue(black.any())
                self.assertEqual(int((black & ~outside).sum()), 0)

    def test_no_picture_uses_the_saturated_red_that_counts_as_a_red_flash(self):
        for name in pictures.PICTURES:
            with self.subTest(name):
                rgb = committed(name).astype(int)
                red = (rgb[..., 0] >= 85) & (rgb[..., 0] * 5 >= rgb.sum(axis=2) * 4)
                self.assertEqual(int(red.sum()), 0)


class Music(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        audio, cls.loudness = music.render()
        cls.mono = np.abs(audio).mean(axis=0)

    def test_it_lasts_the_bars_and_the_tail(self):
        self.assertEqual(len(self.mono), round((music.BARS * music.BAR + music.TAIL) * sy.SR))
        self.assertAlmostEqual(self.loudness, music.TARGET_LUFS, delta=0.1)

    def test_every_section_and_the_last_chord_open_with_a_hit_on_their_bar_line(self):
        # The show's sync points sit on these downbeats: the loudest 5 ms of the 50 ms after
        # the bar line must stand well above the 100 ms before it, and start within 10 ms.
        window = int(0.005 * sy.SR)
        for bar in range(0, music.BARS + 1, 4):
            start = int(round(bar * music.BAR * sy.SR))
            with self.subTest(bar=bar):
                before = self.mono[max(0, start - int(0.1 * sy.SR)):start]
                after = self.mono[start:start + int(0.05 * sy.SR)]
                blocks = after[: len(after) // window * window].reshape(-1, window).mean(axis=1)
                self.assertGreater(blocks.max(), 3 * (before.mean() if len(before) else 0) + 0.01)
                self.assertLessEqual(int(np.argmax(blocks > 0.5 * blocks.max())) * window, int(0.01 * sy.SR))

    def test_the_sync_file_names_the_sections_and_accents_of_the_score(self):
        with open(os.path.join(SHOW, "sync.txt")) as f:
            lines = [line.strip() for line in f]
        count = int(lines[0])
        times = [int(lines[2 + 2 * i]) for i in range(count)]
        self.assertEqual(times, sorted(times))
        section_starts = [int(bar * music.BAR * 1000) for bar in range(0, music.BARS + 1, 4)]
        self.assertTrue(set(section_starts) <= set(times), times)
        for t in times:  # every accent on a beat, and no two closer than a bar (no strobing glows)
            self.assertEqual(t % int(music.BEAT * 1000), 0, t)
        self.assertGreaterEqual(min(np.diff(times)), int(music.BAR * 1000))


class Tracks(unittest.TestCase):
    def test_the_committed_track_files_are_what_the_generator_writes(self):
        for name, keys in tracks.TRACKS.items():
            with open(os.path.join(SHOW, tracks.file_name("sync", name)), "rb") as f:
                self.assertEqual(f.read(), tracks.track_bytes(keys), name)

    def test_the_file_names_follow_the_editors_rule(self):
        self.assertEqual(tracks.file_name("sync", "camera:rot.y"), "sync_camera-3Arot.y.track")
        self.assertEqual(tracks.file_name("sync", "a/b c"), "sync_a/b-20c.track")

    def test_every_key_lies_on_a_row_of_the_scene_it_moves_and_rows_increase(self):
        for name, keys in tracks.TRACKS.items():
            rows = [row for row, _, _ in keys]
            self.assertEqual(rows, sorted(set(rows)), name)
            self.assertTrue(all(0 <= row <= 25 * tracks.BAR for row in rows), name)


if __name__ == "__main__":
    unittest.main()
