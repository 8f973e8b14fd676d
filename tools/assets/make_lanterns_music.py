#!/usr/bin/python3
"""Composes and renders the music of the "Lanterns" show (shows/lanterns/), then encodes it as
MP3 with lame.

The piece runs at a fixed 120 BPM in 4/4, so a beat is 500 ms and a bar 2000 ms: the show's
scenes change on bar lines and its script finds every bar with Tempo(120, 4) and Row(t). It is
six sections of four bars (8 s each) on the chords Dm, Bb, F, C, one a bar, and a closing hit
on bar 24 (48 s) that rings out over the last scene. Every section opens with an audible hit
on its downbeat, where shows/lanterns/sync.txt puts a sync point.

Everything random comes from seeded generators, so the same Debian packages (numpy, lame)
give the same bytes on every run.

Usage: make_lanterns_music.py [OUTPUT.mp3] [--wav OUTPUT.wav]
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

BPM = 120
BEAT = 60.0 / BPM          # seconds
BAR = 4 * BEAT
BARS = 24                  # six sections of four bars; the closing hit falls on bar 24
TAIL = 3.0                 # seconds after the closing hit: the show's last scene ends 2 s in
TARGET_LUFS = -15.0        # a gentle piece: a little below the built-in show's -14
CEILING_DB = -2.5          # sample-peak ceiling; leaves room for the encoder's overshoot
BITRATE = 112              # kbit/s, joint stereo: about 700 kB for the 51 s

# (bass root, pad chord) of each bar, looping every four bars: D minor, i - VI - III - VII.
DM, BB, F, C = (38, (62, 65, 69)), (34, (58, 62, 65)), (41, (60, 65, 69)), (36, (60, 64, 67))
PROGRESSION = [DM, BB, F, C]

# Melodies as (beat, length in beats, MIDI note) over one section of sixteen beats.
THEME = [(0, 1.5, 74), (1.5, .5, 72), (2, 1, 69), (3, 1, 72),
         (4, 1.5, 74), (5.5, .5, 77), (6, 2, 74),
         (8, 1, 72), (9, 1, 69), (10, 1, 65), (11, 1, 69),
         (12, 1.5, 67), (13.5, .5, 69), (14, 2, 72)]
THEME_HIGH = [(0, 1.5, 81), (1.5, .5, 79), (2, 1, 77), (3, 1, 74),
              (4, 1, 74), (5, 1, 77), (6, 2, 79),
              (8, 1.5, 81), (9.5, .5, 79), (10, 1, 77), (11, 1, 72),
              (12, 2, 76), (14, 1, 74), (15, 1, 72)]

# The sections in order, one per four bars (the comment names the scenes they score).
SECTIONS = [
    "intro",      # 0 s: the title fades in; lanterns rise through the stars
    "drift",      # 8 s: the river of lanterns
    "theme",      # 16 s: the banner over the blue plasma; the spiral
    "breakdown",  # 24 s: ripples; the dot cube as the riser climbs
    "full",       # 32 s: the title over the plasma; the pinwheel
    "outro",      # 40 s: the credits over the sparkles
]


def at(bar, beat=0.0):
    """Seconds from the start of the piece to a beat of a bar."""
    return bar * BAR + beat * BEAT


class Piece:
    def __init__(self):
        self.mix = sy.Mixer(at(BARS) + TAIL)

    # ---- parts

    def pads(self, first_bar, level, cutoff=3.0, bars=4):
        for b in range(first_bar, first_bar + bars):
            chord = PROGRESSION[b % 4][1]
            self.mix.add(at(b), sy.pad(chord, BAR, level, cutoff, attack=0.08, release=0.4))

    def bells(self, first_bar, level, bars=4):
        """Two chord tones a bar, on the downbeat and the 'and' of beat three."""
        for b in range(first_bar, first_bar + bars):
            chord = PROGRESSION[b % 4][1]
            self.mix.add(at(b), sy.bell(chord[2] + 12, 0.8, level), pan=-0.3)
            self.mix.add(at(b, 2.5), sy.bell(chord[1] + 12, 0.6, level * 0.7), pan=0.3)

    def bassline(self, first_bar, level, per_beat=1, bars=4):
        steps = 4 * per_beat
        for b in range(first_bar, first_bar + bars):
            root = PROGRESSION[b % 4][0]
            for k in range(steps):
                note = root + (12 if per_beat > 1 and k % 2 == 1 else 0)
                self.mix.add(at(b, k / per_beat), sy.bass(note, BEAT / per_beat * 0.8, level, 0.6))

    def arp(self, first_bar, level, bright, bars=4):
        """Sixteenths up and down the bar's chord, an octave up, swaying from side to side."""
        for b in range(first_bar, first_bar + bars):
            chord = PROGRESSION[b % 4][1]
            order = [chord[0], chord[1], chord[2], chord[0] + 12, chord[2], chord[1]]
            for k in range(16):
                note = order[k % len(order)] + 12
                pan = 0.5 * math.sin((b * 16 + k) * 0.4)
                self.mix.add(at(b, k / 4), sy.pluck(note, BEAT / 4 * 0.7, level, bright), pan=pan)

    def drums(self, first_bar, rng, level, snare=True, hats=True, bars=4):
        for b in range(first_bar, first_bar + bars):
            for k in range(8):  # eighths
                beat = k / 2
                if k % 2 == 0:
                    self.mix.add(at(b, beat), sy.kick(0.8 * level))
                if snare and k in (2, 6):
                    self.mix.add(at(b, beat), sy.snare(rng, 0.42 * level), pan=-0.1)
                if hats:
                    self.mix.add(at(b, beat), sy.hat(rng, (0.22 if k % 2 else 0.12) * level), pan=0.35)

    def melody(self, first_bar, notes, voice, level, octave=0):
        for beat, length, note in notes:
            self.mix.add(at(first_bar, beat), voice(note + 12 * octave, length * BEAT * 0.95, level), pan=0.1)

    def downbeat(self, bar, rng, crash=0.4, kick=0.9):
        """The audible hit that opens a section, on its sync point."""
        self.mix.add(at(bar), sy.kick(kick))
        if crash:
            self.mix.add(at(bar), sy.crash(rng, crash, 1.2), pan=0.2)

    # ---- the sections (first_bar is the section's first bar)

    def intro(self, bar, rng):
        self.mix.add(at(bar), sy.bell(74, 1.5, 0.3))
        self.mix.add(at(bar), sy.bell(62, 1.5, 0.18), pan=-0.3)
        self.pads(bar, 0.34, 2.2)
        self.bells(bar, 0.16)
        self.bassline(bar + 2, 0.22, bars=2)  # the bass comes in halfway

    def drift(self, bar, rng):
        self.downbeat(bar, rng, crash=0.3)
        self.pads(bar, 0.14, 2.5)
        self.bassline(bar, 0.38)
        self.arp(bar, 0.08, 0.4)
        for b in range(bar, bar + 4):  # a soft kick on one and three
            self.mix.add(at(b, 2), sy.kick(0.55, 0.3))
        self.bells(bar, 0.08)

    def theme(self, bar, rng):
        self.downbeat(bar, rng, crash=0.45)
        self.drums(bar, rng, 0.85)
        self.bassline(bar, 0.42, per_beat=2)
        self.arp(bar, 0.09, 0.7)
        self.pads(bar, 0.10, 3.0)
        self.melody(bar, THEME, sy.lead, 0.28)

    def breakdown(self, bar, rng):
        self.mix.add(at(bar), sy.kick(0.8, 0.5))
        self.mix.add(at(bar), sy.crash(rng, 0.3, 1.5), pan=0.2)
        self.pads(bar, 0.2, 1.8)
        self.melody(bar, THEME, sy.bell, 0.12, octave=1)
        self.mix.add(at(bar), sy.bass(DM[0], 2 * BAR * 0.95, 0.3, 0.2))
        self.mix.add(at(bar + 2), sy.bass(F[0], 2 * BAR * 0.95, 0.3, 0.2))
        # the last bar climbs into the full section
        self.mix.add(at(bar + 3), sy.riser(rng, BAR, 0.3))
        for k in range(8):
            self.mix.add(at(bar + 3, 2 + k / 4), sy.snare(rng, 0.15 + 0.04 * k), pan=-0.1)

    def full(self, bar, rng):
        self.downbeat(bar, rng, crash=0.55, kick=1.0)
        self.drums(bar, rng, 1.0)
        self.bassline(bar, 0.45, per_beat=2)
        self.arp(bar, 0.1, 1.0)
        self.pads(bar, 0.12, 3.5)
        self.melody(bar, THEME_HIGH, sy.lead, 0.3)
        self.melody(bar, THEME, sy.bell, 0.07, octave=1)

    def outro(self, bar, rng):
        self.downbeat(bar, rng, crash=0.35)
        self.drums(bar, rng, 0.6, snare=False, bars=2)
        self.bassline(bar, 0.36)
        self.arp(bar, 0.07, 0.3)
        self.pads(bar, 0.15, 2.2)
        self.melody(bar, THEME, sy.bell, 0.14, octave=1)

    def ending(self, rng):
        """One last Dm chord on bar 24 that dies away over the tail."""
        end = at(BARS)
        self.mix.add(end, sy.kick(1.0, 0.6))
        self.mix.add(end, sy.crash(rng, 0.45, 1.2))
        self.mix.add(end, sy.pad((50, 62, 65, 69), 0.6, 0.26, 2.5, attack=0.005, release=0.7))
        self.mix.add(end, sy.bass(DM[0] - 12, 1.2, 0.4, 0.5))
        for note in (62, 69, 74):
            self.mix.add(end, sy.bell(note + 12, 1.6, 0.1))


def render():
    piece = Piece()
    for i, name in enumerate(SECTIONS):
        getattr(piece, name)(4 * i, np.random.default_rng(4200 + i))
    piece.ending(np.random.default_rng(4299))
    audio = piece.mix.buf
    # the tail fades to silence over its last second
    fade = int(1.0 * sy.SR)
    audio[:, -fade:] *= np.linspace(1, 0, fade) ** 2
    return sy.master(audio, TARGET_LUFS, CEILING_DB)


def write_wav(path, audio):
    pcm = np.clip(np.rint(audio.T * 32767), -32767, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(sy.SR)
        w.writeframes(pcm.tobytes())


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "shows/lanterns/music.mp3"
    keep_wav = sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--wav" else None
    audio, loudness = render()
    print(f"make_lanterns_music: {audio.shape[1] / sy.SR:.3f} s, {loudness:.2f} LUFS before encoding, "
          f"sample peak {20 * math.log10(np.abs(audio).max()):.2f} dBFS")
    with tempfile.TemporaryDirectory() as tmp:
        wav = keep_wav or os.path.join(tmp, "music.wav")
        write_wav(wav, audio)
        subprocess.run(["lame", "--quiet", "--cbr", "-b", str(BITRATE), "-q", "2", "-m", "j", "--noreplaygain",
                        wav, out], check=True)


if __name__ == "__main__":
    main()
