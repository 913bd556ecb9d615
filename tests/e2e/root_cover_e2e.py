#!/usr/bin/env python3
"""End-to-end tests of the X11 root window covered by windows: `prismora
--root` (no daemon window) and `--layer background` in an X11 session (no
Wayland) on an Xvfb of their own. Visible, the pattern moves; a full-screen
window, or an override-redirect one, over the only monitor brings the CPU
under 5 % of the visible CPU; with two monitors (xrandr --setmonitor) and
one covered it still draws, and the uncovered one moves; the window gone,
it moves again within a second. Every wait has a deadline.

  root_cover_e2e.py --prismora PATH --parent PATH --out DIR TEST
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_setup import run_reported  # noqa: E402
from linux_e2e import (HEIGHT, WIDTH, Failure, Session, XServer, alive, changed_fraction, cpu_share,  # noqa: E402
                       stop, wait_until)

MOST = 0.05  # covered, at most this share of the visible CPU


def start(s, mode):
    argv = ["--root"] if mode == "root" else ["--layer", "background"]
    s.env.pop("XSCREENSAVER_WINDOW", None)
    s.env["PRISMORA_FPS_LOG"] = "1"
    return s.run_logged("prismora", s.args.prismora, *argv)


def moves(s, p, crop=None, timeout=None):
    first = s.pixels(crop)
    wait_until(lambda: not alive(p) or changed_fraction(first, s.pixels(crop)) > 0.05, "the pattern moving",
               **({"timeout": timeout} if timeout else {}))
    if not alive(p):
        raise Failure("prismora ended:\n" + s.log("prismora"))


def cover(s, width, height, x=0, y=0, override=False):
    """A plain window (with no window manager the newest is on top)."""
    argv = [s.args.parent, str(width), str(height), str(x), str(y)] + (["override"] if override else [])
    w = subprocess.Popen(argv, env=s.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    s.processes.append(w)
    w.stdout.readline()
    return w


def uncover_and_move(s, p, w):
    w.stdin.write("\n")
    w.stdin.flush()
    w.wait(10)
    start_at = time.monotonic()
    moves(s, p, timeout=5)
    took = time.monotonic() - start_at
    print("moving again %.0f ms after the window went" % (1000 * took))
    if took > 1.0 + 0.5:  # a second, and the screenshots' own time
        raise Failure("it took %.1f s to move again" % took)


def covered_costs_little(s, p, visible, what, **window):
    notes = s.log("prismora").count("covered by windows")
    w = cover(s, WIDTH, HEIGHT, **window)
    wait_until(lambda: s.log("prismora").count("covered by windows") > notes, "the log's note on " + what)
    share = cpu_share(p, 5.0)
    print("%s: %.2f%% of a core (visible %.1f%%)" % (what, 100 * share, 100 * visible))
    if share >= MOST * visible:
        raise Failure("%s: %.3f of a core, visible %.3f" % (what, share, visible))
    uncover_and_move(s, p, w)


def test_mode(s, mode):
    p = start(s, mode)
    moves(s, p)
    visible = cpu_share(p, 5.0)
    covered_costs_little(s, p, visible, "a full-screen window")
    covered_costs_little(s, p, visible, "an override-redirect window", override=True)
    # Two monitors, the left one covered: the right one goes on moving.
    half = WIDTH // 2
    # (The first names the screen's output, which then has no monitor of its own.)
    for name, x, output in (("LEFT", 0, "screen"), ("RIGHT", half, "none")):
        r = s.tool("xrandr", "--setmonitor", name, "%d/1x%d/1+%d+0" % (half, HEIGHT, x), output)
        if r.returncode != 0:
            raise Failure("xrandr --setmonitor: " + r.stderr)
    if "Monitors: 2" not in s.tool("xrandr", "--listmonitors").stdout:
        raise Failure("the screen was not split into two monitors")
    w = cover(s, half, HEIGHT)
    moves(s, p, crop=(half, 0, half, HEIGHT))
    share = cpu_share(p, 3.0)
    print("one of two monitors covered: %.1f%% of a core" % (100 * share))
    stop(w)
    stop(p)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prismora", required=True)
    parser.add_argument("--parent", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("test", choices=["root", "layer"])
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    with XServer() as x:
        s = Session(args, x)
        s.env.pop("WAYLAND_DISPLAY", None)
        s.env["XDG_RUNTIME_DIR"] = os.path.join(s.home, "runtime")
        os.mkdir(s.env["XDG_RUNTIME_DIR"], 0o700)
        return run_reported(s, lambda: test_mode(s, args.test), lambda: s.log("prismora"))


if __name__ == "__main__":
    sys.exit(main())
