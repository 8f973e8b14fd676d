#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280 x 1024 x 24), with DISPLAY set.
# Usage: scripts/with-display.sh COMMAND [ARG...]
# The server picks its display number itself and says which (-displayfd), as the window tests'
# own servers do: xvfb-run -a guesses a free number, which a server started meanwhile beside it
# (CI runs the window tests and the Windows tests side by side) can take first.
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$number_file"' EXIT
# The number is written once the server takes connections: wait for it, for at most 30 s.
for _ in $(seq 300); do
  [ -s "$number_file" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "$0: Xvfb ended before it took a display" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$number_file" ]; then
  echo "$0: Xvfb took no display within 30 s" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
status=0
"$@" || status=$?
exit $status
