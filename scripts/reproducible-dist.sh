#!/usr/bin/env bash
# Two `make dist` runs of one commit, in two fresh clones in folders of different names and
# depths and one after the other (so at different times), must give byte-identical files:
# their SHA256SUMS are compared, and the files that differ are named.
# Usage: scripts/reproducible-dist.sh [COMMIT]   (default: HEAD; slow: two whole release builds,
# the Windows and the web build included)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
commit=$(git -C "$here" rev-parse "${1:-HEAD}")
work=$(mktemp -d /tmp/qvl-reproducible.XXXXXX)
echo "== make dist of $commit twice, in $work"
folders=("$work/one/quorvel4" "$work/two/a/b/elsewhere")
for folder in "${folders[@]}"; do
  mkdir -p "$(dirname "$folder")"
  git clone -q --no-local --no-checkout "$here" "$folder"
  git -C "$folder" checkout -q "$commit"
  echo "-- $folder (log: $folder.log)"
  if ! (cd "$folder" && unset SOURCE_DATE_EPOCH && make dist) >"$folder.log" 2>&1; then
    tail -30 "$folder.log"
    echo "make dist failed in $folder" >&2
    exit 1
  fi
done
one=${folders[0]}/dist
two=${folders[1]}/dist
if cmp -s "$one/SHA256SUMS" "$two/SHA256SUMS"; then
  echo "identical SHA256SUMS:"
  cat "$one/SHA256SUMS"
  rm -rf "$work"
  exit 0
fi
echo "the two runs differ:" >&2
diff "$one/SHA256SUMS" "$two/SHA256SUMS" >&2 || true
echo "(both trees are kept in $work for diffoscope or the like)" >&2
exit 1
