#!/usr/bin/env bash
# Renders the same wallpapers with the native prismora-wallpaper and, under
# Wine, with a Windows prismora-wallpaper.exe (32- or 64-bit: the Wine loader
# is picked from the program's header), and compares the bytes.
#
# usage: scripts/compare-wallpaper-wine.sh [--check [--x87-check EXE]]
#                                          NATIVE_EXE WINDOWS_EXE [ARGS...]
#   Without --check: one line per picture saying how many bytes differ (and
#   by how much at most). ARGS are prismora-wallpaper arguments without
#   --output; without ARGS every algorithm is compared at 1600x1200 with
#   --seed 42 --frames 100.
#   With --check: every engine of the Windows program that this processor
#   runs (x87, sse2, avx2, avx512) against the native x87 engine, for every
#   algorithm at every size from 1x1 to 1600x1200; fails on any byte that
#   differs. Where the Windows x87 unit is not the processor's (an
#   emulator's: EXE is the Windows x87_check.exe, run first), the x87
#   engine's own comparison is skipped with a line saying why, a lane engine
#   may differ only where that x87 engine does (at the points the lanes hand
#   to the emulated x87 path), and, the emulator being many times slower,
#   each algorithm is rendered at a small size and at one other in turn.
# A WINEPREFIX from the environment is used as it is; otherwise a fresh one
# is made in a temporary folder and removed afterwards.
set -euo pipefail

check=0 x87_check=
while [[ ${1:-} == --* ]]; do
  case $1 in
    --check) check=1 ;;
    --x87-check) x87_check=$(realpath "$2"); shift ;;
    *) break ;;
  esac
  shift
done
if [[ $# -lt 2 ]]; then
  sed -n '2,21p' "$0" >&2
  exit 2
fi
if [[ ! -x $1 ]]; then
  echo "SKIPPED: no native program $1 to compare with (build the native build first)"
  exit 77
fi
native=$(realpath "$1")
windows=$(realpath "$2")
shift 2
source "$(dirname "$0")/wine-loader.sh"
wine=$(wine_loader_for "$windows")

work=$(mktemp -d)
own_prefix=
if [[ -z ${WINEPREFIX:-} ]]; then
  own_prefix=$work/wineprefix
  export WINEPREFIX=$own_prefix
  WINEDEBUG=-all "$wine" wineboot -i >/dev/null 2>&1
fi
export WINEDEBUG=-all
cleanup() {
  if [[ -n $own_prefix ]]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

run_windows() { (cd "$work" && "$wine" "$windows" "$@" 2>"$work/err" | tr -d '\r'); }

# The offsets at which two files differ, one a line, sorted as text.
differing_offsets() { cmp -l "$1" "$2" 2>/dev/null | awk '{ print $1 }' | sort; }

report() {
  local label=$1 total
  "$native" "${@:2}" --threads 2 --output "$work/native.bmp"
  run_windows "${@:2}" --threads 2 --output windows.bmp
  total=$(wc -c <"$work/native.bmp")
  if cmp -s "$work/native.bmp" "$work/windows.bmp"; then
    echo "$label: 0 of $total bytes differ"
  else
    cmp -l "$work/native.bmp" "$work/windows.bmp" 2>/dev/null | awk -v label="$label" -v total="$total" '
      function dec(o,  v, i) { v = 0; for (i = 1; i <= length(o); i++) v = v * 8 + substr(o, i, 1); return v }
      { d = dec($2) - dec($3); if (d < 0) d = -d; if (d > max) max = d; n++ }
      END { printf "%s: %d of %d bytes differ, largest difference %d\n", label, n, total, max }'
  fi
}

if ((!check)); then
  if (($#)); then
    report "$*" "$@"
  else
    for algorithm in {1..12}; do
      report "algorithm $algorithm" --seed 42 --frames 100 --size 1600x1200 --algorithm "$algorithm"
    done
  fi
  exit 0
fi

# ---- --check ----
emulated_x87=
if [[ -n $x87_check ]] && ! emulated_x87=$("$wine" "$x87_check" | tr -d '\r'); then
  echo "SKIPPED: the x87 engine's own comparison: $emulated_x87."
  echo "The lane engines may differ only where the x87 engine does (the points they hand to it)."
else
  emulated_x87=
fi
engines=(x87)
for e in sse2 avx2 avx512; do
  if run_windows --engine "$e" --size 1x1 --output probe.bmp >/dev/null; then
    engines+=("$e")
  elif grep -q "cannot run" "$work/err"; then
    echo "SKIPPED: the $e engine: not on this processor."
  else
    echo "FAIL: --engine $e: $(cat "$work/err")"
    exit 1
  fi
done

sizes=(1x1 3x2 333x211 640x480 1600x1200)
failures=0
# compare_case ALGORITHM SIZE STATE...: every engine against the native x87.
compare_case() {
  local algorithm=$1 size=$2 e line
  local args=(--seed 42 --frames 100 --algorithm "$algorithm" --size "$size" "${@:3}" --threads 2)
  "$native" "${args[@]}" --engine x87 --output "$work/native.bmp"
  line="algorithm $algorithm, $size ${*:3}:"
  for e in "${engines[@]}"; do
    if ! run_windows "${args[@]}" --engine "$e" --output "$e.bmp" >/dev/null; then
      echo "FAIL: $line --engine $e: $(cat "$work/err")"; failures=$((failures + 1)); continue
    fi
    differing_offsets "$work/native.bmp" "$work/$e.bmp" >"$work/$e.diff"
    line+=" $e $(wc -l <"$work/$e.diff")"
    if [[ $e == x87 && -n $emulated_x87 ]]; then continue; fi
    if [[ -n $emulated_x87 ]]; then
      if [[ -n $(comm -23 "$work/$e.diff" "$work/x87.diff") ]]; then
        echo "FAIL: $line: --engine $e differs where the x87 engine does not"; failures=$((failures + 1))
      fi
    elif [[ -s $work/$e.diff ]]; then
      echo "FAIL: $line: --engine $e differs from the native x87 engine"; failures=$((failures + 1))
    fi
  done
  echo "$line bytes differ"
}

for algorithm in {1..12}; do
  compare_case "$algorithm" 97x61
  if [[ -z $emulated_x87 ]]; then
    for size in "${sizes[@]}"; do compare_case "$algorithm" "$size"; done
  else
    compare_case "$algorithm" "${sizes[algorithm % ${#sizes[@]}]}"
  fi
done
# Phases far outside the drift: every point on the x87 path.
compare_case 4 64x48 --phases 1e10,3e19,6.2
((failures == 0)) && echo "every engine matches the native x87 engine" || echo "$failures failure(s)"
((failures == 0))
