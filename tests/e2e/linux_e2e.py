#!/usr/bin/env python3
"""End-to-end tests of the Linux program under Xvfb, with no window manager.

Each test gets an X server of its own on a free display number, a HOME and
XDG_CONFIG_HOME of its own, waits for conditions with deadlines (a window
appears, a file exists, the screen changes, a process ends) and stops what it
started by process id. Screenshots are kept in the output folder.

  linux_e2e.py --prismora PATH --parent PATH --out DIR TEST
"""
import argparse
import os
import fcntl
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_setup import DEADLINE, Failure, stop  # noqa: E402,F401  (the drivers take them from here too)

WIDTH, HEIGHT = 1024, 768


def wait_until(condition, what, timeout=DEADLINE, interval=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(interval)
    raise Failure("timed out waiting for " + what)


class XServer:
    """Xvfb on a display number nobody uses, stopped by its pid."""

    def __enter__(self):
        # Test runs choose and start their servers one at a time, under a lock
        # they share, so two runs never pick the same number. (Xvfb's own
        # -displayfd search removes other servers' sockets while it probes.)
        # -noreset: otherwise the server resets when the readiness probe
        # disconnects, and a client connecting during the reset is refused.
        with open("/tmp/prismora-e2e-xvfb.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            for number in range(100, 200):
                if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
                    continue
                self.display = ":%d" % number
                self.process = subprocess.Popen(
                    ["Xvfb", self.display, "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT), "-nolisten", "tcp", "-noreset"],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    wait_until(lambda: self.process.poll() is not None or subprocess.call(
                        ["xdpyinfo", "-display", self.display],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0, "Xvfb", 20)
                except Failure:
                    pass
                if self.process.poll() is None:
                    return self
                stop(self.process)
        raise Failure("Xvfb did not start")

    def __exit__(self, *exc):
        stop(self.process)


class Session:
    def __init__(self, args, xserver):
        self.args = args
        self.home = tempfile.mkdtemp(prefix="prismora-e2e-")
        self.env = dict(os.environ)
        # On a Wayland desktop the saver would take the compositor's layers:
        # these tests are about the X server they start.
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.update(DISPLAY=xserver.display, HOME=self.home,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"), PRISMORA_FPS_LOG="1")
        self.processes = []

    def close(self):
        for p in self.processes:
            stop(p)
        shutil.rmtree(self.home, ignore_errors=True)

    def run(self, *argv, **kw):
        p = subprocess.Popen(list(argv), env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True, **kw)
        self.processes.append(p)
        return p

    def run_logged(self, name, *argv):
        """A program whose output goes to the file `name` in the home, read
        while it runs (see log)."""
        with open(os.path.join(self.home, name), "w") as out:
            p = subprocess.Popen(list(argv), env=self.env, stdout=out, stderr=subprocess.STDOUT)
        self.processes.append(p)
        return p

    def log(self, name):
        with open(os.path.join(self.home, name)) as f:
            return f.read()

    def tool(self, *argv):
        return subprocess.run(list(argv), env=self.env, capture_output=True, text=True, timeout=DEADLINE)

    def xdotool(self, *argv):
        r = self.tool("xdotool", *argv)
        if r.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(argv), r.stderr.strip()))
        return r.stdout.strip()

    def pixels(self, crop=None):
        """The screen (or a part of it, (x, y, w, h)) as raw RGB bytes."""
        argv = ["import", "-window", "root"]
        if crop:
            argv += ["-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1])]
        r = subprocess.run(argv + ["-depth", "8", "rgb:-"], env=self.env, capture_output=True, timeout=DEADLINE)
        if r.returncode != 0:
            raise Failure("import failed: " + r.stderr.decode(errors="replace"))
        return r.stdout

    def save(self, rgb, size, name):
        path = os.path.join(self.args.out, "%s-%s.png" % (self.args.test, name))
        subprocess.run(["convert", "-size", "%dx%d" % size, "-depth", "8", "rgb:-", path], input=rgb, check=True)
        print("screenshot:", path)


def lit_fraction(rgb):
    """Share of pixels that are not black."""
    n = len(rgb) // 3
    lit = sum(1 for i in range(0, len(rgb), 3 * 7) if rgb[i] | rgb[i + 1] | rgb[i + 2])
    return lit / max(1, (n + 6) // 7)


def changed_fraction(a, b):
    step = 3 * 11
    changed = sum(1 for i in range(0, min(len(a), len(b)), step) if a[i:i + 3] != b[i:i + 3])
    return changed / max(1, min(len(a), len(b)) // step)


def alive(p):
    return p.poll() is None


def cpu_seconds(pid):
    """User plus system CPU time of a process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_share(p, seconds=3.0):
    """The process's CPU time over `seconds` as a share of one core."""
    start, cpu = time.monotonic(), cpu_seconds(p.pid)
    wait_until(lambda: time.monotonic() - start >= seconds, "%g s of measuring" % seconds, timeout=seconds + 5)
    return (cpu_seconds(p.pid) - cpu) / (time.monotonic() - start)


def quiet(read_log):
    """Waits until the log (read_log() is its text) has not grown for 1.5 s:
    the program draws no frame (drawing, it logs its frame rate each second)."""
    size, since = len(read_log()), time.monotonic()

    def settled():
        nonlocal size, since
        now = len(read_log())
        if now != size:
            size, since = now, time.monotonic()
        return time.monotonic() - since > 1.5
    wait_until(settled, "the frames to stop")


def hidden_seconds(lines):
    """The most hidden time any of the frame-rate lines reports."""
    return max([float(l.split("hidden ")[1].split()[0]) for l in lines if "hidden " in l] or [0.0])


def covered_draws_nothing(s, p, read_log, geometry, most, drawing_again):
    """Covers the area `geometry` with a window: the program (its frame-rate
    log read by read_log) must log no frame and take less than `most` of the
    CPU it took uncovered; uncovered again, drawing_again() must see it draw,
    and its next line report the time it spent hidden."""
    visible = cpu_share(p, 2.0)
    cover, _ = covering_window(s, geometry)
    quiet(read_log)
    mark = len(read_log())
    covered = cpu_share(p, 2.0)
    print("visible: %.1f%% of a core, covered: %.2f%%" % (100 * visible, 100 * covered))
    if " fps" in read_log()[mark:] or covered >= most * visible:
        raise Failure("covered, the program drew or took too much:\n" + read_log()[mark:])
    stop(cover)
    drawing_again()
    lines = wait_until(lambda: [l for l in read_log()[mark:].splitlines() if " fps" in l], "a frame-rate line")
    print(lines[0])
    if hidden_seconds(lines) < 1.5:
        raise Failure("no hidden time reported: " + lines[0])


def viewable(s, window):
    return "IsViewable" in s.tool("xwininfo", "-id", window).stdout


def covering_window(s, geometry):
    """An xclock without a border over the given area: with no window manager
    the newest window is on top. Returns (process, window id)."""
    before = set(l.split()[0] for l in s.tool("xwininfo", "-root", "-children").stdout.splitlines()
                 if l.strip().startswith("0x"))
    clock = subprocess.Popen(["xclock", "-bw", "0", "-geometry", geometry], env=s.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    s.processes.append(clock)

    def new_clock():
        for line in s.tool("xwininfo", "-root", "-children").stdout.splitlines():
            words = line.split()
            if words and words[0].startswith("0x") and words[0] not in before and '"xclock"' in line:
                return words[0]
        return None
    window = wait_until(lambda: not alive(clock) or new_clock(), "the covering window")
    if not alive(clock):
        raise Failure("xclock ended")
    wait_until(lambda: viewable(s, window), "the covering window on the screen")
    return clock, window


def expect_exit(p, code, what):
    try:
        p.wait(DEADLINE)
    except subprocess.TimeoutExpired:
        raise Failure(what + ": the program did not end")
    err = p.communicate()[1] or ""  # None where the output went to a file
    if err.strip():
        print("stderr:", err.strip())
    if p.returncode != code:
        raise Failure("%s: exit status %d, expected %d" % (what, p.returncode, code))
    return err


# ---- the full-screen saver ----

def pointer(s):
    """The pointer's position. (Xvfb ignores pointer moves until a client
    window exists, so the tests move relative to where the pointer stands.)"""
    # xdotool also looks up the window under the pointer; when that window is
    # going away at the same moment (the saver ending), the query fails with
    # BadWindow, and asking again answers.
    def query():
        r = s.tool("xdotool", "getmouselocation", "--shell")
        return r.stdout if r.returncode == 0 else None
    out = wait_until(query, "the pointer's position", 5)
    shell = dict(l.split("=", 1) for l in out.splitlines() if "=" in l)
    return int(shell["X"]), int(shell["Y"])


def move(s, x, y):
    s.xdotool("mousemove", str(x), str(y))
    if pointer(s) != (x, y):
        raise Failure("the pointer did not move to %d,%d" % (x, y))


def start_saver(s, log=None):
    p = s.run_logged(log, s.args.prismora, "/s") if log else s.run(s.args.prismora, "/s")
    s.xdotool("search", "--sync", "--onlyvisible", "--name", "^Full$")
    # Frames are drawn once the screen is lit all over.
    wait_until(lambda: not alive(p) or lit_fraction(s.pixels()) > 0.95, "a lit screen")
    if not alive(p):
        raise Failure("the saver ended at start: " + (s.log(log) if log else p.communicate()[1]))
    return p


def frames_go_on(s, p, count=3):
    """Waits for `count` new frames, proving the saver still runs and reads its input."""
    last = s.pixels()
    for _ in range(count):
        def changed():
            nonlocal last
            now = s.pixels()
            if changed_fraction(last, now) > 0.05:
                last = now
                return True
            return False
        wait_until(lambda: not alive(p) or changed(), "a new frame")
        if not alive(p):
            raise Failure("the saver ended")
    return last


def test_saver_draws(s):
    store = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora", "registry.reg")
    p = start_saver(s)
    first = s.pixels()
    second = frames_go_on(s, p, 1)
    s.save(first, (WIDTH, HEIGHT), "first")
    s.save(second, (WIDTH, HEIGHT), "second")
    print("lit: %.3f, changed between the shots: %.3f" % (lit_fraction(first), changed_fraction(first, second)))
    wait_until(lambda: os.path.exists(store), "the first-run store")
    text = open(store).read()
    for line in ['"Speed"=dword:00000019', '"Bright"=dword:00000003', '"Algoritm"=dword:00000007',
                 '"Rands"=dword:00000001', '"Path_Wall"="%s"' % s.home]:
        if line not in text:
            raise Failure("the first-run store lacks " + line + ":\n" + text)
    s.xdotool("key", "space")
    expect_exit(p, 0, "key")


def test_saver_mouse(s):
    p = start_saver(s)
    x, y = pointer(s)  # where the saver noted the cursor at its start
    move(s, x + 15, y + 15)  # 15 px along both axes
    frames_go_on(s, p)
    move(s, x - 15, y - 15)
    frames_go_on(s, p)
    s.xdotool("click", "1", "click", "4", "click", "5")  # a click and a wheel turn without movement
    frames_go_on(s, p)
    move(s, x, y + 16)  # 16 px down
    err = expect_exit(p, 0, "16-pixel move")
    print("\n".join(l for l in err.splitlines() if "fps" in l))


def test_saver_covered(s):
    """Under a window that covers the whole screen the saver draws nothing
    and costs almost nothing (its designed 10 ms timer goes on ticking, about
    1% of a core on this Xvfb); uncovered, it draws again at once."""
    p = start_saver(s, "saver.log")
    covered_draws_nothing(s, p, lambda: s.log("saver.log"), "%dx%d+0+0" % (WIDTH, HEIGHT), 0.05,
                          lambda: frames_go_on(s, p, 2))
    s.xdotool("key", "space")
    expect_exit(p, 0, "key after the cover")


def test_saver_key(s):
    p = start_saver(s)
    x, y = pointer(s)
    move(s, x + 3, y - 3)  # a small move first: ignored
    frames_go_on(s, p, 1)
    s.xdotool("key", "a")
    expect_exit(p, 0, "key")


def test_saver_settings_error(s):
    """A value of the wrong type: the saver draws its pattern around the error
    box, reads the values after the failing one, and rewrites nothing."""
    store = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora")
    os.makedirs(store)
    path = os.path.join(store, "registry.reg")
    text = 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n"Speed"=dword:00000019\n"Bright"="3"\n'
    with open(path, "w") as f:
        f.write(text)
    p = s.run(s.args.prismora, "/s")
    box = s.xdotool("search", "--sync", "--onlyvisible", "--name", "^Prismora Screensaver$").split()[0]
    s.xdotool("search", "--sync", "--onlyvisible", "--name", "^Full$")
    geometry = dict(line.split("=") for line in s.xdotool("getwindowgeometry", "--shell", box).split())
    top = int(geometry["Y"])
    above = (0, 0, WIDTH, top)  # the screen above the box
    wait_until(lambda: lit_fraction(s.pixels(above)) > 0.95, "a pattern around the message box")
    first = s.pixels(above)
    wait_until(lambda: changed_fraction(first, s.pixels(above)) > 0.05, "the pattern moving behind the box")
    s.save(s.pixels(), (WIDTH, HEIGHT), "message")
    s.xdotool("key", "Return")  # the box has the keyboard while it is up
    wait_until(lambda: not s.tool("xdotool", "search", "--onlyvisible", "--name", "^Prismora Screensaver$").stdout.strip(),
               "the message box to close")
    frames_go_on(s, p, 1)
    if open(path).read() != text:
        raise Failure("the store was rewritten:\n" + open(path).read())
    s.xdotool("key", "space")
    expect_exit(p, 0, "key after the message")


# ---- the per-pixel view ----

def store_settings(s, pixels, algorithm=4):
    """A store that names the algorithm (not at random) and the view."""
    folder = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "registry.reg"), "w") as f:
        f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n"Speed"=dword:00000019\n'
                '"Bright"=dword:00000003\n"Algoritm"=dword:%08x\n"Rands"=dword:00000000\n'
                '"Path_Wall"="%s"\n"Pixels"=dword:%08x\n' % (algorithm, s.home, 1 if pixels else 0))


def expect_view(err, view, fallbacks):
    """The view the frames were drawn in (the log's note) and how many lines
    said that the pixels could not be drawn."""
    lines = err.splitlines()
    if not any(("frames drawn %s by " % view) in l for l in lines):
        raise Failure("no frame was drawn %s:\n%s" % (view, err))
    said = [l for l in lines if "per-pixel view cannot be drawn" in l]
    if len(said) != fallbacks:
        raise Failure("expected %d line(s) about the fall-back, got:\n%s" % (fallbacks, err))
    for l in said:
        print(l)


def test_saver_per_pixel(s):
    store_settings(s, True)
    p = start_saver(s)
    first = s.pixels()
    second = frames_go_on(s, p, 2)
    s.save(first, (WIDTH, HEIGHT), "first")
    s.save(second, (WIDTH, HEIGHT), "second")
    s.xdotool("key", "space")
    expect_view(expect_exit(p, 0, "key"), "per pixel", 0)


def test_saver_per_pixel_without_glsl(s):
    """A context of OpenGL 1.1 has no GLSL: the saver draws the mesh and says so once."""
    store_settings(s, True)
    s.env["MESA_GL_VERSION_OVERRIDE"] = "1.1"
    p = start_saver(s)
    frames_go_on(s, p, 2)
    s.save(s.pixels(), (WIDTH, HEIGHT), "mesh")
    s.xdotool("key", "space")
    expect_view(expect_exit(p, 0, "key"), "as the mesh", 1)


def test_root_per_pixel(s):
    """The hack mode on the root window with --pixels over a store that says mesh."""
    store_settings(s, False, 11)
    p = s.run(s.args.prismora, "--root", "--pixels")
    wait_until(lambda: not alive(p) or lit_fraction(s.pixels()) > 0.95, "a lit root window")
    frames_go_on(s, p, 2)
    s.save(s.pixels(), (WIDTH, HEIGHT), "root")
    p.send_signal(signal.SIGTERM)
    expect_view(expect_exit(p, 0, "SIGTERM"), "per pixel", 0)


def test_preview_per_pixel(s):
    store_settings(s, True)
    p = s.run(s.args.prismora, "/p")
    wait_until(lambda: not alive(p) or lit_fraction(s.pixels()) > 0.95, "a screen-sized preview")
    frames_go_on(s, p, 2)
    s.xdotool("key", "Escape")
    expect_view(expect_exit(p, 0, "key in the top-level preview"), "per pixel", 0)


# ---- the preview ----

def test_preview_in_window(s):
    parent = s.run(s.args.parent, "320", "240", stdin=subprocess.PIPE)
    window = parent.stdout.readline().strip()
    if not window:
        raise Failure("the parent window program printed no id")
    p = s.run(s.args.prismora, "/p", str(int(window, 16)))
    # Our child appears inside the parent and covers it.
    wait_until(lambda: "1 child" in s.tool("xwininfo", "-children", "-id", window).stdout, "the preview's child")
    area = (40, 30, 320, 240)
    wait_until(lambda: lit_fraction(s.pixels(area)) > 0.95, "a lit preview")
    first = s.pixels(area)
    wait_until(lambda: changed_fraction(first, s.pixels(area)) > 0.05, "a moving preview")
    second = s.pixels(area)
    s.save(first, area[2:], "first")
    s.save(second, area[2:], "second")
    outside = s.pixels((400, 300, 200, 200))
    if lit_fraction(outside) > 0.01:
        raise Failure("the preview drew outside its parent")
    move(s, 100, 100)  # pointer input is ignored
    if not alive(p):
        raise Failure("the preview ended on its own")
    parent.stdin.write("destroy\n")
    parent.stdin.flush()
    expect_exit(parent, 0, "parent")
    expect_exit(p, 0, "preview after its parent went")


def test_preview_missing_window(s):
    p = s.run(s.args.prismora, "/p", "0x3fffff0")
    err = expect_exit(p, 1, "missing window")
    if len(err.strip().splitlines()) != 1:
        raise Failure("expected one line on stderr, got: %r" % err)


def test_preview_top_level(s):
    p = s.run(s.args.prismora, "/p")
    wait_until(lambda: lit_fraction(s.pixels()) > 0.95, "a screen-sized preview")
    s.xdotool("key", "Escape")
    expect_exit(p, 0, "key in the top-level preview")


TESTS = {name[5:]: fn for name, fn in globals().items() if name.startswith("test_")}


def run_driver(tests, make_session=None, options=("--prismora", "--out"), screen_for=None):
    """The command line every driver shares: its options, one test name; runs
    the test on an X server of its own and returns the exit status.
    screen_for(name), if given, returns the screen size that test needs."""
    ap = argparse.ArgumentParser()
    for option in options:
        ap.add_argument(option, required=True)
    ap.add_argument("test", choices=sorted(tests))
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    global WIDTH, HEIGHT
    if screen_for:
        WIDTH, HEIGHT = screen_for(args.test)
    with XServer() as xserver:
        s = (make_session or Session)(args, xserver)
        try:
            tests[args.test](s)
        except Failure as e:
            print("FAILED:", e)
            return 1
        finally:
            s.close()
    print("passed")
    return 0


def main():
    return run_driver(TESTS, options=("--prismora", "--parent", "--out"))


if __name__ == "__main__":
    sys.exit(main())
