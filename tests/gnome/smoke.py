import os, sys, time
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.gnome import GnomeSession, wallpaper_colour
t = time.monotonic()
with GnomeSession(monitors=2, extension=False) as s:
    print("ready", time.monotonic() - t)
    p = s.screenshot()
    print(p.width, p.height, p(50, 250), wallpaper_colour(50, 250), p(150, 250), p(1650, 250))
    w = s.open_window("red", (255, 0, 0), (200, 200, 300, 200))
    print(s.windows())
    p = s.screenshot()
    print(p(350, 300), p(199, 300), p(200, 200), p(499, 399), p(500, 400))
    s.keys(0xffeb, 0x62)
    s.eval("quillmereTest.move(700, 300)")
    print(s.eval("quillmereTest.pointer()"))
    print(s.log_tail(3))
