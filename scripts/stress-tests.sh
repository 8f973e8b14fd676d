#!/usr/bin/env bash
# Runs the tests that start processes, pseudo-terminals, X servers or audio N times each while
# two CPU-bound processes load the machine, and prints each test's failures out of N. A test
# that waits for conditions passes every time; one that races the clock shows up here.
# Not part of `make test`: it takes a while.
#
# Usage: scripts/stress-tests.sh [-n N] [-g GROUPS] [-r REGEX] [BUILD_DIR...]
#   -n N       repetitions of each test (30)
#   -g GROUPS  comma-separated among pty, window, music, wine (all four)
#   -r REGEX   the Linux groups run the tests matching REGEX instead (new tests, say)
#   BUILD_DIR  Linux builds to test (build/release build/sanitize); the wine group runs the
#              tests of build/windows (WINDOWS_BUILD overrides) on a virtual X display.
# The failed runs' output is kept under build/stress/.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=30
groups=pty,window,music,wine
only=
while getopts "n:g:r:" option; do
  case $option in
    n) runs=$OPTARG ;;
    g) groups=$OPTARG ;;
    r) only=$OPTARG ;;
    *) sed -n '7,12p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(build/release build/sanitize)
windows_build=${WINDOWS_BUILD:-build/windows}
logs=build/stress
mkdir -p "$logs"

declare -A pattern=([pty]='TerminalSession' [window]='WindowShow|WindowBackend|DemoOptions' [music]='MusicStream')
wanted() { [[ ",$groups," == *",$1,"* ]]; }

# Runs the tests of `dir` matching `regex` N times, two at a time as `make test` does, and
# prints one line per test: its failures out of N.
stress() {
  local label=$1 dir=$2 regex=$3 i
  local tally=$logs/$label.tally
  : >"$tally"
  for ((i = 1; i <= runs; i++)); do
    local log=$logs/$label.$i.log
    ctest --test-dir "$dir" -R "$regex" -j 2 --output-on-failure >"$log" 2>&1
    # "  3/12 Test  #7: Suite.Name ....   Passed    0.41 sec", or "***Failed", "***Timeout"...
    awk '/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: / {
           for (i = 1; i < NF; i++) if ($i ~ /^#[0-9]+:$/) name = $(i + 1)
           print name, ($0 ~ / Passed /) ? "Passed" : ($0 ~ /\*\*\*Skipped/) ? "Skipped" : "Failed" }' "$log" >>"$tally"
    grep -q '100% tests passed' "$log" && rm -f "$log"
  done
  echo "== $label: failures out of $runs while two processes load the CPUs =="
  awk -v runs="$runs" '{ seen[$1]++; if ($2 == "Failed") failed[$1]++; if ($2 == "Skipped") skipped[$1]++ }
       END { for (t in seen) printf "%3d/%d  %s%s%s\n", failed[t], runs, t, seen[t] == runs ? "" : "  (ran " seen[t] " times)",
                                    skipped[t] ? "  (skipped " skipped[t] " times)" : "" }' \
    "$tally" | sort -k2
  ls "$logs/$label".*.log 2>/dev/null | sed 's/^/   failed run: /'
}

# Inside xvfb-run (for the wine group): a display and one wine server for all the runs, as
# scripts/windows-test.sh has them. xvfb-run is a POSIX shell script, which would drop a bash
# function handed down to it, so the script runs itself again there.
if [ -n "${QVL_STRESS_WINE_BUILD:-}" ]; then
  build=$QVL_STRESS_WINE_BUILD
  source scripts/wine-session.sh >/dev/null
  # GoogleTest's own regular expressions on Windows cannot read the death tests' patterns.
  export GTEST_FILTER='-*DeathTest.*'
  stress wine "$build" .
  exit 0
fi

# Two processes that keep both cores busy for as long as the tests run.
hogs=()
for _ in 1 2; do
  (while :; do :; done) &
  hogs+=($!)
done
trap 'kill "${hogs[@]}" 2>/dev/null' EXIT

for build in "${builds[@]}"; do
  for group in pty window music; do
    wanted "$group" && stress "$(basename "$build")-$group" "$build" "${only:-${pattern[$group]}}"
  done
done

if wanted wine; then
  if [ -f "$windows_build/tests/windows/qvl_tests.exe" ]; then
    QVL_STRESS_WINE_BUILD=$(realpath "$windows_build") xvfb-run -a -s "-screen 0 1280x1024x24" "$0" -n "$runs"
  else
    echo "== wine: skipped, no Windows build in $windows_build (make windows builds it) =="
  fi
fi
