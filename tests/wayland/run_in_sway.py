"""Runs a command as a client of a private headless sway that it starts and stops, and ends
with the command's status. Usage: run_in_sway.py -- COMMAND [ARGUMENTS...]"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session_base import SessionUnavailable  # noqa: E402
from sway_session import SwaySession  # noqa: E402

SKIPPED = 77


def main(argv):
    if "--" not in argv:
        sys.exit(__doc__)
    command = argv[argv.index("--") + 1:]
    try:
        with SwaySession() as session:
            process = session.spawn(command, stdout=None, stderr=None)
            try:
                return process.wait(timeout=120)
            except subprocess.TimeoutExpired:
                return 1
    except SessionUnavailable as reason:
        print("skipped: no headless sway could start: {}".format(reason))
        return SKIPPED


if __name__ == "__main__":
    sys.exit(main(sys.argv))
