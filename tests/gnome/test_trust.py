"""Quillmere's trust in the shell: installed but not enabled, Quillmere enables the extension;
the extension disabled while it runs ends it with status 1 and one line on standard error;
without it the launch shows the alert instead of granting itself."""

import time

from scenario import LAUNCH_LINES, UUID, GnomeCase, Quillmere, main, wait_for


class TrustTest(GnomeCase):
    monitors = 1

    def test_enabled_at_the_launch_where_installed_and_its_disabling_ends_quillmere(self):
        shell = self.start(enabled=False)
        app = self.launch()  # its top-bar menu up: the extension enabled and running
        result = shell.run(["gnome-extensions", "disable", UUID])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(app.wait(10), 1)
        time.sleep(0.2)  # the rest of its output read
        self.assertEqual(len(app.errors), 1, app.errors)
        wait_for(lambda: self.rows() is None, "the top-bar button gone")

    def test_without_the_extension_the_alert_shows(self):
        shell = self.start(extension=False)
        app = Quillmere(shell, ["--backend=gnome"])
        self.addCleanup(app.stop)
        app.wait_line(LAUNCH_LINES[0], "the launch")
        wait_for(lambda: [w for w in shell.windows() if w["pid"] == app.process.pid],
                 "the alert's window", timeout=15)
        self.assertNotIn(LAUNCH_LINES[1], app.output())
        self.assertIsNone(app.process.poll())


if __name__ == "__main__":
    main()
