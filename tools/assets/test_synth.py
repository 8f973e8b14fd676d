#!/usr/bin/python3
"""Checks of the synthesizer's mastering and building blocks (run: python3 test_synth.py)."""
import math
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import synth as sy  # noqa: E402


def sine(freq, seconds, amplitude):
    return amplitude * np.sin(2 * math.pi * freq * np.arange(int(seconds * sy.SR)) / sy.SR)


def level_at(signal, freq):
    spectrum = np.abs(np.fft.rfft(signal * np.hanning(len(signal))))
    return spectrum[int(round(freq * len(signal) / sy.SR))]


class LoudnessMeter(unittest.TestCase):
    def test_full_scale_1khz_sine_in_both_channels_reads_zero_lufs(self):
        tone = sine(997, 5, 1.0)
        self.assertAlmostEqual(sy.integrated_loudness(np.array([tone, tone])), 0.0, delta=0.1)

    def test_one_channel_reads_three_db_less_and_level_scales_in_db(self):
        tone = sine(997, 5, 0.1)
        reading = sy.integrated_loudness(np.array([tone, np.zeros_like(tone)]))
        self.assertAlmostEqual(reading, -20.0 - 3.01, delta=0.1)

    def test_silence_after_a_tone_is_gated_out(self):
        # Ungated, the 5 s of silence would pull the reading down by over 4 dB; gated, only the
        # blocks that straddle the tone's end lower it a little.
        tone = np.concatenate([sine(997, 3, 0.5), np.zeros(5 * sy.SR)])
        both = np.array([tone, tone])
        self.assertAlmostEqual(sy.integrated_loudness(both), 20 * math.log10(0.5), delta=0.3)


class Limiter(unittest.TestCase):
    def test_no_sample_passes_the_ceiling_and_quiet_parts_are_untouched(self):
        rng = np.random.default_rng(3)
        quiet = 0.1 * rng.standard_normal((2, sy.SR))
        loud = quiet.copy()
        loud[:, 20000:20400] *= 30  # a burst far over the ceiling
        out = sy.limit(loud, 0.5)
        self.assertLessEqual(np.abs(out).max(), 0.5 + 1e-9)
        np.testing.assert_allclose(out[:, :15000], loud[:, :15000])
        np.testing.assert_allclose(out[:, 30000:], loud[:, 30000:])

    def test_master_reaches_the_target_loudness_under_the_ceiling(self):
        rng = np.random.default_rng(5)
        n = 6 * sy.SR
        beat = np.zeros(n)
        for start in range(0, n - 20000, sy.SR // 2):
            beat[start:start + 19000] += sy.kick(1.0)[:19000]
        mix = np.array([beat, beat]) + 0.05 * rng.standard_normal((2, n))
        out, loudness = sy.master(mix, -14.0, -2.5)
        self.assertAlmostEqual(loudness, -14.0, delta=0.2)
        self.assertLessEqual(np.abs(out).max(), 10 ** (-2.5 / 20) + 1e-9)


class Voices(unittest.TestCase):
    def test_low_pass_keeps_the_fundamental_and_cuts_high_harmonics(self):
        n = sy.SR
        open_saw = sy.harmonic_wave(220, n, "saw")
        closed = sy.harmonic_wave(220, n, "saw", cutoff=600, resonance=0.7)
        self.assertGreater(level_at(closed, 220), 0.8 * level_at(open_saw, 220))
        # two poles: 12 dB an octave, so nearly 35 dB down almost three octaves above
        self.assertLess(level_at(closed, 220 * 20), 0.03 * level_at(open_saw, 220 * 20))

    def test_oscillators_stay_below_nyquist(self):
        saw = sy.harmonic_wave(3000, sy.SR, "saw")
        spectrum = np.abs(np.fft.rfft(saw))
        freqs = np.fft.rfftfreq(len(saw), 1 / sy.SR)
        self.assertLess(spectrum[freqs > 21950].max(), 1e-6 * spectrum.max())

    def test_notes_start_at_their_sample_and_noise_is_repeatable(self):
        mixer = sy.Mixer(1.0)
        mixer.add(0.5, sy.kick(1.0))
        first = np.nonzero(np.abs(mixer.buf[0]) > 1e-3)[0][0]
        self.assertLessEqual(abs(first - sy.SR // 2), 3)  # within the kick's attack
        self.assertTrue(np.array_equal(sy.snare(np.random.default_rng(9)), sy.snare(np.random.default_rng(9))))


if __name__ == "__main__":
    unittest.main()
