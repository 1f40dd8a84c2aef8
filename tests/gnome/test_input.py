"""Super+B held down toggles exactly once, a shake of the pointer toggles, and the top-bar
menu: its rows in order, the slider's ends, Toggle and Quit."""

import time

from scenario import DIM_ALPHA, KEY_B, SUPER, GnomeCase, main, wait_for

KEY_Q = 0x71

HEADING, CHOICE = (False, ""), (True, "")
ROWS = [("item", title, *HEADING) for title in (
    "Shortcuts & Gestures", "Shake mouse to toggle", "\u2318 + B : Quick Toggle",
    "\u2318 + Q : Quit App")] + [
        ("separator",), ("item", "Blur", *CHOICE), ("item", "Pixelate", *CHOICE),
        ("item", "Dim", *CHOICE), ("separator",), ("item", "Effect Intensity", *HEADING),
        ("slider", None, True, None), ("separator",),
        ("item", "Toggle Quillmere", True, "Super+B"), ("item", "Quit", True, "Super+Q")]


def shown(row):
    """A row as the test compares it: kind, title, enabled and accelerator."""
    return (row["kind"],) if row["kind"] == "separator" else (
        row["kind"], row.get("title", "").strip() or None, row["enabled"], row.get("accelerator"))


class InputTest(GnomeCase):
    monitors = 1

    def test_super_b_held_toggles_once_and_a_shake_toggles(self):
        shell = self.start()
        shell.eval("quillmereTest.move(500, 400)")  # where the shake starts
        before = shell.screenshot()
        self.launch()
        self.choose("Dim")
        self.wait_for_pixels(self.dim_of(before), "the dim")
        mark = self.app.mark()
        shell.keys(SUPER, KEY_B, hold=1.0)
        self.wait_for_pixels({p: before(*p) for p in ((40, 500), (760, 700))}, "the toggle off")
        time.sleep(0.5)
        self.assertEqual(self.toggles(mark), ["Toggled effect: false"])
        # The same way in steps of 10 px, each too short to count, makes no shake.
        mark = self.app.mark()
        for start, end in ((500, 900), (900, 500)):
            shell.eval("quillmereTest.walk({}, {}, 400, 10, 40)".format(start, end))
            wait_for(lambda: shell.eval("global.get_pointer()[0]") == end, "the slow walk")
        time.sleep(0.5)
        self.assertEqual(self.toggles(mark), [])
        # Two steps of 400 px make one shake (past 600 px).
        for x in (900, 500):
            shell.eval("quillmereTest.move({}, 400)".format(x))
            time.sleep(0.1)
        self.wait_for_pixels(self.dim_of(before), "the dim again")
        self.assertEqual(self.toggles(mark), ["Toggled effect: true"])

    def test_menu_rows_slider_toggle_and_quit(self):
        shell = self.start()
        before = shell.screenshot()
        self.launch()
        rows = self.rows()
        self.assertEqual([shown(row) for row in rows], ROWS)
        self.assertEqual([r["title"] for r in rows if r.get("checked")], ["Blur"])
        self.assertAlmostEqual(rows[10]["value"], (0.7 - 0.1) / 0.9, places=2)
        self.choose("Dim")
        self.assertEqual([r["title"] for r in self.rows() if r.get("checked")], ["Dim"])
        self.wait_for_pixels(self.dim_of(before), "the dim")
        for fraction, intensity in ((0.0, 0.1), (1.0, 1.0)):
            self.slide(fraction)
            self.wait_for_pixels(self.dim_of(before, alpha=intensity * DIM_ALPHA / 0.7),
                                 "the dim at intensity {}".format(intensity))
        mark = self.app.mark()
        self.choose("Toggle Quillmere")
        self.app.wait_line("Toggled effect: false", "the toggle from the menu", mark)
        self.wait_for_pixels({p: before(*p) for p in ((40, 500), (760, 700))}, "no dim")
        # With the menu open Super+B held down toggles once too, and Super+Q chooses Quit.
        self.assertTrue(shell.eval("quillmereTest.menuOpen('quillmere')"))
        mark = self.app.mark()
        shell.keys(SUPER, KEY_B, hold=1.0)
        self.wait_for_pixels(self.dim_of(before, [(40, 500), (760, 700)], DIM_ALPHA / 0.7),
                             "the dim toggled back with the menu open")
        time.sleep(0.5)
        self.assertEqual(self.toggles(mark), ["Toggled effect: true"])
        self.assertTrue(shell.eval("quillmereTest.menuOpen('quillmere')"))
        shell.keys(SUPER, KEY_Q)
        self.assertEqual(self.app.wait(10), 0)
        wait_for(lambda: self.rows() is None, "the top-bar button gone")


if __name__ == "__main__":
    main()
