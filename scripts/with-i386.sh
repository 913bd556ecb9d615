#!/usr/bin/env bash
# Runs a command with a binfmt_misc of its own (a user and mount namespace,
# Linux 6.7 or later), so that 32-bit x86 programs in it are
#   emulated: run by QEMU 10 even where the kernel runs them natively: how
#             the 32-bit Windows tests run on a machine that refuses 32-bit
#             programs, tried on one that does not;
#   refused:  never run: each attempt is written to the file named by
#             $I386_ATTEMPTS (if set) and fails, as on a kernel without
#             32-bit support and without an emulator. A run that must be
#             native and 64-bit throughout shows it so.
# The rest of the machine is untouched.
#
# usage: scripts/with-i386.sh emulated|refused COMMAND [ARGS...]
#   e.g. scripts/with-i386.sh emulated bash scripts/test-windows.sh build/win
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/i386-emulation.sh"

usage() { sed -n '2,15p' "$0" >&2; exit 2; }
if [[ ${1:-} != --inside ]]; then
  (($# >= 2)) || usage
  case $1 in
    emulated) install_qemu10 ;;
    refused) ;;
    *) usage ;;
  esac
  exec unshare --user --map-root-user --mount "$0" --inside "$@"
fi
mode=$2
shift 2
mount -t binfmt_misc binfmt_misc "$I386_BINFMT" ||
  { echo "this kernel has no binfmt_misc of a namespace's own (Linux 6.7 or later)"; exit 1; }
if [[ $mode == emulated ]]; then
  register_i386_entry
  i386_runs || { echo "32-bit programs do not run through $I386_QEMU"; exit 1; }
else
  I386_QEMU=$here/i386-refused.sh register_i386_entry
  # The probe itself is no attempt of the command's.
  ! I386_ATTEMPTS= i386_runs || { echo "32-bit programs still run"; exit 1; }
fi
exec "$@"
