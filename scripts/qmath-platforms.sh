#!/usr/bin/env bash
# Builds tests/qmath/fingerprint.cpp natively (GCC and Clang), for Windows (MinGW-w64, run
# with Wine) and for the web (emscripten, run with Node.js), and checks that QvlSin and
# QvlCos give the same bits everywhere. Needs g++-mingw-w64-x86-64, wine, emscripten, nodejs.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sources=(quorvel4/src/qmath.cpp quorvel4/src/qmath_tables.cpp tests/qmath/fingerprint.cpp)
flags=(-std=c++20 -O2 -Wall -Wextra -ffp-contract=off -Iquorvel4/include -Iquorvel4/src)

g++ "${flags[@]}" "${sources[@]}" -o "$out/gcc"
clang++ "${flags[@]}" "${sources[@]}" -o "$out/clang"
x86_64-w64-mingw32-g++-posix "${flags[@]}" -static "${sources[@]}" -o "$out/mingw.exe"
# -O1: Debian's emscripten lacks the JavaScript optimizer that -O2 runs on the glue code.
em++ "${flags[@]}" -O1 -sWASM_ASYNC_COMPILATION=0 "${sources[@]}" -o "$out/web.js"

declare -A lines
lines[gcc]=$("$out/gcc")
lines[clang]=$("$out/clang")
lines[mingw]=$(WINEDEBUG=-all wine "$out/mingw.exe" | tr -d '\r')
lines[emscripten]=$(node "$out/web.js")
for platform in gcc clang mingw emscripten; do echo "$platform: ${lines[$platform]}"; done

fingerprints=$(for platform in "${!lines[@]}"; do echo "${lines[$platform]}" | cut -d';' -f1; done | sort -u)
if [ "$(echo "$fingerprints" | wc -l)" -ne 1 ]; then
  echo "QvlSin/QvlCos differ between platforms" >&2
  exit 1
fi
echo "QvlSin/QvlCos give the same bits on every platform"
