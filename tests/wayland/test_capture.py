"""OutputCapture on private headless sways, through wayland_capture_probe: frames in physical
pixels at scale 1 and 2, a window where sway put it, one capture per output at a time, and an
output taken away while its capture is under way, with Quillmere's overlay on it."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import TEST_WINDOW, Driver  # noqa: E402
from desktop.lines import LineClient  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import WALLPAPER, SwaySession  # noqa: E402
from test_overlays import dimmed, wait_for_pixel  # noqa: E402

PROBE = os.environ.get("QUILLMERE_WAYLAND_CAPTURE_PROBE", "")
COLOUR = (0xC0, 0x20, 0x80)
FLOATING_RULE = 'for_window [title="^floating"] floating enable, move position 50 30'


def hex_colour(colour):
    return "{:02x}{:02x}{:02x}".format(*colour)


class Probe(LineClient):
    """wayland_capture_probe under the session; PROBE names it (the benchmark sets it too)."""

    def __init__(self, session, env=None):
        super().__init__(session, [PROBE], env, stderr=None)
        self.wait_line("ready", "the probe")

    def capture(self, output, points=()):
        """(width, height, {point: colour}) of the output's next frame."""
        line = self.ask(" ".join(["capture", output] + ["{},{}".format(*p) for p in points]),
                        "captured " + output)
        fields = line.split()
        colours = {tuple(int(v) for v in f.split("=")[0].split(",")): f.split("=")[1]
                   for f in fields[4:]}
        return int(fields[2]), int(fields[3]), colours


class OutputCaptureTest(unittest.TestCase):
    def session(self, *extra_config):
        return start_for(self, SwaySession(extra_config))

    def test_frames_in_physical_pixels_show_the_wallpaper_and_a_window_where_sway_put_it(self):
        session = self.session(FLOATING_RULE)
        session.add_output(scale=2)
        for output in ("HEADLESS-1", "HEADLESS-2"):
            session.swaymsg("focus", "output", output)
            title = "floating " + output
            window = session.spawn([TEST_WINDOW, title, "#" + hex_colour(COLOUR)])
            wait_for(lambda: window.pid in [v.get("pid") for v in session.views()], title)
        for output in ("HEADLESS-1", "HEADLESS-2"):
            # grim's own capture says when sway has drawn the window.
            wait_for(lambda: session.screenshot(output)[2](200, 150) == COLOUR, "the window drawn")
        outputs = {o["name"]: o for o in json.loads(session.swaymsg(message_type="get_outputs"))}
        probe = Probe(session)

        for output, scale in (("HEADLESS-1", 1), ("HEADLESS-2", 2)):
            logical = outputs[output]["rect"]
            # The window's rectangle in the frame's pixels, and points just in and out of it.
            rect = next(v["rect"] for v in session.views() if v["name"] == "floating " + output)
            left = (rect["x"] - logical["x"]) * scale
            top = (rect["y"] - logical["y"]) * scale
            right, bottom = left + rect["width"] * scale, top + rect["height"] * scale
            inside = [(left, top), (right - 1, top), (left, bottom - 1), (right - 1, bottom - 1)]
            outside = [(left - 1, top), (left, top - 1), (right, bottom - 1), (left, bottom)]
            corners = [(0, 0), (-1, 0), (0, -1), (-1, -1)]
            width, height, colours = probe.capture(output, inside + outside + corners)
            self.assertEqual((width, height), (640, 480), output)
            for point in inside:
                self.assertEqual(colours[point], hex_colour(COLOUR), (output, point))
            for point in outside + corners:
                self.assertEqual(colours[point], hex_colour(WALLPAPER), (output, point))

        # The second capture reuses the first one's buffer; a second request while one is under
        # way is refused, and the first still answers.
        self.assertEqual(probe.capture("HEADLESS-1")[:2], (640, 480))
        since = probe.mark()
        self.assertEqual(probe.ask("twice HEADLESS-1", "twice"), "twice 1 0")
        wait_for(lambda: probe.seen("captured HEADLESS-1", since), "the first of the two")
        self.assertIsNone(probe.seen("failed"))
        self.assertIsNone(probe.process.poll())

    def test_an_output_taken_away_during_its_capture_and_under_its_overlay_goes_alone(self):
        session = self.session()
        # The nested compositor's outputs are windows of the outer one; closing one unplugs it.
        nested = session.start_nested(outputs=2)
        wait_for(lambda: len(session.outputs(nested)) == 2, "the nested outputs")
        probe = Probe(session, env=nested)
        driver = Driver(session, env=nested)
        self.assertEqual(len(driver.state()["screens"].split()), 2)
        driver.send("mode Dim")
        for output in ("WL-1", "WL-2"):
            wait_for_pixel(self, session, output, -1, -1, dimmed(WALLPAPER), "the dim", nested)

        # The probe reads nothing while the output goes: its capture is under way throughout.
        probe.ask("hold WL-2", "holding")
        session.swaymsg('[title="WL-2"]', "kill")
        wait_for(lambda: len(session.outputs(nested)) == 1, "the output's removal")
        removed = probe.ask("go", "removed WL-2")
        self.assertEqual(probe.capture("WL-1")[2], {})
        with probe.lock:
            after = probe.lines[probe.lines.index(removed):]
        self.assertEqual([line for line in after if "WL-2" in line or line == "dead"],
                         [removed])
        self.assertEqual(probe.ask("twice WL-2", "no output"), "no output WL-2")
        self.assertIsNone(probe.process.poll())

        # The overlay goes with its output; the output left grows into the room, and its
        # overlay follows the new size.
        wait_for(lambda: len(driver.state()["screens"].split()) == 1, "the overlay's removal")
        for corner in ((0, 0), (-1, -1)):
            wait_for_pixel(self, session, "WL-1", *corner, dimmed(WALLPAPER), "the dim left over",
                           nested)
        self.assertIsNone(driver.process.poll())

if __name__ == "__main__":
    unittest.main()
