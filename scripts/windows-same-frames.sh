#!/usr/bin/env bash
# Renders the whole show with the Linux capture and with quorvel4-capture.exe under wine, and checks
# that every frame is the same, byte for byte: seed 1 at 10 ms steps, seed 2 at 17 ms steps,
# and seed 3 at 17 ms steps in the gentle mode (the frames it holds back must be the same too).
# Usage: scripts/windows-same-frames.sh LINUX_CAPTURE WINDOWS_CAPTURE_EXE OUT_DIR
set -euo pipefail
linux_capture=$1
windows_capture=$2
out=$3
mkdir -p "$out"
status=0
for run in "1 0:123700:10" "2 0:123700:17" "3 0:123700:17 --reduce-flashes"; do
  read -r seed times mode <<<"$run"
  "$linux_capture" --seed "$seed" --times "$times" --format cells --out "$out/linux-$seed.cells" $mode
  wine "$windows_capture" --seed "$seed" --times "$times" --format cells --out "$out/windows-$seed.cells" $mode
  frames=$(($(stat -c %s "$out/linux-$seed.cells") / 8000))
  if cmp -s "$out/linux-$seed.cells" "$out/windows-$seed.cells"; then
    echo "seed $seed, times $times${mode:+ $mode}: $frames frames, the same on Linux and Windows"
  else
    first=$(cmp "$out/linux-$seed.cells" "$out/windows-$seed.cells" | awk '{print $5}' | tr -d ,)
    differing=$(cmp -l "$out/linux-$seed.cells" "$out/windows-$seed.cells" 2>/dev/null | awk '{print int(($1-1)/8000)}' | uniq | wc -l)
    echo "seed $seed, times $times${mode:+ $mode}: $differing of $frames frames differ, the first at byte $first (frame $(((first - 1) / 8000)))" >&2
    status=1
  fi
done
exit $status
