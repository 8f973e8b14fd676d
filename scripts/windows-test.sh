#!/usr/bin/env bash
# Runs the Windows build's tests under wine, on a virtual X display: the console that
# AllocConsole opens needs one. Call it through xvfb-run (make test-windows does).
# Usage: scripts/windows-test.sh WINDOWS_BUILD_DIR LINUX_CAPTURE
set -euo pipefail
build=$(realpath "$1")
linux_capture=$2
export WINEPREFIX="$build/wine" WINEDEBUG=-all
# No sound driver: the same silent path on every machine, and no ALSA notes on the terminal.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv,winecoreaudio.drv=d;winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the wine prefix $WINEPREFIX (the first start of wine takes a while)"
  wineboot -i >/dev/null 2>&1 || true  # a 64-bit-only wine complains of its missing 32-bit half
fi
# One wine server for all the test processes: each then starts in about a second. Wine's
# helper processes (services, the desktop) live as long as the server and keep the output of
# the process that started them open: they are started here, on no pipe of the tests.
wineserver -k 2>/dev/null || true  # one left by wineboot or by an interrupted run
wineserver -p
trap 'wineserver -k' EXIT
wine "$build/tests/windows/qvl_tests.exe" --gtest_filter=WindowsConsole.KeysWithoutACharacterEndTheShowToo \
  </dev/null >/dev/null 2>&1 || true

status=0
echo "== the programs need only DLLs that come with Windows =="
for exe in "$build/demo/quorvel_demo.exe" "$build/tools/capture.exe" "$build/tests/windows/qvl_tests.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print toupper($3)}' | sort -u | tr '\n' ' ')
  for dll in $dlls; do
    case $dll in
      KERNEL32.DLL | USER32.DLL | MSVCRT.DLL | WINMM.DLL | MSACM32.DLL | ADVAPI32.DLL | GDI32.DLL) ;;
      *) echo "FAILED: $(basename "$exe") imports $dll" >&2; status=1 ;;
    esac
  done
  echo "$(basename "$exe"): $dlls"
done

echo "== unit tests under wine =="
# GoogleTest's regular expressions on Windows are its own simple ones, which cannot read the
# death tests' patterns ([0-9]+): those tests run on Linux only.
export GTEST_FILTER='-*DeathTest.*'
# A test process that wine fails to start ends at once with no output at all; run such a
# test again (up to three times in all) rather than fail the suite on wine's account.
ctest --test-dir "$build" --output-on-failure -j 2 --repeat until-pass:3 || status=1

echo "== the same frames as on Linux =="
scripts/windows-same-frames.sh "$linux_capture" "$build/tools/capture.exe" "$build/frames" || status=1

echo "== the show =="
scripts/windows-show-test.sh "$build/demo/quorvel_demo.exe" "$build/show" || status=1
exit $status
