"""A small synthesizer: band-limited oscillators, envelopes, filters, drums and a stereo mixer.

Everything is numpy on float64 at 44.1 kHz. Oscillators are built from their harmonics, so a
low-pass filter is applied by weighting each harmonic with the filter's response (which may
move with time); noise is filtered in the frequency domain. All noise comes from generators
seeded by the caller, so a render is the same every time.
"""
import math

import numpy as np

SR = 44100


def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def times(duration):
    return np.arange(int(round(duration * SR))) / SR


# ---------------------------------------------------------------- envelopes

def adsr(n, attack, decay, sustain, release, gate):
    """Attack, decay and sustain while the gate (seconds) is open, then a release; n samples."""
    t = np.arange(n) / SR
    env = np.where(t < attack, t / max(attack, 1e-9),
                   sustain + (1 - sustain) * np.exp(-(t - attack) / max(decay, 1e-9)))
    at_gate = float(np.interp(gate, t, env)) if n else 0.0
    after = t >= gate
    env[after] = at_gate * np.exp(-(t[after] - gate) / max(release, 1e-9))
    return env


def perc(n, attack, decay):
    """A percussive envelope: a short linear attack, then an exponential fall."""
    t = np.arange(n) / SR
    return np.minimum(t / attack, 1.0) * np.exp(-t / decay)


# ---------------------------------------------------------------- filters

def lowpass_gain(freq, cutoff, resonance):
    """Magnitude of a two-pole resonant low-pass at freq (arrays broadcast)."""
    r = freq / cutoff
    return 1.0 / np.sqrt((1 - r * r) ** 2 + (r / resonance) ** 2)


def fft_filter(signal, response):
    """Filters a signal by a magnitude response given as a function of frequency in Hz."""
    n = len(signal)
    size = 1 << max(1, (n - 1).bit_length())
    spectrum = np.fft.rfft(signal, size)
    spectrum *= response(np.fft.rfftfreq(size, 1.0 / SR))
    return np.fft.irfft(spectrum, size)[:n]


def bandpass(signal, low, high):
    return fft_filter(signal, lambda f: ((f >= low) & (f <= high)).astype(float) *
                      np.clip(np.minimum(f / low, high / np.maximum(f, 1)), 0, 1))


def highpass(signal, cutoff):
    return fft_filter(signal, lambda f: 1.0 / np.sqrt(1 + (cutoff / np.maximum(f, 1.0)) ** 4))


# ---------------------------------------------------------------- oscillators

def harmonic_wave(freq, n, shape, cutoff=None, resonance=0.7, detune_cents=0.0, phase=0.0, max_harmonics=64,
                  wobble=None):
    """A band-limited saw, square or triangle of n samples, optionally low-passed by a cutoff
    (Hz, a number or an array of n values moving with time); `wobble` is a phase modulation
    of the fundamental in radians (vibrato)."""
    t = np.arange(n) / SR
    f0 = freq * 2.0 ** (detune_cents / 1200.0)
    out = np.zeros(n)
    top = min(max_harmonics, int((SR / 2 - 200) / f0))
    for k in range(1, top + 1):
        if shape == "saw":
            amp = 1.0 / k
        elif shape == "square":
            if k % 2 == 0:
                continue
            amp = 1.0 / k
        else:  # triangle
            if k % 2 == 0:
                continue
            amp = (1.0 if (k // 2) % 2 == 0 else -1.0) / (k * k)
        if cutoff is not None:
            gain = lowpass_gain(k * f0, cutoff, resonance)
            if np.max(gain) < 1e-3:
                break
            amp = amp * gain
        angle = 2 * math.pi * k * f0 * t + k * phase
        if wobble is not None:
            angle = angle + k * wobble
        out += amp * np.sin(angle)
    return out * (2 / math.pi)


def fm_bell(freq, n, index=3.0, ratio=3.5, decay=0.6):
    t = np.arange(n) / SR
    mod = index * np.exp(-t / (decay * 0.5)) * np.sin(2 * math.pi * freq * ratio * t)
    return np.sin(2 * math.pi * freq * t + mod) * perc(n, 0.002, decay)


# ---------------------------------------------------------------- instruments (mono)

def kick(level=1.0, decay=0.28):
    n = int(0.45 * SR)
    t = np.arange(n) / SR
    pitch = 45 + 110 * np.exp(-t / 0.035)
    body = np.sin(2 * math.pi * np.cumsum(pitch) / SR) * perc(n, 0.0015, decay)
    click = np.exp(-t / 0.003) * np.sin(2 * math.pi * 1800 * t) * 0.3
    return level * np.tanh(1.6 * (body + click)) / np.tanh(1.6)


def snare(rng, level=1.0, decay=0.13):
    n = int(0.35 * SR)
    t = np.arange(n) / SR
    noise = bandpass(rng.standard_normal(n), 900, 9000) * 0.35 * perc(n, 0.001, decay)
    tone = np.sin(2 * math.pi * 190 * t) * perc(n, 0.001, 0.05) * 0.6
    return level * (noise + tone)


def hat(rng, level=1.0, open_=False):
    n = int((0.35 if open_ else 0.07) * SR)
    noise = highpass(rng.standard_normal(n), 7000) * 0.3
    return level * noise * perc(n, 0.0008, 0.12 if open_ else 0.018)


def crash(rng, level=1.0, decay=0.9):
    n = int(2.5 * SR)
    noise = highpass(rng.standard_normal(n), 3500) * 0.3
    return level * noise * perc(n, 0.001, decay)


def bass(note, duration, level=1.0, bright=1.0):
    n = int((duration + 0.05) * SR)
    f = midi_hz(note)
    env = adsr(n, 0.003, 0.15, 0.6, 0.03, duration)
    cutoff = f * (2 + 10 * bright * perc(n, 0.002, 0.09))
    sub = np.sin(2 * math.pi * f * np.arange(n) / SR)
    return level * env * (0.6 * harmonic_wave(f, n, "saw", cutoff, 1.6, max_harmonics=40) + 0.5 * sub)


def pluck(note, duration, level=1.0, bright=1.0, shape="square"):
    n = int((duration + 0.15) * SR)
    f = midi_hz(note)
    env = adsr(n, 0.002, 0.12, 0.3, 0.08, duration)
    cutoff = f * (1.5 + 8 * bright * perc(n, 0.001, 0.07))
    return level * env * harmonic_wave(f, n, shape, cutoff, 2.0, max_harmonics=24)


def lead(note, duration, level=1.0, bright=1.0):
    n = int((duration + 0.25) * SR)
    f = midi_hz(note)
    t = np.arange(n) / SR
    env = adsr(n, 0.01, 0.3, 0.7, 0.18, duration)
    # vibrato of up to 15 cents at 5.5 Hz, fading in once the note has settled
    deviation = f * (2 ** (15 / 1200) - 1) * np.clip((t - 0.25) / 0.3, 0, 1)
    wobble = deviation / 5.5 * np.sin(2 * math.pi * 5.5 * t)
    cutoff = f * (3 + 5 * bright * adsr(n, 0.02, 0.4, 0.4, 0.2, duration))
    voices = sum(harmonic_wave(f, n, "saw", cutoff, 1.2, cents, phase=cents * 0.05, max_harmonics=32, wobble=wobble)
                 for cents in (-7, 7))
    return level * env * voices * 0.5


def pad(notes, duration, level=1.0, cutoff_mult=4.0, attack=0.4, release=0.8):
    n = int((duration + release * 3) * SR)
    env = adsr(n, attack, 1.0, 1.0, release, duration)
    out = np.zeros(n)
    for i, note in enumerate(notes):
        f = midi_hz(note)
        for cents in (-9, 0, 9):
            out += harmonic_wave(f, n, "saw", f * cutoff_mult, 0.8, cents, phase=i + cents * 0.1, max_harmonics=20)
    return level * env * out / (3 * max(len(notes), 1))


def bell(note, duration, level=1.0):
    n = int((duration + 1.0) * SR)
    return level * fm_bell(midi_hz(note), n, decay=max(0.4, duration))


def blip(note, duration, level=1.0, crush=8):
    """A bit-crushed square blip: the glitch voice."""
    n = int(duration * SR)
    f = midi_hz(note)
    t = np.arange(n) / SR
    wave = np.sign(np.sin(2 * math.pi * f * t))
    held = wave[(np.arange(n) // crush) * crush]
    return level * held * perc(n, 0.0005, duration * 0.5) * 0.5


def riser(rng, duration, level=1.0):
    """Noise and a saw sweep that climb to the end of the stretch."""
    n = int(duration * SR)
    t = np.arange(n) / SR
    ramp = (t / duration) ** 2
    noise = highpass(rng.standard_normal(n), 2000) * 0.25
    sweep_f = 200 * 2 ** (4 * t / duration)
    sweep = np.sin(2 * math.pi * np.cumsum(sweep_f) / SR) * 0.3
    return level * ramp * (noise + sweep)


def crush(signal, bits, hold):
    """Sample-and-hold by `hold` samples and quantise to `bits`."""
    idx = (np.arange(len(signal)) // hold) * hold
    held = signal[np.minimum(idx, len(signal) - 1)]
    q = 2.0 ** (bits - 1)
    return np.round(held * q) / q


# ---------------------------------------------------------------- mixer

class Mixer:
    """A stereo buffer that sounds are added into at sample positions."""

    def __init__(self, duration):
        self.buf = np.zeros((2, int(round(duration * SR))))

    def add(self, at_seconds, sound, pan=0.0, gain=1.0):
        start = int(round(at_seconds * SR))
        if start >= self.buf.shape[1] or len(sound) == 0:
            return
        sound = sound[: self.buf.shape[1] - start]
        left = math.cos((pan + 1) * math.pi / 4) * math.sqrt(2)
        right = math.sin((pan + 1) * math.pi / 4) * math.sqrt(2)
        self.buf[0, start:start + len(sound)] += gain * left * sound
        self.buf[1, start:start + len(sound)] += gain * right * sound


# ---------------------------------------------------------------- mastering

def _biquad_response(b, a, freqs):
    z = np.exp(-2j * math.pi * freqs / SR)
    return np.abs((b[0] + b[1] * z + b[2] * z * z) / (a[0] + a[1] * z + a[2] * z * z))


def _k_weighting(freqs):
    """The loudness meter's pre-filter: a high shelf of +4 dB and a high-pass near 38 Hz."""
    g, fc, q = 3.99984385397, 1681.9744509555319, 0.7071752369554193
    k = math.tan(math.pi * fc / SR)
    vh = 10 ** (g / 20)
    vb = vh ** 0.4996667741545416
    a0 = 1 + k / q + k * k
    shelf = _biquad_response([(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0],
                             [1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0], freqs)
    fc, q = 38.13547087613982, 0.5003270373253953
    k = math.tan(math.pi * fc / SR)
    a0 = 1 + k / q + k * k
    hp = _biquad_response([1, -2, 1], [1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0], freqs)
    return shelf * hp


def integrated_loudness(stereo):
    """Gated integrated loudness in LUFS (400 ms blocks, 75 % overlap, -70 and -10 gates)."""
    weighted = np.array([fft_filter(ch, _k_weighting) for ch in stereo])
    block, hop = int(0.4 * SR), int(0.1 * SR)
    power = np.cumsum(np.concatenate([[0.0], (weighted ** 2).sum(axis=0)]))
    starts = np.arange(0, weighted.shape[1] - block + 1, hop)
    z = (power[starts + block] - power[starts]) / block
    loud = -0.691 + 10 * np.log10(np.maximum(z, 1e-20))
    z = z[loud > -70]
    relative = -0.691 + 10 * math.log10(z.mean()) - 10
    z = z[-0.691 + 10 * np.log10(z) > relative]
    return -0.691 + 10 * math.log10(z.mean())


def _window_min(values, size):
    """Minimum over a centred window of `size` (odd) samples, in linear time."""
    half = size // 2
    padded = np.concatenate([np.full(half, np.inf), values, np.full(half + size, np.inf)])
    blocks = len(padded) // size
    padded = padded[: blocks * size].reshape(blocks, size)
    forward = np.minimum.accumulate(padded, axis=1).ravel()
    backward = np.minimum.accumulate(padded[:, ::-1], axis=1)[:, ::-1].ravel()
    n = len(values)
    return np.minimum(backward[:n], forward[size - 1: size - 1 + n])


def limit(stereo, ceiling, lookahead=0.004):
    """A look-ahead peak limiter: the gain falls smoothly before any sample above the
    ceiling, so no sample exceeds it."""
    peak = np.abs(stereo).max(axis=0)
    need = np.minimum(1.0, ceiling / np.maximum(peak, 1e-12))
    w = int(lookahead * SR) | 1
    held = _window_min(need, 2 * w + 1)
    # a centred moving average of width w: every sample it spans is within the held window
    # of any peak it covers, so the smoothed gain never rises above what a peak needs
    sums = np.cumsum(np.concatenate([[0.0], np.pad(held, (w // 2, w // 2), mode="edge")]))
    smooth = (sums[w:] - sums[:-w]) / w
    return stereo * smooth[None, :]


def master(stereo, target_lufs, ceiling_db):
    """Brings the mix to the target loudness, then limits its peaks (two passes, since
    limiting lowers the loudness a little)."""
    ceiling = 10 ** (ceiling_db / 20)
    out = stereo
    for _ in range(3):
        out = out * 10 ** ((target_lufs - integrated_loudness(out)) / 20)
        out = limit(out, ceiling)
    return out, integrated_loudness(out)
