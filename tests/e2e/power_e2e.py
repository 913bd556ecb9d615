#!/usr/bin/env python3
"""End-to-end tests of battery power: `prismora --root` and the full-screen
saver (`prismora /s`, its choice read from the store) on an Xvfb of its
own, with a private system bus (a dbus-daemon of the test's own,
DBUS_SYSTEM_BUS_ADDRESS pointing at it) where python3-dbusmock's UPower
template plays the power service. On mains every frame; on battery with
"slow" at most 21 frames a second with the drift still one step per 10 ms;
with "pause" almost no CPU and the last frame kept; back on mains moving
within a second; with no UPower on the bus, as on mains with nothing
printed. Every wait has a deadline.

  power_e2e.py --prismora PATH --out DIR TEST
"""
import argparse
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from linux_e2e import (HEIGHT, WIDTH, Failure, Session, XServer, alive, changed_fraction, cpu_share,  # noqa: E402
                       lit_fraction, start_saver, stop, store_settings, wait_until)

PYTHON = "/usr/bin/python3"  # Debian's, which has python3-dbusmock
RATE = re.compile(r"([0-9.]+) fps: (\d+) frames drawn in ([0-9.]+) s.*drift (\d+) steps in ([0-9.]+) s")


class Bus:
    """A dbus-daemon of our own, standing in for the system bus, and on it,
    when asked, UPower as python3-dbusmock's template plays it."""

    def __init__(self, s):
        self.s = s
        r = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True)
        s.processes.append(r)
        self.address = r.stdout.readline().strip()
        if not self.address:
            raise Failure("dbus-daemon gave no address")
        s.env["DBUS_SYSTEM_BUS_ADDRESS"] = self.address

    def start_upower(self, on_battery):
        mock = subprocess.Popen([PYTHON, "-m", "dbusmock", "--system", "--template", "upower", "-p",
                                 '{"OnBattery": %s}' % ("true" if on_battery else "false")],
                                env=self.s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.s.processes.append(mock)
        wait_until(lambda: self.call("Get", "string:org.freedesktop.UPower", "string:OnBattery").returncode == 0,
                   "UPower on the private bus")

    def call(self, method, *args):
        return subprocess.run(["dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.UPower",
                               "/org/freedesktop/UPower", "org.freedesktop.DBus.Properties." + method] + list(args),
                              env=self.s.env, capture_output=True, text=True, timeout=10)

    def set_on_battery(self, on_battery):
        r = self.call("Set", "string:org.freedesktop.UPower", "string:OnBattery",
                      "variant:boolean:" + ("true" if on_battery else "false"))
        if r.returncode != 0:
            raise Failure("setting OnBattery: " + r.stderr)


def rates(s, after):
    """(fps, frames, seconds, drift steps, drift seconds) of each log line after byte `after`."""
    return [tuple(float(x) for x in m.groups()) for m in RATE.finditer(s.log("prismora")[after:])]


def next_rates(s, count=2):
    mark = len(s.log("prismora"))
    return wait_until(lambda: len(rates(s, mark)) >= count and rates(s, mark)[:count], "%d frame-rate lines" % count)


def check_drift(lines):
    """The drift keeps its clock: one step per 10 ms since the start."""
    for line in lines:
        steps, seconds = line[3], line[4]
        if abs(steps - 100 * seconds) > 2:
            raise Failure("the drift took %d steps in %.2f s" % (steps, seconds))


def moving(s, p):
    first = s.pixels()
    wait_until(lambda: not alive(p) or changed_fraction(first, s.pixels()) > 0.05, "the pattern moving")
    if not alive(p):
        raise Failure("prismora ended:\n" + s.log("prismora"))
    return p


def start_root(s, choice=None):
    """--root with the choice for battery power (None: the default)."""
    s.env["PRISMORA_FPS_LOG"] = "1"
    return moving(s, s.run_logged("prismora", s.args.prismora, "--root",
                                  *(["--on-battery", choice] if choice else [])))


def start_full_screen(s, choice=None):
    """The full-screen saver, the choice stored beside the other values
    (None: a store from before the choice)."""
    s.env["PRISMORA_FPS_LOG"] = "1"
    store_settings(s, pixels=False)
    if choice:
        with open(os.path.join(s.env["XDG_CONFIG_HOME"], "prismora", "registry.reg"), "a") as f:
            f.write('"OnBattery"=dword:%08x\n' % ["every", "slow", "pause"].index(choice))
    return moving(s, start_saver(s, "prismora"))


def test_slow(s, bus, start=start_root):
    bus.start_upower(False)
    p = start(s)  # the default: 20 frames a second on battery
    mains = next_rates(s)
    print("on mains:", ["%.1f fps" % r[0] for r in mains])
    # (A machine too busy to draw more than 21 frames a second on mains
    # cannot show the difference; the battery's bound below still holds.)
    if max(r[0] for r in mains) <= 21:
        print("the machine drew only %.1f fps on mains: that figure is not compared" % max(r[0] for r in mains))
    bus.set_on_battery(True)
    wait_until(lambda: "at most 20 frames a second" in s.log("prismora"), "the log's note on battery")
    battery = next_rates(s, 3)[1:]  # the first may hold frames from before
    print("on battery:", ["%.1f fps" % r[0] for r in battery])
    if any(r[1] > 21 for r in battery):
        raise Failure("on battery it drew more than 21 frames a second: %s" % battery)
    check_drift(battery)
    bus.set_on_battery(False)
    wait_until(lambda: "every frame again" in s.log("prismora"), "the log's note on mains", timeout=1.5)
    stop(p)


def test_pause(s, bus, start=start_root):
    bus.start_upower(False)
    p = start(s, "pause")
    visible = cpu_share(p, 3.0)
    bus.set_on_battery(True)
    wait_until(lambda: "paused on the last frame" in s.log("prismora"), "the log's note on battery")
    first = s.pixels()
    share = cpu_share(p, 5.0)
    second = s.pixels()
    print("paused on battery: %.2f%% of a core (visible %.1f%%)" % (100 * share, 100 * visible))
    if share >= 0.05 * visible:
        raise Failure("paused, it spends %.3f of a core" % share)
    s.save(second, (WIDTH, HEIGHT), "paused")
    if first != second or lit_fraction(first) < 0.9:
        raise Failure("the paused picture changed or is black")
    bus.set_on_battery(False)
    started = time.monotonic()
    wait_until(lambda: changed_fraction(first, s.pixels()) > 0.05, "moving again on mains", timeout=3)
    took = time.monotonic() - started
    print("moving again %.0f ms after mains came back" % (1000 * took))
    if took > 1.5:
        raise Failure("it took %.1f s to move again" % took)
    stop(p)


def test_no_upower(s, bus):
    p = start_root(s, "pause")
    next_rates(s, 2)
    stop(p)
    others = [l for l in s.log("prismora").splitlines() if " fps: " not in l and "frames drawn as" not in l]
    if others:
        raise Failure("with no UPower it printed: %s" % others)


TESTS = {"slow": test_slow, "pause": test_pause, "no_upower": test_no_upower,
         "saver_slow": lambda s, bus: test_slow(s, bus, start_full_screen),
         "saver_pause": lambda s, bus: test_pause(s, bus, start_full_screen)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prismora", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("test", choices=sorted(TESTS))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    with XServer() as x:
        s = Session(args, x)
        s.env["XDG_RUNTIME_DIR"] = os.path.join(s.home, "runtime")
        os.mkdir(s.env["XDG_RUNTIME_DIR"], 0o700)
        try:
            TESTS[args.test](s, Bus(s))
        except Failure as e:
            print("FAIL:", e)
            print("prismora's output:\n" + s.log("prismora")[-1500:])
            return 1
        finally:
            s.close()
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
