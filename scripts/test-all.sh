#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the
# native tests, the Debian package (built, installed, used and removed), then
# the Windows tests under Wine in a prefix of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh all

status=0
echo "== Native tests =="
(cd build/native && ctest --output-on-failure -j2) || status=1

echo "== Debian package =="
bash scripts/test-package.sh || status=1

echo "== Windows tests under Wine =="
# prismora.scr is a 32-bit program: Wine runs it only where the system runs
# 32-bit programs. Some sandboxes do not (Wine's 32-bit loader then fails with
# "Exec format error"); there only the Windows build's checks that need no Wine
# run, and this says so.
if ! probe=$(/usr/lib/wine/wine --version 2>&1); then
  echo "SKIPPED: this machine cannot start 32-bit programs (/usr/lib/wine/wine: ${probe##*: })."
  echo "The Windows build was built; its checks that need no Wine run:"
  (cd build/win && ctest --output-on-failure -L no-wine) || status=1
else
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/prismora-wine.XXXXXX)
  export WINEDEBUG=-all WINEARCH=win32
  cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
  trap cleanup EXIT
  # The prefix must be complete before any test starts.
  DISPLAY= wineboot -i >/dev/null 2>&1
  wineserver -w
  (cd build/win && ctest --output-on-failure) || status=1
fi

exit $status
