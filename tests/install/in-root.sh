#!/bin/bash
# Runs inside a fresh Debian 12 root (scripts/install-test.sh), from /, with the packages in
# /tmp/packages: installs them as a newcomer would and checks that they work and go away.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
cd /
step() { echo "-- $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
apt=(apt-get -y -q -o Dpkg::Use-Pty=0 --no-install-recommends)

step "apt-get update"
apt-get -q update >/dev/null
step "the show's package, and man to read its manual (no build tools)"
"${apt[@]}" install man-db /tmp/packages/quorvel4-demo_*.deb >/tmp/apt-demo.log || { cat /tmp/apt-demo.log; exit 1; }
for tool in cc c++ g++ gcc cmake pkg-config; do
  ! command -v "$tool" >/dev/null || fail "the root has $tool before the -dev package"
done

step "quorvel4-demo --version"
version=$(quorvel4-demo --version) || fail "quorvel4-demo --version exits $?"
echo "$version"
[[ $version == "quorvel4-demo "[0-9]* ]] || fail "quorvel4-demo --version printed: $version"
for program in quorvel4-capture quorvel4-view quorvel4-testcard; do
  "$program" --version >/dev/null || fail "$program --version"
  "$program" --help >/dev/null || fail "$program --help"
done

step "man -w quorvel4-demo"
page=$(man -w quorvel4-demo) || fail "man finds no page for quorvel4-demo"
echo "$page"

step "the show in a pseudo-terminal of 80 x 50, from /"
# Standard input stays open and silent (a key would end the show); no sound device here, so
# the show plays silently on the same clock.
log=/tmp/show.log
: >"$log"
exec 3< <(sleep 600)
keeper=$!
script -qfc "stty rows 50 cols 80; TERM=xterm-256color COLORTERM=truecolor quorvel4-demo --terminal" "$log" \
  <&3 >/dev/null 2>&1 &
show=$!
drawn=""
for _ in $(seq 1 600); do  # up to 60 s for the first frame: a row of block glyphs
  if LC_ALL=C grep -aqF -e $'\xe2\x96\x80' -e $'\xe2\x96\x84' -e $'\xe2\x96\x88' "$log"; then drawn=yes; break; fi
  if LC_ALL=C grep -aqF 'Error!' "$log" || ! kill -0 "$show" 2>/dev/null; then break; fi
  sleep 0.1
done
kill "$show" "$keeper" 2>/dev/null || true
wait "$show" 2>/dev/null || true
exec 3<&-
if LC_ALL=C grep -aqF 'Error!' "$log" || [ -z "$drawn" ]; then
  echo "what the show wrote (without escape sequences):" >&2
  head -c 200000 "$log" | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -s ' \n' | head -c 2000 >&2
  fail "no first frame of the show (waited 60 s for block glyphs), or an Error!"
fi
echo "first frame drawn, no Error!"

step "capture without --data, from /"
quorvel4-capture --seed 1 --times 0:1000:10 --format png --out /tmp/p
pictures=$(ls /tmp/p | grep -c '\.png$')
[ "$pictures" -eq 101 ] || fail "capture wrote $pictures pictures, not 101"

step "the library's packages and a compiler; an example built with pkg-config"
"${apt[@]}" install g++ /tmp/packages/libquorvel4-1_*.deb /tmp/packages/libquorvel4-dev_*.deb >/tmp/apt-dev.log ||
  { cat /tmp/apt-dev.log; exit 1; }
flags=$(pkg-config --cflags --libs quorvel4) || fail "pkg-config --cflags --libs quorvel4"
echo "$flags"
# shellcheck disable=SC2086
g++ -std=c++20 -o /tmp/sync_scenes /tmp/examples/sync_scenes.cpp $flags
/tmp/sync_scenes --backend headless --frames 2 /tmp/examples/scenes.sync >/dev/null
echo "the example runs"

step "apt-get remove leaves nothing behind in /usr"
packages=(quorvel4-demo libquorvel4-dev libquorvel4-1)
dpkg -L "${packages[@]}" | sort -u >/tmp/files
"${apt[@]}" remove "${packages[@]}" >/tmp/apt-remove.log || { cat /tmp/apt-remove.log; exit 1; }
left=$(while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done </tmp/files || true)
left+=$(find /usr -iname '*quorvel*' 2>/dev/null)
[ -z "$left" ] || fail "left behind: $left"
echo "nothing left behind"
echo "install test passed"
