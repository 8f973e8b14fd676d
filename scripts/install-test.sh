#!/usr/bin/env bash
# Installs the Debian packages of DIST_DIR into a fresh Debian 12 (bookworm) root, as a newcomer
# would, and tries them there from /: tests/install/in-root.sh says what is checked.
#
#   scripts/install-test.sh DIST_DIR     run the test (as root)
#   scripts/install-test.sh --can-run    exit 0 when the test can run here, else print why
#
# The root is a minimal one (debootstrap --variant=minbase): from the tarball QVL_FRESH_ROOT
# (.tar.zst) when set, else /var/cache/fresh-bookworm/bookworm-minbase.tar.zst when present,
# else one made by debootstrap once and kept in /var/cache/quorvel4-install-test/. Packages
# come from the host's Debian mirror; the .deb files apt fetches are kept in
# /var/cache/quorvel4-install-test/archives for the next run (they are the mirror's own files,
# checked by apt as ever). The root runs in private mount and PID namespaces, so
# nothing it mounts or starts outlives the test; it is deleted afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=/var/cache/quorvel4-install-test
shared_tarball=/var/cache/fresh-bookworm/bookworm-minbase.tar.zst
tarball=${QVL_FRESH_ROOT:-}
if [ -z "$tarball" ]; then
  if [ -s "$shared_tarball" ]; then tarball=$shared_tarball; else tarball=$cache/bookworm-minbase.tar.zst; fi
fi

# Why the test cannot run here, or nothing.
cannot_run() {
  [ -z "${QVL_SKIP_INSTALL_TEST:-}" ] || { echo "QVL_SKIP_INSTALL_TEST is set"; return; }
  [ "$(id -u)" -eq 0 ] || { echo "needs root (chroot, mounts)"; return; }
  for tool in unshare chroot zstd tar; do
    command -v "$tool" >/dev/null 2>&1 || { echo "needs $tool"; return; }
  done
  if [ ! -s "$tarball" ] && ! command -v debootstrap >/dev/null 2>&1; then
    echo "needs debootstrap or a cached root ($tarball)"
  fi
}

if [ "${1:-}" = "--can-run" ]; then
  reason=$(cannot_run)
  [ -z "$reason" ] || { echo "$reason"; exit 1; }
  exit 0
fi
dist=$(cd "${1:?usage: $0 DIST_DIR | --can-run}" && pwd)
reason=$(cannot_run)
[ -z "$reason" ] || { echo "install test: $reason" >&2; exit 1; }
ls "$dist"/quorvel4-demo_*.deb "$dist"/libquorvel4-1_*.deb "$dist"/libquorvel4-dev_*.deb "$dist"/libquorvel4-window-dev_*.deb >/dev/null

# The bookworm mirror the host's apt uses.
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
  awk '$2 == "bookworm" { sub(/\/+$/, "", $1); print $1; exit }')
mirror=${QVL_DEBIAN_MIRROR:-${mirror:-http://deb.debian.org/debian}}

if [ ! -s "$tarball" ]; then
  echo "== making a minimal bookworm root with debootstrap (once; kept in $tarball)"
  mkdir -p "$(dirname "$tarball")"
  build=$(mktemp -d /var/tmp/qvl-root.XXXXXX)
  unshare --mount --propagation private -- debootstrap --variant=minbase bookworm "$build/root" "$mirror/"
  tar --numeric-owner -C "$build/root" -cf - . | zstd -q -T0 -3 >"$tarball.new"
  mv "$tarball.new" "$tarball"
  rm -rf --one-file-system "$build"
fi

work=$(mktemp -d /var/tmp/qvl-install-test.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
root=$work/root
mkdir "$root"
echo "== a fresh root from $tarball"
zstd -q -dc -T0 "$tarball" | tar --numeric-owner -xpf - -C "$root"

# The host's way to the mirror: its DNS, its proxies, its certificate authorities.
rm -f "$root/etc/resolv.conf" && cp -L /etc/resolv.conf "$root/etc/resolv.conf"
apt-config dump 2>/dev/null | grep -E '^Acquire::(Check-Valid-Until|Check-Date|(https?|ftp)::Proxy)' \
  >"$root/etc/apt/apt.conf.d/00host" || true
if ! ls "$root"/etc/apt/sources.list.d/*.sources >/dev/null 2>&1 && ! grep -qs '^deb ' "$root/etc/apt/sources.list"; then
  echo "deb $mirror bookworm main" >"$root/etc/apt/sources.list"
fi
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates" "$root/etc/ssl/certs"
  cp -L /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  cp -L /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/ca-certificates.crt"
fi
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod 755 "$root/usr/sbin/policy-rc.d"

# The packages in dist/ beside the README and the docs, so that their lines run as printed.
mkdir -p "$root/tmp/src/dist" "$root/tmp/src/docs"
cp "$dist"/quorvel4-demo_*.deb "$dist"/libquorvel4-1_*.deb "$dist"/libquorvel4-dev_*.deb "$dist"/libquorvel4-window-dev_*.deb \
  "$root/tmp/src/dist/"
cp "$here/README.md" "$root/tmp/src/"
cp "$here/docs/library.md" "$root/tmp/src/docs/"
cp -r "$here/examples" "$root/tmp/examples"
cp "$here/tests/install/in-root.sh" "$root/tmp/in-root.sh"
cp "$here/tests/cmake/check_completions.sh" "$root/tmp/check_completions.sh"

archives=$cache/archives
mkdir -p "$archives/partial"
echo "== in the root (from /)"
# PID 1 of the new namespace is this shell: when it ends, every process left in it ends too.
unshare --mount --propagation private --pid --fork --kill-child -- /bin/sh -c '
  root=$1
  mount -t proc proc "$root/proc"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  mount --bind "$2" "$root/var/cache/apt/archives"
  exec env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    chroot "$root" /bin/bash /tmp/in-root.sh' sh "$root" "$archives" </dev/null
