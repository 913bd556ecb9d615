#!/usr/bin/env python3
"""CPU per second of a running `prismora --root` in each state of the live
pattern, on an Xvfb of its own (1024 x 768, Mesa's llvmpipe) with a private
system bus where python3-dbusmock plays UPower:

  visible             nothing over the root window, on mains
  one of two covered  two monitors (xrandr --setmonitor), a window over one
  covered             a window over the whole screen
  battery, slow       on battery, at most 20 frames a second
  battery, paused     on battery with --on-battery pause
  paused by command   prismora --send pause

Each figure is the process's user and system CPU over `--seconds` (5 by
default), in seconds per second (1.0 is one core), the median of `--runs`.

  bench_live_states.py --prismora PATH --parent PATH [--seconds N] [--runs N]
"""
import argparse
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from linux_e2e import HEIGHT, WIDTH, Session, XServer, changed_fraction, cpu_share, stop, wait_until  # noqa: E402
from power_e2e import Bus  # noqa: E402
from root_cover_e2e import cover  # noqa: E402


def measure(p, seconds, runs):
    return statistics.median(cpu_share(p, seconds) for _ in range(runs))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prismora", required=True)
    parser.add_argument("--parent", required=True)
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--runs", type=int, default=1)
    args = parser.parse_args()
    args.out = "/tmp"
    figures = []
    with XServer() as x:
        s = Session(args, x)
        s.env["XDG_RUNTIME_DIR"] = os.path.join(s.home, "runtime")
        os.mkdir(s.env["XDG_RUNTIME_DIR"], 0o700)
        try:
            bus = Bus(s)
            bus.start_upower(False)
            p = s.run_logged("prismora", args.prismora, "--root")
            first = s.pixels()
            wait_until(lambda: changed_fraction(first, s.pixels()) > 0.05, "the pattern moving")
            figures.append(("visible", measure(p, args.seconds, args.runs)))
            w = cover(s, WIDTH, HEIGHT)
            figures.append(("covered", measure(p, args.seconds, args.runs)))
            stop(w)
            half = WIDTH // 2
            for name, xoff, output in (("LEFT", 0, "screen"), ("RIGHT", half, "none")):
                s.tool("xrandr", "--setmonitor", name, "%d/1x%d/1+%d+0" % (half, HEIGHT, xoff), output)
            w = cover(s, half, HEIGHT)
            figures.append(("one of two covered", measure(p, args.seconds, args.runs)))
            stop(w)
            bus.set_on_battery(True)
            figures.append(("battery, slow", measure(p, args.seconds, args.runs)))
            subprocess.run([args.prismora, "--send", "pause"], env=s.env, check=True, capture_output=True)
            figures.append(("paused by command", measure(p, args.seconds, args.runs)))
            subprocess.run([args.prismora, "--send", "resume"], env=s.env, check=True, capture_output=True)
            stop(p)
            p = s.run_logged("prismora", args.prismora, "--root", "--on-battery", "pause")
            wait_until(lambda: "paused on the last frame" in s.log("prismora"), "the pause on battery")
            figures.append(("battery, paused", measure(p, args.seconds, args.runs)))
            stop(p)
        finally:
            s.close()
    for name, value in figures:
        print("%-20s %.3f CPU s/s" % (name, value))
    return 0


if __name__ == "__main__":
    sys.exit(main())
