# Sourced by the scripts that run the Windows build under wine: the build's own wine prefix,
# no sound driver, and one persistent wine server with its helper processes started ahead.
# Needs $build (the Windows build directory, absolute) and an X display.
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
