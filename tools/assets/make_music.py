#!/usr/bin/python3
"""Composes and renders the show's music, then encodes it as MP3 with lame.

The show's scenes change at fixed times (cues.txt, one time in milliseconds a line). Each
stretch between two cues is a section of this piece: it fits a whole number of beats near
140 BPM into its stretch, so that every cue falls on a downbeat, and every section opens
with an audible hit. STYLES below names the music of each stretch, in order.

Usage: make_music.py OUTPUT.mp3 [--wav OUTPUT.wav]
"""
import math
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import synth as sy  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TARGET_BEAT = 60.0 / 140.0
TAIL = 2.0            # seconds of ring after the final hit
# The encoder's low-pass near 17 kHz takes about 0.5 LU off the measured loudness, so the
# mix is mastered that much louder to land at -14 LUFS once encoded.
TARGET_LUFS = -13.5
CEILING_DB = -2.5     # sample-peak ceiling; leaves room for the encoder's overshoot

# One style per stretch between consecutive cues (the comment gives the picture it scores).
STYLES = [
    "intro",      # title picture
    "intro",      # title picture, shaking
    "calm",       # seaside, waving
    "build",      # copper bars, shaking more and more
    "groove",     # ball on the chequered floor
    "drive",      # the event logo over the blue plasma
    "drive",      # pinwheel
    "fill",       # spiral's first moment
    "drive",      # spiral
    "breakdown",  # slow spiral
    "groove",     # city, shaking and flickering
    "main",       # first handle over the plasma
    "riser",      # fast plasma, masked
    "main",       # face over the plasma
    "drive",      # robot in the stars
    "breakdown",  # face over the ripples
    "stutter",    # first handle, shaken hard
    "main",       # second handle over the ripples
    "lines",      # rolling text lines
    "hit",        # bit pattern flash
    "lines",      # rolling text lines
    "drive",      # spiral
    "techno",     # bit patterns
    "main",       # rolling text lines
    "fill",       # emblem ticker, fast
    "drive",      # emblem ticker and text lines
    "hit",        # the eyes flicker
    "riser",      # plasma, shaking more and more
    "glitch",     # "noise!"
    "riser",      # slow plasma, shaking
    "stutter",    # speaker and eyes flicker
    "noiseburst", # cell noise
    "stutter",    # speaker and eyes flicker
    "drive",      # ripples, shaking
    "hit",        # bit pattern
    "sparkle",    # sparkles over random colour
    "techno",     # bit patterns
    "sparkle",    # sparkles over random colour
    "stutter",    # dancers, eyes and speaker flicker
    "fill",       # bit patterns flicker
    "melodic",    # credits and greetings scroll from here on
    "melodic",
    "melodic",
    "melodic",
    "melodic",
    "melodic",
    "melodic",
    "melodic",
    "melodic",
    "ambient",    # cell noise, long
    "finale",     # dot cube and swarm
    "ending",     # ":) 2003"
]

# Harmony: (bass root, pad chord) per bar of four beats, in A minor.
AM, F, C, G = (45, (57, 60, 64)), (41, (57, 60, 65)), (48, (55, 60, 64)), (43, (55, 59, 62))
EM, EMAJ, DM = (40, (55, 59, 64)), (40, (56, 59, 64)), (38, (57, 62, 65))
MAIN_PROGRESSION = [AM, F, C, G]
MELODIC_PROGRESSION = [F, G, EM, AM, F, G, C, EMAJ]

# Melodies as (beat, length in beats, MIDI note), looping over their length in beats.
MAIN_THEME = ([(0, 1, 76), (1, 1, 81), (2, .5, 79), (2.5, 1, 76), (3.5, .5, 72),
               (4, 1.5, 74), (5.5, .5, 72), (6, 2, 69),
               (8, 1, 76), (9, 1, 72), (10, .5, 76), (10.5, 1.5, 79),
               (12, 1.5, 83), (13.5, .5, 81), (14, 1, 79), (15, 1, 76),
               (16, 1, 76), (17, 1, 81), (18, .5, 83), (18.5, 1, 84), (19.5, .5, 83),
               (20, 1.5, 81), (21.5, .5, 79), (22, 2, 77),
               (24, 1, 76), (25, 1, 79), (26, 1, 72), (27, 1, 76),
               (28, 1.5, 74), (29.5, .5, 71), (30, 2, 71)], 32)
MELODIC_THEME = ([(0, 3, 72), (3, 1, 74), (4, 3, 76), (7, 1, 74), (8, 2, 71), (10, 2, 67), (12, 4, 69),
                  (16, 3, 72), (19, 1, 74), (20, 2, 76), (22, 2, 79), (24, 2, 79), (26, 2, 76),
                  (28, 4, 80)], 32)


class Section:
    """One stretch between two cues, with its beat grid."""

    def __init__(self, index, start_ms, end_ms):
        self.index = index
        self.start = start_ms / 1000.0
        self.end = end_ms / 1000.0
        self.length = self.end - self.start
        self.beats = max(1, int(round(self.length / TARGET_BEAT)))
        self.beat = self.length / self.beats
        self.rng = np.random.default_rng(1000 + index)

    def at(self, beat):
        return self.start + beat * self.beat

    def steps(self, per_beat):
        """Grid positions (in beats) at per_beat subdivisions, over the whole section."""
        return [k / per_beat for k in range(self.beats * per_beat)]


class Song:
    def __init__(self, cues):
        self.cues = cues
        self.mix = sy.Mixer(cues[-1] / 1000.0 + TAIL)
        self.running = {}  # beat counters that carry a theme across neighbouring sections

    # ---- parts shared by the styles

    def chord_at(self, progression, beat):
        return progression[int(beat // 4) % len(progression)]

    def theme(self, sec, name, melody, voice, level, octave=0):
        """Plays the melody from where the last section of the same theme stopped."""
        notes, loop = melody
        first = self.running.get(name, 0)
        for b in range(sec.beats):
            g = (first + b) % loop
            for beat, length, note in notes:
                if beat == g or (g < beat < g + 1):
                    offset = beat - g
                    dur = min(length, sec.beats - b - offset) * sec.beat
                    if dur > 0.05:
                        self.mix.add(sec.at(b + offset), voice(note + 12 * octave, dur * 0.95, level), pan=0.1)
        self.running[name] = first + sec.beats

    def drums(self, sec, kick_beats, snare_beats, hats_per_beat, level=1.0, open_hats=False):
        r = sec.rng
        for b in sec.steps(4):
            pos = b % 4
            if pos in kick_beats:
                self.mix.add(sec.at(b), sy.kick(0.9 * level))
            if pos in snare_beats:
                self.mix.add(sec.at(b), sy.snare(r, 0.55 * level), pan=-0.1)
            if hats_per_beat and (b * hats_per_beat) % 1 == 0:
                accent = 1.0 if (b * 2) % 2 == 1 else 0.6
                self.mix.add(sec.at(b), sy.hat(r, 0.3 * level * accent), pan=0.35)
            if open_hats and (b % 1) == 0.5:
                self.mix.add(sec.at(b), sy.hat(r, 0.22 * level, open_=True), pan=-0.35)

    def bassline(self, sec, progression, per_beat=2, level=0.5, octave_jump=True, counter="bar"):
        first = self.running.get(counter, 0)
        for b in sec.steps(per_beat):
            root = self.chord_at(progression, first + b)[0]
            note = root + (12 if octave_jump and int(b * per_beat) % 2 == 1 else 0)
            self.mix.add(sec.at(b), sy.bass(note, sec.beat / per_beat * 0.8, level))

    def arp(self, sec, progression, per_beat=4, level=0.16, octave=12, bright=1.0, counter="bar"):
        first = self.running.get(counter, 0)
        for k, b in enumerate(sec.steps(per_beat)):
            chord = self.chord_at(progression, first + b)[1]
            note = chord[k % len(chord)] + octave + (12 if (k // len(chord)) % 2 else 0)
            pan = 0.5 * math.sin(k * 0.7)
            self.mix.add(sec.at(b), sy.pluck(note, sec.beat / per_beat * 0.7, level, bright), pan=pan)

    def pads(self, sec, progression, level=0.22, cutoff=4.0, counter="bar"):
        first = self.running.get(counter, 0)
        b = 0
        while b < sec.beats:
            span = min(4 - (first + b) % 4, sec.beats - b)
            chord = self.chord_at(progression, first + b)[1]
            self.mix.add(sec.at(b), sy.pad(chord, span * sec.beat, level, cutoff, attack=0.05, release=0.3))
            b += span

    def advance(self, sec, counter="bar"):
        self.running[counter] = self.running.get(counter, 0) + sec.beats

    def crash(self, sec, level=0.5):
        self.mix.add(sec.start, sy.crash(sec.rng, level), pan=0.2)

    def stab(self, sec, chord, level=0.3, at=0.0, length=0.25):
        for note in chord:
            self.mix.add(sec.at(at), sy.pluck(note, length, level / len(chord) * 2, 1.5, "saw"))

    # ---- the styles

    def intro(self, sec):
        self.mix.add(sec.start, sy.bell(69 if sec.index == 0 else 76, 1.2, 0.35))
        self.mix.add(sec.start, sy.bell(57, 1.2, 0.2), pan=-0.3)
        self.mix.add(sec.start, sy.pad(AM[1], sec.length, 0.12, 2.0, attack=0.3, release=0.6))

    def calm(self, sec):
        self.mix.add(sec.start, sy.kick(0.5, 0.4))
        self.pads(sec, MAIN_PROGRESSION, 0.18, 2.5)
        for k, b in enumerate(sec.steps(2)):
            chord = self.chord_at(MAIN_PROGRESSION, self.running.get("bar", 0) + b)[1]
            self.mix.add(sec.at(b), sy.bell(chord[k % 3] + 12, 0.4, 0.14 if k % 2 else 0.2), pan=0.4 * math.sin(k))
        self.mix.add(sec.start, sy.bass(AM[0] - 12, sec.length * 0.9, 0.35, 0.2))
        self.advance(sec)

    def build(self, sec):
        self.crash(sec, 0.25)
        self.pads(sec, MAIN_PROGRESSION, 0.16, 3.0)
        for b in sec.steps(4):
            ramp = 0.3 + 0.7 * b / sec.beats
            if b % 1 == 0:
                self.mix.add(sec.at(b), sy.kick(0.75 * ramp))
            self.mix.add(sec.at(b), sy.hat(sec.rng, 0.25 * ramp), pan=0.3)
            if b >= sec.beats - 1:
                self.mix.add(sec.at(b), sy.snare(sec.rng, 0.45 * ramp))
        self.arp(sec, MAIN_PROGRESSION, 4, 0.12, 12, 0.5)
        self.advance(sec)

    def groove(self, sec):
        self.crash(sec, 0.4)
        self.drums(sec, {0, 1, 2, 3}, set() if sec.beats < 8 else {1, 3}, 4, 0.9)
        for b in sec.steps(2):
            if b % 1 == 0.5:
                root = self.chord_at(MAIN_PROGRESSION, self.running.get("bar", 0) + b)[0]
                self.mix.add(sec.at(b), sy.bass(root, sec.beat * 0.4, 0.5))
        self.pads(sec, MAIN_PROGRESSION, 0.12, 3.0)
        self.advance(sec)

    def drive(self, sec):
        self.crash(sec, 0.5)
        self.drums(sec, {0, 1, 2, 3}, {1, 3}, 2, 1.0, open_hats=True)
        self.bassline(sec, MAIN_PROGRESSION)
        self.arp(sec, MAIN_PROGRESSION, 4, 0.14, 12, 1.0)
        self.pads(sec, MAIN_PROGRESSION, 0.1, 3.0)
        self.advance(sec)

    def full_band(self, sec, counter, theme, crash, drums, arp, arp_bright, pad, pad_cutoff):
        """Everything at once: drums with open hats, bass, a high arpeggio, pads and the theme."""
        self.crash(sec, crash)
        self.drums(sec, {0, 1, 2, 3}, {1, 3}, 4, drums, open_hats=True)
        self.bassline(sec, MAIN_PROGRESSION, counter=counter)
        self.arp(sec, MAIN_PROGRESSION, 4, arp, 24, arp_bright, counter=counter)
        self.pads(sec, MAIN_PROGRESSION, pad, pad_cutoff, counter=counter)
        self.theme(sec, theme, MAIN_THEME, sy.lead, 0.32)

    def main(self, sec):
        self.full_band(sec, "theme", "theme", 0.55, 1.0, 0.1, 0.6, 0.12, 3.0)

    def finale(self, sec):
        self.running["finale_theme"] = 16  # the theme's second half, which climbs higher
        self.full_band(sec, "finale", "finale_theme", 0.6, 1.05, 0.12, 1.0, 0.14, 4.0)
        self.advance(sec, "finale")

    def breakdown(self, sec):
        self.mix.add(sec.start, sy.kick(0.8, 0.5))
        self.crash(sec, 0.3)
        self.pads(sec, MAIN_PROGRESSION, 0.22, 1.8)
        for k, b in enumerate(sec.steps(2)):
            chord = self.chord_at(MAIN_PROGRESSION, self.running.get("bar", 0) + b)[1]
            self.mix.add(sec.at(b), sy.bell(chord[(k * 2) % 3] + 12, 0.3, 0.13), pan=0.5 * math.sin(k))
        self.advance(sec)

    def riser(self, sec):
        self.mix.add(sec.start, sy.kick(1.0))
        self.mix.add(sec.start, sy.snare(sec.rng, 0.5))
        self.crash(sec, 0.3)
        self.mix.add(sec.start, sy.riser(sec.rng, sec.length, 0.35))
        self.mix.add(sec.start, sy.bass(AM[0], sec.length * 0.95, 0.3, 0.3))
        for b in sec.steps(8):
            density = 1 if b >= sec.beats * 0.75 else 2 if b >= sec.beats * 0.4 else 4
            if int(b * 8) % density == 0:
                self.mix.add(sec.at(b), sy.snare(sec.rng, 0.2 + 0.35 * b / sec.beats), pan=-0.1)

    def fill(self, sec):
        self.mix.add(sec.start, sy.kick(0.95))
        self.mix.add(sec.start, sy.crash(sec.rng, 0.35))
        for k, b in enumerate(sec.steps(4)):
            self.mix.add(sec.at(b), sy.snare(sec.rng, 0.35 + 0.1 * (k % 4 == 0)), pan=0.3 * ((k % 3) - 1))
        self.stab(sec, (57, 64, 69), 0.35)

    def hit(self, sec):
        self.mix.add(sec.start, sy.kick(1.0))
        self.mix.add(sec.start, sy.crash(sec.rng, 0.55))
        self.mix.add(sec.start, sy.snare(sec.rng, 0.5))
        self.stab(sec, (57, 60, 64, 69), 0.45, length=sec.length * 0.6)

    def lines(self, sec):
        self.crash(sec, 0.4)
        self.drums(sec, {0, 1.5, 2.5}, {1, 3}, 4, 0.95)
        first = self.running.get("bar", 0)
        for b in sec.steps(4):
            if (b * 4) % 16 in (0, 3, 6, 10, 12, 14):
                root = self.chord_at(MAIN_PROGRESSION, first + b)[0]
                self.mix.add(sec.at(b), sy.bass(root + (12 if (b * 4) % 16 == 14 else 0), sec.beat * 0.3, 0.5))
        for k, b in enumerate(sec.steps(2)):
            if k % 3 == 0:
                chord = self.chord_at(MAIN_PROGRESSION, first + b)[1]
                self.mix.add(sec.at(b), sy.blip(chord[k % 3] + 24, 0.09, 0.18, 4), pan=0.5 * math.sin(k))
        self.pads(sec, MAIN_PROGRESSION, 0.1, 2.5)
        self.advance(sec)

    def techno(self, sec):
        self.crash(sec, 0.45)
        self.drums(sec, {0, 1, 2, 3}, {1, 3}, 4, 1.0, open_hats=True)
        cutoffs = [1.0, 0.3, 0.6, 0.2, 0.9, 0.4, 0.3, 0.7]
        for k, b in enumerate(sec.steps(4)):
            note = AM[0] + (12 if k % 8 in (2, 5) else 0) + (3 if k % 16 == 11 else 0)
            self.mix.add(sec.at(b), sy.bass(note, sec.beat * 0.2, 0.42, cutoffs[k % 8] * 1.6))
        self.advance(sec)

    def stutter(self, sec):
        """Gated hits at 32nds that follow the flickering pictures."""
        self.mix.add(sec.start, sy.kick(1.0))
        self.crash(sec, 0.45)
        r = sec.rng
        for k, b in enumerate(sec.steps(8)):
            if k % 8 == 0:
                self.mix.add(sec.at(b), sy.kick(0.8))
            roll = r.random()
            if roll < 0.35:
                chord = AM[1] if (k // 8) % 2 == 0 else F[1]
                self.stab_at(sec.at(b), chord, 0.22, sec.beat / 8)
            elif roll < 0.6:
                self.mix.add(sec.at(b), sy.snare(r, 0.3), pan=float(r.uniform(-0.6, 0.6)))
            elif roll < 0.8:
                self.mix.add(sec.at(b), sy.blip(int(r.choice([69, 72, 76, 81, 84])), sec.beat / 8, 0.2, 6),
                             pan=float(r.uniform(-0.8, 0.8)))
        self.mix.add(sec.start, sy.bass(AM[0], sec.length * 0.9, 0.35, 0.5))

    def stab_at(self, at, chord, level, length):
        for note in chord:
            self.mix.add(at, sy.pluck(note, length, level / len(chord) * 2, 1.5, "saw"))

    def noiseburst(self, sec):
        self.mix.add(sec.start, sy.kick(1.0))
        self.crash(sec, 0.5)
        r = sec.rng
        for b in sec.steps(4):
            if r.random() < 0.6:
                n = int(sec.beat / 4 * sy.SR)
                burst = sy.crush(r.standard_normal(n) * 0.25, 4, int(r.integers(2, 12))) * sy.perc(n, 0.001, 0.04)
                self.mix.add(sec.at(b), burst, pan=float(r.uniform(-0.7, 0.7)))
            if b % 1 == 0:
                self.mix.add(sec.at(b), sy.kick(0.7))
        self.mix.add(sec.start, sy.pad((45, 52, 57), sec.length, 0.2, 1.5, attack=0.01, release=0.2))

    def sparkle(self, sec):
        self.mix.add(sec.start, sy.kick(1.0))
        self.crash(sec, 0.4)
        r = sec.rng
        for b in sec.steps(4):
            self.mix.add(sec.at(b), sy.hat(r, 0.25), pan=0.3)
            if r.random() < 0.7:
                self.mix.add(sec.at(b), sy.bell(int(r.choice([81, 84, 88, 91, 93])), 0.15, 0.12),
                             pan=float(r.uniform(-0.8, 0.8)))
            if b % 1 == 0:
                self.mix.add(sec.at(b), sy.kick(0.8))
        self.mix.add(sec.start, sy.bass(AM[0], sec.length * 0.9, 0.4, 0.6))

    def glitch(self, sec):
        """The broken passage: a beat chopped, repeated and crushed, with blips and noise."""
        r = sec.rng
        bus = Song.__new__(Song)
        bus.mix = sy.Mixer(sec.length + 1.0)
        bus.running = {}
        inner = Section(sec.index, 0, sec.length * 1000)
        inner.rng = r
        bus.drums(inner, {0, 1, 2, 3}, {1, 3}, 4, 1.0)
        bus.bassline(inner, [AM, AM, F, G], per_beat=4, level=0.45)
        for b in inner.steps(4):
            if r.random() < 0.45:
                bus.mix.add(inner.at(b), sy.blip(int(r.choice([57, 64, 69, 72, 76, 81, 88])), inner.beat / 4, 0.28,
                                                 int(r.integers(2, 16))), pan=float(r.uniform(-0.9, 0.9)))
            if r.random() < 0.2:
                n = int(inner.beat / 4 * sy.SR)
                bus.mix.add(inner.at(b), sy.crush(r.standard_normal(n) * 0.2, 3, 8) * sy.perc(n, 0.001, 0.05),
                            pan=float(r.uniform(-0.9, 0.9)))
        audio = bus.mix.buf
        # beat repeats: some sixteenths are replaced by a stutter of their first 32nd or 64th
        step = inner.beat / 4
        for k in range(4, inner.beats * 4):
            if r.random() < 0.3:
                a = int(round(k * step * sy.SR))
                b = int(round((k + 1) * step * sy.SR))
                piece = max(1, (b - a) // int(r.choice([2, 4])))
                grain = audio[:, a:a + piece].copy()
                for s in range(a, b, piece):
                    audio[:, s:min(b, s + piece)] = grain[:, :min(b, s + piece) - s]
        crushed = np.array([sy.crush(ch, 6, 3) for ch in audio])
        wet = np.clip(np.arange(audio.shape[1]) / sy.SR / sec.length, 0, 1) * 0.7 + 0.3
        audio = audio * (1 - wet) + crushed * wet
        start = int(round(sec.start * sy.SR))
        end = int(round(sec.end * sy.SR))
        self.mix.buf[:, start:end] += audio[:, :end - start]
        self.mix.add(sec.start, sy.crash(sec.rng, 0.5))
        self.mix.add(sec.start, sy.kick(1.0))

    def melodic(self, sec):
        first = self.running.get("melodic", 0)
        self.crash(sec, 0.45 if sec.start > 84.1 else 0.6)
        self.mix.add(sec.start, sy.kick(0.95))
        for b in sec.steps(4):
            g = (first + b) % 4
            if g in (0, 2.5) and b > 0:
                self.mix.add(sec.at(b), sy.kick(0.85))
            if g == 2:
                self.mix.add(sec.at(b), sy.snare(sec.rng, 0.5), pan=-0.1)
            if (b * 2) % 1 == 0:
                self.mix.add(sec.at(b), sy.hat(sec.rng, 0.22 if b % 1 else 0.12), pan=0.35)
        self.bassline(sec, MELODIC_PROGRESSION, per_beat=1, level=0.45, octave_jump=False, counter="melodic")
        self.pads(sec, MELODIC_PROGRESSION, 0.2, 3.0, counter="melodic")
        self.arp(sec, MELODIC_PROGRESSION, 2, 0.09, 12, 0.4, counter="melodic")
        self.theme(sec, "melodic", MELODIC_THEME, sy.lead, 0.3)
        self.running["melodic_bell"] = first
        self.theme(sec, "melodic_bell", MELODIC_THEME, sy.bell, 0.12, octave=1)

    def ambient(self, sec):
        """A long swell: pads, then an arpeggio that opens up, then drums coming back."""
        self.mix.add(sec.start, sy.kick(1.0, 0.6))
        self.mix.add(sec.start, sy.crash(sec.rng, 0.6, 1.5))
        self.pads(sec, MAIN_PROGRESSION, 0.24, 2.0, counter="ambient")
        first = self.running.get("ambient", 0)
        for k, b in enumerate(sec.steps(4)):
            progress = b / sec.beats
            chord = self.chord_at(MAIN_PROGRESSION, first + b)[1]
            note = chord[k % 3] + 12 + (12 if (k // 3) % 2 else 0)
            self.mix.add(sec.at(b), sy.pluck(note, sec.beat / 4 * 0.7, 0.05 + 0.1 * progress, 0.1 + 1.2 * progress),
                         pan=0.6 * math.sin(k * 0.5))
            if progress > 0.35 and (b * 2) % 1 == 0:
                self.mix.add(sec.at(b), sy.hat(sec.rng, 0.2 * progress), pan=0.35)
            if progress > 0.6 and b % 1 == 0:
                self.mix.add(sec.at(b), sy.kick(0.8 * progress))
        riser_len = min(4 * sec.beat, sec.length)
        self.mix.add(sec.end - riser_len, sy.riser(sec.rng, riser_len, 0.3))
        self.bassline(sec, MAIN_PROGRESSION, per_beat=1, level=0.3, octave_jump=False, counter="ambient")
        self.advance(sec, "ambient")

    def ending(self, sec):
        """A held A minor chord over the caption, then one final hit on the last cue and a
        tail that dies away."""
        self.mix.add(sec.start, sy.kick(1.0, 0.5))
        self.mix.add(sec.start, sy.crash(sec.rng, 0.6, 1.0))
        self.mix.add(sec.start, sy.pad((57, 60, 64, 69), sec.length, 0.3, 3.0, attack=0.005, release=0.15))
        self.mix.add(sec.start, sy.bass(AM[0] - 12, sec.length, 0.45, 0.5))
        for k, note in enumerate((81, 76, 72, 69)):
            self.mix.add(sec.at(k * sec.beats / 4), sy.bell(note, 0.5, 0.18), pan=0.3 * (k - 1.5))
        end = sec.end
        self.mix.add(end, sy.kick(1.1, 0.6))
        self.mix.add(end, sy.crash(sec.rng, 0.7, 0.6))
        self.mix.add(end, sy.snare(sec.rng, 0.5))
        self.mix.add(end, sy.bass(AM[0] - 12, 1.0, 0.5, 0.8))
        for note in (57, 64, 69, 72, 76):
            self.mix.add(end, sy.pluck(note, 0.6, 0.12, 1.5, "saw"))
            self.mix.add(end, sy.bell(note + 12, 1.0, 0.05))


def read_cues(path):
    with open(path) as f:
        cues = [int(line) for line in f if line.strip()]
    assert cues == sorted(cues) and len(set(cues)) == len(cues), "cues must rise"
    return cues


def render():
    cues = read_cues(os.path.join(HERE, "cues.txt"))
    assert len(STYLES) == len(cues) - 1, "one style per stretch between cues"
    song = Song(cues)
    for i, style in enumerate(STYLES):
        getattr(song, style)(Section(i, cues[i], cues[i + 1]))
    audio = song.mix.buf
    # the tail fades to silence over its last half second
    fade = int(0.5 * sy.SR)
    audio[:, -fade:] *= np.linspace(1, 0, fade) ** 2
    audio, loudness = sy.master(audio, TARGET_LUFS, CEILING_DB)
    return audio, loudness


def write_wav(path, audio):
    pcm = np.clip(np.rint(audio.T * 32767), -32767, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(sy.SR)
        w.writeframes(pcm.tobytes())


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "data/8920.mp3"
    keep_wav = sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--wav" else None
    audio, loudness = render()
    print(f"make_music: {audio.shape[1] / sy.SR:.3f} s, {loudness:.2f} LUFS before encoding, "
          f"sample peak {20 * math.log10(np.abs(audio).max()):.2f} dBFS")
    with tempfile.TemporaryDirectory() as tmp:
        wav = keep_wav or os.path.join(tmp, "music.wav")
        write_wav(wav, audio)
        subprocess.run(["lame", "--quiet", "--cbr", "-b", "128", "-q", "2", "-m", "j", "--noreplaygain",
                        wav, out], check=True)


if __name__ == "__main__":
    main()
