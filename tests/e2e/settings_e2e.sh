#!/bin/bash
# End-to-end test of the settings window (/c) on a private Xvfb display with
# no window manager: the live pattern above the grey controls, Save Settings
# writing its values, "Per Pixel", the battery choice, Save Wallpaper + Enter writing a BMP of the chosen
# size into the remembered folder, and Escape closing the window.
#
# usage: settings_e2e.sh PRISMORA_BINARY [SHOT_FOLDER]
# Screenshots are kept in SHOT_FOLDER (default: a temporary folder, removed).
set -u

PROG=$(readlink -f "$1")
WORK=$(mktemp -d /tmp/prismora-settings-e2e.XXXXXX)
SHOTS=${2:-$WORK/shots}
mkdir -p "$SHOTS" "$WORK/home" "$WORK/config/prismora" "$WORK/walls"
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config
STORE=$XDG_CONFIG_HOME/prismora/registry.reg
XVFB_PID=
APP_PID=
FAILURES=0

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  case "$SHOTS" in "$WORK"/*) rm -rf "$WORK" ;; *) rm -rf "$WORK/home" "$WORK/config" "$WORK/walls" ;; esac
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: polls the command every 100 ms until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# Xvfb on the first free display from :100, stopped by its pid. Test runs
# choose and start their servers one at a time, under a lock they share, so two
# runs never pick the same number (Xvfb's own -displayfd search removes other
# servers' sockets while it probes, so it is not used). -noreset: otherwise the
# server resets when the readiness probe disconnects, and a client that
# connects during the reset is refused.
start_xvfb() {
  local n
  exec 9>/tmp/prismora-e2e-xvfb.lock
  flock -w 60 9 || { echo "no lock for starting Xvfb"; exit 1; }
  for ((n = 100; n < 200; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 9>&- &
    XVFB_PID=$!
    export DISPLAY=":$n"
    if wait_for 20 xdpyinfo; then
      flock -u 9; exec 9>&-
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
  done
  flock -u 9; exec 9>&-
  echo "Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1
}

write_store() {  # speed bright algorithm rands folder
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n"Speed"=dword:%08x\n"Bright"=dword:%08x\n"Algoritm"=dword:%08x\n"Rands"=dword:%08x\n"Path_Wall"="%s"\n' \
    "$1" "$2" "$3" "$4" "$5" >"$STORE"
}

store_value() { grep -i "^\"$1\"=" "$STORE" | tail -1 | cut -d= -f2-; }

start_settings() {
  "$PROG" /c >"$WORK/app.log" 2>&1 &
  APP_PID=$!
  wait_for 15 xdotool search --onlyvisible --name '^Settings, Wallpaper Tools$' ||
    { fail "the settings window did not appear (DISPLAY=$DISPLAY)"; cat "$WORK/app.log";
      kill -0 "$XVFB_PID" 2>/dev/null && echo "Xvfb is running" || { echo "Xvfb has ended:"; cat "$WORK/xvfb.log"; }
      exit 1; }
  MAIN=$(xdotool search --onlyvisible --name '^Settings, Wallpaper Tools$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$MAIN")"
  WX=$X WY=$Y
}

# click CLIENT_X CLIENT_Y: a left click at a point of the settings window's client area.
click() {
  xdotool mousemove --sync $((WX + $1)) $((WY + $2)) click 1
}

shot() { import -window root "$SHOTS/$1.png"; }

# region_stats FILE X Y W H: "mean stddev" of the region's grey levels, 0..255.
region_stats() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray \
    -format '%[fx:int(255*mean+0.5)] %[fx:int(255*standard_deviation+0.5)]' info:
}
# region_colour FILE X Y W H: the region's mean colour "r g b".
region_colour() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -resize 1x1! -format '%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]' info:
}

process_gone() { ! kill -0 "$APP_PID" 2>/dev/null; }

start_xvfb

# ---- 1. The live pattern above the grey controls --------------------------
write_store 25 1 7 0 "$WORK/walls"
start_settings
sleep 2
shot settings-1
sleep 0.5
shot settings-2
# The preview: client rows 2..384. A pattern has colour spread and moves.
read -r mean1 spread1 <<<"$(region_stats "$SHOTS/settings-1.png" $((WX + 16)) $((WY + 16)) 480 350)"
if [ "$spread1" -ge 8 ]; then pass "the preview shows a pattern (grey spread $spread1)"; else fail "flat preview (mean $mean1, spread $spread1)"; fi
crop() { convert "$1" -crop "$4x$5+$2+$3" +repage "$6"; }
crop "$SHOTS/settings-1.png" $((WX + 16)) $((WY + 16)) 480 350 "$WORK/p1.png"
crop "$SHOTS/settings-2.png" $((WX + 16)) $((WY + 16)) 480 350 "$WORK/p2.png"
diff_px=$(compare -metric AE -fuzz 2% "$WORK/p1.png" "$WORK/p2.png" null: 2>&1)
if [ "${diff_px%%.*}" -gt 1000 ] 2>/dev/null; then pass "the preview moves ($diff_px pixels changed in 0.5 s)"; else fail "the preview does not move ($diff_px)"; fi
# Background between the size caption and the FPS readout (client 280..420 x
# 428..443) is the form's silver.
read -r r g b <<<"$(region_colour "$SHOTS/settings-1.png" $((WX + 280)) $((WY + 428)) 140 15)"
if [ "$r" -ge 186 ] && [ "$r" -le 198 ] && [ "$g" -ge 186 ] && [ "$g" -le 198 ] && [ "$b" -ge 186 ] && [ "$b" -le 198 ]; then
  pass "grey controls area ($r $g $b)"
else
  fail "controls area is not grey ($r $g $b)"
fi

# ---- 2. Save Settings writes the four values -------------------------------
# The window holds Speed 25, size 1, algorithm 7, random off; the store is
# changed behind its back. A click on the speed bar's knob (at 25 of 0..50)
# gives the bar the focus, and the Right key takes it to its end, 50.
write_store 3 5 9 1 "/somewhere/else"
click 73 411
xdotool key --delay 5 --repeat 60 Right
click 74 462  # " Save Settings"
if wait_for 5 grep -qi '^"Speed"=dword:00000032' "$STORE"; then
  pass "Save Settings wrote Speed 50 from the bar"
else
  fail "Speed after Save Settings: $(store_value Speed)"
fi
[ "$(store_value Bright)" = "dword:00000001" ] && [ "$(store_value Algoritm)" = "dword:00000007" ] &&
  [ "$(store_value Rands)" = "dword:00000000" ] && pass "Bright, Algoritm, Rands written" ||
  fail "stored Bright $(store_value Bright) Algoritm $(store_value Algoritm) Rands $(store_value Rands)"
[ "$(store_value Path_Wall)" = '"/somewhere/else"' ] && pass "Path_Wall left alone" ||
  fail "Path_Wall changed to $(store_value Path_Wall)"
# The window opened on a store without the battery choice: the default.
[ "$(store_value OnBattery)" = "dword:00000001" ] && pass "a store without OnBattery saved as 1 (20 frames a second)" ||
  fail "OnBattery after Save Settings: $(store_value OnBattery)"
sleep 0.3
shot settings-saved

# ---- 2b. "Per Pixel" switches the live picture at once; Save Settings stores it
click 401 462  # the box of "Per Pixel"
sleep 0.5
shot pixels-1
sleep 0.5
shot pixels-2
crop "$SHOTS/pixels-1.png" $((WX + 16)) $((WY + 16)) 480 350 "$WORK/q1.png"
crop "$SHOTS/pixels-2.png" $((WX + 16)) $((WY + 16)) 480 350 "$WORK/q2.png"
diff_px=$(compare -metric AE -fuzz 2% "$WORK/q1.png" "$WORK/q2.png" null: 2>&1)
if [ "${diff_px%%.*}" -gt 1000 ] 2>/dev/null; then pass "the per-pixel preview moves ($diff_px pixels)"; else fail "the per-pixel preview does not move ($diff_px)"; fi
click 74 462  # " Save Settings"
if wait_for 5 grep -qi '^"Pixels"=dword:00000001' "$STORE"; then pass "Save Settings stored the view"; else
  fail "Pixels after Save Settings: $(store_value Pixels)"
fi
click 401 462  # back to the mesh for what follows

# ---- 2c. The battery choice under the speed bar: "paused", stored --------
# The list opens with the choice in force ("20 FPS") over the box, so that
# its last item, "paused", covers the silver right of " Save Settings".
list_open() {
  [[ $(import -window root -crop 1x1+$((WX + 142))+$((WY + 455)) -depth 8 txt:- 2>/dev/null | tail -1) == *"#FFFFFF"* ]]
}
list_closed() {
  [[ $(import -window root -crop 1x1+$((WX + 142))+$((WY + 455)) -depth 8 txt:- 2>/dev/null | tail -1) == *"#C0C0C0"* ]]
}
click 70 436
if wait_for 5 list_open; then
  shot battery-list
  xdotool key Escape  # closes the list, not the window
  if wait_for 5 list_closed && ! process_gone; then
    pass "Escape closed the open list, not the window"
  else
    fail "Escape on the open list"
  fi
  click 70 436
  wait_for 5 list_open || fail "the battery choice's list did not open again"
  xdotool key --delay 50 Down Return
  click 74 462  # " Save Settings"
  if wait_for 5 grep -qi '^"OnBattery"=dword:00000002' "$STORE"; then pass "the battery choice \"paused\" was stored"; else
    fail "OnBattery after choosing paused: $(store_value OnBattery)"
  fi
else
  fail "the battery choice's list did not open"
fi
shot battery-paused

# ---- 3. Save Wallpaper, then Enter, into the remembered folder -------------
write_store 25 1 7 0 "$WORK/walls"
click 226 462  # "Save Wallpaper"
if wait_for 30 xdotool search --onlyvisible --name '^Save Wallpaper$'; then
  DIALOG=$(xdotool search --onlyvisible --name '^Save Wallpaper$' | head -1)
  sleep 0.5
  shot dialog
  xdotool windowfocus --sync "$DIALOG" 2>/dev/null
  xdotool key --clearmodifiers Return
  BMP=$WORK/walls/Prismora1.bmp
  if wait_for 15 test -s "$BMP"; then
    header=$(od -An -tu4 -j18 -N8 "$BMP" | xargs)
    bpp=$(od -An -tu2 -j28 -N2 "$BMP" | xargs)
    magic=$(head -c2 "$BMP")
    size=$(stat -c %s "$BMP")
    if [ "$magic" = BM ] && [ "$header" = "640 480" ] && [ "$bpp" = 24 ] && [ "$size" = 921654 ]; then
      pass "Prismora1.bmp is a 640 x 480 24-bit BMP of $size bytes"
    else
      fail "bad BMP: magic $magic size $size dims $header bpp $bpp"
    fi
    convert "$BMP" "$SHOTS/wallpaper.png"
    read -r mean spread <<<"$(region_stats "$SHOTS/wallpaper.png" 0 0 640 480)"
    [ "$spread" -ge 8 ] && pass "the wallpaper holds a pattern (spread $spread)" || fail "flat wallpaper ($mean $spread)"
  else
    fail "no wallpaper written"; ls -la "$WORK/walls"
  fi
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^Save Wallpaper\$'" &&
    pass "the dialog closed after the save" || fail "the dialog is still open"
else
  fail "the save dialog did not appear"
fi
sleep 1.5
shot settings-after-export
read -r _ spread <<<"$(region_stats "$SHOTS/settings-after-export.png" $((WX + 16)) $((WY + 16)) 480 350)"
[ "$spread" -ge 8 ] && pass "the preview runs again" || fail "preview after the export: spread $spread"

# ---- 4. Escape closes the window -------------------------------------------
xdotool windowfocus --sync "$MAIN" 2>/dev/null
xdotool key --clearmodifiers Escape
if wait_for 5 process_gone; then
  wait "$APP_PID"
  status=$?
  APP_PID=
  [ $status -eq 0 ] && pass "Escape closed the window (exit 0)" || fail "exit status $status after Escape"
else
  fail "Escape did not close the window"
fi

[ $FAILURES -eq 0 ] && echo "settings e2e: all passed" || echo "settings e2e: $FAILURES failed"
exit $((FAILURES > 0))
