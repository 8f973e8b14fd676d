#!/bin/sh
# Installs the library into a temporary prefix and builds two examples against it from the
# outside: plasma_terminal through find_package(quorvel4), sync_scenes through pkg-config
# (quorvel4, and quorvel4-window for the window back end).
# Each is then run on the headless back end, which only works when the back ends' static
# registrations were linked in.
#   install_and_build_examples.sh BUILD_DIR SOURCE_DIR [EXTRA_COMPILER_FLAGS]
set -eu
build=$1
source=$2
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

echo "== CMake consumer: find_package(quorvel4)"
cmake -S "$source/examples" -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake" --target plasma_terminal >/dev/null
"$work/cmake/plasma_terminal" --backend headless --frames 2

echo "== pkg-config consumer"
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046,SC2086
c++ -std=c++20 -Wall -Wextra $flags -o "$work/sync_scenes" "$source/examples/sync_scenes.cpp" \
  $(pkg-config --cflags --libs quorvel4)
LD_LIBRARY_PATH="$work/prefix/lib" "$work/sync_scenes" --backend headless --frames 2 "$source/examples/scenes.sync"

# SDL2 only through the window back end's own file, which brings the core along.
case "$(pkg-config --libs quorvel4)" in *SDL2*) echo "quorvel4.pc links SDL2: $(pkg-config --libs quorvel4)" >&2; exit 1 ;; esac
# shellcheck disable=SC2046,SC2086
c++ -std=c++20 -Wall -Wextra $flags -o "$work/window_scenes" "$source/examples/sync_scenes.cpp" \
  $(pkg-config --cflags --libs quorvel4-window)
LD_LIBRARY_PATH="$work/prefix/lib" "$work/window_scenes" --version | grep -q "back ends:.*window" ||
  { echo "quorvel4-window.pc does not link the window back end" >&2; exit 1; }

# The flags name the prefix itself, not a path through the .pc file's folder.
cflags=$(pkg-config --cflags quorvel4)
case "$cflags" in
  "-I$work/prefix/include -ffp-contract=off"*) ;;
  *) echo "pkg-config --cflags: $cflags" >&2; exit 1 ;;
esac

echo "== docs/library.md's static recipe, with this prefix"
recipe=$(sed -n '/^    c++ .*\$(pkg-config --cflags quorvel4) -L/,/-l:libquorvel4.a/p' "$source/docs/library.md" |
  sed 's/^ *//; s/\\$//' | tr '\n' ' ' |
  sed "s#\\\$HOME/.local/lib#$work/prefix/lib#; s#my_effect.cpp#$source/examples/sync_scenes.cpp -o $work/static_scenes#" |
  sed "s#^c++ #c++ $flags #")  # a sanitized library needs its run-time library
[ -n "$recipe" ] && sh -c "$recipe" || { echo "the static recipe does not link: $recipe" >&2; exit 1; }
"$work/static_scenes" --backend headless --frames 2 "$source/examples/scenes.sync"

echo "installed headers, libraries, CMake package and pkg-config file all work"
