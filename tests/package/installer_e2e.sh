#!/usr/bin/env bash
# The Windows installer end to end, under Wine in a fresh 32-bit prefix on an
# Xvfb of its own: built with `cpack -G NSIS`, installed silently (/S), the
# saver started as the system starts it (the SCRNSAVE.EXE value, /s),
# uninstalled silently; then once more with the options that leave another
# screen saver chosen (/NOSCREENSAVER) and remove the settings
# (/REMOVESETTINGS). Every wait has a deadline.
#
# Where the kernel runs no 32-bit programs (no IA32 emulation: `wine` fails
# with "Exec format error"), the same installer script is compiled for x64
# and run by wine64 in a 64-bit prefix instead: the install, the entry, the
# screen-saver choice and the uninstall are checked the same way (the saver
# then goes to SysWOW64, as the 32-bit installer puts it on 64-bit Windows),
# but the 32-bit saver itself cannot be started.
#
# usage: installer_e2e.sh <cpack> <Windows build folder> <wintool.exe>
# environment: PRISMORA_E2E_KEEP=1   keep the work folder (installer, screenshots)
set -uo pipefail

CPACK=$1
BUILD=$(realpath "$2")
WINTOOL_EXE=$(realpath "$3")
WORK=$(mktemp -d /tmp/prismora-installer-e2e.XXXXXX)
if wine --version >/dev/null 2>&1; then
  export WINEARCH=win32
  SYSTEM_DIR='C:\windows\system32' SYSTEM_DIR_UNIX=system32 X64=0
else
  WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
  [[ -x $WINE64 ]] || { echo "wine runs no programs here"; exit 1; }
  # `wine` on the PATH, for timeout and the shared helpers too.
  mkdir -p "$WORK/bin"
  printf '#!/bin/sh\nexec "%s" "$@"\n' "$WINE64" >"$WORK/bin/wine"
  chmod +x "$WORK/bin/wine"
  export PATH=$WORK/bin:$PATH
  export WINEARCH=win64
  SYSTEM_DIR='C:\windows\SysWOW64' SYSTEM_DIR_UNIX=syswow64 X64=1
fi
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_wine/wine_common.sh"

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
run_uninstaller() {
  timeout $((60 * SLOWDOWN)) wine "C:\\Program Files\\Prismora\\uninstall.exe" /S "$@" >>"$WORK/wine.log" 2>&1
  wait_for 120 uninstalled
}

# ---- the cases ----

test_silent_install() {
  run_installer || { fail "the silent install failed (status $?)"; return 1; }
  local f ok=1
  for f in "${INSTALLED_FILES[@]}"; do [[ -f $f ]] || { ok=0; fail "not installed: $f"; }; done
  ((ok)) && pass "/S installs prismora.scr into $SYSTEM_DIR, README, licence, wallpaper command and uninstaller into Program Files"
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
  ((X64)) && return 0
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

test_silent_uninstall() {
  if run_uninstaller; then pass "the silent uninstall removes every file it installed and the entry"; else
    fail "after the silent uninstall: entry $(has_key "$UNINST_KEY" && echo left || echo gone), files left:"
    ls -la "$C/windows/$SYSTEM_DIR_UNIX/prismora.scr" "$C/Program Files/Prismora" 2>&1
  fi
  [[ -z "$(value "$DESKTOP_KEY" SCRNSAVE.EXE)" ]] && pass "SCRNSAVE.EXE naming Prismora is removed" ||
    fail "SCRNSAVE.EXE is still '$(value "$DESKTOP_KEY" SCRNSAVE.EXE)'"
  [[ -n "$(value 'HKCU\Software\Prismora' Speed)" ]] && pass "the user's settings stay" ||
    fail "the uninstaller removed HKCU\\Software\\Prismora unasked"
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
INSTALLER=$WORK/cpack/prismora-$VERSION-win32.exe
[[ -f $INSTALLER ]] && pass "cpack -G NSIS writes $(basename "$INSTALLER")" || { fail "no $INSTALLER"; exit 1; }
/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/artifacts_test.py" installer "$INSTALLER" --version "$VERSION" ||
  fail "the installer's header"
if ((X64)); then
  log "no 32-bit programs on this kernel: the installer's script compiled for x64, run by wine64"
  nsi=$(find "$WORK/cpack/_CPack_Packages" -name project.nsi | head -1)
  sed "s|^OutFile .*|OutFile \"$WORK/installer64.exe\"|" "$nsi" >"$WORK/project64.nsi"
  # x64.nsh's run-time test is constant there: its unused labels warn.
  makensis -V1 "-XTarget amd64-unicode" "$WORK/project64.nsi" >>"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log"; echo "makensis for x64 failed"; exit 1; }
  INSTALLER=$WORK/installer64.exe
fi

start_xvfb || { echo "could not start Xvfb"; exit 1; }
log "display $DISPLAY, prefix $WINEPREFIX"
timeout $((300 * SLOWDOWN)) wine wineboot -i >>"$WORK/wine.log" 2>&1 && timeout $((120 * SLOWDOWN)) wineserver -w ||
  { echo "wineboot failed"; exit 1; }
reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

if test_silent_install; then
  test_install_again
  if ((X64)); then
    log "SKIPPED: the installed 32-bit saver cannot start on this kernel; its settings are made up"
    reg add 'HKCU\Software\Prismora' /v Speed /t REG_DWORD /d 25 /f >/dev/null
  else
    test_installed_saver_runs
  fi
  test_silent_uninstall
  test_other_saver_and_remove_settings
fi
log "$failures failure(s)"
((failures == 0))
