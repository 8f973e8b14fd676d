#!/usr/bin/env bash
# Puts the Windows build into dist/windows/ (the show, capture, the data, the shows made with the
# kit, the licences, a README) and zips it into dist/quorvel4-windows.zip. Usage: scripts/windows-package.sh BUILD_DIR DIST_DIR
set -euo pipefail
build=$1
dist=$2
rm -rf "$dist/windows" "$dist/quorvel4-windows.zip"
mkdir -p "$dist/windows"
cp "$build/demo/quorvel4-demo.exe" "$build/tools/quorvel4-capture.exe" "$dist/windows/"
cp -r data "$dist/windows/data"
# Each show a folder to play as it is or to copy and change, as in the Linux package.
cp -r shows "$dist/windows/shows"
# The licences, with Windows line ends: MIT for the programs, CC BY 4.0 for the data and the shows.
sed 's/$/\r/' LICENSE >"$dist/windows/LICENSE.txt"
sed 's/$/\r/' LICENSE-CC-BY-4.0 >"$dist/windows/LICENSE-CC-BY-4.0.txt"
sed 's/$/\r/' >"$dist/windows/README.txt" <<'TEXT'
Quorvel4 and the KVRT6 show - Windows
=====================================

WARNING: contains flashing images. The show may trigger seizures in people with
photosensitive epilepsy; start it as "quorvel4-demo.exe --reduce-flashes" (from a command
prompt or a shortcut) to keep it to three flashes a second or fewer.

Double-click quorvel4-demo.exe, or start it from any folder: it reads the pictures and the
music from a data folder in the folder it is started from when there is one, else from the
data folder next to it (QVL_DATA_DIR names another). The show opens a console window of 80 x 50 cells,
maximised, and plays for about two minutes. Any key ends it (Shift, Ctrl, Alt or the Windows
key alone do not); Ctrl-C and closing the window end it too. The console's colours are set
to the classic VGA colours while the show runs and given back afterwards.

In Windows Terminal (the default console of Windows 11) the show draws with 24-bit colour
escape sequences instead; the window must be at least 80 x 50 cells (make the font smaller
or the window larger), otherwise the show says so and waits. QVL_WINDOWS_CONSOLE=classic or
=terminal chooses the way of drawing by hand.

The music is decoded by Windows' own MP3 decoder and played on the default sound device.
Without a sound device the show plays silently at the same pace and says so at the end.

Nothing needs installing: the programs use only what every Windows has.

Other shows: each is a folder with a script, show.js, beside the pictures, texts and music it
names. "quorvel4-demo.exe shows\lanterns" plays the second show of this folder (50 seconds);
"quorvel4-demo.exe --new myshow" writes a starter show into the new folder myshow, to edit
with any text editor and play with "quorvel4-demo.exe myshow". A show reads only the files of
its own folder.

quorvel4-capture.exe renders frames offline, e.g.
  quorvel4-capture.exe --seed 1 --times 0:123700:10 --format cells --out frames.cells
  quorvel4-capture.exe --show shows\lanterns --seed 1 --times 0:50000 --format gif --out lanterns.gif
(formats: cells, ansi, png, gif, cast; mp4 when ffmpeg.exe is on PATH; flashes counts the
flashes per second). --reduce-flashes captures the gentle mode.
TEXT
# The same files give the same zip: names in one order, every time the last commit's, no
# owners or extra time fields.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
find "$dist/windows" -exec touch -h -d "@$epoch" {} +
(cd "$dist" && find windows -print | LC_ALL=C sort | TZ=UTC zip -qX -@ quorvel4-windows.zip)
echo "dist/windows/ and $dist/quorvel4-windows.zip ($(du -h "$dist/quorvel4-windows.zip" | cut -f1))"
