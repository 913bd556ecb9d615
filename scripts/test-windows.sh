#!/usr/bin/env bash
# Runs a Windows build's tests under Wine, in a prefix of its own that is
# made first and removed afterwards, with the Wine of the build's width (read
# from its programs' headers): a 64-bit build natively under wine64, a
# 32-bit one under the 32-bit loader, natively where the kernel runs 32-bit
# programs and through QEMU where it does not (install-deps.sh sets that up;
# "scripts/with-i386.sh emulated" forces it). The first line says which.
#
# usage: scripts/test-windows.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/i386-emulation.sh
source scripts/wine-loader.sh
build=$1
shift

loader=$(wine_loader_for "$build/host/prismora.scr")
if [[ $loader == */wine64 ]]; then
  export WINEARCH=win64
  echo "64-bit Windows programs run natively ($loader)."
elif ! i386_runs; then
  echo "FAILED: this machine runs no 32-bit programs, natively or emulated (see scripts/install-deps.sh)."
  echo "The Windows build's checks that need no Wine:"
  (cd "$build" && ctest --output-on-failure -L no-wine)
  exit 1
else
  export WINEARCH=win32
  echo "32-bit Windows programs run $(i386_mode)."
fi

export WINEPREFIX WINEDEBUG=-all
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
DISPLAY= timeout 900 "$loader" wineboot -i >/dev/null 2>&1
timeout 300 wineserver -w
echo "Wine prefix made in $((SECONDS - started)) s."

# Wine's server and the prefix's services end a few seconds after the last
# program: a keeper, a command prompt reading a pipe that stays silent until
# the end, runs them for the whole run instead of once for each test.
mkfifo "$WINEPREFIX/keeper"
DISPLAY= "$loader" cmd <"$WINEPREFIX/keeper" >/dev/null 2>&1 &
keeper=$!
exec 7>"$WINEPREFIX/keeper"
cd "$build" && ctest --output-on-failure "$@"
