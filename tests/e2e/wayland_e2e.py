#!/usr/bin/env python3
"""End-to-end tests of the program on Wayland: --layer and /s on the layer
shell of a headless Sway (Debian's sway, grim, wtype), with no Xwayland and no
DISPLAY, and the error cases.

Sway refuses to run as root, so when the test runs as root Sway and the
program run as a plain user that the test creates when it is missing, with a
home and an XDG_RUNTIME_DIR of their own. Each test starts its own Sway, waits
for conditions with deadlines and stops what it started by process id.
Screenshots (grim -o OUTPUT) are kept in the output folder.

  wayland_e2e.py --prismora PATH --pointer-device PATH --out DIR TEST
"""
import argparse
import glob
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_setup import PlainUserHome, run_reported  # noqa: E402
from linux_e2e import (DEADLINE, Failure, XServer, alive, changed_fraction, cpu_share, lit_fraction,  # noqa: E402
                       quiet, stop, wait_until)

SWAY_CONFIG = """\
xwayland disable
output HEADLESS-1 resolution 1024x768 position 0 0
"""


def read_ppm(data):
    """(width, height, RGB bytes) of a binary PPM as grim writes it."""
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure("grim wrote no 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:at + 1 + 3 * width * height]


class SwaySession(PlainUserHome):
    """A headless Sway as the test's user, with its home and runtime folder,
    and the programs started, stopped by pid at the end."""

    def __init__(self, args):
        super().__init__("prismora-wayland-e2e-", {"PRISMORA_FPS_LOG": "1"})
        self.args = args
        self.runtime = os.path.join(self.home, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        self.prismora = self.runnable(os.path.abspath(args.prismora))
        self.pointer_device = self.runnable(os.path.abspath(args.pointer_device))
        self.give_home()

    # ---- Sway ----

    def start_sway(self):
        config = os.path.join(self.home, "sway.conf")
        with open(config, "w") as f:
            f.write(SWAY_CONFIG)
        self.give_home()
        env = dict(self.env, WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1")
        log = open(os.path.join(self.home, "sway.log"), "w")
        self.sway = subprocess.Popen(self.as_user(["sway", "-c", config]), env=env, stdout=log, stderr=subprocess.STDOUT)
        log.close()
        self.processes.append(self.sway)

        def sockets():
            waylands = [p for p in glob.glob(os.path.join(self.runtime, "wayland-*")) if not p.endswith(".lock")]
            ipc = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
            return waylands and ipc and (os.path.basename(waylands[0]), ipc[0])
        found = wait_until(lambda: not alive(self.sway) or sockets(), "Sway's sockets")
        if not alive(self.sway):
            raise Failure("sway ended:\n" + self.file("sway.log"))
        self.env["WAYLAND_DISPLAY"], self.env["SWAYSOCK"] = found
        wait_until(lambda: self.swaymsg("-t", "get_outputs", check=False).returncode == 0, "Sway's IPC")

    def swaymsg(self, *argv, check=True):
        r = subprocess.run(self.as_user(["swaymsg"] + list(argv)), env=self.env, capture_output=True, text=True,
                           timeout=DEADLINE)
        if check and r.returncode != 0:
            raise Failure("swaymsg %s: %s%s" % (" ".join(argv), r.stdout, r.stderr))
        return r

    def outputs(self):
        import json
        return {o["name"]: o for o in json.loads(self.swaymsg("-t", "get_outputs", "-r").stdout)}

    def create_output(self, size=None):
        before = set(self.outputs())
        self.swaymsg("create_output")
        name = wait_until(lambda: (set(self.outputs()) - before) and sorted(set(self.outputs()) - before)[0],
                          "the new output")
        if size:
            self.swaymsg("output", name, "resolution", size)
            wait_until(lambda: "%dx%d" % (self.outputs()[name]["rect"]["width"],
                                          self.outputs()[name]["rect"]["height"]) == size or
                       self.outputs()[name]["scale"] != 1, "output %s at %s" % (name, size))
        return name

    def shot(self, output):
        """(width, height, RGB) of the output as the compositor shows it."""
        r = subprocess.run(self.as_user(["grim", "-t", "ppm", "-o", output, "-"]), env=self.env,
                           capture_output=True, timeout=DEADLINE)
        if r.returncode != 0:
            raise Failure("grim -o %s: %s" % (output, r.stderr.decode(errors="replace")))
        return read_ppm(r.stdout)

    def save(self, output, name):
        path = os.path.join(self.args.out, "%s-%s.png" % (self.args.test, name))
        os.makedirs(self.args.out, exist_ok=True)
        r = subprocess.run(self.as_user(["grim", "-o", output, "-"]), env=self.env, capture_output=True,
                           timeout=DEADLINE)
        if r.returncode != 0:
            raise Failure("grim -o %s failed" % output)
        with open(path, "wb") as f:
            f.write(r.stdout)
        print("screenshot:", path)

    # ---- programs ----

    def prismora_run(self, *argv, output="prismora.out"):
        return self.run_as_user([self.prismora] + list(argv), output)


def expect_status(s, p, code, what, output="prismora.out"):
    try:
        p.wait(DEADLINE)
    except subprocess.TimeoutExpired:
        raise Failure(what + ": the program did not end")
    text = s.file(output)
    if p.returncode != code:
        raise Failure("%s: exit status %d, expected %d:\n%s" % (what, p.returncode, code, text))
    return text


def moving_pattern(s, output, what, p=None):
    """Waits until the output is lit all over and then changes: a running pattern."""
    def lit():
        if p is not None and not alive(p):
            raise Failure("prismora ended:\n" + s.file("prismora.out"))
        return lit_fraction(s.shot(output)[2]) > 0.95
    wait_until(lit, what + " lit")
    first = s.shot(output)[2]
    wait_until(lambda: changed_fraction(first, s.shot(output)[2]) > 0.05, what + " moving")


def moving_everywhere(s, output, what, p, tiles=4):
    """Waits until every one of tiles x tiles parts of the output has changed:
    the pattern covers the whole output (the compositor's own background
    around a picture too small would never change)."""
    width, height, first = s.shot(output)
    pending = {(i, j) for i in range(tiles) for j in range(tiles)}

    def tile(rgb, i, j):
        x0, y0, w, h = i * width // tiles, j * height // tiles, width // tiles, height // tiles
        return b"".join(rgb[3 * (y * width + x0):3 * (y * width + x0 + w)] for y in range(y0, y0 + h, 7))

    def all_changed():
        if not alive(p):
            raise Failure("prismora ended:\n" + s.file("prismora.out"))
        now = s.shot(output)[2]
        for t in list(pending):
            if changed_fraction(tile(first, *t), tile(now, *t)) > 0.05:
                pending.discard(t)
        return not pending
    wait_until(all_changed, what + " moving all over")


def frames_go_on(s, output, p, count=3):
    """Waits for `count` new frames: the program still runs and reads its input."""
    last = s.shot(output)[2]
    for _ in range(count):
        def changed():
            nonlocal last
            now = s.shot(output)[2]
            if changed_fraction(last, now) > 0.05:
                last = now
                return True
            return False
        wait_until(lambda: not alive(p) or changed(), "a new frame")
        if not alive(p):
            raise Failure("the saver ended early:\n" + s.file("prismora.out"))


def expect_store_untouched(s):
    store = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora")
    if os.path.exists(store):
        raise Failure("the program wrote the settings store: " + str(os.listdir(store)))


def two_outputs(s):
    s.start_sway()
    second = s.create_output("800x600")
    return "HEADLESS-1", second


# ---- --layer background ----

def test_layer_two_outputs(s):
    first, second = two_outputs(s)
    p = s.prismora_run("--layer", "background")
    moving_pattern(s, first, first, p)
    moving_everywhere(s, first, first, p)
    moving_everywhere(s, second, second, p)
    for output in (first, second):
        s.save(output, output)
    sizes = {o: s.shot(o)[:2] for o in (first, second)}
    if sizes[first] != (1024, 768) or sizes[second] != (800, 600):
        raise Failure("unexpected output sizes: %s" % sizes)
    started = time.monotonic()
    third = s.create_output()
    wait_until(lambda: lit_fraction(s.shot(third)[2]) > 0.95, "the pattern on the new output " + third, timeout=2.0)
    print("the new output %s showed the pattern %.0f ms after create_output" % (third, 1000 * (time.monotonic() - started)))
    moving_pattern(s, third, third, p)
    p.send_signal(signal.SIGTERM)
    out = expect_status(s, p, 0, "SIGTERM")
    errors = [l for l in out.splitlines() if " fps" not in l and "drawn at" not in l and "frames drawn" not in l]
    if errors:
        raise Failure("unexpected output:\n" + "\n".join(errors))
    expect_store_untouched(s)


def rate_lines(s, output, after=0):
    """The frame-rate lines about `output` past byte `after` of the log (not
    its notes, such as a pause under a full-screen window)."""
    return [l for l in s.file("prismora.out")[after:].splitlines()
            if l.startswith("prismora: %s: " % output) and " fps: " in l]


def power_off(s, output):
    """Turns the output's power off; False where the compositor cannot (the
    headless backend of wlroots 0.15, Sway 1.7's, refuses: "Failed to commit
    output" in its log, and the output stays on)."""
    s.swaymsg("output", output, "dpms", "off")
    try:
        wait_until(lambda: not s.outputs()[output]["dpms"] or "Failed to commit output " + output in s.file("sway.log"),
                   output + "'s power off")
    except Failure:
        return False
    return not s.outputs()[output]["dpms"]


def cover(s, output, how):
    """A full-screen terminal (foot, opaque) on the output, or (how "global")
    over every output."""
    s.swaymsg("focus", "output", output)
    # cat keeps the terminal open: the test user's shell is nologin.
    foot = s.run_as_user(["env", "LC_ALL=C.UTF-8", "foot", "cat"], "foot.out")
    wait_until(lambda: not alive(foot) or '"app_id": "foot"' in s.swaymsg("-t", "get_tree").stdout, "foot's window")
    if not alive(foot):
        raise Failure("foot ended:\n" + s.file("foot.out"))
    s.swaymsg('[app_id="foot"]', "fullscreen", "enable", *([how] if how else []))
    return foot


def one_draws_other_not(s, p, drawing, still):
    """The output `drawing` goes on moving and logging; `still` draws nothing."""
    mark = len(s.file("prismora.out"))
    wait_until(lambda: len(rate_lines(s, drawing, mark)) >= 1, "a frame-rate line of " + drawing)
    mark = len(s.file("prismora.out"))
    share = cpu_share(p)
    moving_pattern(s, drawing, drawing + " beside " + still, p)
    if rate_lines(s, still, mark) or len(rate_lines(s, drawing, mark)) < 2:
        raise Failure("%s should draw and %s not:\n%s" % (drawing, still, s.file("prismora.out")[mark:]))
    return share


def test_layer_frames_follow_the_display(s):
    """The wallpaper draws only what the compositor shows: an output that is
    off or covered draws nothing while the other goes on; with both off, or
    the desktop under a full-screen window, the process costs almost
    nothing; shown again, its pattern moves on from where a 10 ms timer
    would have put it."""
    first, second = two_outputs(s)
    started = time.monotonic()
    p = s.prismora_run("--layer", "background")
    for output in (first, second):
        moving_pattern(s, output, output, p)
    visible = cpu_share(p)
    print("visible: %.1f%% of a core" % (100 * visible))
    quiet_shares = []

    if power_off(s, second):
        print("%s off: %.1f%% of a core" % (second, 100 * one_draws_other_not(s, p, first, second)))
        if not power_off(s, first):
            raise Failure("%s could not be turned off" % first)
        quiet(lambda: s.file("prismora.out"))
        quiet_shares.append(("both outputs off", cpu_share(p)))
        for output in (first, second):
            s.swaymsg("output", output, "dpms", "on")
        moving_pattern(s, second, second + " back on", p)
    else:
        print("the compositor cannot turn an output off here: the power-off states are not tried")

    foot = cover(s, second, None)
    print("%s covered: %.1f%% of a core" % (second, 100 * one_draws_other_not(s, p, first, second)))
    stop(foot)
    moving_pattern(s, second, second + " uncovered", p)

    foot = cover(s, first, "global")  # one full-screen window over both outputs
    quiet(lambda: s.file("prismora.out"))
    quiet_shares.append(("covered by a full-screen window", cpu_share(p)))
    # Before the cover goes: the first frame after it may log the hidden time
    # at once.
    mark = len(s.file("prismora.out"))
    stop(foot)

    moving_everywhere(s, first, first + " shown again", p)
    moving_everywhere(s, second, second + " shown again", p)
    line = wait_until(lambda: rate_lines(s, first, mark) and rate_lines(s, first, mark)[-1], "a line after the return")
    wall = time.monotonic() - started
    steps, elapsed = line.split("drift ")[1].split(" steps in ")
    steps, elapsed = int(steps), float(elapsed.split()[0])
    hidden = max(float(l.split("hidden ")[1].split()[0]) for l in rate_lines(s, first, mark))
    print("shown again: %s (%.2f s since the start)" % (line, wall))
    if abs(steps - elapsed / 0.01) > 1 or not wall - 5.0 <= elapsed <= wall:
        raise Failure("drift steps %d in %.2f s of the pattern's clock, %.2f s since the start" % (steps, elapsed, wall))
    if hidden < 1.5:
        raise Failure("the log reports no hidden time after the cover: " + line)
    for what, share in quiet_shares:
        print("%s: %.2f%% of a core, %.2f%% of the visible CPU" % (what, 100 * share, 100 * share / visible))
        if share >= 0.02 * visible:
            raise Failure("%s: not under 2%% of the visible CPU" % what)
    p.send_signal(signal.SIGTERM)
    expect_status(s, p, 0, "SIGTERM")


def notes_since(s, after):
    """The log's notes past byte `after`: its lines that are no frame counts."""
    return [l for l in s.file("prismora.out")[after:].splitlines()
            if " fps" not in l and "drawn at" not in l and "frames drawn" not in l]


def await_note(s, note, after, what):
    """Waits for the log line `note` past byte `after`; the seconds it took."""
    started = time.monotonic()
    wait_until(lambda: note in notes_since(s, after), what)
    took = time.monotonic() - started
    print("%s: %r after %.0f ms" % (what, note, 1000 * took))
    return took


def test_layer_full_screen_window(s):
    """A full-screen window on one of two outputs pauses the background
    there, as the compositor's toplevel list says (the log names the
    reason, which frame callbacks alone never give), and only there; status
    reports it. Its workspace out of sight, or the window no longer full
    screen, or closed: the output draws again within a second."""
    from control_e2e import status  # noqa: E402 (control_e2e imports this file)
    first, second = two_outputs(s)
    p = s.prismora_run("--layer", "background")
    for output in (first, second):
        moving_pattern(s, output, output, p)
    paused, moving = "prismora: %s: under a full-screen window: no frames" % second, "prismora: %s: moving again" % second

    mark = len(s.file("prismora.out"))
    foot = cover(s, second, None)
    await_note(s, paused, mark, "the pause on " + second)
    moving_pattern(s, first, first + " beside the full-screen window", p)
    for output in (first, second):
        s.save(output, output + "-window-on-" + second)
    why = {o: v["why"] for o, v in status(s).items()}
    print("status: %s" % why)
    if why != {first: [], second: ["covered"]}:
        raise Failure("status while %s shows a full-screen window: %s" % (second, why))

    # Another workspace on that output: the window is out of sight, though
    # the compositor still lists it there, full screen.
    mark = len(s.file("prismora.out"))
    s.swaymsg("workspace", "9")
    await_note(s, moving, mark, second + " on another workspace")
    moving_pattern(s, second, second + " on another workspace", p)
    mark = len(s.file("prismora.out"))
    s.swaymsg('[app_id="foot"]', "focus")  # back to the window's workspace
    await_note(s, paused, mark, "the pause on " + second + " back on the window's workspace")

    mark = len(s.file("prismora.out"))
    s.swaymsg('[app_id="foot"]', "fullscreen", "disable")
    took = [await_note(s, moving, mark, "fullscreen disable")]
    # The window, tiled alone, still fills the output: the frames drawn
    # behind it show in the log, not on the screen.
    wait_until(lambda: len(rate_lines(s, second, mark)) >= 2, "frames on %s behind a tiled window" % second)
    mark = len(s.file("prismora.out"))
    s.swaymsg('[app_id="foot"]', "fullscreen", "enable")
    await_note(s, paused, mark, "fullscreen enable")
    mark = len(s.file("prismora.out"))
    stop(foot)
    took.append(await_note(s, moving, mark, "the window closed"))
    moving_pattern(s, second, second + " with the window closed", p)
    s.save(second, second + "-window-closed")

    others = [l for l in notes_since(s, 0) if l not in (paused, moving)]
    if others:
        raise Failure("other notes in the log (%s should not pause):\n%s" % (first, "\n".join(others)))
    if max(took) > 1.0:
        raise Failure("the pattern took %.2f s to move again" % max(took))
    p.send_signal(signal.SIGTERM)
    expect_status(s, p, 0, "SIGTERM")


def test_layer_one_output(s):
    """--output NAME: that output only; the others stay as Sway leaves them."""
    first, second = two_outputs(s)
    before = s.shot(first)
    p = s.prismora_run("--layer", "bottom", "--output", second)
    moving_pattern(s, second, second, p)
    if s.shot(first) != before:
        raise Failure("%s changed: the pattern is there too" % first)
    p.send_signal(signal.SIGINT)
    expect_status(s, p, 0, "SIGINT")


def test_layer_scale_two(s):
    s.start_sway()
    s.swaymsg("output", "HEADLESS-1", "scale", "2")
    wait_until(lambda: s.outputs()["HEADLESS-1"]["scale"] == 2, "scale 2")
    p = s.prismora_run("--layer", "background")
    moving_pattern(s, "HEADLESS-1", "the scale-2 output", p)
    moving_everywhere(s, "HEADLESS-1", "the scale-2 output", p)
    s.save("HEADLESS-1", "scale2")
    out = s.file("prismora.out")
    if "HEADLESS-1: drawn at 1024 x 768 pixels" not in out:
        raise Failure("the surface is not drawn at the output's 1024 x 768 pixels:\n" + out)
    # A new mode while it runs: the buffer follows, still at full resolution.
    s.swaymsg("output", "HEADLESS-1", "resolution", "1280x720")
    wait_until(lambda: "HEADLESS-1: drawn at 1280 x 720 pixels" in s.file("prismora.out"), "a 1280 x 720 buffer")
    moving_everywhere(s, "HEADLESS-1", "the scale-2 output at 1280 x 720", p)
    # Back to scale 1: the buffer keeps its 1280 x 720 pixels, and its buffer
    # scale must follow, or the compositor would show it on a quarter of the
    # output (and leave the rest unlit).
    s.swaymsg("output", "HEADLESS-1", "scale", "1")
    wait_until(lambda: s.outputs()["HEADLESS-1"]["scale"] == 1, "scale 1")
    moving_everywhere(s, "HEADLESS-1", "the output back at scale 1", p)
    if s.shot("HEADLESS-1")[:2] != (1280, 720):
        raise Failure("the output is not 1280 x 720")
    p.send_signal(signal.SIGHUP)
    expect_status(s, p, 0, "SIGHUP")


def test_layer_compositor_gone(s):
    s.start_sway()
    p = s.prismora_run("--layer", "background")
    moving_pattern(s, "HEADLESS-1", "the output", p)
    stop(s.sway)
    expect_status(s, p, 0, "the compositor went away")


def test_layer_per_pixel(s):
    """--pixels: each output's picture computed per pixel at its own size."""
    first, second = two_outputs(s)
    p = s.prismora_run("--layer", "background", "--pixels", "--algorithm", "11")
    for output in (first, second):
        moving_pattern(s, output, output, p)
        moving_everywhere(s, output, output, p)
        s.save(output, output)
    p.send_signal(signal.SIGTERM)
    out = expect_status(s, p, 0, "SIGTERM")
    if not any("frames drawn per pixel by " in l for l in out.splitlines()):
        raise Failure("no frame was drawn per pixel:\n" + out)
    if "cannot be drawn" in out:
        raise Failure("the pixels fell back to the mesh:\n" + out)
    expect_store_untouched(s)


# ---- /s ----

def start_saver(s, *outputs):
    p = s.prismora_run("/s")
    for o in outputs:
        moving_pattern(s, o, o, p)
        moving_everywhere(s, o, o, p)
    return p


def test_saver_key(s):
    first, second = two_outputs(s)
    p = start_saver(s, first, second)
    for output in (first, second):
        s.save(output, output)
    frames_go_on(s, first, p)
    # wtype makes a keyboard of its own for each run: -s 300 gives the
    # program time to bind it before the key. A key typed before that goes
    # nowhere, so type until the saver ends.
    def typed():
        subprocess.run(s.as_user(["wtype", "-s", "300", "x"]), env=s.env, capture_output=True, timeout=DEADLINE)
        return not alive(p)
    started = time.monotonic()
    wait_until(typed, "the saver to end on a key")
    print("the saver ended %.0f ms after the first wtype started" % (1000 * (time.monotonic() - started)))
    expect_status(s, p, 0, "a key")


def pointer_device(s):
    d = subprocess.Popen(s.as_user([s.pointer_device]), env=s.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True)
    s.processes.append(d)
    line = []
    reader = threading.Thread(target=lambda: line.append(d.stdout.readline()), daemon=True)
    reader.start()
    wait_until(lambda: line or not alive(d), "the pointer device")
    if line != ["ready\n"]:
        raise Failure("the pointer device did not start: " + d.stderr.read())
    return d


def test_saver_pointer(s):
    first, second = two_outputs(s)
    device = pointer_device(s)
    s.swaymsg("seat", "seat0", "cursor", "set", "500", "400")
    # The client's protocol log shows the pointer hidden over the surfaces.
    s.env["WAYLAND_DEBUG"] = "client"
    p = start_saver(s, first, second)
    del s.env["WAYLAND_DEBUG"]
    # 1, then 11 pixels along each axis from where the pointer was set (10
    # from where it entered if it entered only with the first move): on.
    for step in ("1", "10"):
        s.swaymsg("seat", "seat0", "cursor", "move", step, step)
        frames_go_on(s, first, p)
    # 6 more along x only: 16 pixels from the entry (17 when the pointer
    # entered where it was set, before the first move): the saver ends.
    s.swaymsg("seat", "seat0", "cursor", "move", "6", "0")
    expect_status(s, p, 0, "pointer motion of 16 pixels")
    stop(device)
    hidden = [l for l in s.file("prismora.out").splitlines() if ".set_cursor(" in l]
    if not hidden or not all(", nil, 0, 0)" in l for l in hidden):
        raise Failure("the pointer was not hidden over the saver: %s" % hidden[:3])


def test_saver_button(s):
    s.start_sway()
    device = pointer_device(s)
    p = start_saver(s, "HEADLESS-1")
    device.stdin.write("button\n")
    device.stdin.flush()
    expect_status(s, p, 0, "a button")
    stop(device)


# ---- errors ----

class FakeCompositor:
    """A Wayland socket that answers the registry with wl_compositor and
    wl_output only (a compositor without the layer shell, as GNOME's): enough
    wire protocol for a client's first round trip."""

    def __init__(self, runtime):
        self.path = os.path.join(runtime, "wayland-fake")
        self.server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.server.bind(self.path)
        self.server.listen(4)
        self.server.settimeout(0.2)
        self.done = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    @staticmethod
    def message(obj, opcode, payload):
        return struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload

    @staticmethod
    def string(text):
        data = text.encode() + b"\0"
        return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)

    def serve(self):
        while not self.done:
            try:
                conn, _ = self.server.accept()
            except socket.timeout:
                continue
            threading.Thread(target=self.client, args=(conn,), daemon=True).start()

    def client(self, conn):
        buffer = b""
        registry = None
        conn.settimeout(DEADLINE)
        try:
            while True:
                data = conn.recv(4096)
                if not data:
                    return
                buffer += data
                while len(buffer) >= 8:
                    obj, word = struct.unpack("<II", buffer[:8])
                    size, opcode = word >> 16, word & 0xffff
                    if len(buffer) < size:
                        break
                    args, buffer = buffer[8:size], buffer[size:]
                    if obj == 1 and opcode == 1:  # wl_display.get_registry
                        registry = struct.unpack("<I", args[:4])[0]
                        conn.sendall(self.message(registry, 0, struct.pack("<I", 1) + self.string("wl_compositor") +
                                                  struct.pack("<I", 4)) +
                                     self.message(registry, 0, struct.pack("<I", 2) + self.string("wl_output") +
                                                  struct.pack("<I", 3)))
                    elif obj == 1 and opcode == 0:  # wl_display.sync: done, then the id is free again
                        callback = struct.unpack("<I", args[:4])[0]
                        conn.sendall(self.message(callback, 0, struct.pack("<I", 1)) +
                                     self.message(1, 1, struct.pack("<I", callback)))
        except OSError:
            return
        finally:
            conn.close()

    def close(self):
        self.done = True
        self.thread.join()
        self.server.close()


def run_quick(s, argv, extra_env):
    env = dict(s.env)
    env.pop("DISPLAY", None)
    env.update(extra_env)
    r = subprocess.run(s.as_user([s.prismora] + argv), env=env, capture_output=True, text=True, timeout=DEADLINE)
    return r


def expect_one_line(r, status, words, what, hint=False):
    """One line with the words on stderr (a bad option adds the --help hint)."""
    lines = r.stderr.strip().splitlines()
    if hint and len(lines) == 2 and lines[1].startswith("Try 'prismora --help'"):
        lines = lines[:1]
    if r.returncode != status or len(lines) != 1 or not all(w in lines[0] for w in words):
        raise Failure("%s: status %d, stderr %r; expected status %d and one line with %s" %
                      (what, r.returncode, r.stderr, status, words))
    print("%s: %s (status %d)" % (what, lines[0], status))


def test_errors(s):
    # A WAYLAND_DISPLAY that names no compositor, and no DISPLAY.
    for argv in (["--layer", "background"], ["/s"], []):
        r = run_quick(s, argv, {"WAYLAND_DISPLAY": "wayland-none"})
        expect_one_line(r, 1, ["wayland-none", "DISPLAY"], "no compositor: prismora %s" % " ".join(argv))
    # A compositor without the layer shell, and no DISPLAY.
    fake = FakeCompositor(s.runtime)
    s.give_home()
    try:
        for argv in (["--layer", "overlay"], ["/s"]):
            r = run_quick(s, argv, {"WAYLAND_DISPLAY": "wayland-fake"})
            expect_one_line(r, 1, ["zwlr_layer_shell_v1"], "no layer shell: prismora %s" % " ".join(argv))
    finally:
        fake.close()
    # An output that is not there: the outputs are listed.
    s.start_sway()
    second = s.create_output()
    r = run_quick(s, ["--layer", "top", "--output", "DP-7"], {})
    expect_one_line(r, 2, ["DP-7", "HEADLESS-1", second], "--output naming no output")
    # Bad option values: status 2 before any connection.
    r = run_quick(s, ["--layer", "wallpaper"], {})
    expect_one_line(r, 2, ["--layer"], "--layer wallpaper", hint=True)
    r = run_quick(s, ["--output", "HEADLESS-1"], {})
    expect_one_line(r, 2, ["--output", "--layer"], "--output without --layer", hint=True)


def test_no_layer_shell_uses_x11(s):
    """Where the compositor lacks the layer shell (GNOME), /s is the X11
    saver on DISPLAY (Xwayland there; an Xvfb here), and --layer draws on the
    X root window."""
    fake = FakeCompositor(s.runtime)
    s.give_home()
    try:
        with XServer() as x:
            s.env.update(DISPLAY=x.display, WAYLAND_DISPLAY="wayland-fake")
            p = s.prismora_run("/s")
            def window():
                r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Full$"], env=s.env,
                                   capture_output=True, text=True)
                return not alive(p) or r.stdout.strip()
            wait_until(window, "the X11 saver's window")
            if not alive(p):
                raise Failure("prismora ended:\n" + s.file("prismora.out"))
            stop(p)
            # --layer there draws on the X root window, the X11 desktop's background.
            p = s.prismora_run("--layer", "background", output="layer.out")

            def root_lit():
                r = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=s.env,
                                   capture_output=True, timeout=DEADLINE)
                return not alive(p) or (r.returncode == 0 and lit_fraction(r.stdout) > 0.95)
            wait_until(root_lit, "the pattern on the X root window")
            if not alive(p):
                raise Failure("prismora --layer ended:\n" + s.file("layer.out"))
            p.send_signal(signal.SIGTERM)
            expect_status(s, p, 0, "SIGTERM on the X root window", output="layer.out")
    finally:
        fake.close()


TESTS = {name[5:]: fn for name, fn in globals().items() if name.startswith("test_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prismora", required=True)
    parser.add_argument("--pointer-device", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("test", choices=sorted(TESTS))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    s = SwaySession(args)
    return run_reported(s, lambda: TESTS[args.test](s), lambda: s.file("prismora.out"), tail=2000)


if __name__ == "__main__":
    sys.exit(main())
