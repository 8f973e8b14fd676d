#!/usr/bin/env bash
# Runs the fuzz targets of a QVL_FUZZ build for a fixed time each (docs/fuzzing.md).
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]
#   TARGET    png, options, ... (the NAME of fuzz/fuzz_NAME.cpp); all of them when none is named
#   FUZZ_PARALLEL=N   targets run at once (default 1)
# Each target starts from its seed corpus (fuzz/corpus/NAME) and the inputs that once made it
# fail (fuzz/regressions/NAME), and grows a corpus of its own in BUILD_DIR/fuzz-work/NAME; the
# committed seeds are not touched. A target that fails leaves its input in BUILD_DIR/fuzz-work,
# printed here as a path and in base64; the status is then 1.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
build=$1 seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    name=${source#fuzz/fuzz_}
    targets+=("${name%.cpp}")
  done
fi
parallel=${FUZZ_PARALLEL:-1}
work=$build/fuzz-work

run_one() {
  local name=$1 program=$build/fuzz/fuzz_$1
  local corpus=$work/$name log=$work/$name.log
  mkdir -p "$corpus" "$work/artifacts-$name"
  rm -f "$work/artifacts-$name"/*
  local dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  # The limits of the goal: a second an input, 512 MB in all.
  if "$program" "$corpus" "fuzz/corpus/$name" "fuzz/regressions/$name" "${dict[@]}" -max_total_time="$seconds" \
      -rss_limit_mb=512 -timeout=1 -print_final_stats=1 -artifact_prefix="$work/artifacts-$name/" >"$log" 2>&1; then
    local last
    last=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1 || true)
    echo "$name: ok: ${last:-no status line}"
    return 0
  fi
  echo "$name: FAILED; the end of its log ($log):"
  tail -n 60 "$log"
  for input in "$work/artifacts-$name"/*; do
    [ -f "$input" ] || continue
    echo "$name: the failing input, $input (to replay: $program $input), in base64:"
    base64 "$input"
  done
  return 1
}

for name in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/fuzz_$name" ]; then
    echo "no fuzz target $build/fuzz/fuzz_$name (make fuzz builds them)" >&2
    exit 2
  fi
done

status=0
running=()
for name in "${targets[@]}"; do
  run_one "$name" &
  running+=($!)
  if [ ${#running[@]} -ge "$parallel" ]; then
    wait "${running[0]}" || status=1
    running=("${running[@]:1}")
  fi
done
for pid in "${running[@]}"; do
  wait "$pid" || status=1
done
exit $status
