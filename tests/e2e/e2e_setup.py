"""What the end-to-end drivers share for their set-up: the plain user that
runs what refuses root (Sway, XScreenSaver and its hacks, the installed
package's programs), a home of its own for it, the programs started as it
and stopped by pid, and the pass/fail checks of the package tests.
"""
import os
import pwd
import shutil
import subprocess
import tempfile
import time

USER = "prismora-e2e"
DEADLINE = 20.0  # seconds for anything to happen on a loaded machine


class Failure(Exception):
    pass


def run_reported(session, test, output, tail=1500):
    """Runs test(); a Failure prints FAIL and the last `tail` characters of
    what output() returns (the program's output). The session is closed
    either way. The driver's exit status: 0 passed, 1 failed."""
    try:
        test()
    except Failure as e:
        print("FAIL:", e)
        print("prismora's output:\n" + output()[-tail:])
        return 1
    finally:
        session.close()
    print("PASS")
    return 0


def ensure_user(name=USER):
    """The plain user, created when missing. Two test runs may try at once:
    whoever loses the race finds the user there."""
    def exists():
        try:
            return pwd.getpwnam(name)
        except KeyError:
            return None
    end = time.monotonic() + DEADLINE
    while not exists() and time.monotonic() < end:
        subprocess.run(["useradd", "--no-create-home", "--home-dir", "/nonexistent",
                        "--shell", "/usr/sbin/nologin", name], capture_output=True)
        if not exists():
            time.sleep(0.2)  # /etc/passwd locked by the other run
    entry = exists()
    if not entry:
        raise Failure("could not create the user " + name)
    return entry


class PlainUserHome:
    """A home of its own and an environment for the programs a test runs as
    the plain user (when the test runs as root; as the tester otherwise),
    with the programs started, stopped by pid at close."""

    def __init__(self, prefix, env, user=USER, always_as_user=False):
        self.root = os.geteuid() == 0
        self.as_plain_user = self.root or always_as_user
        self.user = ensure_user(user) if self.as_plain_user else None
        self.home = tempfile.mkdtemp(prefix=prefix)
        os.chmod(self.home, 0o755)
        self.processes = []
        self.env = {"HOME": self.home, "PATH": "/usr/bin:/bin:/usr/sbin:/sbin",
                    "XDG_CONFIG_HOME": os.path.join(self.home, ".config")}
        self.env.update(env)
        for passed in ("LSAN_OPTIONS", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LANG"):
            if passed in os.environ and passed not in self.env:
                self.env[passed] = os.environ[passed]

    def as_user(self, argv):
        if not self.as_plain_user:
            return list(argv)
        return ["setpriv", "--reuid=%d" % self.user.pw_uid, "--regid=%d" % self.user.pw_gid,
                "--init-groups"] + list(argv)

    def runnable(self, program):
        """The program as the user can run it: where it is, or a copy in the
        home when the build folder is closed to other users."""
        if not self.as_plain_user or \
                subprocess.run(self.as_user(["test", "-x", program]), env=self.env).returncode == 0:
            return program
        copy = os.path.join(self.home, "bin", os.path.basename(program))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copy2(program, copy)
        os.chmod(copy, 0o755)
        print("the user cannot run %s: using a copy" % program)
        return copy

    def give_home(self):
        if self.as_plain_user:
            for folder, dirs, files in os.walk(self.home):
                for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
                    os.chown(name, self.user.pw_uid, self.user.pw_gid)

    def write(self, name, text):
        with open(os.path.join(self.home, name), "w") as f:
            f.write(text)
        self.give_home()

    def run_as_user(self, argv, output, stdin=None):
        """A program as the user; what it prints goes to the file `output` in
        the home (a pipe nobody reads would fill and stall it)."""
        with open(os.path.join(self.home, output), "w") as out:
            p = subprocess.Popen(self.as_user(argv), env=self.env, stdin=stdin, stdout=out,
                                 stderr=subprocess.STDOUT)
        self.processes.append(p)
        return p

    def file(self, name):
        try:
            with open(os.path.join(self.home, name)) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def close(self):
        for p in reversed(self.processes):
            stop(p)
        shutil.rmtree(self.home, ignore_errors=True)


def stop(process):
    """SIGTERM, then SIGKILL after 5 s, by the process's own pid."""
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


# ---- the package tests' checks ----

failures = []


def check(ok, what):
    print(("PASS: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)


def run(*argv, **kw):
    return subprocess.run(list(argv), capture_output=True, text=True, timeout=kw.pop("timeout", 600), **kw)
