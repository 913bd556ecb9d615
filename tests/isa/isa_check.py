#!/usr/bin/env python3
"""Checks that a built program runs on a processor with nothing beyond SSE2.

The lane engines for AVX2 and AVX-512 are compiled for those instruction sets
and only called where cpuid says the processor has them. Everything else must
hold no instruction of those sets, or the program would stop with an illegal
instruction on an older processor: this reads the disassembly and lists every
function outside the lane engines that uses a VEX or EVEX instruction (ymm,
zmm or mask registers, or an AVX mnemonic).

usage: isa_check.py OBJDUMP PROGRAM...
"""
import re
import subprocess
import sys

LANE_CODE = re.compile(r"lanes_(avx2|avx512)")
WIDE = re.compile(r"%[yz]mm\d|%k[0-7]\b|^\s*[0-9a-f]+:\s+v[a-z0-9]+\s.*%xmm\d")


def offenders(objdump, program):
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", "-C", program],
                         check=True, capture_output=True, text=True).stdout
    found, function = {}, "?"
    for line in out.splitlines():
        header = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
        if header:
            function = header.group(1)
        elif WIDE.search(line) and not LANE_CODE.search(function):
            found.setdefault(function, line.strip())
    return found


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    bad = 0
    for program in sys.argv[2:]:
        found = offenders(sys.argv[1], program)
        for function, line in sorted(found.items()):
            print(f"{program}: {function}: {line}")
        bad += len(found)
        print(f"{program}: {'no' if not found else len(found)} function(s) outside the lane engines use AVX")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
