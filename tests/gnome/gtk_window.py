#!/usr/bin/python3
"""A GTK 3 window without decorations filled with one colour.
usage: gtk_window.py TITLE #RRGGBB"""

import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

colour = Gdk.RGBA()
colour.parse(sys.argv[2])
window = Gtk.Window(title=sys.argv[1])
window.set_decorated(False)
window.set_default_size(300, 200)
area = Gtk.DrawingArea()


def draw(_, cr):
    cr.set_source_rgb(colour.red, colour.green, colour.blue)
    cr.paint()


area.connect("draw", draw)
window.add(area)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
