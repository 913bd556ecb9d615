#!/usr/bin/env python3
"""The Debian package on this system, as root: its control fields and files,
then installed with apt, used from its installed paths (the manual pages,
the wallpaper command, XScreenSaver running the hack and its settings
program previewing it, the saver for xsecurelock, as a plain user on an X
server of our own), and
removed again, leaving nothing behind. The user service of the animated
wallpaper is checked by systemd-analyze.

It changes the system (installs and removes the package prismora), so it is
not a CTest test: scripts/test-package.sh runs it, under a lock, and only
when the package is not installed already.

  package_test.py --deb FILE --version VERSION --out DIR --parent X11_PARENT
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_setup import PlainUserHome, check, failures, run  # noqa: E402
from linux_e2e import Failure, XServer, changed_fraction, lit_fraction, stop, wait_until  # noqa: E402

USER = "prismora-pkg"  # XScreenSaver refuses to run hacks as root
APT = ["apt-get", "-o", "DPkg::Lock::Timeout=600", "-y", "-q", "--no-install-recommends"]
FILES = [
    "/usr/bin/prismora",
    "/usr/bin/prismora-wallpaper",
    "/usr/libexec/xscreensaver/prismora",
    "/usr/libexec/prismora/saver_prismora",
    "/usr/share/xscreensaver/config/prismora.xml",
    "/usr/share/man/man6/prismora.6.gz",
    "/usr/share/man/man1/prismora-wallpaper.1.gz",
    "/usr/share/applications/prismora.desktop",
    "/usr/share/icons/hicolor/16x16/apps/prismora.png",
    "/usr/share/icons/hicolor/32x32/apps/prismora.png",
    "/usr/share/icons/hicolor/48x48/apps/prismora.png",
    "/usr/share/doc/prismora/changelog.gz",
    "/usr/share/doc/prismora/copyright",
]
UNIT = "/usr/lib/systemd/user/prismora-background.service"
FILES.append(UNIT)

# ---- the package file ----

def check_control(deb, version):
    fields = {}
    for line in run("dpkg-deb", "-f", deb).stdout.splitlines():
        if ":" in line and not line.startswith(" "):
            key, value = line.split(":", 1)
            fields[key] = value.strip()
    check(fields.get("Package") == "prismora" and fields.get("Version") == version,
          "package prismora, version %s (%s)" % (version, fields.get("Version")))
    depends = fields.get("Depends", "")
    # Computed from the binaries by dpkg-shlibdeps: the libraries they link.
    for lib in ("libc6", "libstdc++6", "libfltk1.3", "libx11-6", "libglu1-mesa"):
        check(lib in depends, "Depends names " + lib)
    recommends = [r.strip() for r in fields.get("Recommends", "").split(",")]
    check(recommends == ["xscreensaver", "fonts-liberation2"], "Recommends xscreensaver and fonts-liberation2")
    check(fields.get("Section") == "x11" and fields.get("Maintainer"), "section and maintainer")
    listed = run("dpkg-deb", "-c", deb).stdout
    for f in FILES:
        check(" ." + f in listed, "the package holds " + f)
    check("./usr/libexec/xscreensaver/prismora -> ../../bin/prismora" in listed, "the hack is a link to the program")


# ---- installed ----

def check_installed(version):
    for f in FILES:
        check(os.path.isfile(f), f + " is installed")
    check(os.path.realpath("/usr/libexec/xscreensaver/prismora") == "/usr/bin/prismora", "the hack is /usr/bin/prismora")
    r = run("man", "-w", "prismora")
    check(r.stdout.strip() == "/usr/share/man/man6/prismora.6.gz", "man finds prismora(6): " + r.stdout.strip())
    for page in ("prismora", "prismora-wallpaper"):
        r = run("man", "--warnings", page, env=dict(os.environ, MANWIDTH="80"))
        check(r.returncode == 0 and r.stderr == "", "man %s renders without a warning%s" % (page, r.stderr))
    r = run("desktop-file-validate", "/usr/share/applications/prismora.desktop")
    check(r.returncode == 0 and not r.stdout.strip(), "the installed desktop entry validates" + r.stdout)
    work = tempfile.mkdtemp(prefix="prismora-pkg-")
    try:
        r = run("prismora-wallpaper", "--seed", "1", "--size", "16x9", "--output", os.path.join(work, "w.png"))
        check(r.returncode == 0 and os.path.getsize(os.path.join(work, "w.png")) > 0,
              "the installed prismora-wallpaper writes a picture" + r.stderr)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def check_user_service():
    """The user unit: what it starts and with which session, and systemd's
    own check of it as a user unit (the program, the manual page it names)."""
    fields = {}
    for line in open(UNIT).read().splitlines():
        if "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            fields.setdefault(key, []).append(value)
    check(fields.get("ExecStart") == ["/usr/bin/prismora --layer background"], "the unit runs the wallpaper %s"
          % fields.get("ExecStart"))
    for key in ("PartOf", "After", "WantedBy"):
        check(fields.get(key) == ["graphical-session.target"], "the unit's %s is graphical-session.target" % key)
    check(fields.get("Restart") == ["on-failure"], "the unit restarts on a failure")
    runtime = tempfile.mkdtemp(prefix="prismora-pkg-runtime-")  # what --user needs of a session
    try:
        r = run("systemd-analyze", "--user", "verify", UNIT, env=dict(os.environ, XDG_RUNTIME_DIR=runtime))
        check(r.returncode == 0 and not (r.stdout + r.stderr).strip(),
              "systemd-analyze --user verify passes the unit" + r.stdout + r.stderr)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)


# ---- XScreenSaver, as a plain user ----

class UserSession(PlainUserHome):
    """Programs run as USER with a home of their own on the given display,
    seeing only the session's environment (env -i), not the test's."""

    def __init__(self, display, out):
        super().__init__("prismora-pkg-home-", {"DISPLAY": display, "PATH": "/usr/local/bin:/usr/bin:/bin",
                                               "LANG": "C.UTF-8"}, user=USER, always_as_user=True)
        self.uid, self.gid = self.user.pw_uid, self.user.pw_gid
        self.give_home()
        self.display = display
        self.out = out

    def argv(self, *argv):
        return self.as_user(["env", "-i"] + ["%s=%s" % kv for kv in self.env.items()] + list(argv))

    def start(self, name, *argv):
        with open(os.path.join(self.home, name + ".log"), "w") as log:
            p = subprocess.Popen(self.argv(*argv), stdout=log, stderr=subprocess.STDOUT)
        self.processes.append(p)
        return p

    def call(self, *argv):
        return subprocess.run(self.argv(*argv), capture_output=True, text=True, timeout=60)

    def log(self, name):
        return self.file(name + ".log")

    def pixels(self, crop=None):
        argv = ["import", "-display", self.display, "-window", "root"]
        if crop:
            argv += ["-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1])]
        return subprocess.run(argv + ["-depth", "8", "rgb:-"], capture_output=True, timeout=60).stdout

    def shot(self, name):
        path = os.path.join(self.out, "package-%s.png" % name)
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=False)
        print("screenshot:", path)


def hacks_of(uid):
    """Processes of `uid` running the installed program: {pid: argv}."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.stat("/proc/" + pid).st_uid != uid:
                continue
            exe = os.path.realpath("/proc/%s/exe" % pid)
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                argv = f.read().decode(errors="replace").split("\0")[:-1]
        except OSError:
            continue
        if exe == "/usr/bin/prismora":
            found[int(pid)] = argv
    return found


def top_level_windows_of(s, pids):
    """Windows directly under the root that name one of `pids` as their owner
    (_NET_WM_PID): a hack must draw into the window it is given instead.
    XScreenSaver's own windows are left out: it names its hack there."""
    tree = subprocess.run(["xwininfo", "-display", s.display, "-root", "-children"],
                          capture_output=True, text=True, timeout=60).stdout
    owned = []
    for line in tree.splitlines():
        wid = line.strip().split(" ")[0]
        if not wid.startswith("0x"):
            continue
        prop = subprocess.run(["xprop", "-display", s.display, "-id", wid, "_NET_WM_PID", "WM_CLASS"],
                              capture_output=True, text=True, timeout=60).stdout
        fields = dict(l.split(" = ", 1) for l in prop.splitlines() if " = " in l)
        pid = fields.get("_NET_WM_PID(CARDINAL)")
        if pid and int(pid) in pids and "XScreenSaver" not in fields.get("WM_CLASS(STRING)", ""):
            owned.append(wid)
    return owned


def window_area(s, wid):
    """(x, y, width, height) of a window on the screen."""
    info = subprocess.run(["xwininfo", "-display", s.display, "-id", wid],
                          capture_output=True, text=True, timeout=60).stdout
    fields = dict(l.strip().split(":", 1) for l in info.splitlines() if ":" in l)
    return tuple(int(fields[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


XSCREENSAVER_PREFS = """\
mode:\t\tone
selected:\t0
lock:\t\tFalse
splash:\t\tFalse
fade:\t\tFalse
unfade:\t\tFalse
timeout:\t0:30:00
programs:\tGL: prismora --root \\n\\

"""


def pattern_moves(s, crop=None):
    first = s.pixels(crop)
    if lit_fraction(first) < 0.9:
        return False
    time.sleep(0.3)
    return changed_fraction(first, s.pixels(crop)) > 0.05


def check_xscreensaver(s):
    s.write(".xscreensaver", XSCREENSAVER_PREFS)
    daemon = s.start("xscreensaver", "xscreensaver", "--no-splash", "--verbose")
    wait_until(lambda: s.call("xscreensaver-command", "-version").returncode == 0, "the XScreenSaver daemon", 30)
    s.call("xscreensaver-command", "-activate")
    try:
        hacks = wait_until(lambda: hacks_of(s.uid), "XScreenSaver to start the hack", 30)
        argv = next(iter(hacks.values()))
        check(argv[1:] == ["--root"], "XScreenSaver runs the installed program as a hack: %s" % argv)
        wait_until(lambda: pattern_moves(s), "the pattern on the screen", 30)
        check(True, "the hack draws a moving pattern")
        owned = top_level_windows_of(s, hacks)
        check(not owned, "the hack draws into XScreenSaver's window, not one of its own %s" % owned)
        s.shot("xscreensaver")
        s.call("xscreensaver-command", "-deactivate")
        wait_until(lambda: not any(os.path.exists("/proc/%d" % pid) for pid in hacks), "the hack to end", 30)
        check(True, "the hack ends when XScreenSaver stops it")
    except Failure as e:
        check(False, "XScreenSaver: %s\n%s" % (e, s.log("xscreensaver")[-3000:]))
    finally:
        s.call("xscreensaver-command", "-exit")
        try:
            daemon.wait(20)
        except subprocess.TimeoutExpired:
            stop(daemon)


def check_settings_program(s):
    """XScreenSaver's settings program reads the description and previews the hack in its pane."""
    s.write(".xscreensaver", XSCREENSAVER_PREFS)
    settings = s.start("settings", "xscreensaver-settings", "--debug")
    try:
        preview = wait_until(lambda: {p: a for p, a in hacks_of(s.uid).items() if "--window-id" in a},
                             "the preview in the settings program", 40)
        argv = next(iter(preview.values()))
        check(argv[1] == "--root", "the preview runs the hack's command: %s" % argv)
        pane = window_area(s, argv[argv.index("--window-id") + 1])
        wait_until(lambda: pattern_moves(s, pane), "the pattern in the preview pane", 30)
        check(True, "the pattern moves in the preview pane %s" % (pane,))
        check(not top_level_windows_of(s, preview), "the preview draws into the pane, not a window of its own")
        wait_until(lambda: "prismora.xml" in s.log("settings"), "the settings program to read prismora.xml", 20)
        log = s.log("settings")
        check("/usr/share/xscreensaver/config/prismora.xml does not exist" not in log,
              "the settings program finds prismora.xml")
        time.sleep(2)
        s.shot("settings")
    except Failure as e:
        check(False, "settings program: %s\n%s" % (e, s.log("settings")[-3000:]))
    finally:
        stop(settings)


def check_xsecurelock_saver(s, parent_exe):
    """The saver for xsecurelock, run as xsecurelock runs it: no arguments, the
    window in XSCREENSAVER_WINDOW, ended with SIGTERM."""
    parent = subprocess.Popen([parent_exe, "320", "240"], env={"DISPLAY": s.display},
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    saver = None
    try:
        window = parent.stdout.readline().strip()
        s.env["XSCREENSAVER_WINDOW"] = window
        saver = s.start("saver_prismora", "/usr/libexec/prismora/saver_prismora")
        area = window_area(s, window)
        wait_until(lambda: pattern_moves(s, area), "the pattern in xsecurelock's window", 30)
        check(True, "saver_prismora draws in the window named by XSCREENSAVER_WINDOW")
        check(not top_level_windows_of(s, {saver.pid}), "saver_prismora opens no window of its own")
        saver.terminate()
        saver.wait(20)
        check(saver.returncode == 0, "saver_prismora ends with status 0 on SIGTERM (%d)" % saver.returncode)
    except (Failure, subprocess.TimeoutExpired) as e:
        check(False, "saver_prismora: %s\n%s" % (e, s.log("saver_prismora")[-2000:]))
    finally:
        del s.env["XSCREENSAVER_WINDOW"]
        if saver:
            stop(saver)
        parent.stdin.close()
        stop(parent)


# ---- removed ----

def check_removed(files):
    r = run(*APT, "remove", "prismora")
    check(r.returncode == 0, "apt-get remove prismora" + ("" if r.returncode == 0 else r.stderr[-500:]))
    left = [f for f in files if os.path.lexists(f) and not os.path.isdir(f)]
    check(not left, "removal leaves no file behind %s" % left)
    run(*APT, "purge", "prismora")
    r = run("dpkg-query", "-W", "-f=${Status}", "prismora")
    check("ok installed" not in r.stdout and "config-files" not in r.stdout,
          "dpkg no longer knows it: " + (r.stdout or r.stderr.strip()))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--deb", required=True)
    p.add_argument("--version", required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--parent", required=True, help="the e2e tests' x11_parent program")
    a = p.parse_args()
    os.makedirs(a.out, exist_ok=True)
    deb = os.path.abspath(a.deb)

    check_control(deb, a.version)
    r = run(*APT, "install", deb)
    check(r.returncode == 0, "apt-get install " + os.path.basename(deb) + ("" if r.returncode == 0 else r.stderr[-1000:]))
    if r.returncode != 0:
        sys.exit("%d check(s) failed" % len(failures))
    listed = run("dpkg-query", "-L", "prismora").stdout.split()
    try:
        check_installed(a.version)
        check_user_service()
        with XServer() as x:
            s = UserSession(x.display, a.out)
            try:
                check_xscreensaver(s)
                check_settings_program(s)
                check_xsecurelock_saver(s, os.path.abspath(a.parent))
            finally:
                s.close()
    finally:
        check_removed(listed)
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("all package checks passed")


if __name__ == "__main__":
    main()
