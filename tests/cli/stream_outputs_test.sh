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
#  4. Outputs the shell has already opened (/dev/stdout, -, /dev/fd/N) are
#     written through the descriptor, from where it stands: appended after
#     >>, between the lines of a group redirection, into a deleted file or a
#     file in a folder the command may not write, the same bytes as a file
#     gets, and never replaced; a terminal too. A file named "-" is written
#     as ./-.
# usage: stream_outputs_test.sh PRISMORA_WALLPAPER WORK_FOLDER
set -eu
exe=$1
work=$2
case $exe in /*) ;; *) exe=$(pwd)/$exe ;; esac
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

# ---- 4. Outputs already open ---------------------------------------------------
held="$work/held"
mkdir "$held"
bmp="--seed 8 --algorithm 9 --size 61x37 --threads 2"
png="--seed 8 --algorithm 9 --size 203x77 --threads 2"
# shellcheck disable=SC2086
"$exe" $bmp --output "$held/ref.bmp"
# shellcheck disable=SC2086
"$exe" $png --output "$held/ref.png"

# >> appends, for either format: a BMP through /dev/stdout, a PNG (counted,
# then written once) through a link whose name asks for PNG.
ln -s /dev/stdout "$held/stdout.png"
for format in bmp png; do
  eval "options=\$$format"
  name=/dev/stdout
  [ "$format" = bmp ] || name="$held/stdout.png"
  printf 'header\n' > "$held/log.$format"
  # shellcheck disable=SC2086
  "$exe" $options --output "$name" >> "$held/log.$format"
  { printf 'header\n'; cat "$held/ref.$format"; } | cmp - "$held/log.$format" ||
    fail "--output $name >> log: the $format was not appended after the header"
done
[ -L "$held/stdout.png" ] || fail "the link to /dev/stdout was replaced"

# A group redirection: the picture between the lines before and after it.
# shellcheck disable=SC2086
{ echo before; "$exe" $bmp --output /dev/stdout; echo after; } > "$held/group"
{ echo before; cat "$held/ref.bmp"; echo after; } | cmp - "$held/group" ||
  fail "a group redirection lost its lines"

# - is standard output; ./- is a file of that name.
# shellcheck disable=SC2086
"$exe" $bmp --output - | cmp - "$held/ref.bmp" || fail "--output - did not write to standard output"
# shellcheck disable=SC2086
(cd "$held" && "$exe" $bmp --output ./- > "$held/stdout-of-dash")
cmp "$held/-" "$held/ref.bmp" || fail "--output ./- did not write the file -"
[ ! -s "$held/stdout-of-dash" ] || fail "--output ./- wrote to standard output"

# /dev/stdin read from a file is not an output: refused, the file kept.
status=0
# shellcheck disable=SC2086
"$exe" $bmp --output /dev/stdin < "$held/group" 2> "$held/stdin.err" || status=$?
[ "$status" = 1 ] || fail "--output /dev/stdin read from a file: status $status"
grep -q "^prismora-wallpaper: Cannot create file /dev/stdin: Not open for writing$" "$held/stdin.err" ||
  fail "--output /dev/stdin said: $(cat "$held/stdin.err")"
{ echo before; cat "$held/ref.bmp"; echo after; } | cmp -s - "$held/group" || fail "--output /dev/stdin changed the file"

# The file standard output points to, in a folder the command may not write
# to (root gives up its right to ignore that for the command).
mkdir "$held/locked"
printf 'header\n' > "$held/locked/log"
chmod 555 "$held/locked"
without_override=""
[ "$(id -u)" != 0 ] || without_override="setpriv --bounding-set=-dac_override --inh-caps=-dac_override"
status=0
# shellcheck disable=SC2086
$without_override "$exe" $bmp --output /dev/stdout >> "$held/locked/log" 2> "$held/locked.err" || status=$?
chmod 755 "$held/locked"
[ "$status" = 0 ] || fail "into a locked folder's file: status $status: $(cat "$held/locked.err")"
{ printf 'header\n'; cat "$held/ref.bmp"; } | cmp - "$held/locked/log" || fail "the locked folder's file lacks the picture"
[ "$(ls -A "$held/locked")" = log ] || fail "left in the locked folder: $(ls -A "$held/locked")"

# Standard output is a deleted file: written into it, and nothing replaced,
# /dev/stdout least of all (a /dev of the test's own, in a mount namespace).
if unshare --user --map-root-user --mount true 2>/dev/null; then
  # shellcheck disable=SC2016
  unshare --user --map-root-user --mount sh -c '
    exe=$1 held=$2 options=$3
    mount -t tmpfs -o mode=755 tmpfs /dev || exit 3
    ln -s /proc/self/fd/1 /dev/stdout
    exec 3<> "$held/deleted"
    rm "$held/deleted"
    status=0
    "$exe" $options --output /dev/stdout >&3 || status=$?
    echo "$status" > "$held/deleted.status"
    cat /proc/self/fd/3 > "$held/deleted.bytes"
    stat -c %F /dev/stdout > "$held/dev-stdout.kind"
    ls -A /dev > "$held/dev.list"
  ' sh "$exe" "$held" "$bmp"
  [ "$(cat "$held/deleted.status")" = 0 ] || fail "into a deleted file: status $(cat "$held/deleted.status")"
  cmp "$held/deleted.bytes" "$held/ref.bmp" || fail "the deleted file did not get the picture"
  [ ! -e "$held/deleted" ] || fail "the deleted file came back"
  [ "$(cat "$held/dev-stdout.kind")" = "symbolic link" ] || fail "/dev/stdout is now a $(cat "$held/dev-stdout.kind")"
  [ "$(cat "$held/dev.list")" = stdout ] || fail "left in /dev: $(cat "$held/dev.list")"
else
  echo "deleted file behind standard output skipped: this system gives no user and mount namespace"
fi
# A terminal as standard output is written to, as it always was (script(1)
# gives the command a terminal of its own and keeps what it showed).
if command -v script > /dev/null; then
  status=0
  script -qec "'$exe' $bmp --output -" "$held/typescript" > /dev/null < /dev/null || status=$?
  [ "$status" = 0 ] || fail "--output - on a terminal: status $status"
  grep -q BM "$held/typescript" || fail "--output - on a terminal showed no BMP"
else
  echo "standard output on a terminal skipped: no script(1)"
fi
echo "outputs already open: written where they stand, nothing replaced"
rm -rf "$work"
