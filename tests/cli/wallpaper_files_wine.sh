#!/usr/bin/env bash
# The Windows prismora-wallpaper under Wine, where files are concerned:
#  1. Ended in the middle of a large picture, while its temporary file fills:
#     by Ctrl+C (Wine turns SIGINT into the console's CTRL_C_EVENT), and by
#     SIGTERM, SIGHUP and SIGKILL, which Wine leaves to the system: never
#     status 0, the old picture byte for byte as it was, no temporary file.
#  2. A symbolic link (one a Unix user makes; Wine 8 makes no Windows links):
#     the file it leads to is replaced, through a chain of links too, and the
#     links stay links.
#  3. Names outside the ANSI code page, for a file and its folder: written
#     under exactly that name; one that cannot be made is reported with it.
# Run in the Wine prefix the Windows test run gives (WINEPREFIX).
# usage: wallpaper_files_wine.sh PRISMORA-WALLPAPER.EXE WORK_FOLDER
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-loader.sh"
exe=$(realpath "$1")
work=$2
loader=$(wine_loader_for "$exe") || exit 1
# Wine reads the command line's names as UTF-8 under a UTF-8 locale.
export LC_ALL=C.UTF-8 WINEDEBUG=-all
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: until the command succeeds, or false.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
temp_growing() { [[ -n $(find "$1" -name '~prismora-*.tmp' -size +100k) ]]; }
no_temp() { [[ -z $(find "$1" -name '~prismora-*.tmp') ]]; }
running() { kill -0 "$1" 2>/dev/null; }

# ---- 1. Ended during the render ----------------------------------------------
# interrupted SIGNAL EXPECTED_STATUS
interrupted() {
  local sig=$1 expected=$2 dir=$work/$1 pid status
  mkdir "$dir"
  printf 'the previous picture' >"$dir/pic.png"
  # One thread of the x87 engine on a large picture: minutes of work.
  (cd "$dir" && exec "$loader" "$exe" --seed 5 --algorithm 1 --engine x87 --threads 1 --size 8000x8000 \
    --output pic.png 2>err.txt) &
  pid=$!
  if ! wait_for 120 temp_growing "$dir"; then
    fail "$sig: no temporary file grew ($(cat "$dir/err.txt"))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    return
  fi
  running "$pid" || { fail "$sig: the render ended before it was interrupted"; return; }
  kill -"$sig" "$pid"
  status=0
  wait "$pid" || status=$?
  [[ $status == "$expected" ]] || fail "$sig: status $status, expected $expected"
  # Wine's server removes a file marked for deletion once it has seen the
  # process end, which may be a moment after the process is gone.
  wait_for 20 no_temp "$dir" || fail "$sig: left behind: $(ls -A "$dir" | tr '\n' ' ')"
  [[ $(cat "$dir/pic.png") == 'the previous picture' ]] || fail "$sig: the old picture changed"
  [[ $status == "$expected" ]] && no_temp "$dir" && pass "$sig during the render: status $status, no temporary file"
}
# Ctrl+C ends with STATUS_CONTROL_C_EXIT, 0xC000013A, of which Wine passes the low byte.
interrupted INT 58
interrupted TERM 143
interrupted HUP 129
interrupted KILL 137

# ---- 2. Links -------------------------------------------------------------------
bmp_size() { echo $((54 + (($1 * 3 + 3) / 4 * 4) * $2)); }
is_bmp() { [[ -f $1 && $(head -c 2 "$1") == BM ]] && (($(stat -c %s "$1") == $(bmp_size "$2" "$3"))); }
is_png() { [[ -f $1 && $(head -c 4 "$1" | tail -c 3) == PNG ]]; }

mkdir -p links/other links/pictures
printf 'old' >links/other/t.bmp
printf 'old' >links/other/t.png
ln -s ../other/t.bmp links/pictures/link.bmp
ln -s link.bmp links/pictures/chain.bmp
ln -s ../other/t.png links/pictures/link.png
(cd links/pictures && "$loader" "$exe" --seed 1 --size 30x20 --output link.bmp)
if is_bmp links/other/t.bmp 30 20 && [[ -L links/pictures/link.bmp ]]; then
  pass "a link: the file it leads to is replaced, the link stays"
else
  fail "through a link: $(ls -l links/pictures links/other | tr '\n' ' ')"
fi
"$loader" "$exe" --seed 2 --size 31x21 --output "links/pictures/chain.bmp"
if is_bmp links/other/t.bmp 31 21 && [[ -L links/pictures/chain.bmp && -L links/pictures/link.bmp ]]; then
  pass "a chain of links, given relative to the current folder"
else
  fail "through a chain of links: $(ls -l links/pictures links/other | tr '\n' ' ')"
fi
windows_path="Z:${work//\//\\}\\links\\pictures\\link.png"
"$loader" "$exe" --seed 3 --size 32x22 --output "$windows_path"
if is_png links/other/t.png && [[ -L links/pictures/link.png ]]; then
  pass "a PNG through a link given as a Windows path"
else
  fail "a PNG through a link: $(ls -l links/pictures links/other | tr '\n' ' ')"
fi
[[ $(ls -A links/pictures | tr '\n' ' ') == "chain.bmp link.bmp link.png " && $(ls -A links/other | tr '\n' ' ') == "t.bmp t.png " ]] ||
  fail "links: files left: $(ls -A links/pictures links/other | tr '\n' ' ')"

# ---- 3. Names outside the ANSI code page ---------------------------------------
mkdir names
(cd names && "$loader" "$exe" --seed 4 --size 30x20 --output '中文 ☃.png' 2>err.txt)
is_png 'names/中文 ☃.png' && pass "a PNG named outside the ANSI code page" ||
  fail "no 中文 ☃.png: $(ls -A names | tr '\n' ' ') $(cat names/err.txt)"
mkdir 'names/壁纸 Ωμέγα'
(cd names && "$loader" "$exe" --seed 4 --size 30x20 --output '壁纸 Ωμέγα\图.bmp' 2>err.txt)
is_bmp 'names/壁纸 Ωμέγα/图.bmp' 30 20 && pass "a BMP in a folder named outside the ANSI code page" ||
  fail "no 壁纸 Ωμέγα/图.bmp: $(ls -A names/* | tr '\n' ' ') $(cat names/err.txt)"
(cd names && "$loader" "$exe" --seed 4 --size 30x20 --output 'café.bmp' 2>err.txt)
is_bmp names/café.bmp 30 20 && pass "a name in the ANSI code page still works" || fail "no café.bmp: $(cat names/err.txt)"
status=0
(cd names && "$loader" "$exe" --seed 4 --size 30x20 --output '缺\图.png' 2>err.txt) || status=$?
if ((status == 1)) && grep -q '^prismora-wallpaper: Cannot create file 缺\\图.png: .' names/err.txt; then
  pass "a missing folder named outside the ANSI code page is reported by its name"
else
  fail "missing folder: status $status, said $(cat names/err.txt)"
fi
[[ $(ls -A names | sort | tr '\n' ' ') == "$(printf '%s\n' café.bmp err.txt '中文 ☃.png' '壁纸 Ωμέγα' | sort | tr '\n' ' ')" ]] ||
  fail "names: files left: $(ls -A names | tr '\n' ' ')"

echo "$failures failure(s)"
((failures == 0)) && rm -rf "$work"
((failures == 0))
