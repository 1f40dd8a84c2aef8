"""Finds Quillmere's open menu on screen, and the rows of its modes from a screenshot alone, for
the tests and the demo that drive the real program, which reports nothing about its menu."""

from collections import Counter

from desktop.x11 import pixels


def popup_menu(desktop, pid):
    """(x, y, width, height) of the process's visible pop-up menu, or None. It is the only one
    of its windows that is unmanaged and at least menu-sized without covering a whole screen."""
    out = desktop.output_of("xdotool", "search", "--onlyvisible", "--pid", str(pid))
    for window in out.split():
        info = desktop.output_of("xwininfo", "-id", window)
        if "Override Redirect State: yes" not in info:
            continue
        geometry = desktop.window_geometry(int(window))
        if geometry and 150 <= geometry[2] < 1000 and 150 <= geometry[3] < 700:
            return geometry
    return None


class MenuLayout:
    """Rows of the menu, found by its three separators: the help block, the modes, the intensity
    heading with the slider, then Toggle and Quit. The demo clicks the modes."""

    def __init__(self, shot, geometry):
        self.x, self.y, self.width, self.height = geometry
        flat = pixels(shot, self.x, self.y, self.width, self.height)
        rows = [flat[row * self.width:(row + 1) * self.width] for row in range(self.height)]
        background = Counter(p for row in rows for p in row).most_common(1)[0][0]
        inner = slice(self.width // 5, self.width * 4 // 5)
        separators = []
        for index, row in enumerate(rows):
            middle = set(row[inner])
            if len(middle) == 1 and background not in middle:
                if not separators or index > separators[-1][-1] + 1:
                    separators.append([index])
                else:
                    separators[-1].append(index)
        # The menu's own frame draws lines along its top and bottom edges.
        separators = [s for s in separators if s[0] > 2 and s[-1] < self.height - 3]
        if len(separators) != 3:
            raise AssertionError("expected three separators, found %d" % len(separators))
        self.separators = [self.y + (s[0] + s[-1]) / 2 for s in separators]

    def mode_row(self, index):
        """Centre (x, y) of Blur, Pixelate or Dim (0, 1, 2)."""
        first, second, _ = self.separators
        return self.x + self.width // 2, round(first + (second - first) * (2 * index + 1) / 6)
