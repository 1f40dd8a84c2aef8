"""A private KWin (Wayland, virtual outputs) for the KWin scenarios, started here and stopped
again even when a test fails. It never touches a bus or compositor it did not start: KWin and
every client get the session's own session bus, WAYLAND_DISPLAY and XDG_RUNTIME_DIR.

kwin_wayland carries a file capability that a container refuses to execute, so the session
runs a plain copy of it; KWin looks at its own name, so the copy keeps the name kwin_wayland.
Under root everything runs as nobody, like the sway sessions. KWin 5.27 serves the global
shortcuts (org.kde.kglobalaccel) itself, so the bus needs nothing else."""

import os
import shutil
import socket
import struct
import subprocess
import sys
import time

from session_base import (PrivateSession, SessionUnavailable, parse_ppm,  # noqa: F401
                          wait_for)

SCREENSHOT_TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kwin_screenshot.py")
# The Python that has the GObject bindings the screenshot tool needs.
SYSTEM_PYTHON = "/usr/bin/python3"
OUTPUT_WIDTH, OUTPUT_HEIGHT = 1280, 720
OUTPUTS = ("Virtual-0", "Virtual-1")
SKIP = 77
# The fake pointer tool (tests/wayland/kwin_fake_pointer.c), where the build names it.
FAKE_POINTER_TOOL = os.environ.get("QUILLMERE_KWIN_FAKE_POINTER", "")


class KWinUnavailable(SessionUnavailable):
    pass


class KWinSession(PrivateSession):
    unavailable = KWinUnavailable

    def __init__(self, pointer=False):
        super().__init__()
        self.startup_seconds = None
        self.with_pointer = pointer

    @property
    def kwin(self):
        return self.compositor

    def _start(self):
        self.env = self._make_base("quillmere-kwin-", ["kwin_wayland", "dbus-daemon",
                                                       "dbus-send"])
        kwin_dir = os.path.join(self.base, "bin")
        os.mkdir(kwin_dir, 0o755)
        kwin = os.path.join(kwin_dir, "kwin_wayland")
        shutil.copyfile(shutil.which("kwin_wayland"), kwin)  # the copy has no capability
        os.chmod(kwin, 0o755)
        self._start_bus()
        display = "quillmere-kwin-{}".format(os.getpid())
        kwin_env = dict(self.env, KWIN_COMPOSE="O2", LIBGL_ALWAYS_SOFTWARE="1",
                        EGL_PLATFORM="surfaceless", KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1",
                        KWIN_WAYLAND_NO_PERMISSION_CHECKS="1")
        started = time.monotonic()
        with open(os.path.join(self.base, "kwin.log"), "wb") as log:
            self.compositor = self._daemon(
                [kwin, "--virtual", "--width", str(OUTPUT_WIDTH), "--height", str(OUTPUT_HEIGHT),
                 "--output-count", str(len(OUTPUTS)), "--socket", display, "--no-lockscreen",
                 "--no-kactivities"], kwin_env, stdout=subprocess.DEVNULL, stderr=log)
        deadline = time.monotonic() + 30
        while not self.bus_name_owned("org.kde.KWin"):
            if self.kwin.poll() is not None:
                raise KWinUnavailable("kwin_wayland ended with status {}: {}".format(
                    self.kwin.returncode, self.log_tail()))
            if time.monotonic() > deadline:
                raise KWinUnavailable("kwin_wayland did not start within 30 s")
            time.sleep(0.02)
        self.startup_seconds = time.monotonic() - started
        self.env.update(WAYLAND_DISPLAY=display, QT_QPA_PLATFORM="wayland")
        if "zwlr_layer_shell_v1" not in self.wayland_globals():
            raise KWinUnavailable("KWin offers no zwlr_layer_shell_v1")
        if self.with_pointer:
            self._hold_a_pointer()

    def _hold_a_pointer(self):
        """A fake input device that lives as long as the session, made before any client
        starts: the virtual outputs come without input devices, and the seat has a pointer and
        a keyboard only while one exists. Were each click to bring its own, clients would bind
        theirs only after the seat announced them, racing the click."""
        if not FAKE_POINTER_TOOL:
            raise KWinUnavailable("the fake pointer tool is not built")
        holder = self.spawn([FAKE_POINTER_TOOL, "hold"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if holder.stdout.readline() != b"holding\n":
            raise KWinUnavailable("no fake input device could be made: " +
                                  holder.stderr.read().decode(errors="replace").strip())

    def log(self):
        """What KWin wrote so far, scripts' print() among it."""
        try:
            with open(os.path.join(self.base, "kwin.log"), "rb") as log:
                return log.read().decode(errors="replace")
        except OSError:
            return ""

    def log_tail(self, lines=5):
        return " | ".join(self.log().splitlines()[-lines:])

    def wayland_globals(self):
        """The interfaces KWin announces, read with the Wayland wire protocol itself."""
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], self.env["WAYLAND_DISPLAY"])
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as conn:
            conn.settimeout(5)
            conn.connect(path)
            # wl_display.get_registry(new id 2), then wl_display.sync(new id 3).
            conn.sendall(struct.pack("<IIIII", 1, (12 << 16) | 1, 2, 1, (12 << 16) | 0) +
                         struct.pack("<I", 3))
            data = b""
            interfaces = set()
            while True:
                chunk = conn.recv(65536)
                if not chunk:
                    return interfaces
                data += chunk
                while len(data) >= 8:
                    sender, size_opcode = struct.unpack_from("<II", data)
                    size, opcode = size_opcode >> 16, size_opcode & 0xFFFF
                    if len(data) < size:
                        break
                    body, data = data[8:size], data[size:]
                    if sender == 3:  # the sync's callback: every global has been announced
                        return interfaces
                    if sender == 2 and opcode == 0:
                        length = struct.unpack_from("<I", body, 4)[0]
                        interfaces.add(body[8:8 + length - 1].decode(errors="replace"))

    def dbus(self, destination, path, method, *args, timeout=10):
        """dbus-send on the session's bus: its printed reply. `method` is interface.Member,
        `args` in dbus-send's notation (string:..., int32:...)."""
        result = self.run(["dbus-send", "--session", "--print-reply", "--reply-timeout=" +
                           str(int(timeout * 1000)), "--dest=" + destination, path, method] +
                          list(args), timeout=timeout + 5)
        if result.returncode != 0:
            raise AssertionError("dbus-send {} {} failed: {}".format(
                destination, method, result.stderr.decode(errors="replace").strip()))
        return result.stdout.decode(errors="replace")

    def kwin_script(self, name, source):
        """Loads and runs a KWin script of the test's own under the plugin name `name`."""
        path = self._write_file(name + ".js", source)
        self.dbus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.loadScript",
                  "string:" + path, "string:" + name)
        self.dbus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.start")

    def script_loaded(self, name):
        reply = self.dbus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.isScriptLoaded",
                          "string:" + name)
        return "boolean true" in reply

    def invoke_shortcut(self, name):
        """Presses one of KWin's global shortcuts, scripts' shortcuts among them."""
        self.dbus("org.kde.kglobalaccel", "/component/kwin",
                  "org.kde.kglobalaccel.Component.invokeShortcut", "string:" + name)

    def pointer(self, *steps):
        """Runs the fake pointer's steps (move X Y, press, release, click, key CODE) at global
        points; each has been handled by KWin when this returns. Needs a session made with
        `pointer`."""
        if not self.with_pointer:
            raise AssertionError("the session was made without a pointer")
        argv = [FAKE_POINTER_TOOL] + [str(part) for part in steps]
        result = self.run(argv)
        if result.returncode != 0:
            raise AssertionError("kwin_fake_pointer {} failed: {}".format(
                " ".join(argv[1:]), result.stderr.decode(errors="replace").strip()))

    def pointer_click(self, x, y):
        self.pointer("move", x, y, "click")

    def screenshot(self, output):
        """The output's pixels through KWin's screenshot interface, as
        (width, height, pixel function giving (r, g, b))."""
        result = self.run([SYSTEM_PYTHON, SCREENSHOT_TOOL, output])
        if result.returncode != 0:
            raise AssertionError("the screenshot failed: " +
                                 result.stderr.decode(errors="replace").strip())
        return parse_ppm(result.stdout)


def main_or_skip(body):
    """Runs body(session) on a fresh session; exits 77 with the reason when KWin cannot run."""
    try:
        with KWinSession() as session:
            body(session)
    except KWinUnavailable as reason:
        print("SKIP: " + str(reason))
        sys.exit(SKIP)
