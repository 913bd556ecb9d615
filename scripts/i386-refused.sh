#!/bin/sh
# The interpreter that scripts/with-i386.sh refused gives 32-bit programs:
# notes the attempt (in $I386_ATTEMPTS, if set) and fails as the kernel would.
[ -n "${I386_ATTEMPTS:-}" ] && echo "$*" >>"$I386_ATTEMPTS"
echo "$1: 32-bit programs are refused here" >&2
exit 126
