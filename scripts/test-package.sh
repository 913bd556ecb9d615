#!/usr/bin/env bash
# Builds the Debian package from build/native (cpack -G DEB), installs it with
# apt, checks it from its installed paths (XScreenSaver running the hack) and
# removes it again: tests/package/package_test.py. As root; it changes the
# system, so it runs under a lock and leaves alone a prismora package that is
# installed already. Usage: scripts/test-package.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}

if [[ $(id -u) != 0 ]]; then
  echo "test-package: needs root (apt-get install); skipped"
  exit 0
fi
exec 8>/tmp/prismora-package.lock
flock -w 1800 8 || { echo "test-package: no lock"; exit 1; }
if dpkg-query -W -f='${Status}' prismora 2>/dev/null | grep -q "ok installed"; then
  echo "test-package: the package prismora is installed on this system; it is left alone and not tested"
  exit 0
fi

rm -f "$build"/prismora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^#define PRISMORA_VERSION "\(.*\)"$/\1/p' "$build/generated/prismora_version.h")
python3 tests/package/package_test.py --deb "$(ls "$build"/prismora_*.deb)" --version "$version" \
  --out "$build/tests/package-shots" --parent "$build/tests/e2e/x11_parent"
