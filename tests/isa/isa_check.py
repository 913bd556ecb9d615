#!/usr/bin/env python3
"""Checks that a built program runs on a processor with nothing beyond SSE2.

The lane engines for AVX2 and AVX-512 are compiled for those instruction sets
and only called where cpuid says the processor has them. Everything else must
hold no instruction of those sets, or the program would stop with an illegal
instruction on an older processor: this reads the disassembly and lists every
function outside the lane engines that uses a VEX or EVEX instruction (ymm,
zmm or mask registers, or an AVX mnemonic).

With --unaligned-wide-moves it also lists every aligned vector move with a
memory operand in the AVX2 and AVX-512 lane engines: on Windows the compiler
does not realign the stack for their 32- and 64-byte vectors, so a spill by
an aligned move could fault; the build has the assembler write them all in
their unaligned form.

usage: isa_check.py [--unaligned-wide-moves] OBJDUMP PROGRAM...
"""
import re
import subprocess
import sys

LANE_CODE = re.compile(r"lanes_(avx2|avx512)")
WIDE = re.compile(r"%[yz]mm\d|%k[0-7]\b|^\s*[0-9a-f]+:\s+v[a-z0-9]+\s.*%xmm\d")


ALIGNED_MOVE = re.compile(r"^\s*[0-9a-f]+:\s+vmov(ap[sd]|dqa(32|64)?)\s.*\(")


def disassembly(objdump, program):
    return subprocess.run([objdump, "-d", "--no-show-raw-insn", "-C", program],
                          check=True, capture_output=True, text=True).stdout


def offenders(lines, bad_line):
    """The functions in which bad_line(function, line) holds, each with its first such line."""
    found, function = {}, "?"
    for line in lines:
        header = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
        if header:
            function = header.group(1)
        elif bad_line(function, line):
            found.setdefault(function, line.strip())
    return found


def wide_outside_lanes(function, line):
    return WIDE.search(line) and not LANE_CODE.search(function)


def aligned_wide_move(function, line):
    return LANE_CODE.search(function) and ALIGNED_MOVE.search(line)


def report(program, found, what):
    for function, line in sorted(found.items()):
        print(f"{program}: {function}: {line}")
    print(f"{program}: {'no' if not found else len(found)} function(s) {what}")
    return len(found)


def main():
    args = sys.argv[1:]
    unaligned = args[:1] == ["--unaligned-wide-moves"]
    if unaligned:
        args = args[1:]
    if len(args) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    bad = 0
    for program in args[1:]:
        lines = disassembly(args[0], program).splitlines()
        bad += report(program, offenders(lines, wide_outside_lanes), "outside the lane engines use AVX")
        if unaligned:
            bad += report(program, offenders(lines, aligned_wide_move),
                          "of the AVX lane engines move vectors to or from memory by aligned moves")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
