"""What every private session shares: a directory of its own, an environment built from an
allow-list (never a copy of the caller's) with HOME and the XDG directories in it, a session bus
of its own, and the processes it started, stopped again at close even when a test fails. A
display, a bus, Qt's scale, theme or input method of the developer's session stays out, and so
do the settings under the developer's HOME.

Under root, a session whose compositor refuses root runs it and its clients as nobody; the
directories then belong to nobody. A session class implements start(); one that cannot run on
this machine raises SessionUnavailable, which start_for turns into a skip."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

NOBODY = 65534
BUS_CONFIG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "session-bus.conf")
_PRIVATE_DIRS = (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                 ("XDG_CACHE_HOME", "cache"), ("XDG_STATE_HOME", "state"),
                 ("XDG_RUNTIME_DIR", "runtime"))


class SessionUnavailable(Exception):
    pass


class TimedOut(AssertionError):
    pass


def wait_for(predicate, what, timeout=10.0, interval=0.05):
    """predicate()'s first true value, asked every interval until the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimedOut("timed out waiting for " + what)
        time.sleep(interval)


def tool_environment():
    """For a program that needs no desktop (an image converter, an installer): the search path
    and a language."""
    return {"PATH": os.environ.get("PATH") or "/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8"}


def stop(process, grace=3.0):
    """SIGTERM to the process's group, SIGKILL once the grace is over; its pipes closed."""
    if process.poll() is None:
        try:
            os.killpg(process.pid, signal.SIGTERM)
            process.wait(grace)
        except ProcessLookupError:
            pass
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
        process.wait()
    for pipe in (process.stdin, process.stdout, process.stderr):
        if pipe is not None:
            try:
                pipe.close()
            except OSError:
                pass


def no_bus(env):
    """An address where no bus listens: without any, libdbus would try to start a bus of its
    own through X11 autolaunch."""
    return "unix:path=" + os.path.join(env["XDG_RUNTIME_DIR"], "no-bus")


def start_for(test, session):
    """Starts the session for a unittest case and closes it at the case's cleanup; skips the
    case where the session cannot run here."""
    try:
        session.__enter__()
    except SessionUnavailable as reason:
        test.skipTest("no private session could start: {}".format(reason))
    test.addCleanup(session.close)
    return session


class Session:
    """Use as a context manager. `tools` must be installed for the session to start; with
    `bus` the session gets a bus of its own, without it an address where none listens."""

    prefix = "quillmere-session-"
    tools = ()
    temp_parent = None  # where the session's directory goes: tempfile's choice by default

    def __init__(self, bus=True, as_nobody=False):
        self.bus = bus
        self.as_nobody = as_nobody and os.getuid() == 0
        self.clients_as_caller = False
        self.base = None
        self.env = None
        self.compositor = None
        self.processes = []
        self.pointer_tool = ""
        self.with_pointer = False

    def __enter__(self):
        try:
            missing = [t for t in self.tools + ("setpriv",) * self.as_nobody
                       if shutil.which(t) is None]
            if missing:
                raise SessionUnavailable(missing[0] + " is not installed")
            self.base = tempfile.mkdtemp(prefix=self.prefix, dir=self.temp_parent)
            os.chmod(self.base, 0o755)
            self.env = self.private_environment("session")
            if self.bus:
                self.start_bus(self.env)
            else:
                self.env["DBUS_SESSION_BUS_ADDRESS"] = no_bus(self.env)
            self.start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def start(self):
        """What the session runs besides its bus; a plain Session has only its environment."""

    def close(self):
        """Stops every process the session started, the last started first."""
        for process in reversed(self.processes):
            stop(process)
        self.processes.clear()
        self.compositor = None
        if self.base is not None:
            shutil.rmtree(self.base, ignore_errors=True)
            self.base = None

    def private_environment(self, name):
        """The allow-list with HOME and the XDG directories made under the session's directory,
        each private to the user its programs run as."""
        env = tool_environment()
        for variable, folder in _PRIVATE_DIRS:
            path = os.path.join(self.base, name, folder)
            os.makedirs(path, mode=0o700, exist_ok=True)
            os.chmod(path, 0o700)
            if self.as_nobody and not self.clients_as_caller:
                os.chown(path, NOBODY, NOBODY)
            env[variable] = path
        return env

    def write_file(self, name, text):
        """A file in the session's directory that every program of the session can read."""
        path = os.path.join(self.base, name)
        with open(path, "w") as out:
            out.write(text)
        os.chmod(path, 0o644)
        return path

    def start_bus(self, env):
        """A session bus with the tests' own configuration, which activates nothing installed,
        listening in env's runtime directory; its address goes into env."""
        with open(BUS_CONFIG) as source:  # copied: readable by nobody, wherever the tree lies
            config = self.write_file("session-bus.conf", source.read())
        socket = os.path.join(env["XDG_RUNTIME_DIR"], "bus")
        bus = self.spawn(["dbus-daemon", "--config-file=" + config, "--nofork",
                          "--address=unix:path=" + socket, "--print-address=1"],
                         env=env, stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        bus.stdout.close()
        if not address:
            raise SessionUnavailable("the session bus did not start")
        env["DBUS_SESSION_BUS_ADDRESS"] = address

    def command(self, argv):
        """argv as the session's programs run it: under root as nobody where they must."""
        if not self.as_nobody or self.clients_as_caller:
            return list(argv)
        return ["setpriv", "--reuid={}".format(NOBODY), "--regid={}".format(NOBODY),
                "--clear-groups"] + list(argv)

    def spawn(self, argv, env=None, **kwargs):
        """Starts a program of the session; it is stopped with the session. Its output goes
        nowhere unless the caller asks for it."""
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(self.command(argv), env=env or self.env,
                                   start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def run(self, argv, env=None, timeout=20, check=False, text=True):
        """Runs a program of the session to its end."""
        result = subprocess.run(self.command(argv), env=env or self.env, timeout=timeout,
                                capture_output=True, text=text)
        if check and result.returncode != 0:
            raise AssertionError("{} failed: {}".format(argv, result.stderr))
        return result

    def output_of(self, *argv, check=False):
        return self.run(argv, check=check).stdout

    def dbus(self, destination, path, method, *args, timeout=10):
        """dbus-send on the session's bus: its printed reply. `method` is interface.Member,
        `args` in dbus-send's notation (string:..., int32:...)."""
        result = self.run(["dbus-send", "--session", "--print-reply", "--reply-timeout=" +
                           str(int(timeout * 1000)), "--dest=" + destination, path, method] +
                          list(args), timeout=timeout + 5)
        if result.returncode != 0:
            raise AssertionError("dbus-send {} {} failed: {}".format(
                destination, method, result.stderr.strip()))
        return result.stdout

    def bus_name_owned(self, name):
        """Whether someone owns the bus name on the session's own bus."""
        return "boolean true" in self.dbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus.NameHasOwner", "string:" + name)

    def hold_pointer(self, *args):
        """A pointer device of the pointer tool's that lives as long as the session, made before
        any client starts: the seat has a pointer (and on KWin a keyboard) only while some device
        exists. Were each click to bring its own, clients would bind theirs only after the seat
        announced them, racing the click, which would then go to nobody."""
        if not self.pointer_tool:
            raise SessionUnavailable("the pointer tool is not built")
        holder = self.spawn([self.pointer_tool] + list(args) + ["hold"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if holder.stdout.readline() != b"holding\n":
            raise SessionUnavailable("no pointer device could be made: " +
                                     holder.stderr.read().decode(errors="replace").strip())

    def pointer(self, *steps, env=None):
        """Runs the pointer tool's steps (move X Y, click, drag X1 Y1 X2 Y2 N, and what the
        tool adds); each has been handled by the compositor when this returns. Needs a session
        made with a pointer."""
        if not self.with_pointer:
            raise AssertionError("the session was made without a pointer")
        argv = [self.pointer_tool] + [str(part) for part in self.pointer_box(env) + steps]
        result = self.run(argv, env)
        if result.returncode != 0:
            raise AssertionError("{} failed: {}".format(argv, result.stderr.strip()))

    def pointer_box(self, env=None):
        """What the pointer tool wants before its steps."""
        return ()

    def pointer_click(self, x, y, env=None):
        self.pointer("move", x, y, "click", env=env)

    def pixel(self, output, x, y, env=None):
        """(r, g, b) of the output's screenshot, which the session class takes."""
        return self.screenshot(output, env)[2](x, y)

    def kill_compositor(self):
        os.killpg(self.compositor.pid, signal.SIGKILL)
        self.compositor.wait()


def parse_ppm(data):
    """A binary PPM (P6, 8 bits) with grim's header, one field a line, as (width, height, pixel
    function giving (r, g, b)); negative coordinates count from the right or bottom edge."""
    magic, size, depth, pixels = data.split(b"\n", 3)
    if magic != b"P6" or depth != b"255":
        raise AssertionError("not an 8-bit binary PPM")
    width, height = (int(field) for field in size.split())

    def pixel(x, y):
        offset = (y % height * width + x % width) * 3
        return tuple(pixels[offset:offset + 3])

    return width, height, pixel
