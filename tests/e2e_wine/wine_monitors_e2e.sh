#!/usr/bin/env bash
# End-to-end tests of prismora.scr under Wine on a 2304 x 1024 Xvfb screen
# with no window manager:
#   1. the screen as one monitor (Wine's XRandR view): /s covers it, and the
#      settings window's "Your Desktop" export writes a 2304 x 1024 BMP;
#   2. the screen split with `xrandr --setmonitor` into 1024 x 768 and
#      1280 x 1024 side by side, which Wine reports as two monitors when it
#      reads Xinerama (UseXRandR=N): /s covers the virtual screen, both
#      monitors show a moving pattern, 15 pixels survive and 16 end it;
#   3. the larger monitor left of the primary: a virtual screen from -1280.
# Every wait has a deadline; nothing waits a fixed time.
#
# usage: wine_monitors_e2e.sh <prismora.scr> <wintool.exe> <desktop_tool.exe>
# environment: PRISMORA_E2E_KEEP=1   keep the work folder (screenshots)
set -uo pipefail

SCR=$(realpath "$1")
WINTOOL_EXE=$(realpath "$2")
DESKTOP_EXE=$(realpath "$3")
WORK=$(mktemp -d /tmp/prismora-wine-monitors.XXXXXX)
WIDTH=2304 HEIGHT=1024
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"

# Windows programs end their lines with CR LF.
desktop_tool() { timeout $((60 * SLOWDOWN)) wine "$DESKTOP_EXE" "$@" 2>>"$WORK/wine.log" | tr -d '\r'; }
changed() {
  shot "$2" "$3"
  (($(differing "$1" "$2") > 1000))
}
# lit <name>: per mille of the picture's pixels that are not black.
lit() { convert "$WORK/$1.png" -fill white +opaque black -colorspace Gray -format '%[fx:int(1000*mean)]' info:; }
# colourful <name> <region>: a new shot of the region is full of colour (a
# pattern; some have black bands, so colours are counted, not lit pixels).
colourful() { shot "$1" "$2" && (($(convert "$WORK/$1.png" -format %k info:) > 500)); }
# moving <name> <region>: the region shows a pattern, and a new frame of it.
moving() {
  wait_for 30 colourful "$1-a" "$2" || return 1
  wait_for 30 changed "$1-a" "$1" "$2" || return 1
  (($(convert "$WORK/$1.png" -format %k info:) > 500))
}

# Lets the Wine server end by itself, which saves the registry (a killed
# server forgets what was written since it started).
wine_idle() { timeout $((60 * SLOWDOWN)) wineserver -w || timeout $((30 * SLOWDOWN)) wineserver -k; }

# use_monitors <xinerama Y|N> [name geometry output]...: the screen's
# monitors, and which view of them Wine takes; Wine reads them when its
# server starts.
use_monitors() {
  local xinerama=$1 m
  shift
  wine_idle
  for m in $(xrandr --listmonitors | awk 'NR > 1 { print $2 }' | tr -d '+*'); do
    xrandr --delmonitor "$m" >/dev/null 2>&1
  done
  while (($#)); do
    xrandr --setmonitor "$1" "$2" "$3" >/dev/null || fail "xrandr --setmonitor $1 $2"
    shift 3
  done
  if [[ $xinerama == Y ]]; then
    reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null
  else
    reg delete 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /f >/dev/null 2>&1
  fi
  wine_idle
}

# expect_desktop <what> <lines of desktop_tool monitors>
expect_desktop() {
  local what=$1 seen
  shift
  seen=$(desktop_tool monitors)
  if [[ "$seen" == "$(printf '%s\n' "$@")" ]]; then pass "Wine reports $what"; else
    fail "Wine reports, for $what: $(echo $seen)"
  fi
}

# saver_covers <name> <x y w h> <region>...: /s starts, its window is the
# virtual screen's rectangle and every region shows a moving pattern; the
# saver's process id is left in $saver_pid.
saver_covers() {
  local name=$1 rect=$2 region i=0
  shift 2
  start_scr /s
  saver_pid=$scr_pid
  wait_for 60 window_shown Full || { fail "$name: no saver window"; return 1; }
  local placed
  placed=$(wintool_rect)
  [[ "$placed" == "$rect" ]] && pass "$name: the saver's window is $rect" ||
    fail "$name: the saver's window is at '$placed', not $rect"
  for region in "$@"; do
    i=$((i + 1))
    if moving "$name-$i" "$region"; then pass "$name: a moving pattern at $region"; else
      fail "$name: no moving pattern at $region"
    fi
  done
  shot "$name"
}
wintool_rect() { desktop_tool rect Full; }

# ---- the cases ----

test_one_monitor() {
  use_monitors N
  expect_desktop "one monitor of 2304 x 1024" "virtual 0 0 2304 1024" "monitor 0 0 2304 1024 primary"
  reg delete "$KEY" /f >/dev/null 2>&1
  saver_covers one-monitor "0 0 2304 1024" "2304x1024+0+0"
  focus Full && xdotool key space
  if ends_within 30 "$saver_pid" && ((scr_status == 0)); then pass "one monitor: /s ends on a key"; else
    fail "one monitor: /s did not end on a key"
    stop "$saver_pid"
  fi
}

bmp_field() { od -An -t u"$3" -j "$2" -N "$3" "$1" | tr -d ' '; }

test_desktop_export() {
  local folder=$WORK/walls cx cy
  mkdir -p "$folder"
  reg add "$KEY" /v Path_Wall /t REG_SZ /d "Z:${folder//\//\\}" /f >/dev/null
  reg add "$KEY" /v Bright /t REG_DWORD /d 0 /f >/dev/null  # the screen's size
  start_scr /c
  local pid=$scr_pid
  wait_for 60 window_shown "Settings, Wallpaper Tools" &&
    read -r cx cy <<<"$(wintool client "Settings, Wallpaper Tools")" ||
    { fail "export: no settings window"; stop "$pid"; return; }
  local caption
  caption=$(wintool text "Settings, Wallpaper Tools" | grep 'x[0-9]')
  [[ "$caption" == "2304x1024-Your Desktop" ]] && pass "the size caption reads $caption" ||
    fail "the size caption reads '$caption'"
  shot settings-desktop "520x520+$((cx - 4))+$((cy - 4))"
  local start
  start=$(date +%s.%N)
  xdotool mousemove $((cx + 226)) $((cy + 462)) click 1
  if wait_for 180 window_shown "Save Wallpaper"; then
    log "the export at 2304 x 1024: $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s from the click to the dialog"
  fi
  if focus "Save Wallpaper"; then
    xdotool key Return
    local bmp=$folder/Prismora1.bmp
    if wait_for 60 test -s "$bmp" && [[ "$(head -c 2 "$bmp")" == BM ]] &&
      (($(bmp_field "$bmp" 18 4) == 2304 && $(bmp_field "$bmp" 22 4) == 1024 && $(bmp_field "$bmp" 28 2) == 24)) &&
      (($(stat -c %s "$bmp") == 54 + 2304 * 1024 * 3)); then
      pass "Save Wallpaper then Enter writes a 2304 x 1024 24-bit BMP"
      convert "$bmp" -resize 25% "$WORK/desktop-wallpaper.png"
    else
      fail "no valid 2304 x 1024 BMP at $bmp"
    fi
  else
    fail "Save Wallpaper opened no save dialog"
  fi
  focus "Settings, Wallpaper Tools" && xdotool key Escape
  ends_within 30 "$pid" || { fail "the settings window did not close after the export"; stop "$pid"; }
}

test_side_by_side() {
  use_monitors Y A 1024/270x768/203+0+0 screen B 1280/338x1024/270+1024+0 none
  expect_desktop "1024 x 768 and 1280 x 1024 side by side" "virtual 0 0 2304 1024" \
    "monitor 0 0 1024 768 primary" "monitor 1024 0 1280 1024"
  xdotool mousemove 500 400  # where the saver will note the cursor
  saver_covers side-by-side "0 0 2304 1024" "1024x768+0+0" "1280x1024+1024+0" || { stop "$saver_pid"; return; }
  shot gap "1024x256+0+768"
  (($(lit gap) < 10)) && pass "side by side: the corner on no monitor stays black" ||
    fail "side by side: the corner on no monitor is lit"
  focus Full || fail "side by side: the saver never became the foreground window"
  shot moved-a "1280x1024+1024+0"
  xdotool mousemove 515 415
  if wait_for 30 changed moved-a moved "1280x1024+1024+0" && running "$saver_pid"; then
    pass "side by side: /s survives a 15-pixel move"
  else
    fail "side by side: /s ended (or froze) on a 15-pixel move"
  fi
  xdotool mousemove 516 415
  if ends_within 30 "$saver_pid" && ((scr_status == 0)); then pass "side by side: /s ends on a 16-pixel move"; else
    fail "side by side: /s did not end cleanly on a 16-pixel move"
    stop "$saver_pid"
  fi
}

test_left_of_primary() {
  use_monitors Y A 1024/270x768/203+1280+0 screen B 1280/338x1024/270+0+0 none
  expect_desktop "a monitor left of the primary" "virtual -1280 0 2304 1024" \
    "monitor 0 0 1024 768 primary" "monitor -1280 0 1280 1024"
  saver_covers left-of-primary "-1280 0 2304 1024" "1280x1024+0+0" "1024x768+1280+0" || { stop "$saver_pid"; return; }
  shot gap "1024x256+1280+768"
  (($(lit gap) < 10)) && pass "left of the primary: the corner on no monitor stays black" ||
    fail "left of the primary: the corner on no monitor is lit"
  focus Full && xdotool key space
  if ends_within 30 "$saver_pid" && ((scr_status == 0)); then pass "left of the primary: /s ends on a key"; else
    fail "left of the primary: /s did not end on a key"
    stop "$saver_pid"
  fi
}

# ---- run ----

for tool in Xvfb xdotool xdpyinfo xrandr import convert compare wine wineserver; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done
start_xvfb
log "display $DISPLAY, prefix $WINEPREFIX"
timeout $((300 * SLOWDOWN)) wineboot -i >>"$WORK/wine.log" 2>&1 && timeout $((120 * SLOWDOWN)) wineserver -w ||
  { echo "wineboot failed"; exit 1; }
reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

test_one_monitor
test_desktop_export
test_side_by_side
test_left_of_primary

log "$failures failure(s)"
((failures == 0))
