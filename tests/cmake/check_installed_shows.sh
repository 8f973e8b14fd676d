#!/bin/sh
# Installs the demo's component into a temporary prefix and checks that every show of shows/ is
# there file for file, byte for byte, and that the installed quorvel4-capture plays each from
# its installed folder (its script runs and every file it names is read).
#   check_installed_shows.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --component demo --prefix "$work/prefix" >/dev/null
installed="$work/prefix/share/quorvel4-demo/shows"
count=0
for dir in "$source"/shows/*/; do
  name=$(basename "$dir")
  [ -f "$dir/show.js" ] || continue
  count=$((count + 1))
  (cd "$dir" && find . -type f | sort) >"$work/want"
  if [ ! -d "$installed/$name" ]; then echo "FAIL: $installed/$name is not installed" >&2; exit 1; fi
  (cd "$installed/$name" && find . -type f | sort) >"$work/got"
  if ! diff "$work/want" "$work/got" >&2; then echo "FAIL: the installed $name differs in its files" >&2; exit 1; fi
  while read -r file; do
    cmp "$dir/$file" "$installed/$name/$file" || { echo "FAIL: $name/$file differs" >&2; exit 1; }
  done <"$work/want"
  # Four frames, one a second: 4 x 4000 cells of 2 bytes.
  "$work/prefix/bin/quorvel4-capture" --show "$installed/$name" --seed 1 --times 0:3000:1000 --format cells \
    --out "$work/$name.cells" 2>"$work/errors" || { cat "$work/errors" >&2; echo "FAIL: $name does not play" >&2; exit 1; }
  size=$(wc -c <"$work/$name.cells")
  [ "$size" -eq 32000 ] || { echo "FAIL: $name gave $size bytes of cells, not 32000" >&2; exit 1; }
  echo "$name: installed, and plays from $installed/$name"
done
[ "$count" -gt 0 ] || { echo "FAIL: no show in $source/shows" >&2; exit 1; }
