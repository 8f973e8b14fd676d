#!/usr/bin/env python3
"""The terminal stream's cost, measured in one run.

  terminal-stream-measure.py BUILD_DIR [--rates 250000,1000000] [--modes truecolor,palette]
                                       [--skip-live] [--skip-capture] [--skip-bench]

- bytes of the whole show at 60 fps (capture --format ansi) in each colour mode, beside the
  gzip -1 size of the stream, and the cast at 30 fps;
- the encoder's time per full and per changed frame (the Google Benchmark of bench/);
- frames the live show presents per second through a pseudo-terminal read at each rate,
  counted by the synchronized-update ends it writes, and how long it ran.

Modes the build does not know are reported as such (the capture fails), so the same script
measures an older build.
"""
import argparse
import fcntl
import gzip
import os
import pty
import select
import struct
import subprocess
import sys
import termios
import time

FRAME_END = b"\x1b[?2026l"
SHOW_TIMES = "0:124000"  # the whole show


def capture_size(build, fmt, mode, fps, seed="1"):
    out = f"/tmp/qvl-measure-{os.getpid()}.{fmt}"
    env = dict(os.environ, QVL_COLORS=mode)
    args = [f"{build}/tools/capture", "--format", fmt, "--out", out, "--seed", seed, "--times", SHOW_TIMES,
            "--fps", str(fps)]
    r = subprocess.run(args, env=env, capture_output=True, text=True)
    if r.returncode != 0:
        return None, None, r.stderr.strip()
    data = open(out, "rb").read()
    os.unlink(out)
    return len(data), len(gzip.compress(data, compresslevel=1)), ""


def live(build, rate, mode):
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 80, 0, 0))
    env = dict(os.environ, TERM="xterm-256color", COLORTERM="truecolor", QVL_COLORS=mode)
    start = time.monotonic()
    proc = subprocess.Popen([f"{build}/demo/quorvel_demo", "--terminal"], stdin=slave, stdout=slave,
                            stderr=subprocess.DEVNULL, env=env, start_new_session=True,
                            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    os.close(slave)
    total, frames, tail = 0, 0, b""
    while True:
        elapsed = time.monotonic() - start
        allowed = int(rate * elapsed) - total if rate else 1 << 20
        if allowed <= 0:
            time.sleep(0.002)
            continue
        ready, _, _ = select.select([master], [], [], 0.05)
        if not ready:
            if proc.poll() is not None:
                break
            continue
        try:
            chunk = os.read(master, min(allowed, 65536))
        except OSError:
            break
        if not chunk:
            break
        total += len(chunk)
        data = tail + chunk
        frames += data.count(FRAME_END)
        tail = data[-(len(FRAME_END) - 1):]
    proc.wait()
    seconds = time.monotonic() - start
    os.close(master)
    return frames, seconds, total


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--rates", default="250000,1000000")
    ap.add_argument("--modes", default="truecolor,palette")
    ap.add_argument("--skip-live", action="store_true")
    ap.add_argument("--skip-capture", action="store_true")
    ap.add_argument("--skip-bench", action="store_true")
    a = ap.parse_args()
    modes = a.modes.split(",")
    if not a.skip_capture:
        for mode in modes:
            size, gz, err = capture_size(a.build, "ansi", mode, 60)
            if size is None:
                print(f"ansi 60 fps {mode}: not available ({err})")
            else:
                print(f"ansi 60 fps {mode}: {size / 1e6:.1f} MB, gzip -1 {gz / 1e6:.1f} MB")
            size, gz, err = capture_size(a.build, "cast", mode, 30)
            if size is not None:
                print(f"cast 30 fps {mode}: {size / 1e6:.1f} MB")
        sys.stdout.flush()
    if not a.skip_bench:
        r = subprocess.run([f"{a.build}/bench/qvl_bench", "--benchmark_filter=BM_TerminalEncode"],
                           capture_output=True, text=True)
        print(r.stdout)
        sys.stdout.flush()
    if not a.skip_live:
        for mode in modes:
            for rate in [int(x) for x in a.rates.split(",")]:
                frames, seconds, total = live(a.build, rate, mode)
                print(f"live {mode} at {rate / 1000:.0f} kB/s: {frames} frames in {seconds:.1f} s "
                      f"= {frames / seconds:.1f} fps, {total / 1e6:.1f} MB read")
                sys.stdout.flush()


if __name__ == "__main__":
    main()
