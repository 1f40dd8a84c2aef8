"""A private Wayland compositor with XWayland for the tests: a headless sway that starts its
XWayland at once. Started here and stopped again, even when a test fails; it never touches a
compositor or display that it did not start.

sway refuses to run as root, so under root it runs as nobody, and XWayland is then told to
let root's clients in."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

from private_session import no_bus_address, private_environment

NOBODY = 65534


class SwayUnavailable(Exception):
    pass


class XwaylandDesktop:
    def __init__(self):
        self.base = None
        self.sway = None
        self.display = None
        self.env = None
        self.clients = []

    def spawn(self, argv, env=None, **kwargs):
        """Starts a client of the XWayland display; it is stopped with the desktop."""
        process = subprocess.Popen(argv, env=env or self.env, start_new_session=True, **kwargs)
        self.clients.append(process)
        return process

    def run(self, argv, check=False, timeout=20):
        return subprocess.run(argv, env=self.env, check=check, timeout=timeout,
                              capture_output=True, text=True)

    def __enter__(self):
        for tool in ("sway", "Xwayland", "setpriv", "xhost"):
            if shutil.which(tool) is None:
                raise SwayUnavailable(tool + " is not installed")
        as_root = os.getuid() == 0
        self.base = tempfile.mkdtemp(prefix="quillmere-xwayland-")
        os.chmod(self.base, 0o755)
        runtime = os.path.join(self.base, "runtime")
        os.mkdir(runtime, 0o700)
        display_file = os.path.join(runtime, "display")
        config = os.path.join(self.base, "sway.config")
        with open(config, "w") as out:
            out.write("xwayland force\n"
                      "exec sh -c 'echo \"$DISPLAY\" > {}.new && mv {}.new {}'\n"
                      .format(display_file, display_file, display_file))
        os.chmod(config, 0o644)
        argv = ["sway", "-c", config]
        if as_root:
            os.chown(runtime, NOBODY, NOBODY)
            argv = ["setpriv", "--reuid={}".format(NOBODY), "--regid={}".format(NOBODY),
                    "--clear-groups"] + argv
            # XWayland makes the socket directory itself when it is missing, and would then
            # keep it to its own user.
            os.makedirs("/tmp/.X11-unix", exist_ok=True)
            os.chmod("/tmp/.X11-unix", 0o1777)
        sway_env = {"PATH": os.environ.get("PATH") or "/usr/bin:/bin", "HOME": runtime,
                    "XDG_RUNTIME_DIR": runtime, "LANG": "C.UTF-8",
                    "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                    "WLR_RENDERER": "pixman"}
        self.sway = subprocess.Popen(argv, env=sway_env, start_new_session=True,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.display = self._wait_for_display(display_file)
            if as_root:
                subprocess.run(["setpriv", "--reuid={}".format(NOBODY),
                                "--regid={}".format(NOBODY), "--clear-groups",
                                "xhost", "+si:localuser:root"],
                               env={"PATH": sway_env["PATH"], "DISPLAY": self.display},
                               check=True, capture_output=True, timeout=20)
        except BaseException:
            self.close()
            raise
        # The clients' own private directories, and no bus unless a test starts one.
        self.env = private_environment(os.path.join(self.base, "clients"))
        self.env["DISPLAY"] = self.display
        self.env["DBUS_SESSION_BUS_ADDRESS"] = no_bus_address(self.env)
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _wait_for_display(self, display_file):
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self.sway.poll() is not None:
                raise SwayUnavailable("sway ended with status {}".format(self.sway.returncode))
            if os.path.exists(display_file):
                with open(display_file) as source:
                    name = source.read().strip()
                if name:
                    return name
            time.sleep(0.05)
        raise SwayUnavailable("sway started no XWayland within 30 s")

    def close(self):
        for process in self.clients:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        self.clients.clear()
        if self.sway is not None and self.sway.poll() is None:
            os.killpg(self.sway.pid, signal.SIGTERM)
            try:
                self.sway.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.sway.pid, signal.SIGKILL)
                self.sway.wait()
        self.sway = None
        if self.base is not None:
            shutil.rmtree(self.base, ignore_errors=True)
            self.base = None
