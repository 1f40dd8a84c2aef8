"""A private Wayland compositor with XWayland for the tests: the private headless sway of the
Wayland tests, with its XWayland started at once. Its X clients run as the caller: under root,
where sway runs as nobody, XWayland is told to let root's clients in."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wayland"))
from private_session import no_bus_address, private_environment  # noqa: E402
from sway_session import SwaySession, SwayUnavailable, wait_for  # noqa: E402,F401


class XwaylandDesktop(SwaySession):
    def __init__(self):
        super().__init__(xwayland=True)
        self.display = None

    def __enter__(self):
        super().__enter__()
        try:
            self.display = self.env["DISPLAY"]
            if self.as_root:
                let_in = super().run(["xhost", "+si:localuser:root"])
                if let_in.returncode != 0:
                    raise SwayUnavailable("XWayland did not let root in")
        except BaseException:
            self.close()
            raise
        # The clients' own private directories, and no bus unless a test starts one.
        self.env = private_environment(os.path.join(self.base, "clients"))
        self.env["DISPLAY"] = self.display
        self.env["DBUS_SESSION_BUS_ADDRESS"] = no_bus_address(self.env)
        return self

    def spawn(self, argv, env=None, **kwargs):
        """Starts an X client as the caller; it is stopped with the desktop."""
        process = subprocess.Popen(argv, env=env or self.env, start_new_session=True, **kwargs)
        self.clients.append(process)
        return process

    def run(self, argv, check=False, timeout=20):
        return subprocess.run(argv, env=self.env, check=check, timeout=timeout,
                              capture_output=True, text=True)
