#!/usr/bin/env python3
"""End-to-end tests of the settings store under Xvfb: a registry editor's
UTF-16 export read and written back as UTF-16, savers starting together on a
fresh home, a store lacking a value, and Save Settings on a store too large to
read. Uses the X server, session and screen helpers of linux_e2e.py.

  store_e2e.py --prismora PATH --out DIR TEST
"""
import hashlib
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from linux_e2e import (DEADLINE, HEIGHT, WIDTH, Failure, alive, changed_fraction, expect_exit,  # noqa: E402
                       frames_go_on, lit_fraction, run_driver, stop, wait_until)

BOX = "^Prismora Screensaver$"
KEY = "[HKEY_CURRENT_USER\\Software\\Prismora]"


def store_path(s):
    return os.path.join(s.env["XDG_CONFIG_HOME"], "prismora", "registry.reg")


def write_store(s, data):
    os.makedirs(os.path.dirname(store_path(s)), exist_ok=True)
    with open(store_path(s), "wb") as f:
        f.write(data)


def read_store(s):
    with open(store_path(s), "rb") as f:
        return f.read()


def visible(s, name):
    return s.tool("xdotool", "search", "--onlyvisible", "--name", name).stdout.split()


def no_box_for(s, seconds):
    """True when no message box shows up within the time."""
    try:
        wait_until(lambda: visible(s, BOX), "a message box", timeout=seconds)
    except Failure:
        return True
    return False


def close_box(s):
    s.xdotool("search", "--sync", "--onlyvisible", "--name", BOX)
    s.xdotool("key", "Return")  # the box takes the keyboard itself
    wait_until(lambda: not visible(s, BOX), "the message box to close")


class SettingsWindow:
    """The settings window (/c), clicked at points of its client area."""

    def __init__(self, s, expect_box=False):
        self.s = s
        self.p = s.run(s.args.prismora, "/c")
        if expect_box:
            close_box(s)
        window = s.xdotool("search", "--sync", "--onlyvisible", "--name", "^Settings, Wallpaper Tools$").split()[0]
        geometry = dict(line.split("=") for line in s.xdotool("getwindowgeometry", "--shell", window).split())
        self.x, self.y = int(geometry["X"]), int(geometry["Y"])

    def click(self, x, y):
        self.s.xdotool("mousemove", "--sync", str(self.x + x), str(self.y + y), "click", "1")

    def speed_to_the_end(self):
        self.click(73, 411)  # the speed bar's knob at 25 of 0..50 takes the focus
        self.s.xdotool("key", "--delay", "5", "--repeat", "60", "Right")

    def save_settings(self):
        self.click(74, 462)

    def close(self):
        self.s.xdotool("key", "Escape")
        expect_exit(self.p, 0, "Escape")


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


# ---- the tests ----

def test_utf16_store(s):
    """A registry editor's export (UTF-16LE, CRLF, version 5.00) is read, and
    Save Settings writes it back the same way, every other line unchanged."""
    lines = ["Windows Registry Editor Version 5.00", "", KEY, '"Speed"=dword:00000019', '"Bright"=dword:00000002',
             '"Algoritm"=dword:00000005', '"Rands"=dword:00000000', '"Path_Wall"="%s"' % s.home, "",
             "[HKEY_CURRENT_USER\\Software\\Other]", '"Note"="Gr\u00fc\u00dfe \u65e5\u672c \U0001F308"', ""]
    write_store(s, utf16("\r\n".join(lines)))
    window = SettingsWindow(s)
    if not no_box_for(s, 1.0):
        raise Failure("the UTF-16 store was not read")
    window.speed_to_the_end()
    window.save_settings()
    lines[3] = '"Speed"=dword:00000032'
    # The view and the battery choice, which the export lacked, after the key's last value.
    lines[8:8] = ['"Pixels"=dword:00000000', '"OnBattery"=dword:00000001']
    expected = utf16("\r\n".join(lines))
    wait_until(lambda: read_store(s) == expected, "the store rewritten as UTF-16 with Speed 50", timeout=10)
    window.close()


def test_two_savers_at_once(s):
    """Five rounds of two savers starting together on a fresh home (a
    screen-saver daemon starts one per monitor): no error box, all five values."""
    for round_number in range(5):
        s.env["XDG_CONFIG_HOME"] = os.path.join(s.home, "round%d" % round_number, ".config")
        savers = [s.run(s.args.prismora, "/s") for _ in range(2)]
        try:
            wait_until(lambda: len(visible(s, "^Full$")) == 2 or not all(alive(p) for p in savers), "two savers")
            if not all(alive(p) for p in savers):
                raise Failure("a saver ended at start in round %d" % round_number)
            if not no_box_for(s, 1.0):
                s.save(s.pixels(), (WIDTH, HEIGHT), "round%d" % round_number)
                raise Failure("an error box in round %d" % round_number)
            text = read_store(s).decode()
            for line in ['"Speed"=dword:00000019', '"Bright"=dword:00000003', '"Algoritm"=dword:00000007',
                         '"Rands"=dword:00000001', '"Path_Wall"="%s"' % s.home]:
                if text.count(line) != 1:
                    raise Failure("round %d: the store does not hold %s once:\n%s" % (round_number, line, text))
        finally:
            for p in savers:
                stop(p)
        wait_until(lambda: not visible(s, "^Full$"), "the savers to go")


def test_store_lacking_bright(s):
    """The saver draws its pattern around the error box for a missing value."""
    data = ('REGEDIT4\n\n%s\n"Speed"=dword:0000000a\n"Algoritm"=dword:00000004\n"Rands"=dword:00000000\n' % KEY).encode()
    write_store(s, data)
    p = s.run(s.args.prismora, "/s")
    box = s.xdotool("search", "--sync", "--onlyvisible", "--name", BOX).split()[0]
    geometry = dict(line.split("=") for line in s.xdotool("getwindowgeometry", "--shell", box).split())
    bottom = int(geometry["Y"]) + int(geometry["HEIGHT"])
    below = (0, bottom, WIDTH, HEIGHT - bottom)
    wait_until(lambda: lit_fraction(s.pixels(below)) > 0.95, "a pattern around the box")
    first = s.pixels(below)
    wait_until(lambda: changed_fraction(first, s.pixels(below)) > 0.05, "the pattern moving")
    s.save(s.pixels(), (WIDTH, HEIGHT), "box")
    close_box(s)
    frames_go_on(s, p, 1)
    if read_store(s) != data:
        raise Failure("the store was rewritten")
    s.xdotool("key", "space")
    expect_exit(p, 0, "key")


def test_oversized_store(s):
    """A store too large to read: reported at start, Save Settings reports
    that it saved nothing, and the file is left exactly as it was."""
    data = ("REGEDIT4\n\n%s\n" % KEY).encode() + b";" * (17 << 20)
    write_store(s, data)
    digest = hashlib.sha256(data).hexdigest()
    window = SettingsWindow(s, expect_box=True)
    window.save_settings()
    s.xdotool("search", "--sync", "--onlyvisible", "--name", BOX)
    s.save(s.pixels(), (WIDTH, HEIGHT), "save-error")
    close_box(s)
    if hashlib.sha256(read_store(s)).hexdigest() != digest:
        raise Failure("the oversized store was changed")
    window.close()


TESTS = {name[5:]: fn for name, fn in globals().items() if name.startswith("test_")}


def main():
    return run_driver(TESTS)


if __name__ == "__main__":
    sys.exit(main())
