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
started=$SECONDS
bash scripts/test-windows.sh build/win || status=1
echo "Windows tests took $((SECONDS - started)) s."

exit $status
