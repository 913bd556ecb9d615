#!/usr/bin/env bash
# Release artefacts in one command: installs what is missing, builds both
# targets and runs every test (scripts/test-all.sh), then leaves in dist/out/
#   prismora_<version>_<arch>.deb     the Debian package
#   prismora-<version>-win32.exe      the Windows installer
#   prismora-<version>-win32.zip      prismora.scr, README.txt, LICENSE.txt
#   SHA256SUMS                        for `sha256sum -c SHA256SUMS`
# Any failing test stops it before dist/out/ is touched. As root (the package
# test installs the package). Usage: scripts/release.sh [--no-tests]
# (--no-tests builds and packs only, to try the packaging; never for a release)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [[ ${1:-} == --no-tests ]]; then
  bash scripts/install-deps.sh
  bash scripts/build.sh all
else
  bash scripts/test-all.sh
fi

version=$(sed -n 's/^#define PRISMORA_VERSION "\(.*\)"$/\1/p' build/native/generated/prismora_version.h)
stage=$(mktemp -d /tmp/prismora-release.XXXXXX)
trap 'rm -rf "$stage"' EXIT

echo "== Packing $version =="
(cd build/native && cpack -G DEB -B "$stage/deb" >/dev/null)
(cd build/win && cpack -G NSIS -B "$stage/nsis" >/dev/null)

# The zip holds the saver as the installer does (stripped), with the README
# and the licence under the names Windows opens; every file dated by the
# release's commit, so that the same commit zips the same.
cmake --install build/win --prefix "$stage/win" --strip >/dev/null
mkdir "$stage/zip"
cp "$stage/win/prismora.scr" "$stage/win/README.txt" "$stage/win/LICENSE.txt" "$stage/zip/"
stamp=$(TZ=UTC git log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null || date -u +%Y%m%d%H%M.%S)
TZ=UTC touch -t "$stamp" "$stage/zip/"*
(cd "$stage/zip" && TZ=UTC zip -X -q "$stage/prismora-$version-win32.zip" prismora.scr README.txt LICENSE.txt)

out=$root/dist/out
rm -rf "$out"
mkdir -p "$out"
cp "$stage"/deb/prismora_"$version"_*.deb "$stage/nsis/prismora-$version-win32.exe" \
   "$stage/prismora-$version-win32.zip" "$out/"
(cd "$out" && sha256sum -- *.deb *.exe *.zip >SHA256SUMS && sha256sum -c --quiet SHA256SUMS)
echo "== dist/out =="
ls -l "$out"
