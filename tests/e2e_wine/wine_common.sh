# The set-up every Wine end-to-end script shares: the pass/fail log, waits
# with a deadline, an Xvfb of its own (WIDTH x HEIGHT, 1024 x 768 unless set)
# and a Wine prefix in $WORK, both cleaned up on exit, and the helpers around
# Wine, the program's process and the screen. Sourced after the script has set
# SCR, WINTOOL_EXE and WORK.

failures=0
pids=()
xvfb_pid=

export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="

log() { echo "[$(date +%T)] $*"; }
pass() { log "PASS: $*"; }
fail() {
  log "FAIL: $*"
  failures=$((failures + 1))
}

# Where 32-bit programs run emulated (QEMU, see scripts/i386-emulation.sh)
# Wine and the program are several times slower: every deadline here is
# stretched by this one factor. Nothing else changes.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/i386-emulation.sh"
if i386_entry_active; then SLOWDOWN=${PRISMORA_EMULATED_SLOWDOWN:-4}; else SLOWDOWN=1; fi

# wait_for <seconds> <command...>: polls the command until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1 * SLOWDOWN))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS >= deadline)) && return 1
    sleep 0.2
  done
}

cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  timeout $((30 * SLOWDOWN)) wineserver -k 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  if [[ ${PRISMORA_E2E_KEEP:-0} == 1 ]]; then log "work folder kept: $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

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
    Xvfb ":$n" -screen 0 "${WIDTH:-1024}x${HEIGHT:-768}x24" -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 9>&- &
    xvfb_pid=$!
    export DISPLAY=":$n"
    if wait_for 20 xdpyinfo; then
      flock -u 9; exec 9>&-
      return 0
    fi
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  done
  flock -u 9; exec 9>&-
  echo "Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1
}

# ---- helpers around Wine ----

# Windows programs end their lines with CR LF.
wintool() {
  timeout $((60 * SLOWDOWN)) wine "$WINTOOL_EXE" "$@" 2>>"$WORK/wine.log" | tr -d '\r'
}
reg() {
  timeout $((60 * SLOWDOWN)) wine reg "$@" 2>>"$WORK/wine.log" | tr -d '\r'
}
KEY='HKCU\Software\Prismora'

# Starts the program with the given switch; the process id is in $scr_pid.
start_scr() {
  wine "$SCR" "$@" >>"$WORK/wine.log" 2>&1 &
  scr_pid=$!
  pids+=("$scr_pid")
}
running() { kill -0 "$1" 2>/dev/null; }
not_running() { ! kill -0 "$1" 2>/dev/null; }
# ends_within <seconds> <pid>: the process ends; its exit status is in $scr_status.
ends_within() {
  wait_for "$1" not_running "$2" || return 1
  wait "$2"
  scr_status=$?
}
stop() { running "$1" && kill "$1" && wait "$1" 2>/dev/null; }

window_shown() { xdotool search --onlyvisible --name "^$1\$"; }
x_window() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
is_foreground() { [[ "$(wintool foreground)" == "$1" ]]; }
foreground_class_is() { [[ "$(wintool foreground-class)" == "$1" ]]; }
# Gives the window the X keyboard focus, as a window manager would, and waits
# until Wine has made it the foreground window.
focus() {
  xdotool windowfocus "$(x_window "$1")" 2>/dev/null
  wait_for 30 is_foreground "$1"
}

# shot <name> [region]: a screenshot of the screen, or of a region WxH+X+Y.
shot() {
  import -window root "$WORK/$1.png" || return 1
  [[ -z ${2:-} ]] || convert "$WORK/$1.png" -crop "$2" +repage "$WORK/$1.png"
}
# The count of differing pixels (compare writes large counts as 2.3e+06).
differing() { compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1 | awk '{ printf "%d", $1 }'; }
