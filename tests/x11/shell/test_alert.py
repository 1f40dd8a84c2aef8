"""The permission alert on a private desktop: its texts as shown, and the answer that each way
of closing it gives."""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from desktop.lines import LineClient  # noqa: E402
from desktop.session import wait_for  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

HARNESS = os.environ["SHELL_HARNESS"]
PLAIN_TEXT = 0  # Qt::PlainText

MESSAGE = "Quillmere needs permission"
INFORMATIVE = ("To blur windows, Quillmere needs Accessibility permission. Please enable it in "
               "System Settings.")


class AlertTest(unittest.TestCase):
    def test_texts_are_plain_and_each_way_of_answering_gives_its_response(self):
        # Return presses the first button, the default; Escape and "close", which asks the box to
        # close as a window manager's close binding does, answer as the second. A click takes
        # the same way out as the key of its button.
        ways = (("Return", 1000), ("Escape", 1001), ("close", 1001))
        for way, expected in ways:
            with self.subTest(way), XSession() as desktop:
                harness = LineClient(desktop, [HARNESS, "alert"])
                harness.wait_line("alert shown", "the alert")
                labels = {}
                for line in harness.output():
                    label = re.match(r"^alert label format=(\d+) text=(.*)$", line)
                    if label:
                        labels[label.group(2)] = int(label.group(1))
                self.assertEqual(labels, {MESSAGE: PLAIN_TEXT, INFORMATIVE: PLAIN_TEXT})
                # Keys go to the focused window: on a loaded machine the box can be shown a
                # moment before it is given the focus.
                box = wait_for(desktop.active_window, "the alert to get the focus")
                if way == "close":
                    client = XClient(desktop.display)
                    client.request_close(box)
                    client.close()
                else:
                    desktop.key(way)
                response = harness.wait_line("response ", "the response")
                self.assertEqual(response, "response %d" % expected)
                self.assertEqual(harness.process.wait(timeout=5), 0)


if __name__ == "__main__":
    unittest.main()
