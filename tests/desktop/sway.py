"""A private headless sway for the Wayland scenarios. It never touches a compositor it did not
start: clients get the session's own WAYLAND_DISPLAY, SWAYSOCK and XDG_RUNTIME_DIR, which sway
itself reports.

sway refuses to run as root, so under root it runs as nobody, and every client of the session
(Quillmere too) runs as nobody with it: the sockets stay private to that user.

With `bus`, the session gets a session bus of its own (the X11 tests' configuration, which
activates nothing installed), and start_bar() brings waybar with a tray, a client like any other.
With `xwayland`, sway starts its XWayland at once, and the session's programs are then X clients
that run as the caller: under root XWayland is told to let root's clients in."""

import json
import os
import time

from desktop.session import Session, SessionUnavailable, no_bus, parse_ppm, wait_for

WALLPAPER = (0x40, 0x80, 0xC0)
PANEL_HEIGHT = 24
# The virtual pointer tool (tests/wayland/wayland_pointer.c), where the build names it.
POINTER_TOOL = os.environ.get("QUILLMERE_WAYLAND_POINTER", "")


class SwaySession(Session):
    """`extra_config` lines go into sway's configuration after the session's own."""

    prefix = "quillmere-sway-"

    def __init__(self, extra_config=(), xwayland=False, pointer=False, bus=False):
        super().__init__(bus=bus, as_nobody=True)
        self.extra_config = list(extra_config)
        self.xwayland = xwayland
        self.with_pointer = pointer
        self.pointer_tool = POINTER_TOOL
        self.display = None
        self.tools = ("sway", "swaybg", "swaymsg", "grim") + ("Xwayland", "xhost") * xwayland + (
            "dbus-daemon", "dbus-send", "waybar") * self.bus

    def start(self):
        if self.xwayland and self.as_nobody:
            # XWayland makes the socket directory itself when it is missing, and would then
            # keep it to its own user.
            os.makedirs("/tmp/.X11-unix", exist_ok=True)
            os.chmod("/tmp/.X11-unix", 0o1777)
        sway_env = dict(self.env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman")
        config = ["output HEADLESS-1 mode 640x480 position 0 0"] + self.extra_config
        self.compositor = self.spawn(["sway", "-c", self._write_config("sway", config)],
                                     sway_env)
        self.env.update(self._wait_for_sockets(self.compositor, "sway"))
        if self.with_pointer:
            self.hold_pointer("0", "0", "1", "1")
        if self.xwayland:
            self.display = self.env["DISPLAY"]
            if self.as_nobody and self.run(["xhost", "+si:localuser:root"]).returncode != 0:
                raise SessionUnavailable("XWayland did not let root in")
            # The X clients' own private directories, and no bus unless a test starts one.
            self.clients_as_caller = True
            self.env = self.private_environment("clients")
            self.env.update(DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=no_bus(self.env))

    def start_bar(self, **options):
        """waybar with a tray at the top of every output; `options` go into its configuration
        (`output` to show it on one output only, say)."""
        # GTK's accessibility bridge would ask the bus for a service it cannot activate.
        gtk = dict(self.env, GDK_BACKEND="wayland", NO_AT_BRIDGE="1", GSETTINGS_BACKEND="memory")
        bar = self.write_file("waybar.json", json.dumps({
            "layer": "top", "position": "top", "height": PANEL_HEIGHT,
            "modules-left": [], "modules-center": [], "modules-right": ["tray"],
            "tray": {"spacing": 4}, **options}))
        style = self.write_file("waybar.css", "* { font-size: 12px; min-height: 0; }\n"
                                 "window#waybar { background: #202020; }\n")
        self.spawn(["waybar", "-c", bar, "-s", style], env=gtk)

    def start_nested(self, outputs):
        """A second sway inside this one, whose `outputs` outputs are windows here: closing such
        a window takes its output away. Returns the environment of its clients."""
        env = dict(self.env, WLR_BACKENDS="wayland", WLR_WL_OUTPUTS=str(outputs),
                   WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1")
        nested = self.spawn(["sway", "-c", self._write_config("nested", [])], env=env)
        return dict(self.env, **self._wait_for_sockets(nested, "nested"))

    def _write_config(self, name, extra):
        """sway's configuration: the known wallpaper, no borders, gaps that show the wallpaper
        around tiled windows, and a file in which sway reports its sockets."""
        sockets_file = os.path.join(self.env["XDG_RUNTIME_DIR"], name + ".sockets")
        xwayland = self.xwayland and name == "sway"
        lines = ["xwayland force" if xwayland else "xwayland disable",
                 "output * bg #{:02x}{:02x}{:02x} solid_color".format(*WALLPAPER),
                 "default_border none", "default_floating_border none", "gaps outer 40",
                 "focus_on_window_activation none"] + list(extra) + [
                 "exec sh -c 'echo \"$WAYLAND_DISPLAY $SWAYSOCK{1}\" > {0}.new && "
                 "mv {0}.new {0}'".format(sockets_file, " $DISPLAY" if xwayland else "")]
        return self.write_file(name + ".config", "".join(line + "\n" for line in lines))

    def _wait_for_sockets(self, process, name):
        sockets_file = os.path.join(self.env["XDG_RUNTIME_DIR"], name + ".sockets")
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if process.poll() is not None:
                raise SessionUnavailable("{} ended with status {}".format(name, process.returncode))
            if os.path.exists(sockets_file):
                with open(sockets_file) as source:
                    fields = source.read().split()
                names = ["WAYLAND_DISPLAY", "SWAYSOCK"] + ["DISPLAY"] * (
                    self.xwayland and name == "sway")
                if len(fields) == len(names):
                    return dict(zip(names, fields))
            time.sleep(0.05)
        raise SessionUnavailable(name + " did not start within 30 s")

    def swaymsg(self, *args, message_type=None, env=None):
        argv = ["swaymsg"] + (["-t", message_type] if message_type else []) + list(args)
        result = self.run(argv, env)
        if result.returncode != 0:
            raise AssertionError("swaymsg {} failed: {}".format(
                " ".join(args), result.stdout + result.stderr))
        return result.stdout

    def add_output(self, scale=1):
        """HEADLESS-2, 640x480 pixels at the scale, right of the first output."""
        self.swaymsg("create_output")
        self.swaymsg("output", "HEADLESS-2", "mode", "640x480", "position", "640", "0", "scale",
                     str(scale))
        wait_for(lambda: [o.get("scale") for o in self.outputs()] == [1.0, float(scale)],
                 "the second output at scale {}".format(scale))

    def outputs(self, env=None):
        """sway's active outputs (of the nested sway whose environment `env` is, if given)."""
        reply = json.loads(self.swaymsg(message_type="get_outputs", env=env))
        return [o for o in reply if o.get("active")]

    def views(self):
        """Every window in sway's tree, tiled and floating."""
        found = []

        def walk(node):
            if "pid" in node:
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(json.loads(self.swaymsg(message_type="get_tree")))
        return found

    def pids(self):
        return [node["pid"] for node in self.views()]

    def pointer_box(self, env=None):
        """The box around every active output, in layout points: (left, top, width, height),
        which the virtual pointer's steps (also drag X1 Y1 X2 Y2 STEPS) take points in."""
        rects = [o["rect"] for o in self.outputs(env)]
        left = min(r["x"] for r in rects)
        top = min(r["y"] for r in rects)
        right = max(r["x"] + r["width"] for r in rects)
        bottom = max(r["y"] + r["height"] for r in rects)
        return left, top, right - left, bottom - top

    def screenshot(self, output, env=None):
        """The output's pixels as (width, height, pixel function giving (r, g, b))."""
        result = self.run(["grim", "-t", "ppm", "-o", output, "-"], env, text=False)
        if result.returncode != 0:
            raise AssertionError("grim failed: " + result.stderr.decode(errors="replace"))
        return parse_ppm(result.stdout)
