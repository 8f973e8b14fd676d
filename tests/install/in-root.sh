#!/bin/bash
# Runs inside a fresh Debian 12 root (scripts/install-test.sh), with the packages in
# /tmp/src/dist, the README in /tmp/src and the examples in /tmp/examples: installs them as a
# newcomer would, with the README's own lines, and checks that they work, clash with nothing
# and go away again.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
cd /
step() { echo "-- $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
apt=(apt-get -y -q -o Dpkg::Use-Pty=0 --no-install-recommends)
# Quiet, unattended apt for the README's lines too (they are run as written otherwise).
printf 'APT::Get::Assume-Yes "true";\nAPT::Install-Recommends "false";\nDpkg::Use-Pty "false";\n' \
  >/etc/apt/apt.conf.d/00install-test

# The README's line that starts with "sudo apt-get WHAT", run as root (without sudo) from the
# folder that holds dist/, exactly as printed otherwise.
readme_line() {
  local line
  line=$(grep -E "^    sudo apt-get $1" /tmp/src/README.md | head -1) || fail "the README has no 'sudo apt-get $1' line"
  line=${line#    sudo }
  echo "\$ $line"
  (cd /tmp/src && bash -c "$line") >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "the README's line failed: $line"; }
}
ours() { dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' 2>/dev/null | awk '$2 ~ /quorvel4/'; }

step "apt-get update; vim-tiny first (it provides /usr/bin/view), man-db, bash-completion"
apt-get -q update >/dev/null
"${apt[@]}" install vim-tiny man-db bash-completion >/tmp/apt-first.log || { cat /tmp/apt-first.log; exit 1; }
view_before=$(readlink -f /usr/bin/view)
echo "/usr/bin/view -> $view_before"

step "the show's package, with the README's line (no build tools)"
readme_line "install ./dist/quorvel4-demo_"
for tool in cc c++ g++ gcc cmake pkg-config; do
  ! command -v "$tool" >/dev/null || fail "the root has $tool before the -dev package"
done

step "no clash: /usr/bin/view is still vim's, and no file of ours belongs to another package"
[ "$(readlink -f /usr/bin/view)" = "$view_before" ] || fail "/usr/bin/view now resolves to $(readlink -f /usr/bin/view)"
update-alternatives --query view | grep -q "^Value: .*vim" || fail "update-alternatives no longer names vim for view"
while read -r file; do
  [ -d "$file" ] && continue
  owners=$(dpkg -S "$file" 2>/dev/null | sed 's/: .*//')
  [ "$owners" = quorvel4-demo ] || fail "$file belongs to: $owners"
done < <(dpkg -L quorvel4-demo)
echo "no clash"

step "quorvel4-demo --version names the release and the commit"
version=$(quorvel4-demo --version) || fail "quorvel4-demo --version exits $?"
echo "$version"
[[ $version =~ ^quorvel4-demo\ [0-9.]+\ \(commit\ ([0-9a-f]{12}(-dirty)?,\ [0-9-]{10}|unknown)\) ]] ||
  fail "quorvel4-demo --version printed: $version"
for program in quorvel4-capture quorvel4-view quorvel4-testcard quorvel4-tracker; do
  "$program" --version >/dev/null || fail "$program --version"
  "$program" --help >/dev/null || fail "$program --help"
done

step "man -w quorvel4-demo and the tools' pages"
for page in quorvel4-demo quorvel4-capture quorvel4-view quorvel4-testcard quorvel4-tracker; do
  man -w "$page" || fail "man finds no page for $page"
done

step "bash completes an option of each program"
bash /tmp/check_completions.sh "" || fail "bash completion"

step "mkdir ~/data; cd ~: the show in a pseudo-terminal of 80 x 50 draws its first frame"
mkdir -p ~/data
cd ~
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

step "quorvel4-capture without --data, from ~ (with its own data/)"
quorvel4-capture --seed 1 --times 0:1000:10 --format png --out /tmp/p
pictures=$(find /tmp/p -name '*.png' | wc -l)
[ "$pictures" -eq 101 ] || fail "capture wrote $pictures pictures, not 101"
step "QVL_DATA_DIR naming ~/data, which holds none of the show's files, is an error that says so"
if QVL_DATA_DIR=~/data quorvel4-capture --seed 1 --times 0 --format cells --out /tmp/x.cells 2>/tmp/err; then
  fail "capture ran with an empty QVL_DATA_DIR"
fi
grep -q "holds none of the show's files" /tmp/err || fail "capture said: $(cat /tmp/err)"
cd /

step "the library's packages with the README's line, and a compiler"
"${apt[@]}" install g++ >/tmp/apt-gcc.log || { cat /tmp/apt-gcc.log; exit 1; }
readme_line "install ./dist/libquorvel4-1_"
# A terminal-only program of one's own needs no SDL: only the window back end's package brings it.
! dpkg -s libsdl2-dev >/dev/null 2>&1 || fail "the library's line installed libsdl2-dev"
! pkg-config --libs quorvel4 | grep -q SDL2 || fail "pkg-config --libs quorvel4 names SDL2: $(pkg-config --libs quorvel4)"
cflags=$(pkg-config --cflags quorvel4) || fail "pkg-config --cflags quorvel4"
echo "pkg-config --cflags: $cflags"
[[ $cflags != *..* ]] || fail "pkg-config --cflags prints an unresolved path: $cflags"

step "a program of one's own with pkg-config"
# shellcheck disable=SC2046
g++ -std=c++20 -o /tmp/sync_scenes /tmp/examples/sync_scenes.cpp $(pkg-config --cflags --libs quorvel4)
/tmp/sync_scenes --backend headless --frames 2 /tmp/examples/scenes.sync >/dev/null
echo "the example runs"

step "docs/library.md's static recipe (for /usr) links, and runs without the shared library"
recipe=$(sed -n '/^    c++ .*\$(pkg-config --cflags quorvel4) -L/,/-l:libquorvel4.a/p' /tmp/src/docs/library.md |
  sed 's/^ *//; s/\\$//' | tr '\n' ' ')
[ -n "$recipe" ] || fail "no static recipe in docs/library.md"
recipe=${recipe//\$HOME\/.local\/lib//usr/lib}
recipe=${recipe//my_effect.cpp//tmp/examples/sync_scenes.cpp -o /tmp/static_scenes}
echo "\$ $recipe"
(cd /tmp && bash -c "$recipe") || fail "the static recipe does not link"
! ldd /tmp/static_scenes | grep -q libquorvel4 || fail "the static program loads libquorvel4.so"
/tmp/static_scenes --backend headless --frames 2 /tmp/examples/scenes.sync >/dev/null
echo "the static program runs"

step "the window back end's package with the README's line: SDL2 comes along, quorvel4-window links it"
readme_line "install ./dist/libquorvel4-window-dev_"
dpkg -s libsdl2-dev >/dev/null 2>&1 || fail "libquorvel4-window-dev did not bring libsdl2-dev"
# shellcheck disable=SC2046
g++ -std=c++20 -o /tmp/window_scenes /tmp/examples/sync_scenes.cpp $(pkg-config --cflags --libs quorvel4-window)
/tmp/window_scenes --version | grep -q "window" || fail "the window back end is not in: $(/tmp/window_scenes --version)"
/tmp/window_scenes --backend headless --frames 2 /tmp/examples/scenes.sync >/dev/null
echo "the example with the window back end runs"

step "a program of one's own with CMake (find_package)"
"${apt[@]}" install cmake make >/tmp/apt-cmake.log || { cat /tmp/apt-cmake.log; exit 1; }
cmake -S /tmp/examples -B /tmp/examples-build -DCMAKE_BUILD_TYPE=Release >/tmp/cmake.log || { cat /tmp/cmake.log; exit 1; }
cmake --build /tmp/examples-build --target sync_scenes >/tmp/cmake-build.log || { cat /tmp/cmake-build.log; exit 1; }
/tmp/examples-build/sync_scenes --backend headless --frames 2 /tmp/examples/scenes.sync >/dev/null
echo "the CMake example runs"

step "the README's purge line leaves nothing in dpkg -l and nothing of ours in /usr"
dpkg -L quorvel4-demo libquorvel4-window-dev libquorvel4-dev libquorvel4-1 | sort -u >/tmp/files
readme_line "purge"
[ -z "$(ours)" ] || fail "dpkg -l still lists: $(ours)"
left=$(while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done </tmp/files || true)
left+=$(find /usr -iname '*quorvel*' 2>/dev/null)
[ -z "$left" ] || fail "left behind: $left"
[ "$(readlink -f /usr/bin/view)" = "$view_before" ] || fail "/usr/bin/view resolves to $(readlink -f /usr/bin/view) after the purge"
echo "nothing left behind; /usr/bin/view is vim's"
echo "install test passed"
