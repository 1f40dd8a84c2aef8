#!/usr/bin/env python3
"""Runs Quillmere on a private virtual desktop (Xvfb, openbox, picom and a tray host), drives it
through launch, Super+B, each of the three effects and the open menu, and writes a PNG
screenshot of each step into a folder."""

import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from desktop.lines import LineClient  # noqa: E402
from desktop.session import wait_for  # noqa: E402
from desktop.x11 import SCREEN_SIZE, XSession  # noqa: E402

NOTE = ("Quillmere keeps the window you work in sharp\n"
        "and softens everything behind it.\n\n"
        "Shake the pointer or press Super+B to toggle.")
BACKGROUND_TEXT = "\n".join(
    "%2d  The quick brown fox jumps over the lazy dog." % line for line in range(1, 19))


def wallpaper(desktop):
    """A dusk gradient with a grid of soft discs, so that each effect shows."""
    path = os.path.join(desktop.base, "wallpaper.png")
    width, height = SCREEN_SIZE
    discs = " ".join("circle %d,%d %d,%d" % (x, y, x + 22, y)
                     for x in range(32, width, 64) for y in range(32, height, 64))
    subprocess.run(["convert", "-size", "%dx%d" % (width, height),
                    "gradient:#1d4e89-#f79256", "-fill", "#ffffff30", "-draw", discs,
                    "-depth", "8", path], check=True)
    desktop.run(["hsetroot", "-fill", path], check=True)


def keep_above(desktop, window):
    """Asks the window manager to keep the window above ordinary ones, as a floating window
    would be; the overlays then rise to just below it."""
    from Xlib import X, display
    from Xlib.protocol import event

    connection = display.Display(desktop.env["DISPLAY"])
    try:
        add = 1
        message = event.ClientMessage(
            window=connection.create_resource_object("window", window),
            client_type=connection.intern_atom("_NET_WM_STATE"),
            data=(32, [add, connection.intern_atom("_NET_WM_STATE_ABOVE"), 0, 1, 0]))
        connection.screen().root.send_event(
            message, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        connection.flush()
    finally:
        connection.close()


def tray_icon(desktop, pid):
    trays = {int(w) for w in desktop.output_of("xdotool", "search", "--class",
                                               "trayer").split()}
    mapped = desktop.output_of("xdotool", "search", "--onlyvisible", "--pid", str(pid))
    for window in mapped.split():
        if set(desktop.ancestors(int(window))) & trays:
            return int(window)
    return None


def open_menu(desktop, pid, icon):
    x, y, w, h = desktop.window_geometry(icon)
    desktop.click(x + w // 2, y + h // 2)
    wait_for(lambda: desktop.popup_menu(pid), "the menu")
    time.sleep(0.3)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    def shot(name):
        time.sleep(0.8)  # the fades take half a second at most
        path = os.path.join(args.out, name + ".png")
        desktop.run(["import", "-window", "root", path], check=True)
        print("  " + path)

    with XSession() as desktop:
        desktop.spawn(["picom", "--backend", "xrender"])
        desktop.start_tray()
        wallpaper(desktop)
        desktop.spawn(["xmessage", "-geometry", "+120+380", "-title", "Another application",
                       BACKGROUND_TEXT])
        time.sleep(0.5)
        desktop.spawn(["xmessage", "-geometry", "+640+200", "-title", "The application in front",
                       NOTE])
        front = wait_for(lambda: desktop.output_of("xdotool", "search", "--onlyvisible", "--name",
                                                   "^The application in front$").split(),
                         "the application in front")
        keep_above(desktop, int(front[0]))
        wait_for(lambda: "_NET_WM_STATE_ABOVE" in desktop.output_of("xprop", "-id", front[0],
                                                                    "_NET_WM_STATE"),
                 "the application in front to stay above")
        wait_for(desktop.active_window, "a frontmost window")
        time.sleep(0.5)

        app = LineClient(desktop, [args.binary])
        app.wait_line("QuillmereApp started", "the launch")
        icon = wait_for(lambda: tray_icon(desktop, app.process.pid), "the tray icon")
        print("Screenshots:")
        shot("1-blur")
        desktop.key("super+b")
        app.wait_line("Toggled effect: false", "the toggle off")
        shot("2-off")
        desktop.key("super+b")
        app.wait_line("Toggled effect: true", "the toggle on")
        # The modes are the first rows that can be chosen: Blur, Pixelate, Dim.
        for steps, name in ((2, "3-pixelate"), (3, "4-dim")):
            open_menu(desktop, app.process.pid, icon)
            desktop.key(*["Down"] * steps, "Return")
            shot(name)
        open_menu(desktop, app.process.pid, icon)
        shot("5-menu")
        desktop.key("Escape")
        app.process.terminate()
        app.process.wait(timeout=5)
    print("Screenshots are in %s" % os.path.abspath(args.out))


if __name__ == "__main__":
    main()
