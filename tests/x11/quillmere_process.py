"""Quillmere as the tests run it: on a private desktop, with its output lines read as they
come."""

import os
import queue
import signal
import subprocess
import threading
import time

BINARY = os.environ.get("QUILLMERE_BIN", "quillmere")
# The private Xvfb has XInput 2.2, so global input is always trusted there.
LAUNCH_LINES = ["QuillmereApp started", "Accessibility permissions granted."]


class Quillmere:
    def __init__(self, desk, args=(), env=None, stdout=subprocess.PIPE, read_output=True):
        self.process = desk.spawn([BINARY] + list(args), env=env or desk.env, stdout=stdout,
                                  stderr=subprocess.PIPE)
        self.lines = queue.Queue()
        self.stderr_text = []
        if stdout == subprocess.PIPE and read_output:
            threading.Thread(target=self._read, args=(self.process.stdout, self.lines),
                             daemon=True).start()
        threading.Thread(target=self._collect_stderr, daemon=True).start()

    @staticmethod
    def _read(stream, sink):
        for raw in stream:
            sink.put(raw.decode(errors="replace").rstrip("\n"))

    def _collect_stderr(self):
        for raw in self.process.stderr:
            self.stderr_text.append(raw.decode(errors="replace"))

    def read_lines(self, count, timeout=10.0):
        lines = []
        deadline = time.monotonic() + timeout
        while len(lines) < count:
            try:
                lines.append(self.lines.get(timeout=max(0.01, deadline - time.monotonic())))
            except queue.Empty:
                break
        return lines

    def signal(self, number):
        self.process.send_signal(number)

    def wait(self, timeout=5.0):
        return self.process.wait(timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
