#!/usr/bin/env bash
# Installs the Debian packages a make target needs, when any are missing.
# Usage: scripts/ensure-deps.sh [GROUP...]   (default: build)
# with each GROUP one of run|compile|build|assets|clang|web|windows|package|install-test|real-terminals;
# several groups are installed together, by one apt-get update and one apt-get install:
#   run     what the show alone needs to build and play
#   compile what builds everything: the show, the tools, the tests and the benchmarks
#   build   that, and the programs the tests run (an X server, ffmpeg, ...)
#   assets  everything, and what re-creates the pictures and the music
#   clang   everything, and Clang with its sanitizers to build it with
#   web     the web page's compiler, and the browser and Node.js its tests run in
#   windows the MinGW-w64 cross build, its packaging, and wine and a virtual display to test it
#   package everything, and what makes and checks the Debian packages
#   install-test  what builds a fresh Debian 12 root to install the packages into
#   real-terminals  the terminal emulators that scripts/real-terminals-check.py draws the show in
set -euo pipefail

# duktape-dev ships the script engine's source (compiled into every build, for every platform);
# libstb-dev the header-only PNG reader and writer of the shows' pictures; librapidxml-dev the
# header-only XML parser of the sync-tracker projects; libncurses-dev the terminal of the
# sync-tracker.
script_packages=(duktape-dev libstb-dev librapidxml-dev)
run_packages=(build-essential cmake pkg-config libsdl2-dev libsdl2-mixer-dev libpng-dev libncurses-dev "${script_packages[@]}")
compile_packages=(
  "${run_packages[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev libvterm-dev libcaca-dev libmpfr-dev
  # the manuals (scdoc source, roff at build time); the menu entry's and AppStream's checkers
  scdoc desktop-file-utils appstream
  # the test of the bash completions loads them as bash-completion does
  bash-completion
)
# What the tests run but no build step needs.
test_tool_packages=(
  # the window tests: an X server of their own, a window manager, keys, properties, screenshots
  xvfb openbox xdotool x11-utils imagemagick
  # quorvel4-capture --format mp4 runs ffmpeg; its tests read the files with ffmpeg and ffprobe,
  # and the cast's JSON with the python3 that asciinema (the player) brings.
  ffmpeg asciinema
)
build_packages=("${compile_packages[@]}" "${test_tool_packages[@]}")
# CPack's DEB generator: dpkg-shlibdeps (dpkg-dev) and file find the dependencies; lintian checks.
package_packages=(dpkg-dev file binutils lintian)
install_test_packages=(debootstrap zstd)
# The emulators to compare, a display and screenshots for them, a bitmap font, Mesa's software
# OpenGL for kitty and alacritty, and numpy and PIL to read the screenshots.
real_terminal_packages=(
  xterm rxvt-unicode mlterm xfce4-terminal kitty alacritty konsole
  xvfb xdotool imagemagick xfonts-base fonts-dejavu-core libgl1-mesa-dri python3-numpy python3-pil
)
asset_packages=(python3 python3-numpy python3-pil lame ffmpeg fonts-dejavu-core)
web_packages=(cmake make python3 emscripten chromium nodejs "${script_packages[@]}")
windows_packages=(
  cmake g++-mingw-w64-x86-64 libz-mingw-w64-dev libgtest-dev zip unzip "${script_packages[@]}"
  wine wine64 fonts-dejavu-core xvfb xauth xdotool imagemagick
)

wanted=()
for group in "${@:-build}"; do
  case "$group" in
    run) wanted+=("${run_packages[@]}") ;;
    compile) wanted+=("${compile_packages[@]}") ;;
    build) wanted+=("${build_packages[@]}") ;;
    assets) wanted+=("${build_packages[@]}" "${asset_packages[@]}") ;;
    # Clang's sanitizer run-time libraries, libFuzzer's among them, come apart from it.
    clang) wanted+=("${build_packages[@]}" clang libclang-rt-14-dev lld) ;;
    web) wanted+=("${web_packages[@]}") ;;
    windows) wanted+=("${windows_packages[@]}") ;;
    package) wanted+=("${build_packages[@]}" "${package_packages[@]}") ;;
    install-test) wanted+=("${install_test_packages[@]}") ;;
    real-terminals) wanted+=("${run_packages[@]}" "${real_terminal_packages[@]}") ;;
    *) echo "usage: $0 [run|compile|build|assets|clang|web|windows|package|install-test|real-terminals]..." >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing Debian packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "Missing packages (${missing[*]}) and no sudo to install them: install them as root." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# Another install (an unattended upgrade, a second make) may hold the lock for a while.
apt_options=(-o DPkg::Lock::Timeout=600)
install_options=()
# QVL_THROWAWAY_MACHINE=1 (CI's fresh machines, .ci/run): dpkg need not sync every file it
# unpacks to the disk, and man-db need not rebuild its index after every install, on a
# machine that is thrown away after the run. Most of an install's time goes there.
if [ "${QVL_THROWAWAY_MACHINE:-}" = 1 ]; then
  install_options+=(-o Dpkg::Options::=--force-unsafe-io)
  echo "man-db man-db/auto-update boolean false" | "${sudo[@]}" debconf-set-selections
fi
"${sudo[@]}" apt-get "${apt_options[@]}" update -qq
"${sudo[@]}" apt-get "${apt_options[@]}" "${install_options[@]}" install -y -qq --no-install-recommends "${missing[@]}"
