"""Writes one output of the KWin on $DBUS_SESSION_BUS_ADDRESS to standard output as a binary
PPM, through KWin's screenshot interface (which hands the pixels over a pipe).
Usage: kwin_screenshot.py OUTPUT"""

import os
import sys

from gi.repository import Gio, GLib

# Where red, green and blue lie in each pixel of the QImage formats KWin may answer with:
# RGB32, ARGB32 and ARGB32 premultiplied store B, G, R, A in memory; RGBX8888, RGBA8888 and
# RGBA8888 premultiplied store R, G, B, A.
CHANNELS = {**dict.fromkeys((4, 5, 6), (2, 1, 0)), **dict.fromkeys((16, 17, 18), (0, 1, 2))}


def capture(output):
    bus = Gio.DBusConnection.new_for_address_sync(
        os.environ["DBUS_SESSION_BUS_ADDRESS"],
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
        Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    reader, writer = os.pipe()
    fds = Gio.UnixFDList.new()
    fds.append(writer)
    os.close(writer)
    options = {"include-cursor": GLib.Variant("b", False),
               "native-resolution": GLib.Variant("b", True)}
    reply, _ = bus.call_with_unix_fd_list_sync(
        "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureScreen",
        GLib.Variant("(sa{sv}h)", (output, options, 0)), GLib.VariantType("(a{sv})"),
        Gio.DBusCallFlags.NONE, 10000, fds, None)
    del fds  # KWin holds the write end now; ours must close for the read to end
    with os.fdopen(reader, "rb") as pipe:
        return reply.unpack()[0], pipe.read()


def main():
    info, data = capture(sys.argv[1])
    width, height, stride, kind = info["width"], info["height"], info["stride"], info["format"]
    if kind not in CHANNELS:
        sys.exit("unknown image format {}".format(kind))
    if len(data) < stride * height or stride < width * 4:
        sys.exit("short image: {} bytes for {}x{}".format(len(data), width, height))
    rgb = bytearray(width * height * 3)
    for y in range(height):
        row = data[y * stride:y * stride + width * 4]
        for channel, source in enumerate(CHANNELS[kind]):
            rgb[y * width * 3 + channel:(y + 1) * width * 3:3] = row[source::4]
    sys.stdout.buffer.write(b"P6\n%d %d\n255\n" % (width, height) + bytes(rgb))


if __name__ == "__main__":
    main()
