#!/usr/bin/env python3
"""End-to-end tests of the embedded mode (--root, --window-id) with the real
screen-saver daemons and another program's window, under Xvfb.

XScreenSaver refuses to run hacks as root, so the daemons run as a plain user
that the test creates when it is missing (when the test itself runs as root),
with a home of its own. Each test has its own X server (see linux_e2e.py),
waits for conditions with deadlines and stops what it started by process id.

  daemon_e2e.py --prismora PATH --out DIR TEST
"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_setup import PlainUserHome  # noqa: E402
from linux_e2e import (DEADLINE, HEIGHT, WIDTH, Failure, alive, changed_fraction, covered_draws_nothing,  # noqa: E402
                       expect_exit, lit_fraction, run_driver, stop, wait_until)

LEFT = (0, 0, WIDTH // 2, HEIGHT)
RIGHT = (WIDTH // 2, 0, WIDTH // 2, HEIGHT)


class DaemonSession(PlainUserHome):
    """The plain user's home on the test's X server, the daemons and hacks
    run as that user, and the tools run as the tester."""

    def __init__(self, args, xserver):
        super().__init__("prismora-daemon-e2e-", {"DISPLAY": xserver.display, "PRISMORA_FPS_LOG": "1"})
        self.args = args
        self.display = xserver.display
        self.prismora = self.runnable(os.path.abspath(args.prismora))

    def output(self, name):
        return self.file(name)

    def run(self, argv):
        p = subprocess.Popen(argv, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.processes.append(p)
        return p

    def tool(self, *argv, user=False):
        argv = self.as_user(list(argv)) if user else list(argv)
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=DEADLINE)

    def pixels(self, crop):
        r = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1]),
                            "-depth", "8", "rgb:-"], env=self.env, capture_output=True, timeout=DEADLINE)
        if r.returncode != 0:
            raise Failure("import failed: " + r.stderr.decode(errors="replace"))
        return r.stdout

    def save(self, crop, name):
        path = os.path.join(self.args.out, "%s-%s.png" % (self.args.test, name))
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1]),
                        "+repage", path], env=self.env, check=True, timeout=DEADLINE)
        print("screenshot:", path)


def ended(pid):
    """True once the process is gone or only a zombie waiting for its parent."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except (FileNotFoundError, ProcessLookupError):
        return True


def descendants(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except (FileNotFoundError, ProcessLookupError, IndexError):
                pass
    found, todo = [], [pid]
    while todo:
        for c in children.get(todo.pop(), []):
            found.append(c)
            todo.append(c)
    return found


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")[0].decode(errors="replace")
    except (FileNotFoundError, ProcessLookupError):
        return ""


def moving_pattern(s, area, what):
    """Waits until the area is lit all over and then changes: a running pattern."""
    wait_until(lambda: lit_fraction(s.pixels(area)) > 0.95, what + " lit")
    first = s.pixels(area)
    wait_until(lambda: changed_fraction(first, s.pixels(area)) > 0.05, what + " moving")


def top_level_windows(s):
    out = s.tool("xwininfo", "-root", "-children").stdout
    return [l.strip() for l in out.splitlines() if l.strip().startswith("0x")]


def children_of(s, window):
    out = s.tool("xwininfo", "-children", "-id", window).stdout
    return [l.strip() for l in out.splitlines() if l.strip().startswith("0x")]


def expect_no_window_of_ours_at_top_level(s):
    ours = [w for w in top_level_windows(s) if "prismora" in w.lower()]
    if ours:
        raise Failure("prismora windows at the top level: %s" % ours)


# ---- XScreenSaver ----

XSCREENSAVER_CONFIG = """\
mode:		one
selected:	0
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
grabDesktopImages:	False
chooseRandomImages:	False
timeout:	1:00:00
cycle:		0:00:00
programs:	GL: {prismora} --root \\n
"""


def split_into_two_monitors(s):
    for argv in (["xrandr", "--setmonitor", "LEFT", "%d/135x%d/203+0+0" % (WIDTH // 2, HEIGHT), "screen"],
                 ["xrandr", "--setmonitor", "RIGHT", "%d/135x%d/203+%d+0" % (WIDTH // 2, HEIGHT, WIDTH // 2), "none"]):
        r = s.tool(*argv)
        if r.returncode != 0:
            raise Failure("%s: %s" % (" ".join(argv), r.stderr.strip()))
    monitors = s.tool("xrandr", "--listmonitors").stdout
    if "Monitors: 2" not in monitors:
        raise Failure("the screen was not split into two monitors:\n" + monitors)


def hack_pids(log):
    """The hacks the daemon started, from its log: (pid, window) pairs."""
    found = []
    for line in log.splitlines():
        if "forked" in line and "prismora" in line and " in pid " in line:
            words = line.split(" in pid ")[1].split()
            found.append((int(words[0]), words[-1] if "window" in line else ""))
    return found


def test_xscreensaver_two_monitors(s):
    split_into_two_monitors(s)
    with open(os.path.join(s.home, ".xscreensaver"), "w") as f:
        f.write(XSCREENSAVER_CONFIG.format(prismora=s.prismora))
    log_path = os.path.join(s.home, "xscreensaver.log")
    s.give_home()
    daemon = s.run_as_user(["xscreensaver", "--no-splash", "--verbose", "--log", log_path], "xscreensaver.out")

    def log():
        return s.output("xscreensaver.log") + s.output("xscreensaver.out")
    # The daemon answers commands once it is up.
    wait_until(lambda: not alive(daemon) or s.tool("xscreensaver-command", "-activate", user=True).returncode == 0,
               "the daemon to take the activate command")
    if not alive(daemon):
        raise Failure("xscreensaver ended:\n" + log())
    hacks = wait_until(lambda: len(hack_pids(log())) >= 2 and hack_pids(log()), "a hack on each monitor")
    print("hacks:", hacks)
    moving_pattern(s, LEFT, "the left monitor")
    moving_pattern(s, RIGHT, "the right monitor")
    s.save((0, 0, WIDTH, HEIGHT), "active")
    expect_no_window_of_ours_at_top_level(s)
    for pid, window in hacks:
        if ended(pid):
            raise Failure("hack %d ended while the saver was active:\n%s" % (pid, log()))
        if window and not any('"prismora"' in c for c in children_of(s, window)):
            raise Failure("no prismora window inside the daemon's window %s: %s" % (window, children_of(s, window)))
    # Our own lines begin with "prismora: "; only the measuring ones (frame
    # rate, how the frames are drawn) may appear.
    errors = [l for l in log().splitlines() if ("prismora: " in l and " fps" not in l and "frames drawn" not in l)
              or ("exited with status" in l and "systemd" not in l)]
    if errors:
        raise Failure("the daemon's log reports errors:\n" + "\n".join(errors))
    left, right = s.pixels(LEFT), s.pixels(RIGHT)
    if changed_fraction(left, right) < 0.5:
        raise Failure("both monitors show the same picture")

    started = time.monotonic()
    r = s.tool("xscreensaver-command", "-deactivate", user=True)
    if r.returncode != 0:
        raise Failure("deactivate: " + r.stderr)
    wait_until(lambda: all(ended(pid) for pid, _ in hacks), "the hacks to end", timeout=1.0, interval=0.01)
    print("every hack ended %.0f ms after the deactivate command" % (1000 * (time.monotonic() - started)))
    killed = [l for l in log().splitlines() if "killing pid" in l or "exited" in l]
    print("\n".join(killed))
    crashed = [l for l in killed if "prismora" in l and ("signal" in l.lower() or "status" in l)]
    if crashed:
        raise Failure("a hack did not end cleanly:\n" + "\n".join(crashed))


# ---- xsecurelock ----

def test_xsecurelock_locked(s):
    saver = os.path.join(s.home, "saver_prismora")
    with open(saver, "w") as f:
        f.write("#!/bin/sh\nexec %s --root\n" % s.prismora)
    os.chmod(saver, 0o755)
    s.give_home()
    s.env["XSECURELOCK_SAVER"] = saver
    locker = s.run_as_user(["xsecurelock"], "xsecurelock.out")
    whole = (0, 0, WIDTH, HEIGHT)
    wait_until(lambda: not alive(locker) or any(command_line(p) == s.prismora for p in descendants(locker.pid)),
               "the saver module under xsecurelock")
    if not alive(locker):
        raise Failure("xsecurelock ended:\n" + s.output("xsecurelock.out"))
    moving_pattern(s, whole, "the locked screen")
    s.save(whole, "locked")
    expect_no_window_of_ours_at_top_level(s)
    savers = [p for p in descendants(locker.pid) if command_line(p) == s.prismora]
    stop(locker)
    wait_until(lambda: all(ended(p) for p in savers), "the saver to end with xsecurelock")


# ---- another program's window ----

def xclock_window(s, clock):
    def find():
        for w in top_level_windows(s):
            if '"xclock"' in w:
                return w.split()[0]
        return None
    window = wait_until(lambda: not alive(clock) or find(), "the xclock window")
    if not alive(clock):
        raise Failure("xclock ended: " + clock.communicate()[1])
    return window


def test_window_id_foreign(s):
    clock = s.run(["xclock", "-geometry", "300x200+50+50"])
    window = xclock_window(s, clock)
    p = s.run([s.prismora, "--window-id", window])
    moving_pattern(s, (50, 50, 300, 200), "the xclock window")
    s.save((0, 0, 600, 500), "small")
    if lit_fraction(s.pixels((400, 300, 600, 400))) > 0.01:
        raise Failure("the pattern spilled outside the window")
    expect_no_window_of_ours_at_top_level(s)
    r = s.tool("xdotool", "windowsize", window, "520", "400")
    if r.returncode != 0:
        raise Failure("xdotool windowsize: " + r.stderr)
    moving_pattern(s, (50, 50, 520, 400), "the resized xclock window")
    s.save((0, 0, 600, 500), "resized")
    if not alive(p):
        raise Failure("prismora ended while the window exists")
    stop(clock)  # its window goes with it
    expect_exit(p, 0, "prismora after its window was destroyed")


def test_window_id_covered(s):
    """A hack window under another window draws nothing and costs almost
    nothing; uncovered, its pattern moves again."""
    clock = s.run(["xclock", "-geometry", "300x200+50+50"])
    window = xclock_window(s, clock)
    p = s.run_as_user([s.prismora, "--window-id", window], "prismora.out")
    area = (50, 50, 300, 200)
    moving_pattern(s, area, "the xclock window")
    covered_draws_nothing(s, p, lambda: s.output("prismora.out"), "340x240+30+30", 0.02,
                          lambda: moving_pattern(s, area, "the uncovered xclock window"))
    p.send_signal(signal.SIGTERM)
    expect_exit(p, 0, "SIGTERM after the cover")


def test_window_id_missing(s):
    p = s.run([s.prismora, "--window-id", "0x3fffff0"])
    err = expect_exit(p, 1, "a window id that names no window")
    if len(err.strip().splitlines()) != 1:
        raise Failure("expected one line on stderr, got: %r" % err)


def test_sigterm_on_root(s):
    """Without XSCREENSAVER_WINDOW, --root draws on the root window itself
    (no window of its own), and SIGTERM ends it with status 0."""
    p = s.run([s.prismora, "--root", "--delay", "20000"])
    moving_pattern(s, (0, 0, WIDTH, HEIGHT), "the root window")
    if top_level_windows(s):
        raise Failure("windows at the top level: %s" % top_level_windows(s))
    p.send_signal(signal.SIGTERM)
    expect_exit(p, 0, "SIGTERM")
    store = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora")
    if os.path.exists(store):
        raise Failure("the embedded mode wrote the settings store: " + str(os.listdir(store)))


TESTS = {name[5:]: fn for name, fn in globals().items() if name.startswith("test_")}


def main():
    return run_driver(TESTS, DaemonSession)


if __name__ == "__main__":
    sys.exit(main())
