#!/usr/bin/env bash
# The Windows installer end to end, under Wine in a fresh prefix of the given
# width on an Xvfb of its own: built with `cpack -G NSIS`, installed silently
# (/S), the saver started as the system starts it (the SCRNSAVE.EXE value,
# /s), uninstalled silently; then once more with the options that leave
# another screen saver chosen (/NOSCREENSAVER) and remove the settings
# (/REMOVESETTINGS). In a 64-bit prefix (64-bit Windows) the installer, a
# 32-bit program, must put the 64-bit programs into the real System32 and the
# 64-bit Program Files, the saver must run natively, and an earlier install
# of the 32-bit programs must make way for them. Every wait has a deadline.
#
# usage: installer_e2e.sh <cpack> <32-bit Windows build folder> <wintool.exe> [32|64]
# environment: PRISMORA_E2E_KEEP=1   keep the work folder (installer, screenshots)
set -uo pipefail

CPACK=$1
BUILD=$(realpath "$2")
WINTOOL_EXE=$(realpath "$3")
BITS=${4:-32}
WORK=$(mktemp -d /tmp/prismora-installer-e2e.XXXXXX)
PREFIX_ARCH=win$BITS
SYSTEM_DIR='C:\windows\system32' SYSTEM_DIR_UNIX=system32
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_wine/wine_common.sh"
# The machine field a program of the prefix's width has in its PE header.
case $BITS in 64) MACHINE=8664 ;; *) MACHINE=14c ;; esac

UNINST_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Prismora'
DESKTOP_KEY='HKCU\Control Panel\Desktop'
SYSTEM_SCR="$SYSTEM_DIR\\prismora.scr"
C=$WINEPREFIX/drive_c
INSTALLED_FILES=("$C/windows/$SYSTEM_DIR_UNIX/prismora.scr" "$C/Program Files/Prismora/README.txt"
  "$C/Program Files/Prismora/LICENSE.txt" "$C/Program Files/Prismora/prismora-wallpaper.exe"
  "$C/Program Files/Prismora/uninstall.exe")

# value <key> <name>: the data of a registry value (empty when there is none).
value() {
  reg query "$1" /v "$2" 2>/dev/null | awk -v v="$2" '
    { line = $0; sub(/^[ \t]+/, "", line) }
    index(line, v) == 1 { sub(/^[^ \t]+[ \t]+REG_[A-Z_]+[ \t]*/, "", line); print line }'
}
has_key() { reg query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }
none_left() {
  local f
  for f in "${INSTALLED_FILES[@]}"; do [[ -e $f ]] && return 1; done
  [[ ! -e "$C/Program Files/Prismora" ]]
}
uninstalled() { no_key "$UNINST_KEY" && none_left; }
lower() { tr '[:upper:]' '[:lower:]'; }

# run_installer [options]: the installer, silent; `wine` returns when it has ended.
run_installer() {
  timeout $((180 * SLOWDOWN)) wine "$INSTALLER" /S "$@" >>"$WORK/wine.log" 2>&1
}
# run_uninstaller [options]: the uninstaller copies itself to a temporary folder and
# runs from there, so `wine` returns at once: wait until it has done its work.
# Its copy (Au_.exe) may still be running when the files and the entry are
# gone: the checks that follow wait for it to end, so that they never read
# the registry while it works.
run_uninstaller() {
  timeout $((60 * SLOWDOWN)) wine "C:\\Program Files\\Prismora\\uninstall.exe" /S "$@" >>"$WORK/wine.log" 2>&1
  wait_for 120 uninstalled && wait_for 60 uninstaller_ended
}
uninstaller_ended() { ! pgrep -f -i 'au_\.exe' >/dev/null; }
# A registry read is a Wine process of its own, which a busy machine may fail
# to start: a value that must be there is read again for a few seconds before
# it counts as gone, and what the last read printed is shown.
settings_kept() { [[ -n "$(value 'HKCU\Software\Prismora' Speed)" ]]; }

# ---- the cases ----

test_silent_install() {
  run_installer || { fail "the silent install failed (status $?)"; return 1; }
  local f ok=1
  for f in "${INSTALLED_FILES[@]}"; do [[ -f $f ]] || { ok=0; fail "not installed: $f"; }; done
  ((ok)) && pass "/S installs prismora.scr into $SYSTEM_DIR, README, licence, wallpaper command and uninstaller into Program Files"
  [[ $(pe_machine "$C/windows/$SYSTEM_DIR_UNIX/prismora.scr") == "$MACHINE" &&
     $(pe_machine "$C/Program Files/Prismora/prismora-wallpaper.exe") == "$MACHINE" ]] &&
    pass "both installed programs are $BITS-bit" || fail "the installed programs are not $BITS-bit"
  if ((BITS == 64)); then
    [[ ! -e $C/windows/syswow64/prismora.scr && ! -e "$C/Program Files (x86)/Prismora" ]] &&
      pass "nothing in SysWOW64 or the 32-bit Program Files" || fail "32-bit copies installed beside the 64-bit ones"
  fi
  [[ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE | lower)" == "$(lower <<<"$SYSTEM_SCR")" ]] &&
    pass "/S sets SCRNSAVE.EXE to $SYSTEM_SCR" || fail "SCRNSAVE.EXE is '$(value "$DESKTOP_KEY" SCRNSAVE.EXE)'"
  local expected=("DisplayName=Prismora" "DisplayVersion=$VERSION" "Publisher=Prismora developers"
    "UninstallString=\"C:\\Program Files\\Prismora\\uninstall.exe\""
    "QuietUninstallString=\"C:\\Program Files\\Prismora\\uninstall.exe\" /S"
    "DisplayIcon=$SYSTEM_SCR,0")
  local e got
  ok=1
  for e in "${expected[@]}"; do
    got=$(value "$UNINST_KEY" "${e%%=*}")
    [[ "$(lower <<<"$got")" == "$(lower <<<"${e#*=}")" ]] || { ok=0; fail "Apps & features: ${e%%=*} is '$got', not '${e#*=}'"; }
  done
  # The size in KiB: at least the saver's own.
  local size scr_kib=$(($(stat -c %s "$C/windows/$SYSTEM_DIR_UNIX/prismora.scr") / 1024))
  size=$(($(value "$UNINST_KEY" EstimatedSize)))
  ((size >= scr_kib && size < 4 * scr_kib + 4096)) || { ok=0; fail "EstimatedSize $size KiB (the saver alone is $scr_kib)"; }
  ((ok)) && pass "the \"Apps & features\" entry: name, version, publisher, icon, size ($size KiB), uninstall strings"
  local w
  w=$(timeout $((60 * SLOWDOWN)) wine "C:\\Program Files\\Prismora\\prismora-wallpaper.exe" --version 2>>"$WORK/wine.log" | tr -d '\r')
  [[ $w == *"$VERSION"* ]] && pass "the installed prismora-wallpaper.exe runs: $w" || fail "prismora-wallpaper.exe --version: '$w'"
}

# Installing again over an installed copy (a repair or an update) replaces
# the files and keeps the one entry.
test_install_again() {
  run_installer || { fail "the second silent install failed"; return; }
  local f ok=1
  for f in "${INSTALLED_FILES[@]}"; do [[ -f $f ]] || ok=0; done
  ((ok)) && [[ "$(value "$UNINST_KEY" DisplayVersion)" == "$VERSION" ]] &&
    [[ $(reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' | grep -ci 'uninstall\\prismora') == 1 ]] &&
    pass "installing again keeps every file and one entry" || fail "installing again broke the installed copy"
}

# The system starts the saver named by SCRNSAVE.EXE with /s.
test_installed_saver_runs() {
  SCR=$(value "$DESKTOP_KEY" SCRNSAVE.EXE)
  [[ -n $SCR ]] || { fail "no SCRNSAVE.EXE to run"; return; }
  xdotool mousemove 500 400
  start_scr /s
  local pid=$scr_pid
  if ((BITS == 64)); then
    # Started by wine64, a 64-bit saver runs natively: no emulator between.
    wait_for 30 saver_process_is_native "$pid" && pass "the installed 64-bit saver runs natively ($(readlink "/proc/$pid/exe"))" ||
      fail "the installed saver's process is $(readlink "/proc/$pid/exe")"
  fi
  if wait_for 60 window_shown Full; then
    shot saver-a
    if wait_for 30 changed_from saver-a saver; then pass "'$SCR /s' shows a moving pattern"; else
      fail "'$SCR /s': the picture does not move"
    fi
  else
    fail "'$SCR /s': no saver window"
  fi
  focus Full && xdotool key space
  if ends_within 30 "$pid" && ((scr_status == 0)); then pass "the installed saver ends on a key"; else
    fail "the installed saver did not end on a key"
    stop "$pid"
  fi
  [[ -n "$(value 'HKCU\Software\Prismora' Speed)" ]] && pass "the installed saver stored its first-run settings" ||
    fail "no settings under HKCU\\Software\\Prismora after a run"
}
changed_from() { shot "$2" && (($(differing "$1" "$2") > 1000)); }
# Its process is the 64-bit loader itself (or its preloader), not an emulator.
saver_process_is_native() { [[ $(readlink "/proc/$1/exe") == */wine64* ]]; }

# 64-bit Windows with an earlier install of the 32-bit programs (as older
# installers made it: the saver in SysWOW64 and chosen, the rest in the 32-bit
# Program Files, the entry in the 32-bit registry): the new install puts the
# 64-bit programs in their place, and one entry remains.
test_replaces_the_32bit_install() {
  local old_dir="$C/Program Files (x86)/Prismora" old_scr='C:\windows\SysWOW64\prismora.scr'
  mkdir -p "$old_dir"
  cp "$BUILD/host/prismora.scr" "$C/windows/syswow64/prismora.scr"
  cp "$BUILD/cli/prismora-wallpaper.exe" "$old_dir/"
  touch "$old_dir/README.txt" "$old_dir/LICENSE.txt" "$old_dir/uninstall.exe"
  reg add "$UNINST_KEY" /reg:32 /v InstallLocation /t REG_SZ /d 'C:\Program Files (x86)\Prismora' /f >/dev/null
  reg add "$UNINST_KEY" /reg:32 /v DisplayName /t REG_SZ /d Prismora /f >/dev/null
  reg add "$DESKTOP_KEY" /v SCRNSAVE.EXE /t REG_SZ /d "$old_scr" /f >/dev/null
  run_installer /NOSCREENSAVER || { fail "the install over the 32-bit one failed"; return; }
  [[ ! -e $C/windows/syswow64/prismora.scr && ! -e $old_dir ]] &&
    pass "the 32-bit saver in SysWOW64 and the 32-bit Program Files folder are gone" ||
    fail "left of the 32-bit install: $(ls "$C/windows/syswow64/prismora.scr" "$old_dir" 2>&1 | tr '\n' ' ')"
  [[ $(pe_machine "$C/windows/$SYSTEM_DIR_UNIX/prismora.scr") == 8664 && -f "$C/Program Files/Prismora/uninstall.exe" ]] &&
    pass "the 64-bit programs are in System32 and the 64-bit Program Files" || fail "the 64-bit programs are not in place"
  [[ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE | lower)" == "$(lower <<<"$SYSTEM_SCR")" ]] &&
    pass "SCRNSAVE.EXE naming the old saver now names the 64-bit one" ||
    fail "SCRNSAVE.EXE is '$(value "$DESKTOP_KEY" SCRNSAVE.EXE)'"
  no_key_32 "$UNINST_KEY" && has_key "$UNINST_KEY" && pass "one \"Apps & features\" entry, in the 64-bit registry" ||
    fail "the entries: 32-bit $(has_key_32 "$UNINST_KEY" && echo left || echo gone), 64-bit $(has_key "$UNINST_KEY" && echo there || echo missing)"
}
has_key_32() { reg query "$1" /reg:32 >/dev/null 2>&1; }
no_key_32() { ! has_key_32 "$1"; }

test_silent_uninstall() {
  if run_uninstaller; then pass "the silent uninstall removes every file it installed and the entry"; else
    fail "after the silent uninstall: entry $(has_key "$UNINST_KEY" && echo left || echo gone), files left:"
    ls -la "$C/windows/$SYSTEM_DIR_UNIX/prismora.scr" "$C/Program Files/Prismora" 2>&1
  fi
  [[ -z "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" ]] && pass "SCRNSAVE.EXE naming Prismora is removed" ||
    fail "SCRNSAVE.EXE is still '$(value "$DESKTOP_KEY" SCRNSAVE.EXE)'"
  if wait_for 10 settings_kept; then pass "the user's settings stay"; else
    fail "the uninstaller removed HKCU\\Software\\Prismora unasked"
    reg query 'HKCU\Software\Prismora' 2>&1
    echo "(reg query ended with status $?)"
  fi
}

# Another screen saver chosen before and kept by both; the settings removed on request.
test_other_saver_and_remove_settings() {
  local other='C:\windows\system32\other.scr'
  reg add "$DESKTOP_KEY" /v SCRNSAVE.EXE /t REG_SZ /d "$other" /f >/dev/null
  run_installer /NOSCREENSAVER || { fail "the silent install with /NOSCREENSAVER failed"; return; }
  [[ -f "$C/windows/$SYSTEM_DIR_UNIX/prismora.scr" ]] && has_key "$UNINST_KEY" &&
    [[ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" == "$other" ]] &&
    pass "/S /NOSCREENSAVER installs and leaves the chosen screen saver" ||
    fail "/NOSCREENSAVER: SCRNSAVE.EXE is '$(value "$DESKTOP_KEY" SCRNSAVE.EXE)'"
  run_uninstaller /REMOVESETTINGS || fail "the uninstall with /REMOVESETTINGS left files or the entry"
  [[ "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" == "$other" ]] && pass "the uninstaller leaves another screen saver chosen" ||
    fail "the uninstaller changed SCRNSAVE.EXE naming another saver to '$(value "$DESKTOP_KEY" SCRNSAVE.EXE)'"
  no_key 'HKCU\Software\Prismora' && pass "/REMOVESETTINGS removes HKCU\\Software\\Prismora" ||
    fail "/REMOVESETTINGS left HKCU\\Software\\Prismora"
}

for tool in Xvfb xdotool xdpyinfo import compare wine wineserver; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done
VERSION=$(sed -n 's/^#define PRISMORA_VERSION "\(.*\)"$/\1/p' "$BUILD/generated/prismora_version.h")
log "building the installer"
(cd "$WORK" && timeout $((600 * SLOWDOWN)) "$CPACK" -G NSIS -B "$WORK/cpack" --config "$BUILD/CPackConfig.cmake" >"$WORK/cpack.log" 2>&1) ||
  { cat "$WORK/cpack.log"; echo "cpack -G NSIS failed"; exit 1; }
INSTALLER=$WORK/cpack/prismora-$VERSION-setup.exe
[[ -f $INSTALLER ]] && pass "cpack -G NSIS writes $(basename "$INSTALLER")" || { fail "no $INSTALLER"; exit 1; }
/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/artifacts_test.py" installer "$INSTALLER" --version "$VERSION" ||
  fail "the installer's header"
start_xvfb || { echo "could not start Xvfb"; exit 1; }
log "display $DISPLAY, prefix $WINEPREFIX"
timeout $((300 * SLOWDOWN)) wine wineboot -i >>"$WORK/wine.log" 2>&1 && timeout $((120 * SLOWDOWN)) wineserver -w ||
  { echo "wineboot failed"; exit 1; }
reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

if test_silent_install; then
  test_install_again
  test_installed_saver_runs
  test_silent_uninstall
  test_other_saver_and_remove_settings
  if ((BITS == 64)); then
    test_replaces_the_32bit_install
    run_uninstaller || fail "the uninstall after replacing the 32-bit install left files or the entry"
  fi
fi
log "$failures failure(s)"
((failures == 0))
