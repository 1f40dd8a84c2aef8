"""Calls from a process that is not the other side's are refused and change nothing, both
ways; a lock and unlock of the screen (the session mode a lock pushes: a private shell has no
screen shield) leave Quillmere running with its overlays back."""

import time

from scenario import GREEN, RED, GnomeCase, main, wait_for

SHELL = ("org.gnome.Shell", "/org/quillmere/Shell", "org.quillmere.Shell1.")
QUILLMERE = ("org.quillmere.Quillmere", "/org/quillmere/Quillmere", "org.quillmere.Quillmere1.")
CALLS = [(SHELL, "Hello"), (SHELL, "RemovePane", "0"), (SHELL, "SetAlpha", "0", "0.0"),
         (SHELL, "SetPane", "0", "{'shown': <false>}"), (SHELL, "RemoveMenu"),
         (SHELL, "SetMenu", "@a(sssbbddd) []"), (QUILLMERE, "Key", "toggle"),
         (QUILLMERE, "Disabled"), (QUILLMERE, "MenuActivated", "12"),
         (QUILLMERE, "Report", '{"windows":[],"active":-1,"desktop":0}')]


class HostileTest(GnomeCase):
    monitors = 1

    def test_foreign_calls_are_refused_and_a_lock_leaves_quillmere_running(self):
        shell = self.start()
        self.window("other", GREEN, (200, 200, 400, 300))
        front = self.window("front", RED, (1000, 200, 300, 300))
        shell.eval("quillmereTest.each({}, 'make_above')".format(front.pid))
        before = shell.screenshot()
        self.launch()
        self.choose("Dim")
        # Pulled up beneath the keep-above window: a forged report or pane would show here.
        dim = {**self.dim_of(before, [(40, 500), (400, 350)]), (1100, 350): RED}
        self.wait_for_pixels(dim, "the dim over the other window")
        rows = self.rows()
        mark = self.app.mark()
        for (dest, path, interface), method, *args in CALLS:
            status, out = shell.gdbus(dest, path, interface + method, *args, timeout=3)
            self.assertNotEqual(status, 0, (method, out))
            if dest == SHELL[0]:
                self.assertIn("org.quillmere.Shell1.Error.NotOwner", out, method)
        time.sleep(0.5)
        self.wait_for_pixels(dim, "the dim unchanged")
        self.assertEqual(self.rows(), rows)
        self.assertEqual((self.app.since(mark), self.app.process.poll()), ([], None))

        # A private shell has no display manager, so no screen shield: the session mode it
        # would push stands in for the lock (extensions see nothing else of it).
        mode = "quillmereTest.modules.Main.sessionMode"
        shell.eval(mode + ".pushMode('unlock-dialog')")
        wait_for(lambda: shell.eval(mode + ".isLocked"), "the lock")
        time.sleep(1)
        shell.eval(mode + ".popMode('unlock-dialog')")
        wait_for(lambda: not shell.eval(mode + ".isLocked"), "the unlock")
        self.assertIsNone(self.app.process.poll())
        self.wait_for_pixels(dim, "the dim after the unlock")
        self.assertEqual(self.rows(), rows)


if __name__ == "__main__":
    main()
