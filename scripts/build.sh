#!/usr/bin/env bash
# Builds the native program (build/native) and, with "all", the Windows ones
# too: 32-bit (build/win, the screen saver's first target) and 64-bit
# (build/win64). Usage: scripts/build.sh [native|all] [target...]
# (targets limit the native build, e.g. to the programs alone)
# PRISMORA_BUILD_TYPE picks the build type (RelWithDebInfo unless set).
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-native}
shift || true
jobs=$(nproc)
type=${PRISMORA_BUILD_TYPE:-RelWithDebInfo}
targets=()
for t in "$@"; do targets+=(--target "$t"); done

cmake -S . -B build/native -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build build/native -j"$jobs" "${targets[@]}"
if [[ $what == all ]]; then
  for width in win:mingw-i686 win64:mingw-x86_64; do
    cmake -S . -B "build/${width%%:*}" -DCMAKE_BUILD_TYPE="$type" \
          -DCMAKE_TOOLCHAIN_FILE="cmake/${width#*:}.cmake" >/dev/null
    cmake --build "build/${width%%:*}" -j"$jobs"
  done
fi
