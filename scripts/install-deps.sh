#!/usr/bin/env bash
# Installs, on Debian 12 as root, whatever the build and the tests need and is
# not there yet. Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev libxss-dev
  libfltk1.3-dev libstb-dev
  # Liberation Sans: the fonts with Arial's metrics, so that the designed
  # captions fit their controls (fontconfig otherwise gives the wider DejaVu).
  fonts-liberation2
  g++-mingw-w64-i686-posix mingw-w64-i686-dev
  # The 64-bit Windows build.
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32 wine64
  # 32-bit Mesa for Wine's opengl32: without it the Windows build draws nothing
  # (recommends of wine32, which --no-install-recommends leaves out).
  libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 libglu1-mesa:i386
  xvfb xdotool x11-utils imagemagick
  # The screen-saver daemons the embedded mode runs under, xrandr to split the
  # test screen into monitors, and xclock as another program's window.
  xscreensaver xscreensaver-gl xsecurelock x11-xserver-utils x11-apps
  # The monitors (XRandR, Xinerama) and, for the tests, the xrandr command.
  libxrandr-dev libxinerama-dev
  # What Wine's 32-bit X11 driver reads the monitors with (more recommends of wine32).
  libxinerama1:i386 libxrandr2:i386
  # The install and package tests: desktop entry, manual pages, dpkg-shlibdeps,
  # and XScreenSaver to run the installed hack.
  desktop-file-utils man-db dpkg-dev
  # systemd-analyze, which verifies the package's user service.
  systemd
  # sd-bus, the D-Bus client that reads UPower's mains-or-battery state, and
  # for its tests a private bus with UPower played by python3-dbusmock.
  libsystemd-dev dbus python3-dbusmock
  # Wayland: the layer-shell backend's client library, EGL and protocol
  # descriptions (wayland-scanner comes with libwayland-dev), and for its
  # tests a headless Sway, grim for its screenshots and wtype for keys.
  libwayland-dev wayland-protocols libegl-dev
  sway grim wtype
  # foot: an opaque full-screen window over the wallpaper in the pacing test.
  foot
  # Distributables: lintian for the Debian package, makensis for the Windows
  # installer (cpack -G NSIS), pefile to read the PE header's ASLR and DEP
  # flags back, zip for the release's archive of prismora.scr.
  lintian nsis python3-pefile zip
)

# A mirror caught mid-sync fails one index ("File has unexpected size") and
# apt-get update then exits non-zero, though it keeps the lists it has: try
# again a few times, then go on with those lists rather than stop here.
update_package_lists() {
  local attempt
  for attempt in 1 2 3; do
    apt-get update -qq && return 0
    echo "apt-get update failed (attempt $attempt of 3)"
    sleep $((attempt * 10))
  done
  echo "apt-get update kept failing: going on with the package lists it has"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# The 32-bit packages (Wine's 32-bit loader and its libraries) go in a second
# step: where the mirror's i386 lists are broken they cannot be installed,
# and then only the 32-bit Windows tests are lost, not everything else.
native=() i386=()
for p in "${missing[@]}"; do
  if [[ $p == *:i386 || $p == wine32 ]]; then i386+=("$p"); else native+=("$p"); fi
done
install_packages() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

if ((${#missing[@]})) || [[ -n "${need_update:-}" ]]; then
  echo "Installing: ${missing[*]}"
  update_package_lists
  ((${#native[@]} == 0)) || install_packages "${native[@]}"
  if ((${#i386[@]})) && ! install_packages "${i386[@]}"; then
    echo "The 32-bit packages could not be installed (${i386[*]}): the 32-bit Windows tests will fail."
  fi
fi

# The 32-bit Windows build runs under Wine's 32-bit loader: natively, or
# emulated where the kernel refuses 32-bit programs (scripts/i386-emulation.sh).
source "$(dirname "$0")/i386-emulation.sh"
ensure_i386 || echo "The 32-bit Windows tests will not run on this machine."
