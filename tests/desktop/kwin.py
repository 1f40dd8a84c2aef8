"""A private KWin (Wayland, virtual outputs) for the KWin scenarios. It never touches a bus or
compositor it did not start: KWin and every client get the session's own session bus,
WAYLAND_DISPLAY and XDG_RUNTIME_DIR.

kwin_wayland carries a file capability that a container refuses to execute, so the session
runs a plain copy of it; KWin looks at its own name, so the copy keeps the name kwin_wayland.
Under root everything runs as nobody, like the sway sessions. KWin 5.27 serves the global
shortcuts (org.kde.kglobalaccel) itself, so the bus needs nothing else."""

import os
import shutil
import time

from desktop.session import Session, SessionUnavailable, parse_ppm
from desktop.sway import POINTER_TOOL

SCREENSHOT_TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kwin_screenshot.py")
# The Python that has the GObject bindings the screenshot tool needs.
SYSTEM_PYTHON = "/usr/bin/python3"
OUTPUT_WIDTH, OUTPUT_HEIGHT = 1280, 720
OUTPUTS = ("Virtual-0", "Virtual-1")


class KWinSession(Session):
    prefix = "quillmere-kwin-"
    tools = ("kwin_wayland", "dbus-daemon", "dbus-send")

    def __init__(self, pointer=False):
        super().__init__(bus=True, as_nobody=True)
        self.with_pointer = pointer  # KWin's fake input: its steps take also key CODE
        self.pointer_tool = POINTER_TOOL

    def start(self):
        kwin_dir = os.path.join(self.base, "bin")
        os.mkdir(kwin_dir, 0o755)
        kwin = os.path.join(kwin_dir, "kwin_wayland")
        shutil.copyfile(shutil.which("kwin_wayland"), kwin)  # the copy has no capability
        os.chmod(kwin, 0o755)
        display = "quillmere-kwin-{}".format(os.getpid())
        kwin_env = dict(self.env, KWIN_COMPOSE="O2", LIBGL_ALWAYS_SOFTWARE="1",
                        EGL_PLATFORM="surfaceless", KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1",
                        KWIN_WAYLAND_NO_PERMISSION_CHECKS="1")
        with open(os.path.join(self.base, "kwin.log"), "wb") as log:
            self.compositor = self.spawn(
                [kwin, "--virtual", "--width", str(OUTPUT_WIDTH), "--height", str(OUTPUT_HEIGHT),
                 "--output-count", str(len(OUTPUTS)), "--socket", display, "--no-lockscreen",
                 "--no-kactivities"], kwin_env, stderr=log)
        deadline = time.monotonic() + 30
        while not self.bus_name_owned("org.kde.KWin"):
            if self.compositor.poll() is not None:
                raise SessionUnavailable("kwin_wayland ended with status {}: {}".format(
                    self.compositor.returncode, " | ".join(self.log().splitlines()[-5:])))
            if time.monotonic() > deadline:
                raise SessionUnavailable("kwin_wayland did not start within 30 s")
            time.sleep(0.02)
        # Without layer-shell Quillmere would say so and end at once.
        self.env.update(WAYLAND_DISPLAY=display, QT_QPA_PLATFORM="wayland")
        if self.with_pointer:
            self.hold_pointer()

    def log(self):
        """What KWin wrote so far, scripts' print() among it."""
        with open(os.path.join(self.base, "kwin.log"), "rb") as log:
            return log.read().decode(errors="replace")

    def kwin_script(self, name, source):
        """Loads and runs a KWin script of the test's own under the plugin name `name`."""
        path = self.write_file(name + ".js", source)
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

    def screenshot(self, output, env=None):
        """The output's pixels through KWin's screenshot interface, as
        (width, height, pixel function giving (r, g, b))."""
        result = self.run([SYSTEM_PYTHON, SCREENSHOT_TOOL, output], env, text=False)
        if result.returncode != 0:
            raise AssertionError("the screenshot failed: " +
                                 result.stderr.decode(errors="replace").strip())
        return parse_ppm(result.stdout)

