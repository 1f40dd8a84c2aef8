"""A private headless GNOME Shell (Wayland, virtual monitors) with Quillmere's extension and
the tests' own (tests/gnome/test-extension), which opens org.gnome.Shell.Eval and the
screenshots and gives the tests virtual input and window stacking (`quillmereTest.*`).

The shell gets the session's bus, a second private bus as its system bus (without one it exits
at once where /run/systemd/seats exists), settings in GLib's keyfile (dconf's service is never
activated), a wallpaper of the session's own, and runs as nobody under root. Its status at the
end is ignored (43 segfaults when stopped).

Each extension comes in the style of the shell that runs it: scripts up to 44 (legacy), ES
modules from 45 (module). QUILLMERE_GNOME_EXTENSIONS holds both builds of Quillmere's as
<style>/<uuid>.

With QUILLMERE_GNOME_ROOT=<dir> (as root), the shell, its buses and gsettings run inside that
Debian root (another GNOME Shell than the machine's), as nobody, in a mount namespace of the
session's own: the root's system directories and the session's directory are mounted there at
the same paths, so that everything else (Quillmere, gdbus, the test windows) runs outside and
reaches the shell through the shared runtime directory. The mounts end with the namespace,
when the session's processes do."""

import json
import os
import shutil
import subprocess
import time

import gi

gi.require_version("GdkPixbuf", "2.0")
from desktop.clients import TEST_WINDOW
from desktop.session import NOBODY, Session, SessionUnavailable, tool_environment, wait_for

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
EXTENSIONS = os.environ.get("QUILLMERE_GNOME_EXTENSIONS", "")
ROOT = os.environ.get("QUILLMERE_GNOME_ROOT", "")
IN_ROOT = ("gnome-shell", "dbus-daemon", "gsettings")
FIRST_MODULE_SHELL = 45
# The root's namespace: its system directories and the session's, then a process that holds
# them, chrooted, until the session stops it.
NAMESPACE = """r=$1 base=$2
for dir in proc sys dev; do mount --rbind "/$dir" "$r/$dir"; done
for dir in tmp var/tmp; do mount -t tmpfs -o mode=1777 tmpfs "$r/$dir"; done
mkdir -p "$r$base"
mount --bind "$base" "$r$base"
exec chroot "$r" /bin/sh -c 'echo ready; read line'"""
TEST_EXTENSION_DIR = os.path.join(SOURCE, "tests", "gnome", "test-extension")
UUID, TEST_UUID = "quillmere@quillmere.org", "quillmere-test@quillmere.org"
MONITORS = ((0, 0, 1600, 900), (1600, 0, 1280, 720))
TILE = 100  # the wallpaper's squares
BLUE, YELLOW = (30, 70, 150), (220, 180, 40)


def write_wallpaper(path, width=1600, height=900):
    """Squares of TILE px, BLUE where (x // TILE + y // TILE) is even, else YELLOW: sharp edges
    every TILE px both ways."""
    from gi.repository import GdkPixbuf, GLib
    pair = bytes(BLUE) * TILE + bytes(YELLOW) * TILE
    rows = ((pair * width)[:width * 3], (pair[TILE * 3:] + pair * width)[:width * 3])
    data = b"".join(rows[y // TILE % 2] for y in range(height))
    GdkPixbuf.Pixbuf.new_from_bytes(GLib.Bytes.new(data), GdkPixbuf.Colorspace.RGB, False, 8,
                                    width, height, width * 3).savev(path, "png", [], [])
    os.chmod(path, 0o644)


def picture(path):
    """A screenshot's pixels: a function giving (r, g, b) at global logical coordinates."""
    from gi.repository import GdkPixbuf
    image = GdkPixbuf.Pixbuf.new_from_file(path)
    stride, channels, data = image.get_rowstride(), image.get_n_channels(), image.get_pixels()

    def pixel(x, y):
        offset = y * stride + x * channels
        return tuple(data[offset:offset + 3])

    return pixel


class GnomeSession(Session):
    prefix = "quillmere-gnome-"
    tools = ("gnome-shell", "dbus-daemon", "gsettings", "glib-compile-schemas", "gdbus")

    def __init__(self, monitors=1, extension=True, enabled=True):
        """`extension`: Quillmere's extension installed; `enabled`: and enabled at the start."""
        super().__init__(bus=True, as_nobody=True)
        self.monitors = MONITORS[:monitors]
        self.extension = extension
        self.enabled = enabled
        self.namespace = None
        if ROOT:
            self.tools = ("glib-compile-schemas", "gdbus", "unshare", "nsenter")
            self.temp_parent = "/tmp"  # the namespace has a /tmp of its own to mount it in

    def command(self, argv):
        if not ROOT or argv[0] not in IN_ROOT:
            return super().command(argv)
        if self.namespace is None:
            self._enter_root()
        return ["nsenter", "--target", str(self.namespace.pid), "--mount", "--root", "--wd",
                "--setuid", str(NOBODY), "--setgid", str(NOBODY)] + list(argv)

    def _enter_root(self):
        if os.getuid() != 0:
            raise SessionUnavailable("QUILLMERE_GNOME_ROOT needs root: it mounts")
        missing = [t for t in IN_ROOT if not os.path.exists(os.path.join(ROOT, "usr/bin", t))]
        if missing:
            raise SessionUnavailable("{} is not installed in {}".format(missing[0], ROOT))
        self.namespace = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sh", "-euc", NAMESPACE, "-",
             os.path.realpath(ROOT), self.base], env=tool_environment(), start_new_session=True,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.processes.append(self.namespace)
        if self.namespace.stdout.readline() != b"ready\n":
            raise SessionUnavailable("the root's mounts failed")

    def close(self):
        super().close()
        self.namespace = None

    def start(self):
        version = self.run(["gnome-shell", "--version"], check=True).stdout.split()[-1]
        self.shell_style = "legacy" if int(version.split(".")[0]) < FIRST_MODULE_SHELL else "module"
        self.extension_dir = os.path.join(EXTENSIONS, self.shell_style, UUID)
        if self.extension and not os.path.isfile(os.path.join(self.extension_dir,
                                                              "metadata.json")):
            raise SessionUnavailable("no extension at " + self.extension_dir)
        system = self.private_environment("system")
        self.start_bus(system)  # the stand-in system bus: the shell only needs one to answer
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = system["DBUS_SESSION_BUS_ADDRESS"]
        self.env["GSETTINGS_BACKEND"] = "keyfile"
        self._install_extensions()
        wallpaper = os.path.join(self.base, "wallpaper.png")
        write_wallpaper(wallpaper)
        uuids = [TEST_UUID] + [UUID] * (self.extension and self.enabled)
        for schema, key, value in [
                ("org.gnome.shell", "enabled-extensions", repr(uuids)),
                ("org.gnome.shell", "disable-user-extensions", "false"),
                ("org.gnome.shell", "welcome-dialog-last-shown-version", "'99'"),
                ("org.gnome.desktop.notifications", "show-banners", "false"),
                ("org.gnome.desktop.background", "picture-uri", "'file://" + wallpaper + "'"),
                ("org.gnome.desktop.background", "picture-uri-dark", "'file://" + wallpaper + "'"),
                ("org.gnome.desktop.background", "picture-options", "'zoom'"),
                ("org.gnome.desktop.session", "idle-delay", "uint32 0")]:
            self.run(["gsettings", "set", schema, key, value], check=True)
        argv = ["gnome-shell", "--headless", "--wayland", "--no-x11"]
        for _, _, width, height in self.monitors:
            argv += ["--virtual-monitor", "{}x{}".format(width, height)]
        with open(os.path.join(self.base, "shell.log"), "wb") as log:
            self.compositor = self.spawn(argv, stderr=log, stdout=log)
        deadline = time.monotonic() + 40
        while not self.bus_name_owned("org.quillmere.Test"):  # owned once the shell is ready
            if self.compositor.poll() is not None:
                raise SessionUnavailable("gnome-shell ended with status {}: {}".format(
                    self.compositor.returncode, self.log_tail()))
            if time.monotonic() > deadline:
                raise SessionUnavailable("gnome-shell was not ready within 40 s: " +
                                         self.log_tail())
            time.sleep(0.1)
        self.env.update(WAYLAND_DISPLAY="wayland-0", QT_QPA_PLATFORM="wayland",
                        GDK_BACKEND="wayland", NO_AT_BRIDGE="1")
        self.eval("quillmereTest.modules.Main.overview.hide()")
        wait_for(lambda: not self.eval("quillmereTest.modules.Main.overview.visible"),
                 "the overview to hide")

    def _install_extensions(self):
        root = os.path.join(self.env["XDG_DATA_HOME"], "gnome-shell", "extensions")
        sources = [(TEST_EXTENSION_DIR, TEST_UUID)] + [(self.extension_dir, UUID)] * \
            self.extension
        for source, uuid in sources:
            target = os.path.join(root, uuid)
            entries = ("legacy.js", "module.js") if uuid == TEST_UUID else ()
            shutil.copytree(source, target,
                            ignore=shutil.ignore_patterns("CMakeLists.txt", *entries))
            if entries:  # the tests' extension gets its entry of the shell's style
                shutil.copy(os.path.join(source, self.shell_style + ".js"),
                            os.path.join(target, "extension.js"))
            if os.path.isdir(os.path.join(target, "schemas")):
                subprocess.run(["glib-compile-schemas", os.path.join(target, "schemas")],
                               env=tool_environment(), check=True, capture_output=True)
        if self.as_nobody:  # the shell runs as nobody
            for folder, _, files in os.walk(os.path.dirname(root)):
                for path in [folder] + [os.path.join(folder, name) for name in files]:
                    os.chown(path, NOBODY, NOBODY)

    def log_tail(self, lines=8):
        with open(os.path.join(self.base, "shell.log"), "rb") as log:
            return " | ".join(log.read().decode(errors="replace").splitlines()[-lines:])

    def gdbus(self, dest, path, method, *args, timeout=10):
        """gdbus call from a process of its own: (status, output); the output is the error's
        text when the call failed."""
        result = self.run(["gdbus", "call", "--session", "--dest", dest, "--object-path", path,
                           "--method", method, "--timeout", str(timeout)] + list(args),
                          timeout=timeout + 5)
        return result.returncode, (result.stdout if result.returncode == 0 else result.stderr)

    def eval(self, script):
        """The value of a JavaScript expression in the shell (which Eval answers as JSON)."""
        status, out = self.gdbus("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Eval",
                                 script)
        if status != 0 or not out.startswith("(true, "):
            raise AssertionError("Eval of {} failed: {}".format(script, out.strip()))
        text = eval(out.strip()[len("(true, "):-1])  # a GVariant string is a Python literal
        return json.loads(text) if text else None

    def screenshot(self, output=None, env=None):
        """The whole stage as a picture()."""
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], "shot.png")
        status, out = self.gdbus("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                                 "org.gnome.Shell.Screenshot.Screenshot", "false", "false", path)
        if status != 0 or "true" not in out:
            raise AssertionError("the screenshot failed: " + out)
        return picture(path)

    def windows(self):
        return self.eval("quillmereTest.windows()")

    def open_window(self, title, colour, frame, program=None):
        """A window of one colour, (r, g, b), at frame (x, y, width, height), once the shell
        shows it there: the sway scenarios' test window, or `program` given the same arguments."""
        process = self.spawn([program or TEST_WINDOW, title, "#{:02x}{:02x}{:02x}".format(
            *colour)], env=dict(self.env, GSETTINGS_BACKEND="memory"))
        wait_for(lambda: any(w["pid"] == process.pid for w in self.windows()), "the window " +
                 title, timeout=15)

        def placed():
            # Asked again until it holds: Mutter's own first placement of a window that is
            # still mapping may come after ours.
            if any(w["pid"] == process.pid and [w["x"], w["y"], w["width"], w["height"]] ==
                   list(frame) for w in self.windows()):
                return True
            self.eval("quillmereTest.each({}, 'move_resize_frame', false, {}, {}, {}, {})".format(
                process.pid, *frame))
            return False

        wait_for(placed, "the window " + title + " placed", interval=0.2)
        return process

    def keys(self, *steps, hold=0.3):
        """Presses the keys (X keysym numbers) in order, holds them, releases them in reverse."""
        for keyval in steps:
            self.eval("quillmereTest.key({}, true)".format(keyval))
        time.sleep(hold)
        for keyval in reversed(steps):
            self.eval("quillmereTest.key({}, false)".format(keyval))
