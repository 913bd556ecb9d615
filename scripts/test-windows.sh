#!/usr/bin/env bash
# Runs a Windows build's tests under Wine, in a prefix of its own that is
# made first and removed afterwards. 32-bit programs run natively where the
# kernel lets them and through QEMU where it does not (install-deps.sh sets
# that up; scripts/emulate-i386.sh forces it); the first line says which.
#
# usage: scripts/test-windows.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/i386-emulation.sh
build=$1
shift

if ! i386_runs; then
  echo "FAILED: this machine runs no 32-bit programs, natively or emulated (see scripts/install-deps.sh)."
  echo "The Windows build's checks that need no Wine:"
  (cd "$build" && ctest --output-on-failure -L no-wine)
  exit 1
fi
echo "32-bit Windows programs run $(i386_mode)."

export WINEPREFIX WINEDEBUG=-all WINEARCH=win32
WINEPREFIX=$(mktemp -d /tmp/prismora-wine.XXXXXX)
keeper=
cleanup() {
  exec 7>&- 2>/dev/null
  [[ -n $keeper ]] && { timeout 60 tail --pid="$keeper" -f /dev/null || kill "$keeper"; } 2>/dev/null
  timeout 60 wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# The prefix must be complete before any test starts.
started=$SECONDS
DISPLAY= timeout 900 wineboot -i >/dev/null 2>&1
timeout 300 wineserver -w
echo "Wine prefix made in $((SECONDS - started)) s."

# Wine's server and the prefix's services outlive the program that started
# them and hold on to its standard output: a test that reads a program's
# output would wait until every other test had ended. So a keeper, started
# here with nothing of a test's attached, runs them for the whole run: a
# command prompt reading a pipe that stays silent until the end.
mkfifo "$WINEPREFIX/keeper"
DISPLAY= wine cmd <"$WINEPREFIX/keeper" >/dev/null 2>&1 &
keeper=$!
exec 7>"$WINEPREFIX/keeper"
cd "$build" && ctest --output-on-failure "$@"
