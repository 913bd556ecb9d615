#!/bin/sh
# Renders the same wallpapers with two builds of prismora-wallpaper (say, one
# from main and one from a branch) and reports every picture whose bytes
# differ: each engine this processor runs, all twelve algorithms, BMP and
# PNG, at sizes from 1 x 1 to 4097 x 3001 (odd widths give every BMP row
# padding).
#
# usage: scripts/compare-wallpaper-builds.sh OLD_EXE NEW_EXE [SIZE...]
#   SIZE is WxH; without any, 1x1 2x1 1x2 3x3 7x5 97x61 641x479 1601x1201
#   4097x3001. Each picture uses --seed 42 --frames 100 --threads 2.
set -eu

if [ $# -lt 2 ]; then
  sed -n '2,11p' "$0" >&2
  exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
shift 2
sizes=${*:-1x1 2x1 1x2 3x3 7x5 97x61 641x479 1601x1201 4097x3001}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

same=0
differ=0
for engine in x87 sse2 avx2 avx512; do
  if ! "$new" --engine "$engine" --size 1x1 --output "$work/probe.bmp" 2>/dev/null; then
    echo "engine $engine skipped: not on this processor"
    continue
  fi
  for size in $sizes; do
    for algorithm in 1 2 3 4 5 6 7 8 9 10 11 12; do
      for format in bmp png; do
        args="--engine $engine --size $size --algorithm $algorithm --seed 42 --frames 100 --threads 2"
        # shellcheck disable=SC2086
        "$old" $args --output "$work/old.$format"
        # shellcheck disable=SC2086
        "$new" $args --output "$work/new.$format"
        if cmp -s "$work/old.$format" "$work/new.$format"; then
          same=$((same + 1))
        else
          differ=$((differ + 1))
          echo "DIFFERENT: $args ($format)"
        fi
      done
    done
    echo "engine $engine, $size: done"
  done
done
echo "$same pictures identical, $differ different"
[ "$differ" -eq 0 ]
