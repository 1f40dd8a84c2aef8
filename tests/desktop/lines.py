"""A program of a session whose standard output (and standard error, where piped) is read line
by line as it comes: Quillmere, the harnesses and the probes. Lines are consumed in order
(read_lines) or looked up from a mark (since, seen, wait_line, ask)."""

import subprocess
import threading

from desktop.session import stop, wait_for


class LineClient:
    def __init__(self, session, argv, env=None, stdin=subprocess.PIPE, stderr=subprocess.PIPE):
        self.process = session.spawn(argv, env=env, stdin=stdin, stdout=subprocess.PIPE,
                                     stderr=stderr)
        self.lines = []
        self.errors = []
        self.consumed = 0
        self.ended = False
        self.lock = threading.Condition()
        threading.Thread(target=self._collect, args=(self.process.stdout, self.lines),
                         daemon=True).start()
        if self.process.stderr is not None:
            threading.Thread(target=self._collect, args=(self.process.stderr, self.errors),
                             daemon=True).start()

    def _collect(self, stream, into):
        for raw in stream:
            with self.lock:
                into.append(raw.decode(errors="replace").rstrip("\n"))
                self.lock.notify_all()
        with self.lock:
            self.ended = self.ended or into is self.lines
            self.lock.notify_all()

    def read_lines(self, count, timeout=10.0):
        """Up to count lines after those consumed, as many as come within the time."""
        with self.lock:
            self.lock.wait_for(lambda: len(self.lines) >= self.consumed + count or self.ended,
                               timeout)
            got = self.lines[self.consumed:self.consumed + count]
            self.consumed += len(got)
            return got

    def output(self):
        with self.lock:
            return list(self.lines)

    def mark(self):
        with self.lock:
            return len(self.lines)

    def since(self, mark, prefix=""):
        with self.lock:
            return [line for line in self.lines[mark:] if line.startswith(prefix)]

    def seen(self, prefix, since=0):
        """The first line from `since` on that starts with `prefix`, or None."""
        return next(iter(self.since(since, prefix)), None)

    def wait_line(self, prefix, what, since=0, timeout=10):
        return wait_for(lambda: self.seen(prefix, since), what, timeout)

    def wait_for_lines(self, expected, what):
        """Until the whole output is the expected lines."""
        try:
            wait_for(lambda: self.output() == expected, what)
        except AssertionError:
            raise AssertionError("{}: saw {}".format(what, self.output())) from None

    def send(self, command):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()

    def ask(self, command, answer):
        """Sends the command and gives the first line after it that starts with `answer`."""
        mark = self.mark()
        self.send(command)
        return self.wait_line(answer, "'{}' after '{}'".format(answer, command), mark)

    def signal(self, number):
        self.process.send_signal(number)

    def wait(self, timeout=5.0):
        return self.process.wait(timeout)

    def stop(self):
        stop(self.process, grace=5.0)
