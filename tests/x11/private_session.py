"""The environment and the session bus of every process that the desktop tests start.

A process gets an environment built from an allow-list, never a copy of the caller's: the
search path, a language, and a HOME and XDG directories of its desktop's own. A display, a bus,
Qt's scale, input method or theme, a desktop name or anything else that a developer's session
sets stays out, and so do the settings under the developer's HOME (Qt, fontconfig, icon theme,
the window manager's and the compositor's configuration).
"""

import os
import subprocess

_HERE = os.path.dirname(os.path.abspath(__file__))
BUS_CONFIG = os.path.join(_HERE, "session-bus.conf")
_DEFAULT_PATH = "/usr/local/bin:/usr/bin:/bin"
_PRIVATE_DIRS = (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                 ("XDG_CACHE_HOME", "cache"), ("XDG_STATE_HOME", "state"),
                 ("XDG_RUNTIME_DIR", "runtime"))


def tool_environment():
    """For a program that needs no desktop (an image converter, an installer): the search path
    and a language."""
    return {"PATH": os.environ.get("PATH") or _DEFAULT_PATH, "LANG": "C.UTF-8"}


def private_environment(root):
    """The allow-list with HOME and the XDG directories made under root, all private to their
    owner as the runtime directory must be."""
    env = tool_environment()
    for name, folder in _PRIVATE_DIRS:
        path = os.path.join(root, folder)
        os.makedirs(path, mode=0o700, exist_ok=True)
        os.chmod(path, 0o700)
        env[name] = path
    return env


def start_session_bus(env):
    """Starts a session bus with the tests' own configuration, which activates nothing that is
    installed on the machine, listening in env's runtime directory. Puts its address into env
    and returns the daemon, which the caller stops."""
    socket = os.path.join(env["XDG_RUNTIME_DIR"], "bus")
    daemon = subprocess.Popen(
        ["dbus-daemon", "--config-file=" + BUS_CONFIG, "--address=unix:path=" + socket,
         "--nofork", "--print-address=1"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True,
        start_new_session=True)
    address = daemon.stdout.readline().strip()
    daemon.stdout.close()
    if not address:
        daemon.kill()
        daemon.wait()
        raise RuntimeError("dbus-daemon did not start")
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    return daemon


def no_bus_address(env):
    """An address where no bus listens: without any, libdbus would try to start a bus of its
    own through X11 autolaunch."""
    return "unix:path=" + os.path.join(env["XDG_RUNTIME_DIR"], "no-bus")
