#!/usr/bin/env bash
# Runs the Windows build's tests under wine, on a virtual X display: the console that
# AllocConsole opens needs one. Call it through scripts/with-display.sh (make test-windows does).
# Usage: scripts/windows-test.sh WINDOWS_BUILD_DIR LINUX_CAPTURE [DIST_DIR]
set -euo pipefail
build=$(realpath "$1")
linux_capture=$2
dist=${3:-dist}
source "$(dirname "$0")/wine-session.sh"

status=0
echo "== the programs need only DLLs that come with Windows =="
for exe in "$build/demo/quorvel4-demo.exe" "$build/tools/quorvel4-capture.exe" "$build/tests/windows/qvl_tests.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print toupper($3)}' | sort -u | tr '\n' ' ')
  for dll in $dlls; do
    case $dll in
      KERNEL32.DLL | USER32.DLL | MSVCRT.DLL | WINMM.DLL | MSACM32.DLL | ADVAPI32.DLL | GDI32.DLL) ;;
      *) echo "FAILED: $(basename "$exe") imports $dll" >&2; status=1 ;;
    esac
  done
  echo "$(basename "$exe"): $dlls"
done

echo "== the zip carries the data and the shows file for file =="
unpacked=$(mktemp -d)
unzip -q "$dist/quorvel4-windows.zip" -d "$unpacked"
for folder in data shows; do
  if diff -r "$folder" "$unpacked/windows/$folder" >/dev/null; then
    echo "$folder/: $(find "$folder" -type f | wc -l) files, the same"
  else
    echo "FAILED: the zip's $folder/ differs from the tree's: $(diff -rq "$folder" "$unpacked/windows/$folder" | head -3)" >&2
    status=1
  fi
done
rm -rf "$unpacked"

echo "== unit tests under wine =="
# GoogleTest's regular expressions on Windows are its own simple ones, which cannot read the
# death tests' patterns ([0-9]+): those tests run on Linux only.
export GTEST_FILTER='-*DeathTest.*'
ctest --test-dir "$build" --output-on-failure -j 2 || status=1

echo "== the same frames as on Linux =="
scripts/windows-same-frames.sh "$linux_capture" "$build/tools/quorvel4-capture.exe" "$build/frames" \
  "$build/demo/quorvel4-demo.exe" || status=1

echo "== show folders: the same files taken and refused as on Linux =="
scripts/windows-show-folders.sh "$linux_capture" "$build/tools/quorvel4-capture.exe" "$build/show-folders" || status=1

echo "== the show =="
scripts/windows-show-test.sh "$build/demo/quorvel4-demo.exe" "$build/show" || status=1
exit $status
