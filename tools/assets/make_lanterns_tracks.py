#!/usr/bin/python3
"""Writes the sync tracks of the "Lanterns" show (shows/lanterns/) as track files.

Each track is a name and its keys: (row, value, interpolation) with the rows at the show's tempo,
120 BPM and 4 rows a beat, so 8 rows a second and 16 a bar. A track file holds a little-endian
int32 key count, then per key an int32 row, a float32 value and a uint8 interpolation (0 step,
1 linear, 2 smooth, 3 ramp); it is named sync_NAME.track with every byte of the name but
letters, digits, '.', '_' and '/' written as '-' and two upper-case hex digits.

A sync-tracker edits these live (quorvel4-demo --edit --sync 1338 shows/lanterns) and writes them
back when asked to save; this script makes the ones the show ships with.

Usage: make_lanterns_tracks.py [OUTPUT_DIR]   (default shows/lanterns)
"""
import os
import struct
import sys

STEP, LINEAR, SMOOTH, RAMP = range(4)
BAR = 16  # rows

TRACKS = {
    # the intro's fade-in: black to the whole picture over 2.5 s (20 rows)
    "title:fade": [(0, 0.0, LINEAR), (20, 1.0, STEP)],
    # the rising lantern's sway in pixels: it grows over bar 2, settles over bar 3
    "lantern:sway": [(2 * BAR, 1.0, SMOOTH), (3 * BAR, 4.0, SMOOTH), (4 * BAR, 2.0, STEP)],
    # the banner's slide, 0 to 1 across bars 8 and 9, eased in and out
    "banner:slide": [(8 * BAR, 0.0, SMOOTH), (10 * BAR, 1.0, STEP)],
}


def file_name(base, name):
    kept = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._/"
    encoded = "".join(chr(c) if c in kept else "-%02X" % c for c in name.encode("utf-8"))
    return "%s_%s.track" % (base, encoded)


def track_bytes(keys):
    data = struct.pack("<i", len(keys))
    for row, value, interpolation in keys:
        data += struct.pack("<ifB", row, value, interpolation)
    return data


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join("shows", "lanterns")
    for name, keys in TRACKS.items():
        with open(os.path.join(out, file_name("sync", name)), "wb") as f:
            f.write(track_bytes(keys))


if __name__ == "__main__":
    main()
