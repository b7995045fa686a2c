#!/usr/bin/env python3
"""Twenty starts from a terminal on a busy machine: each start runs as a
shell with job control runs a command, in a process group of its own that
holds the terminal's foreground, in a session the shell leads, while the
session keeps every core busy and then some. Every start comes up (the
frame, the start-up done) and ends cleanly by Game, Exit; none ends at
once with the toolkit's "Unable to initialize GTK+". The X server is a
bare one that resets whenever its last client leaves, as a fresh Xvfb does:
the client's own display check must not leave it alone meanwhile."""

import fcntl
import os
import signal
import subprocess
import sys
import termios
import threading

import harness
from harness import check, wait_until

USER = "tester"
STARTS = 20
# Busy processes per core: more runnable work than the machine has cores.
LOAD_PER_CORE = 1.5
# A busy process ends by itself after this, should the session be killed.
LOAD_LIMIT_S = 600


def shell(report, command):
    """What a job-control shell does with a command typed at its prompt:
    the shell leads the terminal's session, the command gets a group of its
    own and the terminal's foreground, and the shell waits for it. Runs as
    the helper process, its standard input the terminal; it writes the
    command's process id to the descriptor report."""
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
    for sig in (signal.SIGTTOU, signal.SIGTTIN, signal.SIGTSTP, signal.SIGINT, signal.SIGQUIT):
        signal.signal(sig, signal.SIG_IGN)
    child = os.fork()
    if child == 0:
        os.setpgid(0, 0)
        os.tcsetpgrp(0, os.getpgrp())
        for sig in (signal.SIGTTOU, signal.SIGTTIN, signal.SIGTSTP, signal.SIGINT, signal.SIGQUIT):
            signal.signal(sig, signal.SIG_DFL)
        os.execv(command[0], command)
    try:
        os.setpgid(child, child)
        os.tcsetpgrp(0, child)
    except OSError:
        pass   # the child did both already, or has ended
    os.write(report, f"{child}\n".encode())
    os.close(report)
    _, status = os.waitpid(child, 0)
    os.tcsetpgrp(0, os.getpgrp())
    return os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status)


class TerminalStart:
    """One start of the client from a pseudo-terminal's shell; what the
    terminal shows goes to log_path. Stands in for the client's Popen."""

    def __init__(self, c, log_path):
        master, slave = os.openpty()
        read_end, write_end = os.pipe()
        self.shell = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--shell", str(write_end),
                                       *c.command],
                                      cwd=c.base, env=c.env, stdin=slave, stdout=slave, stderr=slave,
                                      pass_fds=(write_end,), start_new_session=True)
        os.close(slave)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.client = int(pipe.readline() or 0)
        self.pid = self.shell.pid
        self.log_path = log_path
        self.reader = threading.Thread(target=self._drain, args=(master,), daemon=True)
        self.reader.start()

    def _drain(self, master):
        # What the client writes must be read, or it blocks on a full terminal.
        with open(self.log_path, "wb") as log:
            while True:
                try:
                    data = os.read(master, 4096)
                except OSError:
                    break   # every end of the terminal is closed
                if not data:
                    break
                log.write(data)
                log.flush()
        os.close(master)

    def poll(self):
        return self.shell.poll()

    def wait(self, timeout=None):
        status = self.shell.wait(timeout)
        self.reader.join(10)
        return status

    def output(self):
        return harness.read_text(self.log_path) or ""

    def kill(self):
        for group in (self.client, self.shell.pid):
            if group > 0:
                try:
                    os.killpg(group, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        self.shell.wait()


class Load:
    """Busy processes beyond the machine's cores, for the with-block's length."""

    def __enter__(self):
        count = int((os.cpu_count() or 1) * LOAD_PER_CORE) + 1
        self.processes = [subprocess.Popen(["timeout", str(LOAD_LIMIT_S), "sh", "-c", "while :; do :; done"],
                                           stdin=subprocess.DEVNULL, start_new_session=True)
                          for _ in range(count)]
        return self

    def __exit__(self, *_):
        for process in self.processes:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def start_from_terminal(c, number):
    start = TerminalStart(c, os.path.join(c.artifacts, f"terminal-start-{number}.log"))
    c.process = start
    c.runs += 1
    c.asked_before_start = len(c.prompts())
    try:
        def frame_or_end():
            if start.poll() is not None:
                return "ended"
            found = c.windows("^Rookwell$")
            return found[-1] if found else None
        frame = wait_until(frame_or_end, 30, f"start {number}: the frame")
        check(frame != "ended", f"start {number} ended before its frame: status {start.poll()}, {start.output()!r}")
        c.frame = frame
        c.wait_started()
        c.close_splash()
        c.menu("g", "x")
        status = c.wait_exit()
        check(status == 0, f"start {number} ends cleanly: status {status}, {start.output()!r}")
        check("Unable to initialize" not in start.output(), f"start {number}: {start.output()!r}")
    finally:
        if start.poll() is None:
            start.kill()
        c.process = None


def steps(c):
    # The user exists: every start goes the way of a daily start.
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first run ends")
    with Load():
        for number in range(1, STARTS + 1):
            start_from_terminal(c, number)


if __name__ == "__main__":
    if len(sys.argv) > 3 and sys.argv[1] == "--shell":
        sys.exit(shell(int(sys.argv[2]), sys.argv[3:]))
    sys.exit(harness.run("terminal-starts", steps, user=USER, window=(40, 40, 900, 700),
                         reset=True))
