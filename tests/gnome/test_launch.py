"""Quillmere on a private GNOME Shell with two monitors: its launch lines, the dim over the
wallpaper of both, the frontmost application's window left exact, and a keep-above window of
the frontmost application pulling the overlays up over another application's window, dimmed,
pixellated and blurred. The top-bar button is Quillmere's one icon, also where a
StatusNotifierItem host is present."""

import tempfile
import time

from scenario import GREEN, RED, GnomeCase, close_to, main, moved, steepest, wait_for
from desktop.gnome import SYSTEM_PYTHON

# A StatusNotifierItem host's watcher that takes every item and prints each registration.
WATCHER = """
from gi.repository import Gio, GLib
XML = '<node><interface name="org.kde.StatusNotifierWatcher">' \
    '<method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>' \
    '<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>' \
    '<property name="ProtocolVersion" type="i" access="read"/></interface></node>'
def called(connection, sender, path, interface, method, args, invocation):
    print(method, sender, args.unpack(), flush=True)
    invocation.return_value(None)
def read(connection, sender, path, interface, name):
    return GLib.Variant("b", True) if name.startswith("Is") else GLib.Variant("i", 0)
def acquired(connection, name):
    interface = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    connection.register_object("/StatusNotifierWatcher", interface, called, read, None)
Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.StatusNotifierWatcher", 0, acquired, None, None)
GLib.MainLoop().run()
"""


class LaunchTest(GnomeCase):
    def test_dim_on_both_monitors_leaves_the_frontmost_window_exact(self):
        shell = self.start()
        self.window("front", RED, (300, 300, 300, 200))
        before = shell.screenshot()
        registrations = tempfile.TemporaryFile()
        shell.spawn([SYSTEM_PYTHON, "-c", WATCHER], stdout=registrations)
        wait_for(lambda: shell.bus_name_owned("org.kde.StatusNotifierWatcher"), "the watcher")
        self.launch()
        self.choose("Dim")
        inside = {(x, y): RED for x in (300, 599) for y in (300, 499)}
        self.wait_for_pixels({**self.dim_of(before), **inside}, "the dim beside the window")
        # Just outside the window's frame is wallpaper, dimmed.
        self.wait_for_pixels(self.dim_of(before, [(299, 400), (600, 400), (450, 299)]),
                             "the dim at the window's edges")
        time.sleep(0.5)
        registrations.seek(0)
        self.assertEqual(registrations.read(), b"")

    def test_keep_above_window_of_the_frontmost_application_pulls_the_overlays_up(self):
        shell = self.start()
        third = self.window("third", GREEN, (1700, 100, 200, 200))
        self.window("other", GREEN, (200, 200, 400, 300))
        front = self.window("front", RED, (1000, 200, 300, 300))
        before = shell.screenshot()
        self.launch()
        self.choose("Dim")
        self.wait_for_pixels({(400, 350): GREEN, (1100, 350): RED}, "both windows above the dim")
        shell.eval("quillmereTest.above({})".format(front.pid))
        shell.eval("quillmereTest.activate({})".format(front.pid))
        wait_for(lambda: shell.windows()[0]["above"], "the keep-above window in front")
        self.wait_for_pixels({**self.dim_of(before, [(400, 350), (210, 210), (40, 500)]),
                              (1100, 350): RED}, "the other window dimmed")
        # Raising a window beneath restacks in Mutter, which leaves foreign actors on top of
        # every window: the overlays go back beneath the keep-above window.
        shell.eval("quillmereTest.raise({})".format(third.pid))
        wait_for(lambda: shell.windows()[1]["pid"] == third.pid, "the third window raised")
        self.wait_for_pixels({**self.dim_of(before, [(400, 350)]), (1100, 350): RED},
                             "the keep-above window exact after a restack beneath")
        # Pixellated too: the square across the other window's left edge (x = 200, between
        # the grid lines at 170 and 212) shows one colour.
        self.choose("Pixelate")
        self.settle(lambda p: (p(172, 260), p(208, 260), p(1100, 350)),
                    lambda m: close_to(m[0], m[1]) and m[2] == RED,
                    "one colour across the other window's edge, the keep-above window exact")
        # Blurred too: the other window's sharp left edge on the wallpaper becomes a ramp.
        edge = range(185, 216)
        self.assertGreater(steepest(before, edge, 260), 150)
        self.choose("Blur")
        self.settle(lambda p: (steepest(p, edge, 260), moved(p, before, 203, 260),
                               p(1100, 350)),
                    lambda m: m[0] <= 100 and m[1] >= 10 and m[2] == RED,
                    "a ramp across the other window's edge (steepest, moved inside), the "
                    "keep-above window exact")
        # Back to a normal window: the overlays go down beneath every normal window again.
        shell.eval("quillmereTest.above({}, false)".format(front.pid))
        self.choose("Dim")
        self.wait_for_pixels({(400, 350): GREEN, (1100, 350): RED}, "the overlays down again")


if __name__ == "__main__":
    main()
