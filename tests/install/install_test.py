#!/usr/bin/env python3
"""Installs the build into a temporary prefix and checks every installed file
as the systems that read them would: the desktop entry with
desktop-file-validate, the manual pages with man --warnings, the hack's
settings description parsed and compared with what the program accepts, the
icons' sizes, the hack's link, and --help / --version of both programs without
a display.

usage: install_test.py --cmake CMAKE --build BUILD_DIR --version VERSION [layout|programs]
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

FILES = [
    "bin/prismora",
    "bin/prismora-wallpaper",
    "libexec/xscreensaver/prismora",
    "libexec/prismora/saver_prismora",
    "share/xscreensaver/config/prismora.xml",
    "share/man/man6/prismora.6",
    "share/man/man1/prismora-wallpaper.1",
    "share/applications/prismora.desktop",
    "share/icons/hicolor/16x16/apps/prismora.png",
    "share/icons/hicolor/32x32/apps/prismora.png",
    "share/icons/hicolor/48x48/apps/prismora.png",
    "share/doc/prismora/copyright",
]

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=60, **kw)


def install(cmake, build, prefix):
    r = run([cmake, "--install", build, "--prefix", prefix])
    if r.returncode != 0:
        sys.exit("cmake --install failed:\n" + r.stdout + r.stderr)


def check_files(prefix):
    for f in FILES:
        check(os.path.isfile(os.path.join(prefix, f)), f + " is installed")
    for f in ("bin/prismora", "bin/prismora-wallpaper", "libexec/prismora/saver_prismora"):
        check(os.access(os.path.join(prefix, f), os.X_OK), f + " is executable")
    hack = os.path.join(prefix, "libexec/xscreensaver/prismora")
    check(os.path.islink(hack) and not os.path.isabs(os.readlink(hack)), "the hack is a relative link")
    check(os.path.realpath(hack) == os.path.realpath(os.path.join(prefix, "bin/prismora")),
          "the hack is bin/prismora")


def check_desktop_entry(prefix):
    path = os.path.join(prefix, "share/applications/prismora.desktop")
    r = run(["desktop-file-validate", path])
    check(r.returncode == 0 and not r.stdout.strip(), "desktop-file-validate: " + r.stdout + r.stderr)
    entry = dict(line.split("=", 1) for line in open(path).read().splitlines() if "=" in line)
    check(entry.get("Exec") == "prismora /c", "the desktop entry opens the settings window")
    check(entry.get("Icon") == "prismora", "the desktop entry names the installed icon")


def check_manual_pages(prefix, version):
    for page in ("share/man/man6/prismora.6", "share/man/man1/prismora-wallpaper.1"):
        path = os.path.join(prefix, page)
        r = run(["man", "--warnings", "-l", path], env=dict(os.environ, MANWIDTH="80"))
        check(r.returncode == 0 and r.stderr == "", page + " renders without a warning:\n" + r.stderr)
        text = r.stdout
        for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "SEE ALSO"):
            check(section in text, page + " has " + section)
        check("Prismora " + version in text, page + " carries the project version")
    text = run(["man", "-l", os.path.join(prefix, FILES[5])], env=dict(os.environ, MANWIDTH="200")).stdout
    for word in ("XSCREENSAVER_WINDOW", "XDG_CONFIG_HOME", "ENVIRONMENT", "FILES", "--window-id", "--no-random",
                 "--layer", "--output", "WAYLAND_DISPLAY", "swayidle"):
        check(word in text, "prismora.6 describes " + word)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", path + " is a PNG file")
    return struct.unpack(">II", head[16:24])


def check_icons(prefix):
    for side in (16, 32, 48):
        path = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/prismora.png" % (side, side))
        check(png_size(path) == (side, side), path + " is %d x %d" % (side, side))


def settings_description(prefix):
    """The options the settings description offers: {id: element}."""
    root = ET.parse(os.path.join(prefix, "share/xscreensaver/config/prismora.xml")).getroot()
    check(root.tag == "screensaver", "the root element is screensaver")
    check(root.get("name") == "prismora" and root.get("_label") == "Prismora" and root.get("gl") == "yes",
          "screensaver name, label and gl")
    check([c.get("arg") for c in root.iter("command")] == ["--root"], "the command is --root")
    description = root.find("_description")
    check(description is not None and len(description.text.split()) > 10, "a description")
    return {e.get("id"): e for e in root if e.get("id")}


def check_settings_description(prefix):
    opts = settings_description(prefix)
    speed, algorithm, random = opts.get("speed"), opts.get("algorithm"), opts.get("random")
    check(speed is not None and speed.tag == "number" and speed.get("type") == "slider", "a speed slider")
    if speed is not None:
        check((speed.get("arg"), speed.get("low"), speed.get("high"), speed.get("default")) ==
              ("--speed %", "0", "50", "25"), "speed 0 to 50, default 25, on --speed %")
    check(algorithm is not None and algorithm.tag == "number", "an algorithm control")
    if algorithm is not None:
        check((algorithm.get("arg"), algorithm.get("low"), algorithm.get("high")) == ("--algorithm %", "1", "12"),
              "algorithm 1 to 12 on --algorithm %")
    # A box that is on by default inserts nothing when ticked: only arg-unset.
    check(random is not None and random.tag == "boolean" and random.get("arg-unset") == "--no-random"
          and random.get("arg-set") is None, "a random check box, on by default, --no-random")
    # The view: its first choice adds nothing (the stored setting holds), the
    # others name the view on the command line.
    view = opts.get("view")
    options = [] if view is None else [o.get("arg-set") for o in view.iter("option")]
    check(options == [None, "--pixels", "--mesh"], "a view choice: the stored one, --pixels, --mesh")


def switches_offered(prefix):
    root = ET.parse(os.path.join(prefix, "share/xscreensaver/config/prismora.xml")).getroot()
    words = []
    for e in root.iter():
        for attr in ("arg", "arg-set", "arg-unset"):
            if e.get(attr):
                words.append(e.get(attr).split()[0])
    return words


def check_programs(prefix, version):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XSCREENSAVER_WINDOW")}
    env["HOME"] = tempfile.mkdtemp(prefix="prismora-install-home-")
    try:
        for program in ("bin/prismora", "libexec/xscreensaver/prismora", "bin/prismora-wallpaper"):
            exe = os.path.join(prefix, program)
            # No display: a program that tried to open a window would fail here.
            for option in ("--help", "--version"):
                r = run([exe, option], env=env)
                check(r.returncode == 0, "%s %s exits 0 (got %d: %s)" % (program, option, r.returncode, r.stderr))
                check(r.stdout.strip() != "", "%s %s prints on stdout" % (program, option))
                if option == "--version":
                    check(version in r.stdout, "%s --version says %s: %r" % (program, version, r.stdout))
                else:
                    help_text = r.stdout
            if program.endswith("/prismora"):
                for switch in switches_offered(prefix):
                    check(switch in help_text, "%s --help lists %s, which the settings description uses"
                          % (program, switch))
        check(os.listdir(env["HOME"]) == [], "--help and --version write no settings")
    finally:
        shutil.rmtree(env["HOME"], ignore_errors=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--cmake", required=True)
    p.add_argument("--build", required=True)
    p.add_argument("--version", required=True)
    p.add_argument("what", choices=["layout", "programs"])
    a = p.parse_args()
    prefix = tempfile.mkdtemp(prefix="prismora-install-")
    try:
        install(a.cmake, a.build, prefix)
        if a.what == "layout":
            check_files(prefix)
            check_desktop_entry(prefix)
            check_manual_pages(prefix, a.version)
            check_icons(prefix)
            check_settings_description(prefix)
        else:
            check_programs(prefix, a.version)
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("all checks passed")


if __name__ == "__main__":
    main()
