#!/usr/bin/env bash
# Renders shows with the Linux capture and with quorvel4-capture.exe under wine, and checks that
# every frame is the same, byte for byte:
#   - the built-in show: seed 1 at 10 ms steps, seed 2 at 17 ms steps, and seed 3 at 17 ms steps
#     in the gentle mode (the frames it holds back must be the same too);
#   - the show folder shows/lanterns, whole at 60 fps, seed 1, named to the Windows program by a
#     Windows path (drive letter and backslashes);
#   - when WINDOWS_DEMO_EXE is given, the starter show that quorvel4-demo.exe --new writes under
#     wine (named by a relative path with slashes), its files read by both programs.
# Usage (from the repository root):
#   scripts/windows-same-frames.sh LINUX_CAPTURE WINDOWS_CAPTURE_EXE OUT_DIR [WINDOWS_DEMO_EXE]
set -euo pipefail
linux_capture=$1
windows_capture=$2
out=$3
windows_demo=${4:-}
mkdir -p "$out"
status=0

# compare NAME WHAT: the two captures $out/linux-NAME.cells and $out/windows-NAME.cells.
compare() {
  local name=$1 what=$2 frames first differing
  frames=$(($(stat -c %s "$out/linux-$name.cells") / 8000))
  if [ "$frames" -eq 0 ]; then
    echo "$what: the Linux capture holds no frame" >&2
    status=1
  elif cmp -s "$out/linux-$name.cells" "$out/windows-$name.cells"; then
    echo "$what: $frames frames, the same on Linux and Windows"
  else
    first=$(cmp "$out/linux-$name.cells" "$out/windows-$name.cells" | awk '{print $5}' | tr -d ,)
    differing=$(cmp -l "$out/linux-$name.cells" "$out/windows-$name.cells" 2>/dev/null | awk '{print int(($1-1)/8000)}' | uniq | wc -l)
    echo "$what: $differing of $frames frames differ, the first at byte $first (frame $(((first - 1) / 8000)))" >&2
    status=1
  fi
}

for run in "1 0:123700:10" "2 0:123700:17" "3 0:123700:17 --reduce-flashes"; do
  read -r seed times mode <<<"$run"
  "$linux_capture" --seed "$seed" --times "$times" --format cells --out "$out/linux-$seed.cells" $mode
  wine "$windows_capture" --seed "$seed" --times "$times" --format cells --out "$out/windows-$seed.cells" $mode
  compare "$seed" "seed $seed, times $times${mode:+ $mode}"
done

# The second show, to its last frame (it ends before 51 s), at 60 frames a second.
lanterns_windows=$(winepath -w "$(realpath shows/lanterns)" 2>/dev/null)
"$linux_capture" --show shows/lanterns --seed 1 --times 0:51000 --format cells --out "$out/linux-lanterns.cells"
wine "$windows_capture" --show "$lanterns_windows" --seed 1 --times 0:51000 --format cells --out "$out/windows-lanterns.cells"
compare lanterns "shows/lanterns (as $lanterns_windows), seed 1, 60 fps"

if [ -n "$windows_demo" ]; then
  starter=$(realpath "$out")/starter
  rm -rf "$starter"
  (cd "$(dirname "$starter")" && wine "$windows_demo" --new starter/new >"$out/starter-new.out" 2>&1)
  if [ ! -f "$starter/new/show.js" ]; then
    echo "quorvel4-demo.exe --new wrote no show: $(cat "$out/starter-new.out")" >&2
    status=1
  else
    "$linux_capture" --show "$starter/new" --seed 7 --times 0:21000 --format cells --out "$out/linux-starter.cells"
    (cd "$out" && wine "$windows_capture" --show starter/new/ --seed 7 --times 0:21000 --format cells \
      --out windows-starter.cells)
    compare starter "the starter show of quorvel4-demo.exe --new (as starter/new/), seed 7, 60 fps"
  fi
fi
exit $status
