#!/usr/bin/env python3
"""The gpu engine's pictures against the x87 engine's: for each algorithm and
state (seed, frames), prismora-wallpaper writes the same picture with
--engine gpu and --engine x87, and the stored bytes are compared. Prints, per
algorithm and size, the share of bytes equal, the share within 1, the
largest difference and how many bytes differ by a wrap of the low 8 bits (0
against 255: the stored integer was -1 on one side and 0 on the other, which
only algorithm 5's negative values reach).

A state is SEED:FRAMES (the drift of that many frames from the seed's start)
or phases A,B,C given as pA/B/C.

usage: compare-gpu-engine.py PRISMORA_WALLPAPER [--sizes 640x480,1600x1200]
                             [--states 7:0,42:300,1234:5000,p6.2/6.1/6.0]
"""
import argparse
import os
import subprocess
import sys
import tempfile


def differences(a, b):
    """The stored bytes' count and the differing ones' differences (cmp -l
    lists them, so that equal bytes cost no Python time)."""
    with open(a, "rb") as f:
        header = f.read(14)
    offset = int.from_bytes(header[10:14], "little")
    total = os.path.getsize(a) - offset
    run = subprocess.run(["cmp", "-l", a, b], capture_output=True, text=True)
    diffs = []
    for line in run.stdout.splitlines():
        position, u, v = line.split()
        if int(position) > offset:
            diffs.append(abs(int(u, 8) - int(v, 8)))
    return total, diffs


def state_args(state):
    if state.startswith("p"):
        return ["--seed", "1", "--phases", state[1:].replace("/", ",")]
    seed, frames = state.split(":")
    return ["--seed", seed, "--frames", frames]


def render(tool, out, algorithm, size, state, engine):
    subprocess.run([tool, "--output", out, "--algorithm", str(algorithm), "--size", size, "--engine", engine]
                   + state_args(state), check=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("tool")
    p.add_argument("--sizes", default="640x480,1600x1200")
    p.add_argument("--states", default="7:0,42:300,1234:5000,p6.2/6.1/6.0")
    a = p.parse_args()
    states = a.states.split(",")
    print("algorithm | size | bytes equal % | within 1 % | largest difference | wraps 0/255")
    worst_within, worst_largest = 100.0, 0
    with tempfile.TemporaryDirectory() as tmp:
        gpu, x87 = os.path.join(tmp, "gpu.bmp"), os.path.join(tmp, "x87.bmp")
        for algorithm in range(1, 13):
            for size in a.sizes.split(","):
                total = equal = within = wraps = 0
                largest = 0
                for state in states:
                    render(a.tool, gpu, algorithm, size, state, "gpu")
                    render(a.tool, x87, algorithm, size, state, "x87")
                    count, diffs = differences(gpu, x87)
                    total += count
                    equal += count - len(diffs)
                    within += count - sum(1 for d in diffs if d > 1)
                    wraps += sum(1 for d in diffs if d == 255)
                    largest = max([largest] + diffs)
                within_pct = 100.0 * within / total
                worst_within = min(worst_within, within_pct)
                worst_largest = max(worst_largest, largest)
                print(f"{algorithm} | {size} | {100.0 * equal / total:.3f} | {within_pct:.4f} | {largest} | {wraps}")
                sys.stdout.flush()
    print(f"worst: within 1 {worst_within:.4f} %, largest difference {worst_largest}")


if __name__ == "__main__":
    main()
