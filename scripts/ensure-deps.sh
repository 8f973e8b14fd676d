#!/usr/bin/env bash
# Installs the Debian packages a make target needs, when any are missing.
# Usage: scripts/ensure-deps.sh build|assets
set -euo pipefail

build_packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libmpfr-dev
  libsdl2-dev libsdl2-mixer-dev libpng-dev libvterm-dev libcaca-dev
)
asset_packages=(python3 python3-numpy python3-pil lame ffmpeg fonts-dejavu-core)

case "${1:-build}" in
  build) wanted=("${build_packages[@]}") ;;
  assets) wanted=("${build_packages[@]}" "${asset_packages[@]}") ;;
  *) echo "usage: $0 build|assets" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
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
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
