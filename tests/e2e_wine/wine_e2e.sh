#!/usr/bin/env bash
# End-to-end tests of prismora.scr under Wine, on a private Xvfb screen of
# 1024 x 768 with no window manager, driven with xdotool, `wine reg` and the
# small helpers parent_window.exe and wintool.exe. Every wait has a deadline;
# nothing waits a fixed time.
#
# usage: wine_e2e.sh <prismora.scr> <parent_window.exe> <wintool.exe>
# environment: PRISMORA_E2E_KEEP=1        keep the work folder (screenshots)
#              PRISMORA_E2E_SHOTS=<dir>   copy the saver and settings screenshots there
set -uo pipefail
# Names outside ASCII go to Wine, xdotool and xmodmap as UTF-8.
export LC_ALL=C.UTF-8

SCR=$(realpath "$1")
PARENT_EXE=$(realpath "$2")
WINTOOL_EXE=$(realpath "$3")
WORK=$(mktemp -d /tmp/prismora-wine-e2e.XXXXXX)
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"

colours() { convert "$WORK/$1.png" -format %k info:; }
pixel() { convert "$WORK/$1.png" -format "%[hex:p{$2,$3}]" info:; }

# moving <name> [region]: two screenshots, taken as the frames go by, differ
# and are full of colour. Leaves <name>.png.
moving() {
  shot "$1-a" "${2:-}"
  wait_for 30 changed "$1-a" "$1" "${2:-}" || return 1
  (($(colours "$1") > 500))
}
# changed <before> <after> [region] [pixels]: a new screenshot differs from
# the earlier one in more than `pixels` (1000) pixels.
changed() {
  shot "$2" "${3:-}"
  (($(differing "$1" "$2") > ${4:-1000}))
}

reg_value() { reg query "$KEY" /v "$1" | awk -v v="$1" '$1 == v { print $2, $3 }'; }
reg_is() { [[ "$(reg_value "$1")" == "$2" ]]; }

# ---- the cases ----

test_saver_first_run() {
  reg delete "$KEY" /f >/dev/null
  xdotool mousemove 500 400
  start_scr /s
  local pid=$scr_pid
  wait_for 60 window_shown Full || { fail "/s: no saver window"; stop "$pid"; return; }
  if moving saver; then pass "/s shows a moving pattern"; else fail "/s: no moving pattern"; fi
  local expected=("Speed REG_DWORD 0x19" "Bright REG_DWORD 0x3" "Algoritm REG_DWORD 0x7" "Rands REG_DWORD 0x1"
    "Path_Wall REG_SZ C:\\Windows")
  local e name ok=1
  for e in "${expected[@]}"; do
    name=${e%% *}
    [[ "$name $(reg_value "$name")" == "$e" ]] || { ok=0; fail "/s first run: expected $e, got '$(reg_value "$name")'"; }
  done
  ((ok)) && pass "/s writes the first-run values"
  focus Full || fail "/s: the saver window never became the foreground window"
  xdotool mousemove 515 415
  shot saver-moved-a
  if wait_for 30 changed saver-moved-a saver-moved && running "$pid"; then
    pass "/s survives a 15-pixel move"
  else
    fail "/s ended (or froze) on a 15-pixel move"
  fi
  xdotool mousemove 516 415
  if ends_within 30 "$pid" && ((scr_status == 0)); then pass "/s ends on a 16-pixel move"; else
    fail "/s did not end cleanly on a 16-pixel move"
    stop "$pid"
  fi
}

test_saver_key() {
  start_scr /s
  local pid=$scr_pid
  wait_for 60 window_shown Full && focus Full || { fail "/s (key): no active saver window"; stop "$pid"; return; }
  xdotool key space
  if ends_within 30 "$pid" && ((scr_status == 0)); then pass "/s ends on a key"; else
    fail "/s did not end on a key"
    stop "$pid"
  fi
}

test_bright_of_wrong_type() {
  reg add "$KEY" /v Bright /t REG_SZ /d 3 /f >/dev/null
  start_scr /s
  local pid=$scr_pid
  if wait_for 60 window_shown "Prismora Screensaver" &&
    [[ "$(wintool text "Prismora Screensaver")" == *"Invalid data type for 'Bright'"* ]]; then
    pass "a REG_SZ \"Bright\" shows \"Invalid data type for 'Bright'\" titled \"Prismora Screensaver\""
  else
    fail "no message box \"Invalid data type for 'Bright'\""
  fi
  wintool close "Prismora Screensaver" >/dev/null
  # The saver still comes up after the message.
  if wait_for 60 window_shown Full && focus Full; then
    xdotool key space
    ends_within 30 "$pid" || fail "the saver after the message box did not end on a key"
  else
    fail "no saver window after the message box"
  fi
  stop "$pid"
  reg add "$KEY" /v Bright /t REG_DWORD /d 3 /f >/dev/null
}

# saver_in_view <name> <log> [environment...]: the saver with "Pixels" on,
# its frame log in <log>, under the given environment; checks a moving
# pattern and ends it with a key.
saver_in_view() {
  local name=$1 out=$2
  shift 2
  : >"$out"
  env PRISMORA_FPS_LOG=1 "$@" wine "$SCR" /s >>"$out" 2>&1 &
  local pid=$!
  pids+=("$pid")
  wait_for 60 window_shown Full || { fail "/s ($name): no saver window"; stop "$pid"; return 1; }
  if moving "$name"; then pass "/s ($name) shows a moving pattern"; else fail "/s ($name): no moving pattern"; fi
  focus Full && xdotool key space
  ends_within 30 "$pid" || { fail "/s ($name) did not end on a key"; stop "$pid"; }
}

test_saver_per_pixel() {
  reg add "$KEY" /v Pixels /t REG_DWORD /d 1 /f >/dev/null
  local out=$WORK/pixels.log
  saver_in_view saver-pixels "$out"
  if grep -q "frames drawn per pixel by" "$out"; then
    pass "\"Pixels\" 1: /s draws per pixel ($(grep -o 'by .*' "$out" | head -1 | tr -d '\r'))"
  else
    fail "\"Pixels\" 1: /s did not draw per pixel: $(tr -d '\r' <"$out" | head -5)"
  fi
  # A context of OpenGL 1.1 has no GLSL: the mesh, and not a word (Windows
  # keeps quiet about platform failures).
  out=$WORK/pixels-gl11.log
  saver_in_view saver-pixels-gl11 "$out" MESA_GL_VERSION_OVERRIDE=1.1
  if grep -q "frames drawn as the mesh by" "$out" && ! grep -q "cannot be drawn" "$out"; then
    pass "without GLSL /s draws the mesh, silently"
  else
    fail "without GLSL: $(tr -d '\r' <"$out" | grep -v fps | head -5)"
  fi
  reg add "$KEY" /v Pixels /t REG_DWORD /d 0 /f >/dev/null
}

# The settings window's client origin, in $cx $cy.
settings_origin() {
  local xy
  xy=$(wintool client "Settings, Wallpaper Tools") || return 1
  read -r cx cy <<<"$xy"
}

test_settings_window() {
  start_scr /c
  local pid=$scr_pid cx cy
  wait_for 60 window_shown "Settings, Wallpaper Tools" && settings_origin ||
    { fail "/c: no settings window"; stop "$pid"; return; }
  # The live pattern in the 512 x 382 area above the controls, silver below.
  if moving settings "512x370+$cx+$((cy + 8))"; then pass "/c shows the live pattern"; else
    fail "/c: no moving pattern in the preview area"
  fi
  shot settings-full
  [[ $(pixel settings-full $((cx + 300)) $((cy + 478))) == C0C0C0 ]] && pass "/c: silver under the controls" ||
    fail "/c: the control area is not silver"
  # The controls keep repainting while the pattern runs: "Save Settings" puts
  # its message where the size caption stood.
  local caption="200x23+$((cx + 161))+$((cy + 425))"
  shot caption-before "$caption"
  xdotool mousemove $((cx + 74)) $((cy + 462)) click 1
  if wait_for 20 changed caption-before caption-after "$caption" 100; then pass "/c: Save Settings shows its message"; else
    fail "/c: the size caption did not change after Save Settings"
  fi
  focus "Settings, Wallpaper Tools" || fail "/c: the settings window never became the foreground window"
  battery_choice
  # A click gives the "Speed" track bar the keyboard focus; the window still
  # sees Escape first.
  xdotool mousemove $((cx + 73)) $((cy + 413)) click 1
  xdotool key Escape
  if ends_within 30 "$pid" && ((scr_status == 0)); then pass "/c closes on Escape, a track bar having the focus"; else
    fail "/c did not close on Escape"
    stop "$pid"
  fi
}

# The battery choice's drop-down list under the speed bar, in the settings
# window that test_settings_window opened on a store without the value: the
# default shown and saved, Escape closing the open list and not the window,
# "paused" picked with the keys and stored, then shown by the next window.
combo_is() { [[ "$(wintool combo "Settings, Wallpaper Tools")" == "$1" ]]; }
# A busy Wine may lose a click that comes just after the list closed: the
# list is clicked open again until it shows, three times at most.
open_choice_list() {
  local attempt
  for attempt in 1 2 3; do
    combo_is "$1"$'\n'dropped && return 0
    xdotool mousemove $((cx + 70)) $((cy + 436)) click 1
    wait_for 10 combo_is "$1"$'\n'dropped && return 0
  done
  return 1
}
# "paused", the last item, picked with the keys on the open list; keys a
# busy Wine lost are sent again (Down stays on the last item).
pick_paused() {
  local attempt
  for attempt in 1 2 3; do
    combo_is "On battery: paused" && return 0
    if ! combo_is "On battery: paused"$'\n'dropped; then
      open_choice_list "On battery: 20 FPS" || continue
    fi
    xdotool key Down Return
    wait_for 10 combo_is "On battery: paused" && return 0
  done
  return 1
}
battery_choice() {
  if combo_is "On battery: 20 FPS" && wait_for 20 reg_is OnBattery "REG_DWORD 0x1"; then
    pass "/c: no OnBattery shows and saves 20 FPS"
  else
    fail "/c: the battery choice shows '$(wintool combo "Settings, Wallpaper Tools")', stored '$(reg_value OnBattery)'"
  fi
  if open_choice_list "On battery: 20 FPS"; then
    shot settings-battery-list
    xdotool key Escape
    if wait_for 20 combo_is "On battery: 20 FPS" && running "$pid"; then pass "/c: Escape closes the open list, not the window"; else
      fail "/c: Escape on the open list: '$(wintool combo "Settings, Wallpaper Tools")', running: $(running "$pid" && echo yes || echo no)"
    fi
  else
    fail "/c: the battery choice's list did not open"
  fi
  running "$pid" || return
  if pick_paused; then
    xdotool mousemove $((cx + 74)) $((cy + 462)) click 1
    if wait_for 20 reg_is OnBattery "REG_DWORD 0x2"; then pass "/c: \"paused\" picked and stored as OnBattery 2"; else
      fail "/c: OnBattery after picking paused: '$(reg_value OnBattery)'"
    fi
  else
    fail "/c: picking paused left '$(wintool combo "Settings, Wallpaper Tools")'"
  fi
}

# The next settings window shows the stored choice; the value is then taken away.
test_settings_battery_read_back() {
  start_scr /c
  local pid=$scr_pid
  if wait_for 60 window_shown "Settings, Wallpaper Tools" && wait_for 20 combo_is "On battery: paused"; then
    pass "/c: the stored OnBattery 2 shows as paused"
  else
    fail "/c: with OnBattery $(reg_value OnBattery) the choice shows '$(wintool combo "Settings, Wallpaper Tools")'"
  fi
  wintool close "Settings, Wallpaper Tools" >/dev/null
  ends_within 30 "$pid" || { fail "/c did not close"; stop "$pid"; }
  reg delete "$KEY" /v OnBattery /f >/dev/null
}

bmp_field() { od -An -t u"$3" -j "$2" -N "$3" "$1" | tr -d ' '; }
# valid_bmp <file> <width> <height>: a whole 24-bit BMP of that size.
valid_bmp() {
  [[ -s $1 && "$(head -c 2 "$1")" == BM ]] &&
    (($(bmp_field "$1" 18 4) == $2 && $(bmp_field "$1" 22 4) == $3 && $(bmp_field "$1" 28 2) == 24)) &&
    (($(stat -c %s "$1") == 54 + $2 * $3 * 3))
}

test_save_wallpaper() {
  local folder=$WORK/walls cx cy
  mkdir -p "$folder"
  reg add "$KEY" /v Path_Wall /t REG_SZ /d "Z:${folder//\//\\}" /f >/dev/null
  reg add "$KEY" /v Bright /t REG_DWORD /d 1 /f >/dev/null  # 640 x 480
  start_scr /c
  local pid=$scr_pid
  wait_for 60 window_shown "Settings, Wallpaper Tools" && settings_origin ||
    { fail "save: no settings window"; stop "$pid"; return; }
  # "Save Wallpaper" is at 164, 450, 125 x 25 in the client area.
  xdotool mousemove $((cx + 226)) $((cy + 462)) click 1
  if wait_for 120 window_shown "Save Wallpaper" && focus "Save Wallpaper"; then
    xdotool key Return
    local bmp=$folder/Prismora1.bmp
    if wait_for 60 test -s "$bmp" && [[ "$(head -c 2 "$bmp")" == BM ]] &&
      (($(bmp_field "$bmp" 18 4) == 640 && $(bmp_field "$bmp" 22 4) == 480 && $(bmp_field "$bmp" 28 2) == 24)) &&
      (($(stat -c %s "$bmp") == 54 + 640 * 480 * 3)); then
      pass "Save Wallpaper then Enter writes a 640 x 480 24-bit BMP into the remembered folder"
    else
      fail "no valid 640 x 480 BMP at $bmp"
    fi
  else
    fail "Save Wallpaper opened no save dialog"
  fi
  focus "Settings, Wallpaper Tools" && xdotool key Escape
  ends_within 30 "$pid" || { fail "the settings window did not close after the save"; stop "$pid"; }
  reg add "$KEY" /v Bright /t REG_DWORD /d 3 /f >/dev/null
}

# map_keys <text>: each character of the text that no key has is given a
# spare key of its own, for good. Otherwise xdotool gives a spare key the
# character only for the moment of typing it, and Wine, when busy, reads the
# key before it has seen the new mapping and loses the character.
map_keys() {
  local free ch i=0
  read -r -a free <<<"$(xmodmap -pke | awk 'NF == 3 && $2 > 8 { print $2 }' | tr '\n' ' ')"
  while IFS= read -r -n1 ch; do
    [[ -z $ch || $ch == [[:print:]] && $(printf '%d' "'$ch") -lt 128 ]] && continue
    ((i < ${#free[@]})) || return 1
    xmodmap -e "keycode ${free[i]} = $(printf 'U%04X' "'$ch") $(printf 'U%04X' "'$ch")" || return 1
    i=$((i + 1))
  done <<<"$1"
}

# type_name <name>: the save dialog's name box holds what was typed. The name
# box is at 64, 9 in the dialog's client area: into it, all of it selected,
# then typed over; read back, and typed again should a key have been lost.
type_name() {
  local xy dx dy attempt
  xy=$(wintool client "Save Wallpaper") && read -r dx dy <<<"$xy" || return 1
  for attempt in 1 2 3 4 5; do
    xdotool mousemove $((dx + 120)) $((dy + 19)) click 1
    xdotool key ctrl+a
    xdotool type --delay 100 "$1"
    [[ $(wintool edit "Save Wallpaper") == "$1" ]] && return 0
  done
  return 1
}

# The export into a folder named outside the ANSI code page, where the
# proposed name is a symbolic link (a Unix one: Wine 8 makes no Windows
# links), then under a typed name outside that code page too: the link's
# file is replaced and the link stays; the typed name is the file's.
test_save_wallpaper_names_and_links() {
  local folder="$WORK/壁纸 Ωμέγα" cx cy
  mkdir -p "$folder" "$WORK/other"
  printf 'the previous wallpaper' >"$WORK/other/t.bmp"
  ln -s ../other/t.bmp "$folder/Prismora1.bmp"
  reg add "$KEY" /v Path_Wall /t REG_SZ /d "Z:${folder//\//\\}" /f >/dev/null
  reg add "$KEY" /v Bright /t REG_DWORD /d 1 /f >/dev/null  # 640 x 480
  map_keys '图 ☃' || fail "names: no spare keys for the characters to type"
  start_scr /c
  local pid=$scr_pid
  wait_for 60 window_shown "Settings, Wallpaper Tools" && settings_origin ||
    { fail "names: no settings window"; stop "$pid"; return; }
  xdotool mousemove $((cx + 226)) $((cy + 462)) click 1
  if wait_for 120 window_shown "Save Wallpaper" && focus "Save Wallpaper"; then
    xdotool key Return
    if wait_for 60 valid_bmp "$WORK/other/t.bmp" 640 480 && [[ -L "$folder/Prismora1.bmp" ]]; then
      pass "the export into a folder named outside the ANSI code page replaces the file a link leads to"
    else
      fail "the export through a link: $(ls -l "$folder" "$WORK/other" | tr '\n' ' ')"
    fi
  else
    fail "names: Save Wallpaper opened no save dialog"
  fi
  focus "Settings, Wallpaper Tools" && xdotool mousemove $((cx + 226)) $((cy + 462)) click 1
  if wait_for 120 window_shown "Save Wallpaper" && focus "Save Wallpaper"; then
    if type_name 'Wallpaper 图 ☃' && xdotool key Return && wait_for 60 valid_bmp "$folder/Wallpaper 图 ☃.bmp" 640 480; then
      pass "a typed name outside the ANSI code page is the file's name"
    else
      fail "no 'Wallpaper 图 ☃.bmp' after typing it (the box held '$(wintool edit "Save Wallpaper")'): $(ls "$folder" | tr '\n' ' ')"
    fi
  else
    fail "names: the second Save Wallpaper opened no save dialog"
  fi
  focus "Settings, Wallpaper Tools" && xdotool key Escape
  ends_within 30 "$pid" || { fail "the settings window did not close after the saves"; stop "$pid"; }
  reg add "$KEY" /v Bright /t REG_DWORD /d 3 /f >/dev/null
}

# The child of the private class covers the parent (320 x 240) from its client
# origin, with the child, visible, disabled and clipping styles.
preview_child_inside() {
  [[ "$(wintool children "$1")" == "PrismoraPreviewClass 0 0 320 240 5e000000"* ]]
}

test_preview_in_window() {
  local hwnd pid
  coproc PARENT { exec wine "$PARENT_EXE" 2>>"$WORK/wine.log"; }
  pids+=("$PARENT_PID")
  read -r -t 60 hwnd <&"${PARENT[0]}" || { fail "/p: the parent window program printed no handle"; return; }
  hwnd=${hwnd//$'\r'/}
  start_scr /p "$hwnd"
  pid=$scr_pid
  if wait_for 60 preview_child_inside "$hwnd"; then
    pass "/p <hwnd> makes its window inside the given window, at its size"
  else
    fail "/p <hwnd>: no preview child ($(wintool children "$hwnd"))"
  fi
  shot preview-child 320x240+100+100
  running "$pid" || fail "/p <hwnd> ended while its parent exists"
  echo destroy >&"${PARENT[1]}"
  if ends_within 30 "$pid" && ((scr_status == 0)); then pass "/p <hwnd> ends when the window is destroyed"; else
    fail "/p <hwnd> did not end with its parent window"
    stop "$pid"
  fi
}

test_preview_without_parent() {
  start_scr /p
  local pid=$scr_pid
  if moving preview-popup; then pass "/p without a handle draws a moving pattern on a screen-sized pop-up"; else
    fail "/p without a handle: no moving pattern"
  fi
  # Created visible and topmost, it is activated and takes the keyboard by
  # itself: no focus is given here. (It has no title: its creation skips the
  # default processing that would set it.)
  wait_for 30 foreground_class_is PrismoraPreviewClass ||
    fail "/p without a handle: the pop-up never became the foreground window ($(wintool foreground-class))"
  xdotool key space
  if ends_within 30 "$pid" && ((scr_status == 0)); then pass "/p without a handle ends on a key"; else
    fail "/p without a handle did not end on a key"
    stop "$pid"
  fi
}

test_preview_missing_window() {
  start_scr /p 4242
  if ends_within 60 "$scr_pid" && ((scr_status == 1)); then pass "/p with a handle that names no window exits with 1"; else
    fail "/p 4242 did not exit with status 1"
    stop "$scr_pid"
  fi
}

test_password_change() {
  start_scr /a
  if ends_within 60 "$scr_pid" && ((scr_status == 0)); then pass "/a returns at once"; else
    fail "/a did not return"
    stop "$scr_pid"
  fi
}

# ---- run ----

for tool in Xvfb xdotool xdpyinfo import convert compare wine wineserver; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done
start_xvfb || { echo "could not start Xvfb"; exit 1; }
log "display $DISPLAY, prefix $WINEPREFIX"
timeout $((300 * SLOWDOWN)) wine wineboot -i >>"$WORK/wine.log" 2>&1 && timeout $((120 * SLOWDOWN)) wineserver -w ||
  { echo "wineboot failed"; exit 1; }
# With no window manager, Wine draws the title bars and borders itself.
reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

test_saver_first_run
test_saver_key
test_bright_of_wrong_type
test_saver_per_pixel
test_settings_window
test_settings_battery_read_back
test_save_wallpaper
test_save_wallpaper_names_and_links
test_preview_in_window
test_preview_without_parent
test_preview_missing_window
test_password_change

if [[ -n ${PRISMORA_E2E_SHOTS:-} ]]; then
  cp "$WORK/saver.png" "$PRISMORA_E2E_SHOTS/wine-saver.png" 2>/dev/null
  cp "$WORK/settings-full.png" "$PRISMORA_E2E_SHOTS/wine-settings.png" 2>/dev/null
fi
log "$failures failure(s)"
((failures == 0))
