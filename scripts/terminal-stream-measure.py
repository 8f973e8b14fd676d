#!/usr/bin/env python3
"""The terminal stream's cost, measured in one run, for a build and (optionally) an older one.

  terminal-stream-measure.py BUILD_DIR [--before OLD_BUILD_DIR] [--rates 250000,1000000]
                             [--modes truecolor,palette] [--skip-live] [--skip-capture] [--skip-bench]
                             [--no-answers]

- bytes of the whole show (seed 1) at 60 fps (capture --format ansi) in each colour mode, with
  the gzip -1 size of each stream, and the cast at 30 fps;
- the encoder's time per full and per changed frame (the Google Benchmark of bench/, the least of
  nine runs taken in turns with the older build);
- frames the live show presents per second through a pseudo-terminal read at each rate,
  counted by the synchronized-update ends it writes, how long it ran and how many seconds
  after the end of the music its last byte was read (the music counted from the first frame);
  the reader answers the show's device-attributes questions when it reads them, as a
  terminal at the end of the link would (--no-answers: as one that answers nothing).

The older build is measured in 24-bit colour only: a build without the palette mode would
quietly fall back to 24-bit and report its bytes under the wrong name.
"""
import argparse
import fcntl
import gzip
import json
import os
import pty
import re
import select
import struct
import subprocess
import sys
import termios
import time

FRAME_END = b"\x1b[?2026l"
ASK_ATTRIBUTES = b"\x1b[c"
ATTRIBUTES_ANSWER = b"\x1b[?62;22c"
SHOW_TIMES = "0:124000"  # the whole show


def program(build, *candidates):
    """The first of the program's names (they gained a prefix once) that the build holds."""
    for name in candidates:
        path = os.path.join(build, name)
        if os.access(path, os.X_OK):
            return path
    sys.exit(f"terminal-stream-measure: none of {', '.join(candidates)} in {build}")


def capture_program(build):
    return program(build, "tools/quorvel4-capture", "tools/capture")


def demo_program(build):
    return program(build, "demo/quorvel4-demo", "demo/quorvel_demo")


def capture(build, fmt, mode, fps, seed="1"):
    """(bytes, gzip -1 bytes, seconds of show) of one export, or None and the reason."""
    out = f"/tmp/qvl-measure-{os.getpid()}.{fmt}"
    env = dict(os.environ, QVL_COLORS=mode)
    args = [capture_program(build), "--format", fmt, "--out", out, "--seed", seed, "--times", SHOW_TIMES,
            "--fps", str(fps)]
    r = subprocess.run(args, env=env, capture_output=True, text=True)
    if r.returncode != 0:
        return None, r.stderr.strip()
    with open(out, "rb") as f:
        data = f.read()
    os.unlink(out)
    seconds = re.search(r"([0-9.]+) s of show", r.stderr)
    show = float(seconds.group(1)) + 1.0 / fps if seconds else None
    return (len(data), len(gzip.compress(data, compresslevel=1)), show), ""


def bench(build, results):
    """Adds the encoder benchmarks' times to {(name, mode): (microseconds, bytes per frame)},
    keeping the least time seen: on a shared machine the fastest run is the least disturbed."""
    r = subprocess.run([os.path.join(build, "bench/qvl_bench"), "--benchmark_filter=BM_TerminalEncode",
                        "--benchmark_format=json", "--benchmark_repetitions=3"], capture_output=True, text=True)
    if r.returncode != 0:
        return
    for b in json.loads(r.stdout)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        key = (b["run_name"].split("/")[0], b.get("label", ""))
        if key not in results or b["real_time"] < results[key][0]:
            results[key] = (b["real_time"], b.get("bytes_per_frame", 0))


def live(build, rate, mode, answer):
    """(frames, seconds, bytes) of the live show through a pseudo-terminal read at `rate` bytes/s,
    answering its device-attributes questions as a terminal does (`answer`) or not at all."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 80, 0, 0))
    env = dict(os.environ, TERM="xterm-256color", COLORTERM="truecolor", QVL_COLORS=mode)
    start = time.monotonic()
    proc = subprocess.Popen([demo_program(build), "--terminal"], stdin=slave, stdout=slave,
                            stderr=subprocess.DEVNULL, env=env, start_new_session=True,
                            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    os.close(slave)
    total, frames, tail, ask_tail, first_frame = 0, 0, b"", b"", None
    while True:
        allowed = int(rate * (time.monotonic() - start)) - total
        if allowed <= 0:
            time.sleep(0.002)  # pacing the reader to the link's rate, not waiting for the show
            continue
        ready, _, _ = select.select([master], [], [], 0.05)
        if not ready:
            if proc.poll() is not None:
                break
            continue
        try:
            chunk = os.read(master, min(allowed, 65536))
        except OSError:  # the show closed its side
            break
        if not chunk:
            break
        total += len(chunk)
        data = tail + chunk
        frames += data.count(FRAME_END)
        if frames and first_frame is None:
            first_frame = time.monotonic()  # the music starts with the first frame
        tail = data[-(len(FRAME_END) - 1):]
        if answer:
            # A terminal answers a device-attributes question once it has read it.
            asked = ask_tail + chunk
            os.write(master, ATTRIBUTES_ANSWER * asked.count(ASK_ATTRIBUTES))
            ask_tail = asked[-(len(ASK_ATTRIBUTES) - 1):]
    proc.wait()
    end = time.monotonic()  # the last byte read: the end the viewer sees
    os.close(master)
    return frames, end - start, end - (first_frame or start), total


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--before", help="an older build, measured beside it in 24-bit colour")
    ap.add_argument("--rates", default="250000,1000000")
    ap.add_argument("--modes", default="truecolor,palette")
    ap.add_argument("--skip-live", action="store_true")
    ap.add_argument("--skip-capture", action="store_true")
    ap.add_argument("--skip-bench", action="store_true")
    ap.add_argument("--no-answers", action="store_true",
                    help="the live show's terminal answers no question (as a pipe or a bare link)")
    a = ap.parse_args()
    runs = [("before", a.before, ["truecolor"])] if a.before else []
    runs.append(("after", a.build, a.modes.split(",")))
    show_seconds = None
    if not a.skip_capture:
        for label, build, modes in runs:
            for mode in modes:
                ansi, err = capture(build, "ansi", mode, 60)
                if ansi is None:
                    print(f"{label} ansi 60 fps {mode}: not available ({err})")
                    continue
                show_seconds = ansi[2] or show_seconds
                cast, _ = capture(build, "cast", mode, 30)
                cast_text = f"{cast[0] / 1e6:.1f} MB" if cast else "not available"
                print(f"{label} {mode}: ansi 60 fps {ansi[0] / 1e6:.1f} MB (gzip -1 {ansi[1] / 1e6:.1f} MB), "
                      f"cast 30 fps {cast_text}")
                sys.stdout.flush()
    if not a.skip_bench:
        # The builds take turns, so that a burst of load elsewhere does not fall on one alone.
        results = {label: {} for label, _, _ in runs}
        for _ in range(3):
            for label, build, _ in runs:
                bench(build, results[label])
        for label, _, _ in runs:
            for (name, mode), (us, size) in sorted(results[label].items()):
                print(f"{label} {name} {mode}: {us:.1f} us, {size / 1000:.1f} kB a frame")
        sys.stdout.flush()
    if not a.skip_live:
        for label, build, modes in runs:
            for mode in modes:
                for rate in [int(x) for x in a.rates.split(",")]:
                    frames, seconds, shown, total = live(build, rate, mode, not a.no_answers)
                    late = f", ended {shown - show_seconds:+.1f} s after the music" if show_seconds else ""
                    print(f"{label} live {mode} at {rate / 1000:.0f} kB/s: {frames} frames in {seconds:.1f} s "
                          f"= {frames / seconds:.1f} fps, {total / 1e6:.1f} MB read{late}")
                    sys.stdout.flush()


if __name__ == "__main__":
    main()
