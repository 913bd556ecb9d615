#!/usr/bin/env python3
"""End-to-end tests of the Linux program on desks of today: one X screen split
into two monitors of different sizes, and a 2560 x 1440 screen.

  monitors_e2e.py --prismora PATH --out DIR TEST

two_monitors: a 2304 x 1024 screen split with `xrandr --setmonitor` into
1024 x 768 and 1280 x 1024 side by side. The saver's window covers the whole
root window, each monitor shows a lit, moving pattern (the corner below the
smaller monitor, on no monitor, stays black), 15 pixels of mouse movement
leave the saver running and 16 end it.

desktop_export: a 2560 x 1440 screen and the stored size choice 0. The
caption names the screen's size, "Save Wallpaper" then Enter writes a
2560 x 1440 BMP of the pattern, the preview runs on, and the FPS readout by
the window's right edge is shown whole. The export's time (click to dialog)
and the program's peak memory are printed.

Uses the X server and session helpers of linux_e2e.py.
"""
import os
import struct
import sys
import time

import linux_e2e as e2e
from linux_e2e import Failure, alive, changed_fraction, lit_fraction, wait_until


def rect_pixels(s, r):
    return s.pixels(r)


def geometry(s, window):
    shell = dict(l.split("=", 1) for l in s.xdotool("getwindowgeometry", "--shell", window).splitlines() if "=" in l)
    return int(shell["X"]), int(shell["Y"]), int(shell["WIDTH"]), int(shell["HEIGHT"])


# ---- two monitors of different sizes on one screen ----

MONITOR_A = (0, 0, 1024, 768)
MONITOR_B = (1024, 0, 1280, 1024)
OFF_MONITOR = (0, 768, 1024, 256)  # below the smaller monitor: part of no monitor


def split_screen(s):
    for name, (x, y, w, h), output in (("A", MONITOR_A, "screen"), ("B", MONITOR_B, "none")):
        r = s.tool("xrandr", "--setmonitor", name, "%d/%dx%d/%d+%d+%d" % (w, w // 4, h, h // 4, x, y), output)
        if r.returncode != 0:
            raise Failure("xrandr --setmonitor %s: %s" % (name, r.stderr.strip()))
    monitors = s.tool("xrandr", "--listmonitors").stdout
    print(monitors.strip())
    if "Monitors: 2" not in monitors:
        raise Failure("the screen was not split into two monitors")


def both_monitors_lit(s):
    return all(lit_fraction(rect_pixels(s, m)) > 0.95 for m in (MONITOR_A, MONITOR_B))


def both_monitors_move(s, p):
    """Waits until each monitor's picture has changed; the saver must still run."""
    before = {m: rect_pixels(s, m) for m in (MONITOR_A, MONITOR_B)}
    for m in (MONITOR_A, MONITOR_B):
        wait_until(lambda: not alive(p) or changed_fraction(before[m], rect_pixels(s, m)) > 0.05,
                   "a new frame on the monitor at %d,%d" % m[:2])
        if not alive(p):
            raise Failure("the saver ended")


def test_two_monitors(s):
    split_screen(s)
    p = s.run(s.args.prismora, "/s")
    window = s.xdotool("search", "--sync", "--onlyvisible", "--name", "^Full$").splitlines()[0]
    wait_until(lambda: not alive(p) or both_monitors_lit(s), "both monitors lit")
    if not alive(p):
        raise Failure("the saver ended at start: " + p.communicate()[1])
    placed = geometry(s, window)
    if placed != (0, 0, e2e.WIDTH, e2e.HEIGHT):
        raise Failure("the saver's window is at %d,%d %dx%d, not over the whole root window" % placed)
    first = s.pixels()
    both_monitors_move(s, p)
    second = s.pixels()
    s.save(first, (e2e.WIDTH, e2e.HEIGHT), "first")
    s.save(second, (e2e.WIDTH, e2e.HEIGHT), "second")
    off = lit_fraction(rect_pixels(s, OFF_MONITOR))
    if off > 0:  # not one pixel: each monitor's picture stays within it
        raise Failure("the corner on no monitor is lit (%.3f)" % off)
    print("monitor A lit %.3f, B lit %.3f, changed %.3f" % (
        lit_fraction(rect_pixels(s, MONITOR_A)), lit_fraction(rect_pixels(s, MONITOR_B)),
        changed_fraction(first, second)))

    x, y = e2e.pointer(s)
    e2e.move(s, x + 15, y + 15)
    both_monitors_move(s, p)
    e2e.move(s, x - 15, y - 15)
    both_monitors_move(s, p)
    e2e.move(s, x + 16, y)
    e2e.expect_exit(p, 0, "16-pixel move")  # prints the frame rates


# ---- the "Your Desktop" wallpaper on a 2560 x 1440 screen ----

FORM_TITLE = "^Settings, Wallpaper Tools$"
SILVER = 192


def write_store(s, folder):
    store = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora")
    os.makedirs(store, exist_ok=True)
    with open(os.path.join(store, "registry.reg"), "w") as f:
        f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n"Speed"=dword:00000019\n'
                '"Bright"=dword:00000000\n"Algoritm"=dword:00000007\n"Rands"=dword:00000000\n'
                '"Path_Wall"="%s"\n' % folder)


def peak_memory_kb(p):
    with open("/proc/%d/status" % p.pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def click(s, origin, x, y):
    s.xdotool("mousemove", "--sync", str(origin[0] + x), str(origin[1] + y), "click", "1")


def readout_whole(s, origin):
    """The FPS readout's row at the window's last three columns holds no text."""
    edge = s.pixels((origin[0] + 509, origin[1] + 424, 3, 24))
    return all(abs(v - SILVER) <= 8 for v in edge)


def bmp_header(path):
    with open(path, "rb") as f:
        head = f.read(54)
    if len(head) < 54 or head[:2] != b"BM":
        raise Failure("%s is not a BMP" % path)
    size, = struct.unpack_from("<I", head, 2)
    width, height = struct.unpack_from("<ii", head, 18)
    bits, = struct.unpack_from("<H", head, 28)
    return size, width, height, bits


def test_desktop_export(s):
    folder = os.path.join(s.home, "walls")
    os.makedirs(folder)
    write_store(s, folder)
    p = s.run(s.args.prismora, "/c")
    form = s.xdotool("search", "--sync", "--onlyvisible", "--name", FORM_TITLE).splitlines()[0]
    origin = geometry(s, form)[:2]
    preview = (origin[0] + 16, origin[1] + 16, 480, 350)
    wait_until(lambda: lit_fraction(s.pixels(preview)) > 0.95, "the live preview")
    time.sleep(2.5)  # two FPS readouts
    window = s.pixels((origin[0], origin[1], 512, 484))
    s.save(window, (512, 484), "settings")
    if not readout_whole(s, origin):
        raise Failure("the FPS readout runs into the window's right edge")

    before_kb = peak_memory_kb(p)
    start = time.monotonic()
    click(s, origin, 226, 462)  # "Save Wallpaper"
    dialog = s.xdotool("search", "--sync", "--onlyvisible", "--name", "^Save Wallpaper$").splitlines()[0]
    seconds = time.monotonic() - start
    after_kb = peak_memory_kb(p)
    print("export at 2560 x 1440: %.2f s from the click to the dialog; peak memory %.1f MB before, %.1f MB after"
          % (seconds, before_kb / 1024, after_kb / 1024))
    s.xdotool("windowfocus", "--sync", dialog)
    s.xdotool("key", "--clearmodifiers", "Return")
    path = os.path.join(folder, "Prismora1.bmp")
    wait_until(lambda: os.path.exists(path) and os.path.getsize(path) > 0, "Prismora1.bmp")
    size, width, height, bits = bmp_header(path)
    expected = 54 + 2560 * 3 * 1440
    if (width, height, bits, size) != (2560, 1440, 24, expected) or os.path.getsize(path) != expected:
        raise Failure("Prismora1.bmp: %dx%d at %d bits, %d bytes" % (width, height, bits, os.path.getsize(path)))
    shot = os.path.join(s.args.out, "%s-wallpaper.png" % s.args.test)
    s.tool("convert", path, "-resize", "25%", shot)
    spread = s.tool("convert", path, "-colorspace", "Gray", "-format", "%[fx:standard_deviation]", "info:").stdout
    if float(spread or 0) < 0.03:
        raise Failure("the wallpaper is flat (spread %s)" % spread)
    print("Prismora1.bmp: 2560 x 1440, 24 bits, %d bytes; screenshot: %s" % (size, shot))
    first = s.pixels(preview)
    wait_until(lambda: changed_fraction(first, s.pixels(preview)) > 0.05, "the preview running again")
    s.xdotool("windowfocus", "--sync", form)
    s.xdotool("key", "--clearmodifiers", "Escape")
    e2e.expect_exit(p, 0, "Escape")


TESTS = {"two_monitors": (test_two_monitors, (2304, 1024)), "desktop_export": (test_desktop_export, (2560, 1440))}


def main():
    return e2e.run_driver({name: test for name, (test, _) in TESTS.items()},
                          screen_for=lambda name: TESTS[name][1])


if __name__ == "__main__":
    sys.exit(main())
