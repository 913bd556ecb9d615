#!/usr/bin/env bash
# Builds the native program (build/native) and, with "all", the 32-bit
# Windows one too (build/win). Usage: scripts/build.sh [native|all] [target...]
# (targets limit the native build, e.g. to the programs alone)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-native}
shift || true
jobs=$(nproc)
targets=()
for t in "$@"; do targets+=(--target "$t"); done

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$jobs" "${targets[@]}"
if [[ $what == all ]]; then
  cmake -S . -B build/win -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
  cmake --build build/win -j"$jobs"
fi
