#!/bin/sh
# Every frame of the whole show (seed 1) through the terminal encoder in 24-bit and in palette
# mode, replayed through libvterm: each cell must look as the show meant it. The same for the
# casts (30 fps) of both modes, event by event.
#   scripts/terminal-stream-exactness.sh [BUILD_DIR]
set -eu
build=${1:-build/release}
dir=$(mktemp -d /tmp/qvl-show-XXXXXX)
trap 'rm -rf "$dir"' EXIT
capture() { "$build/tools/quorvel4-capture" --seed 1 --times 0:124000 "$@"; }
capture --fps 60 --format cells --out "$dir/show.cells"
QVL_SHOW_CELLS="$dir/show.cells" "$build/tests/qvl_tests" --gtest_filter='TerminalEncoderLooks.WholeShowWhenGiven'
capture --fps 30 --format cells --out "$dir/cast.cells"
for mode in truecolor palette; do
  QVL_COLORS=$mode capture --fps 30 --format cast --out "$dir/show.cast"
  QVL_SHOW_CAST="$dir/show.cast" QVL_SHOW_CAST_CELLS="$dir/cast.cells" \
    "$build/tests/qvl_tests" --gtest_filter='TerminalEncoderLooks.WholeShowCastWhenGiven'
done
