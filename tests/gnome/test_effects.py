"""The blur and the pixellate over the session's wallpaper (squares of 100 px in two colours):
the blur turns a sharp edge into a smooth ramp, also right beside a window (no sharp halo
around it); the pixellate shows squares of intensity * 60 px on the grid through each monitor's
centre, each one colour."""


from scenario import main, MONITORS, RED, GnomeCase, wait_for


def steepest(picture, xs, y):
    """The largest change between neighbouring pixels along the row, over all channels."""
    return max(max(abs(a - b) for a, b in zip(picture(x, y), picture(x + 1, y)))
               for x in xs[:-1])


def spread(picture, xs, y):
    """How far the row's first and last pixels lie apart."""
    return max(abs(a - b) for a, b in zip(picture(xs[0], y), picture(xs[-1], y)))


class EffectsTest(GnomeCase):
    def test_blur_ramps_across_sharp_edges_also_beside_a_window(self):
        shell = self.start()
        # The window's right edge lies 40 px left of the wallpaper's edge at x = 700.
        self.window("front", RED, (360, 250, 300, 200))
        before = shell.screenshot()
        edge, beside = range(770, 831), range(662, 740)
        self.assertGreater(steepest(before, edge, 450), 100)
        self.assertGreater(steepest(before, beside, 350), 100)
        self.launch()  # blur is the effect at launch

        def smooth():
            picture = shell.screenshot()
            return (steepest(picture, edge, 450) <= 12 and spread(picture, edge, 450) >= 20
                    and steepest(picture, beside, 350) <= 12 and picture(500, 350) == RED)
        wait_for(smooth, "a smooth ramp across the wallpaper's edges", timeout=10, interval=0.3)

    def test_pixellate_squares_on_the_grid_through_each_monitors_centre(self):
        shell = self.start()
        self.launch()
        self.choose("Pixelate")
        side = round(0.7 * 60)
        for left, top, width, height in MONITORS:
            centre_x, centre_y = left + width // 2, top + height // 2
            squares = [(centre_x + i * side, centre_y + j * side) for i in (-3, -2, 0, 1, 2)
                       for j in (-2, 0, 1)]
            colours = []

            def uniform():
                picture = shell.screenshot()
                colours[:] = [[picture(x + dx, y + dy) for dx in (1, side // 2, side - 2)
                               for dy in (1, side // 2, side - 2)] for x, y in squares]
                return all(max(abs(a - b) for p in square for a, b in zip(p, square[0])) <= 2
                           for square in colours)
            wait_for(uniform, "one colour in each square of monitor at {}".format(left),
                     timeout=10, interval=0.3)
            # The squares differ where the wallpaper beneath them does.
            self.assertGreater(len({square[0] for square in colours}), 2, colours)


if __name__ == "__main__":
    main()
