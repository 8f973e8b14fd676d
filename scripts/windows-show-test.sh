#!/usr/bin/env bash
# The Windows show itself under wine, on a virtual X display (run through scripts/with-display.sh): it opens
# its console and draws the picture, a key ends it with status 0, and without a sound device
# it says once that it played silently; the same in the gentle mode (--reduce-flashes) and for
# the show folder shows/lanterns (its own title, pictures and MP3). An unknown option is named.
# Started where there is no data/, or given a folder with no show.js, it says so and fails.
# Usage (from the repository root): scripts/windows-show-test.sh SHOW_EXE OUT_DIR
set -uo pipefail
show=$(realpath "$1")
out=$2
mkdir -p "$out"
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Plays the show with the options given, ends it with a key, and checks what it drew and said.
# TITLE is a word of the console window's title, which is the show's.
play() {
  local name=$1 title=$2
  shift 2
  wine "$show" "$@" >"$out/$name.out" 2>"$out/$name.err" &
  pid=$!
  window=""
  for _ in $(seq 90); do
    window=$(xdotool search --name "$title" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 1
  done
  [ -n "$window" ] || fail "no console window titled with the show's title appeared"
  # The show draws its first scenes within seconds; a loaded machine gets a minute.
  colours=0
  for _ in $(seq 60); do
    import -window root "$out/$name.png"
    colours=$(convert "$out/$name.png" -format %k info:)
    [ "$colours" -ge 4 ] && break
    sleep 1
  done
  [ "$colours" -ge 4 ] || fail "after a minute the screen shows $colours colours, not a picture"
  if [ -n "$window" ]; then
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key x
  fi
  for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 1; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "a key did not end the show"
    kill "$pid"
  fi
  wait "$pid"
  status=$?
  [ "$status" -eq 0 ] || fail "the show ended with status $status"
  grep -q "^Error" "$out/$name.out" && fail "the show reported a start-up error: $(cat "$out/$name.out")"
  if [ "$(grep -c "played without sound" "$out/$name.out")" -ne 1 ]; then
    # Only a machine without any sound device (as wine here) plays silently.
    grep -q . "$out/$name.out" && fail "unexpected output: $(cat "$out/$name.out")"
  fi
  echo "$name: the show drew $colours colours, ended by a key with status $status: $(tr '\n' ' ' <"$out/$name.out")"
}

play show dralsk
play gentle dralsk --reduce-flashes
# A show's folder, named relative to the working directory with a slash.
play lanterns Lanterns shows/lanterns

# An option it does not know: named, with the usage, status 2.
wine "$show" --bogus >"$out/bogus.out" 2>"$out/bogus.err"
status=$?
[ "$status" -eq 2 ] || fail "with --bogus the show ended with status $status, not 2"
grep -q "unknown option --bogus" "$out/bogus.err" || fail "with --bogus the show said: $(cat "$out/bogus.err")"

# Started away from data/: the messages of a missing music file, and a failing status.
empty=$(mktemp -d)
(cd "$empty" && wine "$show" >"$out/nodata.out" 2>/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "without data/ the show ended with status $status, not 1"
grep -q "^File Not Found" "$out/nodata.out" || fail "without data/ the show said: $(cat "$out/nodata.out")"
echo "without data/: status $status, $(head -2 "$out/nodata.out" | tr '\n' ' ')"

# A folder with no show.js, named by its Windows path: the file looked for, and a failing status.
empty_windows=$(winepath -w "$empty" 2>/dev/null)
wine "$show" "$empty_windows" >"$out/noshow.out" 2>"$out/noshow.err"
status=$?
[ "$status" -eq 1 ] || fail "given a folder without show.js the show ended with status $status, not 1"
grep -qF "the folder $empty_windows holds no show: the file $empty_windows/show.js does not exist" "$out/noshow.err" "$out/noshow.out" ||
  fail "given a folder without show.js the show said: $(cat "$out/noshow.out" "$out/noshow.err")"
echo "a folder without show.js: status $status, $(cat "$out/noshow.out" "$out/noshow.err" | head -1)"
rm -rf "$empty"
exit $((failures > 0))
