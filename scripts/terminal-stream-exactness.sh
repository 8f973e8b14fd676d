#!/bin/sh
# Every frame of the whole show (seed 1, 60 fps) through the terminal encoder in 24-bit and in
# palette mode, replayed through libvterm: each cell must look as the show meant it.
#   scripts/terminal-stream-exactness.sh [BUILD_DIR]
set -eu
build=${1:-build/release}
cells=$(mktemp /tmp/qvl-show-XXXXXX.cells)
trap 'rm -f "$cells"' EXIT
"$build/tools/quorvel4-capture" --seed 1 --times 0:124000 --fps 60 --format cells --out "$cells"
QVL_SHOW_CELLS="$cells" "$build/tests/qvl_tests" --gtest_filter='TerminalEncoderLooks.WholeShowWhenGiven'
