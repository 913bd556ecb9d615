#!/bin/sh
# Renders the same wallpaper with the native prismora-wallpaper and, under
# Wine, with the Windows prismora-wallpaper.exe, and reports how many bytes of
# the two BMP files differ (and by how much at most).
#
# usage: scripts/compare-wallpaper-wine.sh NATIVE_EXE WINDOWS_EXE [ARGS...]
#   ARGS are prismora-wallpaper arguments without --output. Without ARGS,
#   every algorithm is compared at 1600x1200 with --seed 42 --frames 100.
# A WINEPREFIX from the environment is used as it is; otherwise a fresh one
# is made in a temporary folder and removed afterwards.
set -eu

if [ $# -lt 2 ]; then
  sed -n '2,11p' "$0" >&2
  exit 2
fi
native=$(realpath "$1")
windows=$(realpath "$2")
shift 2

work=$(mktemp -d)
own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$work/wineprefix
  export WINEPREFIX="$own_prefix"
  WINEDEBUG=-all wineboot -i >/dev/null 2>&1
fi
export WINEDEBUG=-all
cleanup() {
  if [ -n "$own_prefix" ]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# compare LABEL ARGS...: one render on each side, one line of report.
compare() {
  label=$1
  shift
  "$native" "$@" --threads 2 --output "$work/native.bmp"
  (cd "$work" && wine "$windows" "$@" --threads 2 --output windows.bmp)
  total=$(wc -c <"$work/native.bmp")
  if ! cmp -s "$work/native.bmp" "$work/windows.bmp"; then
    cmp -l "$work/native.bmp" "$work/windows.bmp" 2>/dev/null | awk -v label="$label" -v total="$total" '
      function dec(o,  v, i) { v = 0; for (i = 1; i <= length(o); i++) v = v * 8 + substr(o, i, 1); return v }
      { d = dec($2) - dec($3); if (d < 0) d = -d; if (d > max) max = d; n++ }
      END { printf "%s: %d of %d bytes differ, largest difference %d\n", label, n, total, max }'
  else
    echo "$label: 0 of $total bytes differ"
  fi
  rm -f "$work/native.bmp" "$work/windows.bmp"
}

if [ $# -gt 0 ]; then
  compare "$*" "$@"
else
  for algorithm in 1 2 3 4 5 6 7 8 9 10 11 12; do
    compare "algorithm $algorithm" --seed 42 --frames 100 --size 1600x1200 --algorithm "$algorithm"
  done
fi
