#!/usr/bin/env python3
"""End-to-end tests of steering a running instance: `prismora --send`
against `--layer background` on a headless Sway with two outputs, and
against `--root` on an Xvfb of its own; the settings file followed live;
the one instance per display and layer, and --replace; hostile clients on
the control socket while the pattern moves.

Sway refuses root, so the programs run as the plain user of the other
drivers, with a home and XDG_RUNTIME_DIR of their own; the test itself, as
root, is "another user" to the socket. Every wait has a deadline.

  control_e2e.py --prismora PATH --pointer-device PATH --out DIR TEST
"""
import argparse
import json
import os
import random
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_setup import PlainUserHome  # noqa: E402
from linux_e2e import XServer, alive, changed_fraction, cpu_share, lit_fraction, wait_until  # noqa: E402
from linux_e2e import Failure  # noqa: E402
from wayland_e2e import SwaySession, moving_pattern  # noqa: E402

KEY = "[HKEY_CURRENT_USER\\Software\\Prismora]"


def send(s, *words):
    """(status, output lines, stderr) of prismora --send as the user."""
    r = subprocess.run(s.as_user([s.prismora, "--send"] + list(words)), env=s.env, capture_output=True, text=True,
                       timeout=20)
    return r.returncode, r.stdout.splitlines(), r.stderr.strip()


def status(s):
    """The status lines by output. A per-pixel frame on a software renderer
    may keep the loop from the socket for a while: no answer is asked again
    until the deadline."""
    start = time.monotonic()
    while True:
        code, lines, err = send(s, "status")
        if code == 0:
            return {o["output"]: o for o in map(json.loads, lines)}
        if code != 1 or time.monotonic() - start > 20:
            raise Failure("status: %d %s" % (code, err))
        print("status: no answer yet (%s)" % err, flush=True)


def sent(s, *words):
    print("--send", " ".join(words), flush=True)
    code, _, err = send(s, *words)
    if code != 0:
        raise Failure("--send %s: status %d, %s" % (" ".join(words), code, err))


def store(s, speed, algorithm, rename=True):
    """The settings file as the settings window writes it: whole, by a rename."""
    folder = os.path.join(s.env["XDG_CONFIG_HOME"], "prismora")
    os.makedirs(folder, exist_ok=True)
    text = ("REGEDIT4\n\n%s\n\"Speed\"=dword:%08x\n\"Bright\"=dword:00000002\n\"Algoritm\"=dword:%08x\n"
            "\"Rands\"=dword:00000000\n\"Path_Wall\"=\"%s\"\n\"Pixels\"=dword:00000000\n" % (KEY, speed, algorithm, s.home))
    path = os.path.join(folder, "registry.reg")
    with open(path + ".new" if rename else path, "w") as f:
        f.write(text if speed >= 0 else "not a settings file\x01\n")
    if rename:
        os.rename(path + ".new", path)
    s.give_home()


def follows_commands(s, outputs):
    """Each command shows in status on every output. The view is changed
    while paused: a per-pixel frame on the software renderer of the tests
    takes seconds, and the per-pixel drawing has tests of its own."""
    for words, field, value in ((("algorithm", "4"), "algorithm", 4), (("next",), "algorithm", 5),
                                (("previous",), "algorithm", 4), (("speed", "12"), "speed", 12),
                                (("toggle",), "paused", True),
                                (("pixels",), "view", "pixels"), (("mesh",), "view", "mesh"),
                                (("toggle",), "paused", False),
                                (("random", "on"), "random", True), (("random", "off"), "random", False)):
        sent(s, *words)
        now = status(s)
        for o in outputs:
            if now[o][field] != value:
                raise Failure("after --send %s: %s of %s is %r" % (" ".join(words), field, o, now[o][field]))
    code, _, err = send(s, "algorithm", "13")
    if code != 2 or "algorithm" not in err:
        raise Failure("algorithm 13: status %d, %r" % (code, err))


def pause_and_resume(s, p, shot, outputs):
    sent(s, "pause")
    if any(not o["paused"] or o["why"] != ["asked"] for o in status(s).values()):
        raise Failure("pause not in status: %s" % status(s))
    wait_until(lambda: shot() == shot(), "a still picture after pause")
    first = shot()
    share = cpu_share(p, 3.0)
    if shot() != first or lit_fraction(first) < 0.9:
        raise Failure("the paused picture changed or is black")
    print("paused: %.3f of a core" % share)
    if share > 0.05:
        raise Failure("paused, it still spends %.3f of a core" % share)
    sent(s, "resume")
    wait_until(lambda: changed_fraction(first, shot()) > 0.05, "moving again after resume", timeout=3)


def follows_the_settings_file(s, p, outputs):
    started = time.monotonic()
    store(s, 7, 9)
    wait_until(lambda: all(o["speed"] == 7 and o["algorithm"] == 9 for o in status(s).values()),
               "the saved settings in status", timeout=3)
    print("the saved settings applied %.0f ms after the rename" % (1000 * (time.monotonic() - started)))
    store(s, -1, 0, rename=False)
    wait_until(lambda: "not applied" in s.file("prismora.out"), "the malformed file reported")
    if not alive(p) or any(o["speed"] != 7 or o["algorithm"] != 9 for o in status(s).values()):
        raise Failure("a malformed settings file changed something: %s" % status(s))


def one_instance(s, p, argv):
    second = s.run_as_user([s.prismora] + argv, "second.out")
    wait_until(lambda: not alive(second), "the second instance ending")
    if second.returncode != 1 or "--replace" not in s.file("second.out"):
        raise Failure("a second instance: status %s, %r" % (second.returncode, s.file("second.out")))
    third = s.run_as_user([s.prismora] + argv + ["--replace"], "third.out")
    wait_until(lambda: not alive(p), "the first instance ending on --replace")
    wait_until(lambda: send(s, "status")[0] == 0, "the new instance answering")
    if not alive(third):
        raise Failure("the replacing instance ended: " + s.file("third.out"))
    return third


def rss_kib(p):
    with open("/proc/%d/status" % p.pid) as f:
        return next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))


def hostile_clients(s, p, shot):
    """A 1 MB line, random bytes, 200 clients at once, a silent client and a
    client of another user (root, this test): the instance keeps drawing,
    answers afterwards and grows by less than 1 MB."""
    path = os.path.join(s.runtime, "prismora")
    sock = [os.path.join(path, n) for n in os.listdir(path) if n.endswith(".sock")][0]
    status(s)
    # A young instance still grows as its renderer warms up: measured once
    # that has settled (no change over half a second).
    last = [rss_kib(p)]

    def settled():
        time.sleep(0.5)
        now = rss_kib(p)
        steady = abs(now - last[0]) < 64
        last[0] = now
        return steady
    wait_until(settled, "the instance's memory settling")
    before = last[0]
    # Root is not the instance's user: refused without an answer.
    c = socket.socket(socket.AF_UNIX)
    c.settimeout(5)
    c.connect(sock)
    try:
        c.sendall(b"status\n")  # refused at once, the socket may be closed already
        answer = c.recv(4096)
    except OSError:
        answer = b""
    if b'"output"' in answer:
        raise Failure("another user's client was answered")
    print("another user's client:", answer.decode(errors="replace").strip() or "closed")
    c.close()
    script = (
        "import os, random, socket, sys, time\n"
        "p = sys.argv[1]\n"
        "def conn():\n"
        "    c = socket.socket(socket.AF_UNIX); c.settimeout(5); c.connect(p); return c\n"
        "c = conn()\n"
        "try:\n"
        "    c.sendall(b'x' * (1 << 20) + b'\\n')\n"
        "except OSError:\n"
        "    pass\n"
        "c.close()\n"
        "c = conn()\n"
        "try:\n"
        "    c.sendall(random.Random(7).randbytes(65536))\n"
        "except OSError:\n"
        "    pass\n"
        "c.close()\n"
        "silent = conn()\n"
        "crowd = []\n"
        "for i in range(200):\n"
        "    try:\n"
        "        crowd.append(conn())\n"
        "    except OSError:\n"
        "        pass\n"
        "for c in crowd:\n"
        "    try:\n"
        "        c.sendall(b'status\\n')\n"
        "    except OSError:\n"
        "        pass\n"
        "time.sleep(2)\n"
        "for c in crowd:\n"
        "    c.close()\n"
        "gone = silent.recv(100)\n"
        "print('silent client dropped' if gone == b'' or b'error' in gone else 'silent client kept')\n")
    first = shot()
    r = subprocess.run(s.as_user(["/usr/bin/python3", "-c", script, sock]), env=s.env, capture_output=True, text=True,
                       timeout=60)
    print(r.stdout.strip(), r.stderr.strip()[-300:])
    if "silent client dropped" not in r.stdout:
        raise Failure("the silent client was not dropped: %s %s" % (r.stdout, r.stderr[-300:]))
    if not alive(p):
        raise Failure("the instance ended under hostile clients")
    wait_until(lambda: changed_fraction(first, shot()) > 0.05, "the pattern still moving")
    status(s)
    grown = rss_kib(p) - before
    print("resident memory grew by %d KiB" % grown)
    if grown >= 1024:
        raise Failure("resident memory grew by %d KiB" % grown)


# ---- the tests ----

def test_layer(s):
    s.start_sway()
    second = s.create_output("800x600")
    first = "HEADLESS-1"
    p = s.prismora_run("--layer", "background", "--delay", "40000")
    moving_pattern(s, first, first, p)
    wait_until(lambda: send(s, "status")[0] == 0 and len(status(s)) == 2, "status of both outputs")
    before = status(s)[first]["algorithm"]
    sent(s, "algorithm", "7", "--output", second)
    now = status(s)
    if now[second]["algorithm"] != 7 or now[first]["algorithm"] != before:
        raise Failure("algorithm 7 on %s alone: %s" % (second, now))
    moving_pattern(s, second, second, p)
    code, _, err = send(s, "next", "--output", "NOWHERE-9")
    if code != 2:
        raise Failure("an unknown output: status %d %s" % (code, err))
    follows_commands(s, [first, second])
    pause_and_resume(s, p, lambda: s.shot(first)[2], [first, second])
    follows_the_settings_file(s, p, [first, second])
    p = one_instance(s, p, ["--layer", "background", "--delay", "40000"])
    hostile_clients(s, p, lambda: s.shot(first)[2])


class RootSession(PlainUserHome):
    def __init__(self, args, display):
        super().__init__("prismora-control-e2e-", {"DISPLAY": display})
        self.args = args
        self.runtime = os.path.join(self.home, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        self.prismora = self.runnable(os.path.abspath(args.prismora))
        self.give_home()

    def prismora_run(self, *argv, output="prismora.out"):
        return self.run_as_user([self.prismora] + list(argv), output)

    def shot(self):
        r = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env, capture_output=True,
                           timeout=20)
        if r.returncode != 0:
            raise Failure("import failed")
        return r.stdout


def test_root(args):
    with XServer() as x:
        s = RootSession(args, x.display)
        try:
            # 25 frames a second: the commands are the subject here, and a
            # busy software renderer on a loaded machine would slow them.
            p = s.prismora_run("--root", "--delay", "40000")
            wait_until(lambda: send(s, "status")[0] == 0, "the root window's instance answering")
            if list(status(s)) != ["root"]:
                raise Failure("the root window's outputs: %s" % status(s))
            follows_commands(s, ["root"])
            pause_and_resume(s, p, s.shot, ["root"])
            follows_the_settings_file(s, p, ["root"])
            p = one_instance(s, p, ["--root", "--delay", "40000"])
            hostile_clients(s, p, s.shot)
        except Failure:
            print("prismora's output:\n" + s.file("prismora.out")[-1500:])
            raise
        finally:
            s.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prismora", required=True)
    parser.add_argument("--pointer-device", default="")
    parser.add_argument("--out", required=True)
    parser.add_argument("test", choices=["layer", "root"])
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    try:
        if args.test == "root":
            test_root(args)
        else:
            s = SwaySession(args)
            try:
                test_layer(s)
            finally:
                print("prismora's output:\n" + s.file("prismora.out")[-1500:])
                s.close()
    except Failure as e:
        print("FAIL:", e)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
