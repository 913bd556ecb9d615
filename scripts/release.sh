#!/usr/bin/env bash
# Release artefacts in one command: installs what is missing, builds both
# targets and runs every test (scripts/test-all.sh), then leaves in dist/out/
#   prismora_<version>_<arch>.deb     the Debian package
#   prismora-<version>-setup.exe      the Windows installer: the 64-bit programs
#                                     on 64-bit Windows, the 32-bit ones on 32-bit
#   prismora-<version>-win32.zip      the 32-bit prismora.scr and prismora-wallpaper.exe,
#                                     README.txt, LICENSE.txt
#   prismora-<version>-win64.zip      the same of the 64-bit build
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

# Each zip holds one build's programs as the installer does (stripped), with
# the README and the licence under the names Windows opens (the 32-bit
# build's own files: not the 64-bit programs it gives the installer); every
# file dated by the release's commit, so that the same commit zips the same.
stamp=$(TZ=UTC git log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null || date -u +%Y%m%d%H%M.%S)
files=(prismora.scr prismora-wallpaper.exe README.txt LICENSE.txt)
for build in win:win32 win64:win64; do
  folder=$stage/${build#*:}
  cmake --install "build/${build%%:*}" --prefix "$folder" --component Unspecified --strip >/dev/null
  TZ=UTC touch -t "$stamp" "${files[@]/#/$folder/}"
  (cd "$folder" && TZ=UTC zip -X -q "$stage/prismora-$version-${build#*:}.zip" "${files[@]}")
done

out=$root/dist/out
rm -rf "$out"
mkdir -p "$out"
cp "$stage"/deb/prismora_"$version"_*.deb "$stage/nsis/prismora-$version-setup.exe" \
   "$stage/prismora-$version-win32.zip" "$stage/prismora-$version-win64.zip" "$out/"
(cd "$out" && sha256sum -- *.deb *.exe *.zip >SHA256SUMS && sha256sum -c --quiet SHA256SUMS)
echo "== dist/out =="
ls -l "$out"
