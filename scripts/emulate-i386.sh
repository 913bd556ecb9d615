#!/usr/bin/env bash
# Runs a command with every 32-bit x86 program in it emulated by QEMU 10,
# even where the kernel runs them natively: how the Windows tests run on a
# machine that refuses 32-bit programs, tried on one that does not. The
# registration lives in a binfmt_misc of the command's own (a user and mount
# namespace, Linux 6.7 or later), so the rest of the machine is untouched.
#
# usage: scripts/emulate-i386.sh COMMAND [ARGS...]
#   e.g. scripts/emulate-i386.sh bash scripts/test-windows.sh build/win
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/i386-emulation.sh"

if [[ ${1:-} != --inside ]]; then
  (($#)) || { sed -n '2,10p' "$0" >&2; exit 2; }
  install_qemu10
  exec unshare --user --map-root-user --mount "$0" --inside "$@"
fi
shift
mount -t binfmt_misc binfmt_misc "$I386_BINFMT" ||
  { echo "this kernel has no binfmt_misc of a namespace's own (Linux 6.7 or later)"; exit 1; }
register_i386_entry
"$I386_PROBE" --version >/dev/null || { echo "32-bit programs do not run through $I386_QEMU"; exit 1; }
exec "$@"
