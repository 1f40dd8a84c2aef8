"""Quillmere on a private GNOME Shell with two monitors: its launch lines, the dim over the
wallpaper of both, the frontmost application's window left exact, and a keep-above window of
the frontmost application pulling the overlays up over another application's window, dimmed
and pixellated."""

from scenario import GREEN, RED, GnomeCase, close_to, main, wait_for


class LaunchTest(GnomeCase):
    def test_dim_on_both_monitors_leaves_the_frontmost_window_exact(self):
        shell = self.start()
        self.window("front", RED, (300, 300, 300, 200))
        before = shell.screenshot()
        self.launch()
        self.choose("Dim")
        inside = {(x, y): RED for x in (300, 599) for y in (300, 499)}
        self.wait_for_pixels({**self.dim_of(before), **inside}, "the dim beside the window")
        # Just outside the window's frame is wallpaper, dimmed.
        self.wait_for_pixels(self.dim_of(before, [(299, 400), (600, 400), (450, 299)]),
                             "the dim at the window's edges")

    def test_keep_above_window_of_the_frontmost_application_pulls_the_overlays_up(self):
        shell = self.start()
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
        # Pixellated too: the square across the other window's left edge (x = 200, between
        # the grid lines at 170 and 212) shows one colour.
        self.choose("Pixelate")
        self.settle(lambda p: (p(172, 260), p(208, 260), p(1100, 350)),
                    lambda m: close_to(m[0], m[1]) and m[2] == RED,
                    "one colour across the other window's edge, the keep-above window exact")
        # Back to a normal window: the overlays go down beneath every normal window again.
        shell.eval("quillmereTest.above({}, false)".format(front.pid))
        self.choose("Dim")
        self.wait_for_pixels({(400, 350): GREEN, (1100, 350): RED}, "the overlays down again")


if __name__ == "__main__":
    main()
