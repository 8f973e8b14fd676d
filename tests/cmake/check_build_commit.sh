#!/bin/sh
# cmake/build_commit.cmake on three trees: a clean checkout names its commit and date, a changed
# one adds -dirty, and a copy without .git (a source tarball, even one unpacked inside another
# checkout) says "unknown" rather than the other checkout's commit. The header is rewritten
# only when its text changes, so a build of the same commit recompiles nothing.
# Usage: check_build_commit.sh SOURCE_DIR SCRATCH_DIR
set -eu
script=$1/cmake/build_commit.cmake
scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch/repo"
fail() { echo "FAIL: $*" >&2; exit 1; }
made() { cmake -DSOURCE_DIR="$1" -DOUTPUT="$scratch/out.h" -DGIT="$(command -v git)" -P "$script" && cat "$scratch/out.h"; }

cd "$scratch/repo"
git init -q . && git config user.email t@example.org && git config user.name t
echo one >file && git add file
GIT_COMMITTER_DATE='2024-02-29T23:30:00-05:00' git commit -qm one
hash=$(git rev-parse --short=12 HEAD)
text=$(made "$scratch/repo")
echo "$text" | grep -qx "#define QVL_BUILD_COMMIT \"$hash, 2024-03-01\"" || fail "clean tree: $text"

stamp=$(stat -c %y "$scratch/out.h")  # nanoseconds: a rewrite shows at once
made "$scratch/repo" >/dev/null
[ "$(stat -c %y "$scratch/out.h")" = "$stamp" ] || fail "the same commit rewrote the header"

echo two >file
text=$(made "$scratch/repo")
echo "$text" | grep -qx "#define QVL_BUILD_COMMIT \"$hash-dirty, 2024-03-01\"" || fail "changed tree: $text"

mkdir -p "$scratch/repo/unpacked"
text=$(made "$scratch/repo/unpacked")
echo "$text" | grep -qx '#define QVL_BUILD_COMMIT "unknown"' || fail "tarball inside a checkout: $text"
text=$(cmake -DSOURCE_DIR="$scratch/repo" -DOUTPUT="$scratch/out.h" -DGIT= -P "$script" && cat "$scratch/out.h")
echo "$text" | grep -qx '#define QVL_BUILD_COMMIT "unknown"' || fail "no git: $text"
echo "build commit: clean, dirty, tarball and no-git trees as expected"
