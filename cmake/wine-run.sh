#!/usr/bin/env bash
# How the Windows builds' tests run a Windows program (CMake's cross-compiling
# emulator): under the Wine loader of the program's width (scripts/
# wine-loader.sh), with its exit status, standard output and standard error.
# The output goes through files of its own: Wine's server, the prefix's
# services and its desktop process, started on the way, outlive the program
# and would hold a pipe open until they end, so that a test reading the
# program's output would wait for every other test.
#
# usage: wine-run.sh PROGRAM.exe [ARGS...]
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/wine-loader.sh"
loader=$(wine_loader_for "$1") || exit 126
out=$(mktemp /tmp/prismora-wine-run.XXXXXX)
err=$out.err
trap 'rm -f "$out" "$err"' EXIT
"$loader" "$@" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit "$status"
