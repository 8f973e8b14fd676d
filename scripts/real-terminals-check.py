#!/usr/bin/python3
"""Checks the show's picture in real terminal emulators on a virtual X display.

A manual check, not part of `make test`: it needs a dozen heavy packages (the emulators, Xvfb,
Mesa for the OpenGL ones). Run it with

    make real-terminals                       # installs the packages, builds, runs every emulator
    /usr/bin/python3 scripts/real-terminals-check.py [--build build/release] [--only xterm,kitty] [--keep DIR]

For each emulator it finds, it opens a window of 80 x 54 cells on its own Xvfb display (a
bitmap font, or a TrueType one with antialiasing turned off through a fontconfig file in a
scratch HOME), runs this same script inside it (`inner`), and drives it through files:

- asks the terminal for palette entry 0 (OSC 4) and its device attributes (CSI c), as the
  live show does, and records the answers;
- fills the 80 x 50 picture area with reverse-video blanks and takes a screenshot: the block
  of the terminal's foreground colour gives the grid's place and the cell size;
- draws the 16 ANSI colours to learn the emulator's own palette;
- replays still frames of the show (`quorvel4-capture --format ansi`) in 24-bit and in
  palette mode and compares every cell of each screenshot with the frame's cells
  (`--format cells`): a cell of one colour must be that colour alone, a half block its two
  colours in the right halves, any other glyph no colours but its two;
- after the palette frame's closing OSC 104, and after the test card run live in palette
  mode and ended with a key, draws the ANSI colours again: they must be the emulator's own;
- runs the show itself with no QVL_COLORS: it must draw and run until a key (answers that
  it took for keys would end it at once).

It prints a table and writes the details (mismatching cells with their places, expected and
seen colours) to results.json in the work folder.

With --palette-probe (no build needed) it only finds out, in each emulator, whether palette sets
(OSC 4) are drawn and what reading them back answers: it asks for the 16 entries one question
each, sets entry 6 to two colours and asks for it again, sets VGA's 16 colours one sequence
each and in one sequence, and puts the palette back with the first answers (one OSC 4 each) and
with a plain OSC 104; after each step it draws the ANSI colours and reads them from a screenshot.
The answers are kept byte for byte in results.json.
"""

import argparse
import json
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import time
import tty
from pathlib import Path

VGA = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF),
]
# The console numbers its colours blue=1, red=4; ANSI numbers them red=1, blue=4.
ANSI_OF_CONSOLE = [0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15]
COLUMNS, ROWS = 80, 50
WINDOW_ROWS = 54  # a few spare rows: the replay's closing newline must not scroll the picture
FRAME_TIMES_MS = [25000, 38000, 66000, 110000]  # plasma portrait, ripples logo, noise caption, late cell noise
TOLERANCE = 12  # per channel: Xvfb keeps 8 bits a channel, so anything more is a wrong colour
UPPER_HALF, LOWER_HALF, LEFT_HALF, RIGHT_HALF = 0xDF, 0xDC, 0xDD, 0xDE
BLANKS = (0x00, 0x20, 0xFF)
FULL_BLOCK = 0xDB
WAIT_S = 90  # generous: an OpenGL terminal on Mesa's software renderer starts slowly

# ---------------------------------------------------------------- what each cell must look like


def cell_kind(code, fg, bg):
    """The rule a cell's pixels follow: ('one', colour), ('half', first colour's side) or ('glyph',)."""
    if fg == bg or code in BLANKS:
        return ("one", bg)
    if code == FULL_BLOCK:
        return ("one", fg)
    if code in (UPPER_HALF, LOWER_HALF, LEFT_HALF, RIGHT_HALF):
        return ("half", code)
    return ("glyph",)


def half_samples(code, fg, bg):
    """Quarter points of a cell (as fractions of its width and height) and the colour each must show."""
    first, second = {UPPER_HALF: (fg, bg), LOWER_HALF: (bg, fg), LEFT_HALF: (fg, bg), RIGHT_HALF: (bg, fg)}[code]
    if code in (UPPER_HALF, LOWER_HALF):
        return [((0.5, 0.25), first), ((0.5, 0.75), second)]
    return [((0.25, 0.5), first), ((0.75, 0.5), second)]


def read_cells(path):
    """The first frame of a `--format cells` file as rows of (code, fg, bg), fg and bg console colours."""
    data = Path(path).read_bytes()[: COLUMNS * ROWS * 2]
    words = struct.unpack("<%dH" % (COLUMNS * ROWS), data)
    return [[(w & 0xFF, (w >> 8) & 0xF, w >> 12) for w in words[y * COLUMNS:(y + 1) * COLUMNS]] for y in range(ROWS)]


def hexcolour(rgb):
    return "#%02x%02x%02x" % tuple(int(c) for c in rgb)


def close(a, b, tolerance=TOLERANCE):
    return all(abs(int(x) - int(y)) <= tolerance for x, y in zip(a, b))


# ---------------------------------------------------------------- screenshots


def cell_pixels(image, grid, x, y, margin):
    """The pixels of cell (x, y) less `margin` pixels on every side, as an (n, 3) array."""
    left, top, width, height = grid
    x0, y0 = left + x * width + margin, top + y * height + margin
    return image[y0:top + (y + 1) * height - margin, x0:left + (x + 1) * width - margin].reshape(-1, 3)


def colours_outside(pixels, allowed):
    """The distinct colours among `pixels` that are none of `allowed`, with their counts, most first."""
    import numpy as np
    bad = np.ones(len(pixels), dtype=bool)
    for colour in allowed:
        bad &= np.abs(pixels.astype(int) - np.array(colour)).max(axis=1) > TOLERANCE
    if not bad.any():
        return []
    values, counts = np.unique(pixels[bad], axis=0, return_counts=True)
    order = counts.argsort()[::-1]
    return [(hexcolour(values[i]), int(counts[i])) for i in order[:3]]


def between(colour, a, b):
    """Whether `colour` (#rrggbb) is a mix of a and b: antialiasing, or a shade glyph drawn as a flat tint."""
    p = [int(colour[i:i + 2], 16) for i in (1, 3, 5)]
    span = [bi - ai for ai, bi in zip(a, b)]
    length = sum(d * d for d in span)
    t = max(0.0, min(1.0, sum((pi - ai) * d for pi, ai, d in zip(p, a, span)) / length)) if length else 0.0
    return all(abs(pi - (ai + t * d)) <= TOLERANCE for pi, ai, d in zip(p, a, span))


def check_cell(image, grid, x, y, cell, palette, margin):
    """None when cell (x, y) of the screenshot looks as `cell` should, else what is wrong."""
    code, fg, bg = cell
    kind = cell_kind(code, fg, bg)
    if kind[0] == "one":
        allowed = [palette[kind[1]]]
    else:
        allowed = [palette[fg], palette[bg]]
    stray = colours_outside(cell_pixels(image, grid, x, y, margin), allowed)
    if stray:
        mixed = kind[0] == "glyph" and all(between(colour, palette[fg], palette[bg]) for colour, _ in stray)
        return {"rule": kind[0], "stray": stray, "mixed": mixed}
    if kind[0] == "half":
        for (fx, fy), expected in half_samples(code, fg, bg):
            px = grid[0] + int((x + fx) * grid[2])
            py = grid[1] + int((y + fy) * grid[3])
            if not close(image[py, px], palette[expected]):
                return {"rule": "half", "at": [fx, fy], "seen": hexcolour(image[py, px]), "mixed": False}
    return None


def check_frame(image, grid, cells, palette, margin=1):
    """Every cell of the frame against the screenshot: counts by rule and the wrong cells."""
    checked, wrong, mixed = {}, [], []
    for y in range(ROWS):
        for x in range(COLUMNS):
            cell = cells[y][x]
            rule = cell_kind(*cell)[0]
            checked[rule] = checked.get(rule, 0) + 1
            fault = check_cell(image, grid, x, y, cell, palette, margin)
            if fault:
                code, fg, bg = cell
                fault.update({"x": x, "y": y, "char": "%02X" % code,
                              "fg": hexcolour(palette[fg]), "bg": hexcolour(palette[bg])})
                (mixed if fault["mixed"] else wrong).append(fault)
    return {"cells": COLUMNS * ROWS, "by_rule": checked, "wrong": len(wrong), "faults": wrong[:20],
            "mixed": len(mixed), "mixed_glyphs": sorted({f["char"] for f in mixed}), "mixed_examples": mixed[:5]}


def find_grid(mask):
    """The picture area as (left, top, cell width, cell height): `mask` must be a solid box of 80 x 50 cells."""
    ys, xs = mask.nonzero()
    if len(xs) == 0:
        return None
    width, height = xs.max() - xs.min() + 1, ys.max() - ys.min() + 1
    if width % COLUMNS or height % ROWS or len(xs) != width * height:
        return None
    return (int(xs.min()), int(ys.min()), int(width // COLUMNS), int(height // ROWS))


# ---------------------------------------------------------------- what the terminal is shown


def reverse_fill():
    """80 x 50 reverse-video blanks at the top left: the terminal's foreground colour marks the grid."""
    rows = ["\x1b[%dH\x1b[7m%s\x1b[0m" % (y + 1, " " * COLUMNS) for y in range(ROWS)]
    return "".join(rows).encode()


def ansi_colours():
    """Rows 0-15: blanks on ANSI background n; rows 16-31: full blocks in ANSI foreground n."""
    out = []
    for n in range(16):
        bg = 40 + n if n < 8 else 100 + n - 8
        fg = 30 + n if n < 8 else 90 + n - 8
        out.append("\x1b[%dH\x1b[%dm%s\x1b[0m" % (n + 1, bg, " " * COLUMNS))
        out.append("\x1b[%dH\x1b[%dm%s\x1b[0m" % (n + 17, fg, "\u2588" * COLUMNS))
    return "".join(out).encode()


def read_ansi_colours(image, grid):
    """The emulator's 16 ANSI colours as drawn by ansi_colours(): background and foreground."""
    def centre(x, y):
        return tuple(int(c) for c in image[grid[1] + int((y + 0.5) * grid[3]), grid[0] + int((x + 0.5) * grid[2])])
    return {"bg": [centre(40, n) for n in range(16)], "fg": [centre(40, n + 16) for n in range(16)]}


def same_colours(a, b):
    return all(close(p, q) for p, q in zip(a["bg"] + a["fg"], b["bg"] + b["fg"]))


# ---------------------------------------------------------------- inside the terminal
# The driver writes N.req (JSON) into the work folder; the inner side does it and writes N.ack.

PALETTE_QUERY = b"\x1b]4;0;?\x1b\\"
ATTRIBUTES_QUERY = b"\x1b[c"
ATTRIBUTES_ANSWER = re.compile(rb"\x1b\[\?[0-9;]*c")
PREPARE = b"\x1b[0m\x1b[H\x1b[2J\x1b[?25l"  # plain colours, home, clear, cursor hidden


def exchange(data, limit_s=10.0):
    """Writes `data` in raw mode and reads the answers until the device attributes come (or the deadline)."""
    fd = sys.stdin.fileno()
    saved = termios.tcgetattr(fd)
    tty.setraw(fd)
    try:
        write_out(data)
        answer, deadline = b"", time.monotonic() + limit_s
        while not ATTRIBUTES_ANSWER.search(answer) and time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.1)
            if ready:
                answer += os.read(fd, 1024)
    finally:
        termios.tcsetattr(fd, termios.TCSAFLUSH, saved)
    return answer


def ask_terminal():
    """The show's two questions in raw mode; the answers, read until the device attributes come."""
    return exchange(PALETTE_QUERY + ATTRIBUTES_QUERY, limit_s=3.0)


def escaped(data):
    """Bytes as readable text: ESC as \\x1b, a backslash doubled."""
    return data.decode("latin-1").encode("unicode_escape").decode()


def describe_answer(answer):
    """Which questions the terminal answered, and the answer as readable text."""
    palette = re.search(rb"\x1b\]4;0;([^\x07\x1b]*)", answer)
    attributes = ATTRIBUTES_ANSWER.search(answer)
    return {"osc4_answered": bool(palette), "osc4_answer": palette.group(1).decode(errors="replace") if palette else None,
            "csi_c_answered": bool(attributes), "raw": escaped(answer)}


def write_out(data):
    out = sys.stdout.fileno()
    while data:
        data = data[os.write(out, data):]
    termios.tcdrain(out)


def do_request(request):
    """One step the driver asked for; what it answers with."""
    action = request["action"]
    if action == "ask":
        return describe_answer(ask_terminal())
    if action == "show":
        write_out((PREPARE if request.get("clear", True) else b"") + Path(request["file"]).read_bytes())
        return {}
    if action == "exchange":
        answer = exchange(request["send"].encode("latin-1"))
        return {"answer": answer.decode("latin-1")}
    if action == "run":
        write_out(PREPARE)
        env = dict(os.environ, **request.get("env", {}))
        return {"status": subprocess.run(request["argv"], env=env).returncode}
    return {}


def inner(folder):
    folder = Path(folder)
    size = os.get_terminal_size()
    write_out(b"\x1b]2;" + folder.name.encode() + b"\x07")  # the title the driver finds the window by
    (folder / "ready.tmp").write_text(json.dumps({"columns": size.columns, "lines": size.lines,
                                                  "TERM": os.environ.get("TERM"), "COLORTERM": os.environ.get("COLORTERM")}))
    (folder / "ready.tmp").rename(folder / "ready")  # whole when the driver sees it
    number = 0
    while True:
        request_file = folder / ("%d.req" % number)
        if not request_file.exists():
            time.sleep(0.05)  # polling for the driver's next request
            continue
        request = json.loads(request_file.read_text())
        if request["action"] == "quit":
            return
        answer = do_request(request)
        (folder / ("%d.tmp" % number)).write_text(json.dumps(answer))
        (folder / ("%d.tmp" % number)).rename(folder / ("%d.ack" % number))
        number += 1


# ---------------------------------------------------------------- the emulators

BITMAP_FONT = "-misc-fixed-medium-r-normal--13-120-75-75-c-70-iso10646-1"
VECTOR_FONT = "DejaVu Sans Mono"


def emulators(inner_argv):
    """Name, Debian package, and the command that opens it at 80 x 54 cells running `inner_argv`."""
    rows = str(WINDOW_ROWS)
    geometry = "80x%s+0+0" % rows
    return [
        ("xterm", "xterm", ["xterm", "-geometry", geometry, "-fn", BITMAP_FONT, "-u8", "-bw", "0", "-b", "0", "+sb",
                            "-e"] + inner_argv),
        ("urxvt", "rxvt-unicode", ["urxvt", "-geometry", geometry, "-fn", BITMAP_FONT, "-bw", "0", "-b", "0", "+sb",
                                   "-e"] + inner_argv),
        ("mlterm", "mlterm", ["mlterm", "-g", geometry, "-w", "12", "--sb=false", "--aa=false", "-e"] + inner_argv),
        ("xfce4-terminal", "xfce4-terminal",
         ["xfce4-terminal", "--disable-server", "--geometry", geometry, "--font", VECTOR_FONT + " 9", "--hide-menubar",
          "--hide-toolbar", "--hide-scrollbar", "--hide-borders", "-x"] + inner_argv),
        ("kitty", "kitty", ["kitty", "-o", "font_family=" + VECTOR_FONT, "-o", "font_size=9", "-o", "initial_window_width=80c",
                            "-o", "initial_window_height=%sc" % rows, "-o", "remember_window_size=no", "-o",
                            "window_padding_width=0", "-o", "cursor_blink_interval=0"] + inner_argv),
        ("alacritty", "alacritty", ["alacritty", "-o", "window.dimensions.columns=80", "-o", "window.dimensions.lines=" + rows,
                                    "-o", "font.size=9", "-o", "font.normal.family=" + VECTOR_FONT, "-e"] + inner_argv),
        ("konsole", "konsole", ["konsole", "--hide-menubar", "--hide-tabbar", "-p", "TerminalColumns=80", "-p",
                                "TerminalRows=" + rows, "-p", "Font=%s,9,-1,5,50,0,0,0,0,0" % VECTOR_FONT, "-p",
                                "AntiAliasFonts=false", "-p", "ScrollBarPosition=2", "-e"] + inner_argv),
    ]


def package_version(package):
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else None


# ---------------------------------------------------------------- the X display


def start_display(work):
    """An Xvfb of its own; returns (process, ':N') once the server has said which display it took."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
                              pass_fds=[write_end], stderr=open(work / "xvfb.log", "w"))
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):  # Xvfb writes the display number once it accepts clients
        chunk = os.read(read_end, 16)
        if not chunk:
            raise RuntimeError("Xvfb ended before it was ready; see %s" % (work / "xvfb.log"))
        number += chunk
    os.close(read_end)
    return server, ":" + number.decode().strip()


def scratch_home(work):
    """A HOME whose fontconfig turns antialiasing off, so that glyph pixels are the cell's two colours."""
    home = work / "home"
    conf = home / ".config" / "fontconfig"
    conf.mkdir(parents=True, exist_ok=True)
    (conf / "fonts.conf").write_text(
        '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
        '  <match target="font"><edit name="antialias" mode="assign"><bool>false</bool></edit></match>\n'
        "</fontconfig>\n")
    # xfce4-terminal's own palette is VGA's: a Tango one makes a palette left set show.
    xfce = home / ".config" / "xfce4" / "terminal"
    xfce.mkdir(parents=True, exist_ok=True)
    (xfce / "terminalrc").write_text(
        "[Configuration]\nColorPalette=#000000;#cc0000;#4e9a06;#c4a000;#3465a4;#75507b;#06989a;#d3d7cf;"
        "#555753;#ef2929;#8ae234;#fce94f;#729fcf;#ad7fa8;#34e2e2;#eeeeec\n")
    return home


def screenshot(display, work, box=None):
    """The screen (or the `box` (x, y, w, h) of it) as an RGB array."""
    import numpy as np
    from PIL import Image
    path = work / "shot.png"
    subprocess.run(["import", "-display", display, "-window", "root", str(path)], check=True)
    image = np.asarray(Image.open(path).convert("RGB"))
    if box:
        x, y, w, h = box
        image = image[y:y + h, x:x + w]
    return image


def wait_for(what, condition, limit_s=WAIT_S, pause_s=0.2):
    """Polls `condition` until it gives something true; raises, naming `what`, after `limit_s`."""
    deadline = time.monotonic() + limit_s
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(pause_s)
    raise TimeoutError("waited %d s for %s" % (limit_s, what))


def settled_screenshot(display, work, box, what, accept=lambda image: True):
    """A screenshot once two in a row are the same and `accept` takes it: the terminal has drawn."""
    previous = [None]

    def steady():
        image = screenshot(display, work, box)
        same = previous[0] is not None and previous[0].shape == image.shape and (previous[0] == image).all()
        previous[0] = image
        return (image,) if same and accept(image) else None  # a tuple: an array has no truth value
    return wait_for(what, steady)[0]


# ---------------------------------------------------------------- one emulator, driven through files

RESTORE_TAIL = b"\x1b[0m\x1b]104\x1b\\\n"  # how a palette-mode replay file ends
VGA_BROWN = VGA[6]  # a colour no emulator's theme has: the test card shows it once the palette is VGA's


class Session:
    """One emulator window running `inner`, and the requests sent to it."""

    def __init__(self, name, argv, display, work, home):
        self.name, self.display, self.work = name, display, work
        self.folder = Path(tempfile.mkdtemp(prefix="qvl-check-%s-" % name, dir=work))
        self.number = 0
        self.last_image = None
        env = dict(os.environ, DISPLAY=display, HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"),
                   LANG="C.UTF-8", LC_ALL="C.UTF-8", LIBGL_ALWAYS_SOFTWARE="1")
        for variable in ("COLORTERM", "QVL_COLORS", "TMUX"):
            env.pop(variable, None)
        self.log = open(self.folder / "emulator.log", "w")
        self.process = subprocess.Popen(argv + [str(self.folder)], env=env, stdout=self.log, stderr=subprocess.STDOUT)

    def started(self):
        """The terminal's size and variables, once `inner` runs in it; raises if the emulator died."""
        def ready():
            if self.process.poll() is not None:
                raise RuntimeError("exited with status %d: %s" % (self.process.returncode, self.log_tail()))
            path = self.folder / "ready"
            return json.loads(path.read_text()) if path.exists() else None
        info = wait_for("%s to run the inner script" % self.name, ready)
        self.window = wait_for("%s's window titled %s" % (self.name, self.folder.name), self.find_window)
        return info

    def log_tail(self):
        self.log.flush()
        return " | ".join((self.folder / "emulator.log").read_text(errors="replace").strip().splitlines()[-3:])

    def find_window(self):
        """By the title `inner` set, or (Konsole keeps its own title) by the emulator's process."""
        for how in (["--name", self.folder.name], ["--pid", str(self.process.pid)]):
            found = subprocess.run(["xdotool", "search", "--onlyvisible"] + how,
                                   env=dict(os.environ, DISPLAY=self.display), capture_output=True, text=True)
            if found.stdout.split():
                return found.stdout.split()[-1]
        return None

    def box(self):
        """The window's place on the screen as (x, y, width, height)."""
        shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", self.window],
                               env=dict(os.environ, DISPLAY=self.display), capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in shell.split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def post(self, request):
        """Hands a request to `inner`; returns its number for wait()."""
        number = self.number
        self.number += 1
        temporary = self.folder / ("%d.part" % number)
        temporary.write_text(json.dumps(request))
        temporary.rename(self.folder / ("%d.req" % number))
        return number

    def wait(self, number, what, limit_s=WAIT_S):
        ack = self.folder / ("%d.ack" % number)
        return json.loads(wait_for("%s: %s" % (self.name, what), lambda: ack.exists() and ack.read_text(), limit_s))

    def ask(self, request, what):
        return self.wait(self.post(request), what)

    def shoot(self, what, accept=lambda image: True):
        """A settled screenshot of the window that differs from the last one taken (the new drawing is there)."""
        last = self.last_image
        changed = lambda image: (last is None or last.shape != image.shape or (last != image).any()) and accept(image)
        self.last_image = settled_screenshot(self.display, self.work, self.box(), "%s: %s" % (self.name, what), changed)
        return self.last_image

    def clear(self):
        """Clears the terminal; the screenshot of the cleared screen."""
        self.ask({"action": "show", "file": str(self.work / "empty")}, "a cleared screen")
        return self.shoot("the cleared screen")

    def show(self, path, what, clear=True, accept=lambda image: True):
        """Replays a file in the terminal (after a blank screen, so that the shot shows the new picture)."""
        if clear:
            self.clear()
        self.ask({"action": "show", "file": str(path), "clear": clear}, "the replay of %s" % Path(path).name)
        return self.shoot(what, accept)

    def key(self, name):
        env = dict(os.environ, DISPLAY=self.display)
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window], env=env, check=True)
        subprocess.run(["xdotool", "key", name], env=env, check=True)

    def close(self):
        self.post({"action": "quit"})
        try:
            self.process.wait(timeout=30)  # waits for the emulator to see its program end
        except subprocess.TimeoutExpired:
            self.process.terminate()
            self.process.wait(timeout=30)


# ---------------------------------------------------------------- the checks


def make_inputs(build, work, times):
    """The replay and cell files of every frame in both modes, and the driver's own pictures."""
    capture = build / "tools" / "quorvel4-capture"
    frames = {}
    for t in times:
        cells = work / ("cells-%d.bin" % t)
        subprocess.run([str(capture), "--format", "cells", "--times", str(t), "--seed", "1", "--out", str(cells)],
                       check=True, capture_output=True)
        frames[t] = {"cells": cells}
        for mode in ("truecolor", "palette"):
            ansi = work / ("%s-%d.ansi" % (mode, t))
            subprocess.run([str(capture), "--format", "ansi", "--times", str(t), "--seed", "1",
                            "--out", str(ansi)], check=True, capture_output=True, env=dict(os.environ, QVL_COLORS=mode))
            frames[t][mode] = ansi
        split_palette_replay(frames[t])
    (work / "empty").write_bytes(b"")
    (work / "reverse-fill").write_bytes(reverse_fill())
    (work / "ansi-colours").write_bytes(ansi_colours())
    return frames


def split_palette_replay(frame):
    """The palette replay without its closing restore, and that closing apart: the frame is shot in between."""
    data = frame["palette"].read_bytes()
    if not data.endswith(RESTORE_TAIL):
        raise RuntimeError("%s does not end by restoring the palette: %r" % (frame["palette"], data[-40:]))
    frame["palette-body"] = frame["palette"].with_suffix(".body")
    frame["palette-body"].write_bytes(data[: -len(RESTORE_TAIL)])
    frame["palette-tail"] = frame["palette"].with_suffix(".tail")
    frame["palette-tail"].write_bytes(RESTORE_TAIL)


def locate_grid(session):
    """Grid place and cell size: the box of the pixels the reverse-video fill changed on a cleared screen."""
    cleared = session.clear()

    def grid_of(image):
        if image.shape != cleared.shape:
            return None
        return find_grid((image != cleared).any(axis=2))
    session.ask({"action": "show", "file": str(session.work / "reverse-fill"), "clear": False}, "the reverse-video fill")
    return grid_of(session.shoot("the reverse-video fill", grid_of))


def check_frames(session, grid, frames, theme, result):
    for t, frame in frames.items():
        cells = read_cells(frame["cells"])
        image = session.show(frame["truecolor"], "the 24-bit frame at %d ms" % t)
        result["truecolor"][t] = check_frame(image, grid, cells, VGA)
        image = session.show(frame["palette-body"], "the palette frame at %d ms" % t)
        result["palette"][t] = check_frame(image, grid, cells, VGA)
        session.ask({"action": "show", "file": str(frame["palette-tail"]), "clear": False}, "the palette restore")
        image = session.show(session.work / "ansi-colours", "the ANSI colours after the palette replay")
        result["replay_restored"][t] = same_colours(read_ansi_colours(image, grid), theme)


def check_live_restore(session, grid, build, theme, result):
    """The test card in palette mode, ended by a key: the emulator's colours must come back."""
    testcard = build / "tools" / "quorvel4-testcard"
    run = session.post({"action": "run", "argv": [str(testcard), "--terminal"], "env": {"QVL_COLORS": "palette"}})
    has_brown = lambda image: (abs(image.astype(int) - VGA_BROWN).max(axis=2) <= 2).any()
    try:
        session.shoot("the test card in VGA colours", has_brown)
        result["testcard_vga"] = True
    except TimeoutError:  # the emulator kept its own colours; the key and the restore still count
        result["testcard_vga"] = False
    session.key("q")
    result["testcard_status"] = session.wait(run, "the test card to end after a key")["status"]
    image = session.show(session.work / "ansi-colours", "the ANSI colours after the test card")
    after = read_ansi_colours(image, grid)
    result["live_restored"] = same_colours(after, theme)
    result["ansi_after_live"] = [hexcolour(c) for c in after["bg"]]


def check_live_show(session, build, result):
    """The show itself, its colours left to its questions: it must draw and run until a key.

    A terminal's answers that the show takes for keys end it at once."""
    cleared = session.clear()
    demo = build / "demo" / "quorvel4-demo"
    run = session.post({"action": "run", "argv": [str(demo)], "env": {"SDL_AUDIODRIVER": "dummy"}})
    ack = session.folder / ("%d.ack" % run)
    started = time.monotonic()

    def drawn_or_ended():
        if ack.exists():
            return "ended"
        image = screenshot(session.display, session.work, session.box())
        return "drawn" if image.shape == cleared.shape and (image != cleared).any(axis=2).mean() > 0.3 else None
    if wait_for("%s: the live show to draw or end" % session.name, drawn_or_ended) == "ended":
        result["live_show"] = "ended by itself after %.1f s" % (time.monotonic() - started)
        return
    session.key("q")
    session.wait(run, "the live show to end after a key")
    result["live_show"] = "ran until a key"


def in_emulator(name, package, argv, display, work, home, steps, result=None):
    """Opens the emulator, runs `steps(session, result)` in it and closes it; the result, or what failed."""
    result = dict(result or {}, emulator=name, version=package_version(package))
    if result["version"] is None:
        result["error"] = "not installed (Debian package %s)" % package
        return result
    session = Session(name, argv, display, work, home)
    try:
        result["terminal"] = session.started()
        steps(session, result)
    except Exception as error:  # one emulator's failure must not stop the others
        result["error"] = "%s: %s" % (type(error).__name__, error)
    finally:
        session.close()
    return result


def check_emulator(name, package, argv, display, work, home, build, frames):
    def steps(session, result):
        result["answers"] = session.ask({"action": "ask"}, "the answers to OSC 4 and CSI c")
        grid = locate_grid(session)
        result["grid"] = grid
        image = session.show(work / "ansi-colours", "the emulator's ANSI colours")
        theme = read_ansi_colours(image, grid)
        result["ansi_colours"] = [hexcolour(c) for c in theme["bg"]]
        # The live restore first: a palette replay ends with a plain OSC 104, which some
        # emulators ignore, and the colours it leaves would be the ones a live program gives back.
        check_live_restore(session, grid, build, theme, result)
        check_frames(session, grid, frames, theme, result)
        check_live_show(session, build, result)
    return in_emulator(name, package, argv, display, work, home, steps,
                       {"truecolor": {}, "palette": {}, "replay_restored": {}})


# ---------------------------------------------------------------- does the terminal apply OSC 4?
# Sets palette entries one per sequence, reads them back, and compares both with the screen;
# then puts the entries back, once with the values first read and once with OSC 104.

PALETTE_REPLY = re.compile(rb"\x1b\]4;(\d+);([^\x07\x1b]*)(\x07|\x1b\\|\x1b)")
TERMINATORS = {b"\x07": "BEL", b"\x1b\\": "ESC \\", b"\x1b": "lone ESC"}
PROBE_COLOURS = ["rgb:aa/55/00", "rgb:12/34/56"]  # VGA's brown, and one no theme has by chance
RESET_PALETTE = b"\x1b]104\x1b\\"


def palette_query(entries):
    return b"".join(b"\x1b]4;%d;?\x1b\\" % n for n in entries)


def palette_set(values, one_sequence=False):
    """One OSC 4 per entry (or one for all), `values` mapping entry numbers to colour texts."""
    pairs = [b"%d;%s" % (n, value.encode()) for n, value in sorted(values.items())]
    if one_sequence:
        return b"\x1b]4;" + b";".join(pairs) + b"\x1b\\"
    return b"".join(b"\x1b]4;" + pair + b"\x1b\\" for pair in pairs)


def palette_replies(answer):
    """The OSC 4 answers in the order they came, as (entry, value, terminator name)."""
    return [(int(m.group(1)), m.group(2).decode("latin-1"), TERMINATORS[m.group(3)])
            for m in PALETTE_REPLY.finditer(answer)]


def colour_text_rgb(text):
    """An `rgb:r/g/b` colour text (1 to 4 hex digits a channel) as 8-bit channels; None for another form."""
    match = re.fullmatch(r"rgb:([0-9a-fA-F]{1,4})/([0-9a-fA-F]{1,4})/([0-9a-fA-F]{1,4})", text)
    if not match:
        return None
    return tuple(round(int(part, 16) * 255 / (16 ** len(part) - 1)) for part in match.groups())


def vga_colour_texts():
    return {n: "rgb:%02x/%02x/%02x" % VGA[console] for n, console in enumerate(ANSI_OF_CONSOLE)}


def describe_replies(answer, asked):
    """What came back for the entries `asked`: the bytes, whether all came in order, the terminators."""
    replies = palette_replies(answer)
    return {"raw": escaped(answer), "entries": [n for n, _, _ in replies], "in_order": [n for n, _, _ in replies] == asked,
            "values": {n: value for n, value, _ in replies}, "terminators": sorted({end for _, _, end in replies}),
            "csi_c_answered": bool(ATTRIBUTES_ANSWER.search(answer))}


def probe_palette(session, grid):
    """The experiment: the answers and the screen after each set, read-back and restore."""
    def ask(data, asked, what):
        answer = session.ask({"action": "exchange", "send": (data + palette_query(asked) + ATTRIBUTES_QUERY).decode("latin-1")},
                             what)["answer"].encode("latin-1")
        return describe_replies(answer, asked)

    def screen(what):
        image = session.show(session.work / "ansi-colours", what)
        return read_ansi_colours(image, grid)

    every = list(range(16))
    result = {"first": ask(b"", every, "16 palette questions")}
    own = screen("the emulator's ANSI colours")
    result["own_colours"] = [hexcolour(c) for c in own["bg"]]
    result["set_one"] = []
    for text in PROBE_COLOURS:
        step = {"set": text, "reply": ask(palette_set({6: text}), [6], "entry 6 set to %s and asked" % text)}
        shown = screen("the ANSI colours after entry 6 was set to %s" % text)
        step["read_back"] = step["reply"]["values"].get(6)
        step["read_back_same"] = colour_text_rgb(step["read_back"] or "") == colour_text_rgb(text)
        step["shown_bg"], step["shown_fg"] = hexcolour(shown["bg"][6]), hexcolour(shown["fg"][6])
        step["shown_same"] = close(shown["bg"][6], colour_text_rgb(text)) and close(shown["fg"][6], colour_text_rgb(text))
        result["set_one"].append(step)
    own_values = result["first"]["values"]
    result["restores"] = []
    for one_sequence, restore in ((False, "OSC 4"), (False, "OSC 104"), (True, "OSC 4")):
        form = "one sequence" if one_sequence else "one a sequence"
        vga = {"form": form, "reply": ask(palette_set(vga_colour_texts(), one_sequence), every, "VGA's colours set, " + form)}
        shown = screen("the ANSI colours after VGA's were set, " + form)
        vga["read_back_vga"] = all(colour_text_rgb(vga["reply"]["values"].get(n, "")) == colour_text_rgb(text)
                                   for n, text in vga_colour_texts().items())
        vga["shown_vga"] = all(close(shown["bg"][n], colour_text_rgb(text)) for n, text in vga_colour_texts().items())
        step = {"restore": restore, "vga_set": vga,
                "reply": ask(palette_set(own_values) if restore == "OSC 4" else RESET_PALETTE, every, "the restore by " + restore)}
        shown = screen("the ANSI colours after the restore by " + restore)
        step["shown_own"] = same_colours(shown, own)
        step["read_back_first"] = step["reply"]["values"] == own_values
        step["shown"] = [hexcolour(c) for c in shown["bg"]]
        result["restores"].append(step)
    return result


def probe_emulator(name, package, argv, display, work, home):
    return in_emulator(name, package, argv, display, work, home,
                       lambda session, result: result.update(probe_palette(session, locate_grid(session))))


def probe_row(result):
    first = result.get("first")
    if not first:
        return "| %s %s | %s |" % (result["emulator"], result.get("version") or "", result.get("error", ""))
    yes_no = lambda value: "yes" if value else "no"
    sets = "; ".join("%s: read %s, shown %s" % (s["set"], s["read_back"], s["shown_bg"]) for s in result["set_one"])
    restores = "; ".join("VGA's set %s: shown %s, read %s; %s restores %s" % (
        r["vga_set"]["form"], yes_no(r["vga_set"]["shown_vga"]), yes_no(r["vga_set"]["read_back_vga"]), r["restore"],
        yes_no(r["shown_own"])) for r in result["restores"])
    return "| %s %s | %d of 16, %s, %s | %s | %s | %s |" % (
        result["emulator"], result["version"], len(first["entries"]), "in order" if first["in_order"] else "OUT OF ORDER",
        "+".join(first["terminators"]), sets, restores, result.get("error", ""))


# ---------------------------------------------------------------- the report


def summary_row(result):
    """One line of the table: version, answers, frames (wrong cells of checked), restores."""
    def frames(mode):
        checks = result.get(mode, {}).values()
        if not checks:
            return "-"
        wrong, mixed = sum(c["wrong"] for c in checks), sum(c.get("mixed", 0) for c in checks)
        glyphs = sorted({g for c in checks for g in c.get("mixed_glyphs", [])})
        text = "%s (%d of %d cells wrong" % ("yes" if wrong == 0 else "NO", wrong, sum(c["cells"] for c in checks))
        listed = " ".join(glyphs[:6]) + (" ..." if len(glyphs) > 6 else "")
        return text + ("; %d cells of glyphs %s in a mix of their two colours)" % (mixed, listed) if mixed else ")")
    answers = result.get("answers", {})
    yes_no = lambda value: "-" if value is None else ("yes" if value else "no")
    replay = result.get("replay_restored", {}).values()
    return "| %s %s | %s | %s | %s | %s | %s / %s | %s | %s |" % (
        result["emulator"], result.get("version") or "", yes_no(answers.get("osc4_answered")),
        yes_no(answers.get("csi_c_answered")), frames("truecolor"), frames("palette"),
        yes_no(all(replay) if replay else None), yes_no(result.get("live_restored")), result.get("live_show", "-"),
        result.get("error", ""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build/release", help="the release build folder")
    parser.add_argument("--only", help="comma-separated emulator names")
    parser.add_argument("--keep", help="the work folder (kept); else a temporary one")
    parser.add_argument("--palette-probe", action="store_true",
                        help="only whether each emulator applies OSC 4 and how its palette comes back (no build needed)")
    arguments = parser.parse_args()
    build = Path(arguments.build).resolve()
    work = Path(arguments.keep or tempfile.mkdtemp(prefix="qvl-terminals-")).resolve()
    work.mkdir(parents=True, exist_ok=True)
    if arguments.palette_probe:
        (work / "empty").write_bytes(b"")
        (work / "reverse-fill").write_bytes(reverse_fill())
        (work / "ansi-colours").write_bytes(ansi_colours())
    else:
        frames = make_inputs(build, work, FRAME_TIMES_MS)
    server, display = start_display(work)
    results = []
    try:
        inner_argv = [sys.executable, str(Path(__file__).resolve()), "inner"]
        for name, package, argv in emulators(inner_argv):
            if arguments.only and name not in arguments.only.split(","):
                continue
            print("checking %s ..." % name, flush=True)
            if arguments.palette_probe:
                results.append(probe_emulator(name, package, argv, display, work, scratch_home(work)))
                print(probe_row(results[-1]), flush=True)
            else:
                results.append(check_emulator(name, package, argv, display, work, scratch_home(work), build, frames))
                print(summary_row(results[-1]), flush=True)
    finally:
        server.terminate()
        server.wait()
    (work / "results.json").write_text(json.dumps(results, indent=1, default=str))
    if arguments.palette_probe:
        print("\n| emulator | 16 queries answered | entry 6 set: read back, shown | VGA's set, and the emulator's "
              "own colours back | notes |\n|---|---|---|---|---|")
        for result in results:
            print(probe_row(result))
        print("\ndetails: %s" % (work / "results.json"))
        return 0
    print("\n| emulator | OSC 4 answered | CSI c answered | 24-bit frames right | palette frames right "
          "| palette restored (replay / live) | live show, no QVL_COLORS | notes |\n|---|---|---|---|---|---|---|---|")
    for result in results:
        print(summary_row(result))
    print("\ndetails: %s" % (work / "results.json"))
    if not arguments.keep:
        print("(work folder %s left for the details; remove it when done)" % work)
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "inner":
        sys.exit(inner(sys.argv[2]))
    sys.exit(main())
