#!/bin/sh
# The streamed picture where the file is not an ordinary one:
#  1. A disk that fills up in the middle of a large picture (a 1 MB tmpfs,
#     mounted in a mount namespace of the test's own, so that it goes away
#     with the test): exit status 1, "Stream write error: No space left on
#     device", the old file byte for byte as it was, no temporary file left.
#  2. A PNG into a FIFO, which cannot be patched: the same bytes as into a
#     file.
#  3. SIGTERM in the middle of a render, while the temporary file fills: the
#     process ends by the signal and takes its temporary file with it. (Not
#     SIGINT: a shell without job control starts background commands with
#     SIGINT ignored, and the command leaves an ignored signal ignored.)
# usage: stream_outputs_test.sh PRISMORA_WALLPAPER WORK_FOLDER
set -eu
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# ---- 1. The full disk --------------------------------------------------------
mkdir "$work/disk"
if unshare --user --map-root-user --mount true 2>/dev/null; then
  # Inside: mount, put the old picture there, render over it, report.
  unshare --user --map-root-user --mount sh -c '
    disk=$1 exe=$2 work=$3
    mount -t tmpfs -o size=1m tmpfs "$disk" || exit 3
    printf "the previous wallpaper" > "$disk/wall.bmp"
    printf "the previous PNG" > "$disk/wall.png"
    status=0
    "$exe" --seed 3 --algorithm 7 --size 1500x1000 --threads 2 --output "$disk/wall.bmp" 2> "$work/bmp.err" || status=$?
    echo "$status" > "$work/bmp.status"
    status=0
    "$exe" --seed 3 --algorithm 3 --size 2000x1500 --threads 2 --output "$disk/wall.png" 2> "$work/png.err" || status=$?
    echo "$status" > "$work/png.status"
    cat "$disk/wall.bmp" > "$work/bmp.after"
    cat "$disk/wall.png" > "$work/png.after"
    ls -A "$disk" > "$work/disk.list"
  ' sh "$work/disk" "$exe" "$work"
  for format in bmp png; do
    [ "$(cat "$work/$format.status")" = 1 ] || fail "$format on a full disk: status $(cat "$work/$format.status")"
    grep -q "^prismora-wallpaper: Stream write error: No space left on device$" "$work/$format.err" ||
      fail "$format on a full disk said: $(cat "$work/$format.err")"
  done
  [ "$(cat "$work/bmp.after")" = "the previous wallpaper" ] || fail "the old BMP changed"
  [ "$(cat "$work/png.after")" = "the previous PNG" ] || fail "the old PNG changed"
  [ "$(cat "$work/disk.list" | tr '\n' ' ')" = "wall.bmp wall.png " ] ||
    fail "left on the disk: $(cat "$work/disk.list")"
  echo "full disk: old files kept, no temporary file"
else
  echo "full disk skipped: this system gives no user and mount namespace"
fi

# ---- 2. A PNG into a FIFO ----------------------------------------------------
args="--seed 11 --algorithm 2 --size 333x201 --threads 2"
# shellcheck disable=SC2086
"$exe" $args --output "$work/file.png"
mkfifo "$work/pipe.png"
cat "$work/pipe.png" > "$work/piped.png" &
reader=$!
# The reader opens the FIFO when it gets to run; until then the command is
# refused at once ("No process reads from it"). Retry until it is there.
deadline=$(($(date +%s) + 20))
# shellcheck disable=SC2086
until "$exe" $args --output "$work/pipe.png" 2> "$work/pipe.err"; do
  grep -q "No process reads from it" "$work/pipe.err" || fail "into the FIFO: $(cat "$work/pipe.err")"
  [ "$(date +%s)" -lt "$deadline" ] || fail "the FIFO's reader never came"
  sleep 0.05
done
wait "$reader"
cmp "$work/file.png" "$work/piped.png" || fail "the PNG through the FIFO differs from the file"
echo "PNG through a FIFO: the file's bytes"

# ---- 3. Interrupted while the temporary file fills ----------------------------
mkdir "$work/interrupted"
"$exe" --seed 5 --algorithm 1 --engine x87 --size 6000x6000 --threads 1 --output "$work/interrupted/big.bmp" &
pid=$!
deadline=$(($(date +%s) + 60))
until [ -n "$(find "$work/interrupted" -name '.prismora-*.tmp' -size +100k)" ]; do
  kill -0 "$pid" 2>/dev/null || fail "the render ended before it was interrupted"
  [ "$(date +%s)" -lt "$deadline" ] || fail "no temporary file grew"
  sleep 0.05
done
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 143 ] || fail "after SIGTERM: status $status, expected 143"
[ -z "$(ls -A "$work/interrupted")" ] || fail "left after SIGTERM: $(ls -A "$work/interrupted")"
echo "SIGTERM during the render: the temporary file is gone"
rm -rf "$work"
