"""OutputCapture on a private headless sway, through wayland_capture_probe: frames in physical
pixels at scale 2, one capture per output at a time, and an output taken away while its capture
is under way, with Quillmere's overlay on it. (What the frames show: test_blur.py's blur of the
picture beneath, and capture_frame_test.cpp's copy of the buffer.)"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import Driver  # noqa: E402
from desktop.lines import LineClient  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import WALLPAPER, SwaySession  # noqa: E402
from test_overlays import dimmed, wait_for_pixel  # noqa: E402

PROBE = os.environ.get("QUILLMERE_WAYLAND_CAPTURE_PROBE", "")


class Probe(LineClient):
    """wayland_capture_probe under the session; PROBE names it (the benchmark sets it too)."""

    def __init__(self, session, env=None):
        super().__init__(session, [PROBE], env, stderr=None)
        self.wait_line("ready", "the probe")

    def capture(self, output):
        """(width, height) of the output's next frame."""
        fields = self.ask("capture " + output, "captured " + output).split()
        return int(fields[2]), int(fields[3])


class OutputCaptureTest(unittest.TestCase):
    def test_frames_in_pixels_one_at_a_time_and_an_output_taken_away_during_its_capture(self):
        session = start_for(self, SwaySession())
        # The nested compositor's outputs are windows of the outer one; closing one unplugs it.
        nested = session.start_nested(outputs=2)
        wait_for(lambda: len(session.outputs(nested)) == 2, "the nested outputs")
        session.add_output(scale=2)
        outer = Probe(session)
        self.assertEqual(outer.capture("HEADLESS-2"), (640, 480), "320x240 points at scale 2")
        # A second request while one is under way is refused, and the first still answers.
        since = outer.mark()
        self.assertEqual(outer.ask("twice HEADLESS-2", "twice"), "twice 1 0")
        wait_for(lambda: outer.seen("captured HEADLESS-2", since), "the first of the two")

        probe = Probe(session, env=nested)
        driver = Driver(session, env=nested)
        driver.send("mode Dim")
        for output in ("WL-1", "WL-2"):
            wait_for_pixel(self, session, output, -1, -1, dimmed(WALLPAPER), "the dim", nested)

        # The probe reads nothing while the output goes: its capture is under way throughout.
        probe.ask("hold WL-2", "holding")
        session.swaymsg('[title="WL-2"]', "kill")
        wait_for(lambda: len(session.outputs(nested)) == 1, "the output's removal")
        removed = probe.ask("go", "removed WL-2")
        probe.capture("WL-1")
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
