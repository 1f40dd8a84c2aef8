"""What the private sessions of the Wayland scenarios share: a temporary directory with the
clients' runtime directory, clients that run as nobody under root (the compositors refuse root,
and the sockets stay private to that user), an own session bus where one is needed, and a close
that stops every process the session started, even when a test fails."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

NOBODY = 65534
BUS_CONFIG = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "x11",
                          "session-bus.conf")


class SessionUnavailable(Exception):
    pass


def wait_for(predicate, what, timeout=10.0):
    """predicate()'s first true value, asked every 50 ms until the timeout."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def start_for(test, session):
    """Starts the session for a unittest case and stops it at the case's cleanup; skips the case
    where the session cannot run here."""
    try:
        session.__enter__()
    except SessionUnavailable as reason:
        test.skipTest("no private session could start: {}".format(reason))
    test.addCleanup(session.close)
    return session


class PrivateSession:
    unavailable = SessionUnavailable  # what a session of this kind raises when it cannot start

    def __init__(self):
        self.base = None
        self.env = None
        self.clients = []
        self.daemons = []  # the compositor and the bus, stopped after the clients
        self.compositor = None
        self.as_root = os.getuid() == 0

    def _as_client(self, argv):
        if not self.as_root:
            return list(argv)
        return ["setpriv", "--reuid={}".format(NOBODY), "--regid={}".format(NOBODY),
                "--clear-groups"] + list(argv)

    def _make_base(self, prefix, tools):
        """The session's directory and the environment of its runtime directory."""
        for tool in tools + ["setpriv"]:
            if shutil.which(tool) is None:
                raise self.unavailable(tool + " is not installed")
        self.base = tempfile.mkdtemp(prefix=prefix)
        os.chmod(self.base, 0o755)
        runtime = os.path.join(self.base, "runtime")
        os.mkdir(runtime, 0o700)
        if self.as_root:
            os.chown(runtime, NOBODY, NOBODY)
        return {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": runtime,
                "XDG_RUNTIME_DIR": runtime, "LANG": "C.UTF-8"}

    def _daemon(self, argv, env, **kwargs):
        process = subprocess.Popen(self._as_client(argv), env=env, start_new_session=True,
                                   **kwargs)
        self.daemons.append(process)
        return process

    def _write_file(self, name, text):
        path = os.path.join(self.base, name)
        with open(path, "w") as out:
            out.write(text)
        os.chmod(path, 0o644)
        return path

    def _start_bus(self):
        """A session bus of the session's own (the X11 tests' configuration, which activates
        nothing installed), whose address every later client gets."""
        with open(BUS_CONFIG) as source:  # copied: readable by nobody, wherever the tree lies
            config = self._write_file("session-bus.conf", source.read())
        socket = os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")
        bus = self._daemon(["dbus-daemon", "--config-file=" + config, "--nofork",
                            "--address=unix:path=" + socket, "--print-address=1"], self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        address = bus.stdout.readline().strip()
        bus.stdout.close()
        if not address:
            raise self.unavailable("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def spawn(self, argv, env=None, **kwargs):
        """Starts a client of the session; it is stopped with the session."""
        process = subprocess.Popen(self._as_client(argv), env=env or self.env,
                                   start_new_session=True, **kwargs)
        self.clients.append(process)
        return process

    def run(self, argv, env=None, timeout=20):
        return subprocess.run(self._as_client(argv), env=env or self.env, timeout=timeout,
                              capture_output=True, check=False)

    def bus_name_owned(self, name):
        """Whether someone owns the bus name on the session's own bus."""
        result = self.run(["dbus-send", "--session", "--print-reply",
                           "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus.NameHasOwner", "string:" + name], timeout=5)
        return result.returncode == 0 and b"boolean true" in result.stdout

    def kill_compositor(self):
        os.killpg(self.compositor.pid, signal.SIGKILL)
        self.compositor.wait()

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        for process in self.clients:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            for pipe in (process.stdin, process.stdout, process.stderr):
                if pipe is not None:
                    pipe.close()
        self.clients.clear()
        for process in reversed(self.daemons):
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
        self.daemons.clear()
        self.compositor = None
        if self.base is not None:
            shutil.rmtree(self.base, ignore_errors=True)
            self.base = None


def parse_ppm(data):
    """A binary PPM (P6, 8 bits) as (width, height, pixel function giving (r, g, b))."""
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise AssertionError("not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:]

    def pixel(x, y):
        offset = (y * width + x) * 3
        return tuple(pixels[offset:offset + 3])

    return width, height, pixel
