#!/usr/bin/env bash
# Installs what is missing, builds the native program and runs it: the saver
# full screen on your display, or, without a display, a wallpaper rendered by
# the headless command. Extra arguments go to the program (e.g. /c).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh native prismora prismora-wallpaper
if [[ -z "${DISPLAY:-}" ]]; then
  out="${TMPDIR:-/tmp}/prismora-wallpaper.bmp"
  echo "No display (DISPLAY is not set): rendering a wallpaper instead of running the saver."
  build/native/cli/prismora-wallpaper --output "$out" --size 1920x1080
  echo "$out"
else
  exec build/native/host/prismora "${@:-/s}"
fi
