#!/usr/bin/env bash
# Gathers the release artifacts in DIST_DIR under versioned names and writes SHA256SUMS:
# the Debian packages (make package), the Windows zip (make windows) and the web page
# (make web) packed as a tar.gz. The version is the CMake project version, read from the
# release build's cache. Usage: scripts/dist.sh RELEASE_BUILD_DIR DIST_DIR
set -euo pipefail
build=$1
dist=$2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "dist: no project version in $build/CMakeCache.txt" >&2; exit 1; }

debs=()
for deb in "$dist"/*.deb; do
  [ -e "$deb" ] || { echo "dist: no .deb in $dist (make package)" >&2; exit 1; }
  deb_version=$(dpkg-deb -f "$deb" Version)
  [ "$deb_version" = "$version" ] || { echo "dist: $deb is version $deb_version, not $version" >&2; exit 1; }
  debs+=("$(basename "$deb")")
done
[ -f "$dist/quorvel4-windows.zip" ] || { echo "dist: no $dist/quorvel4-windows.zip (make windows)" >&2; exit 1; }
[ -f "$dist/web/index.html" ] || { echo "dist: no $dist/web (make web)" >&2; exit 1; }

# Every artifact carries the licences: the packages in their copyright files, the zip and
# the web page as files of their own.
# (The copyright text is read whole first: grep -q at the end of the pipe would stop reading at
# its first match, and tar, cut off, fail the pipe under pipefail whenever more followed.)
for deb in "${debs[@]}"; do
  copyright=$(dpkg-deb --fsys-tarfile "$dist/$deb" | tar -xOf - --wildcards './usr/share/doc/*/copyright') || copyright=
  grep -q '^License: Expat' <<<"$copyright" || { echo "dist: $deb has no copyright file naming the licence" >&2; exit 1; }
done
unzip -l "$dist/quorvel4-windows.zip" | grep -q 'windows/LICENSE-CC-BY-4.0.txt' ||
  { echo "dist: the Windows zip has no licence files" >&2; exit 1; }
[ -f "$dist/web/LICENSE" ] && [ -f "$dist/web/LICENSE-CC-BY-4.0" ] || { echo "dist: $dist/web has no licence files" >&2; exit 1; }

zip=quorvel4-windows-$version.zip
web=quorvel4-web-$version.tar.gz
rm -f "$dist"/quorvel4-windows-*.zip "$dist"/quorvel4-web-*.tar.gz "$dist/SHA256SUMS"
# Only the versioned name stays: two zips of one release side by side confuse.
mv "$dist/quorvel4-windows.zip" "$dist/$zip"
# The same files give the same archive: names sorted, no owners, the last commit's date.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
  --transform "s,^web,quorvel4-web-$version," -C "$dist" -cf - web | gzip -9n >"$dist/$web"
(cd "$dist" && sha256sum "${debs[@]}" "$zip" "$web" >SHA256SUMS)
echo "release $version in $dist/:"
(cd "$dist" && ls -l "${debs[@]}" "$zip" "$web" SHA256SUMS)
