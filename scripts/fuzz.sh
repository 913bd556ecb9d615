#!/bin/sh
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) outside the CMake build and runs each for a while.
#   scripts/fuzz.sh [seconds per target, default 120] [build folder, default build-fuzz]
# Corpora grow in <build folder>/corpus-<target>; crashes land in <build folder>.
set -eu
seconds=${1:-120}
out=${2:-build-fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
cxx=${CXX_FUZZ:-clang++-14}
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"

mkdir -p "$out"
cd "$out"
$cxx $flags -o fuzz_window_handle "$root/fuzz/fuzz_window_handle.cpp" "$root/host/startup.cpp"
$cxx $flags -o fuzz_reg_parser "$root/fuzz/fuzz_reg_parser.cpp" "$root/platform/linux/reg_text.cpp" "$root/platform/linux/utf16.cpp"
$cxx $flags -o fuzz_control_command "$root/fuzz/fuzz_control_command.cpp" "$root"/control/*.cpp

run() {
  target=$1 seeds=$2
  mkdir -p "corpus-$target"
  echo "== $target for ${seconds}s"
  "./$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
    "corpus-$target" "$root/fuzz/seeds/$seeds" 2>&1 | tail -n 12
}
run fuzz_window_handle handle
run fuzz_reg_parser reg
run fuzz_control_command control
