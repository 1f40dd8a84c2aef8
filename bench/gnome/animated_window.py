#!/usr/bin/python3
"""A GTK 3 window without decorations whose colour changes about 30 times a second: a busy
window beneath the overlays.
usage: animated_window.py TITLE [COLOUR]  (the colour, which the one-colour window takes, unused)"""

import colorsys
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

FRAME_MS = 33
window = Gtk.Window(title=sys.argv[1])
window.set_decorated(False)
window.set_default_size(300, 200)
area = Gtk.DrawingArea()
frame = [0]


def draw(_, cr):
    cr.set_source_rgb(*colorsys.hsv_to_rgb(frame[0] % 90 / 90.0, 0.8, 0.9))
    cr.paint()


def step():
    frame[0] += 1
    area.queue_draw()
    return GLib.SOURCE_CONTINUE


area.connect("draw", draw)
window.add(area)
window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.timeout_add(FRAME_MS, step)
Gtk.main()
