#!/usr/bin/env python3
"""Ten starts at once of one program folder, seven of them naming a PGN
file, three none, twice over: exactly one becomes the client (one process,
one frame); every other start hands its files over and ends with status 0,
none gives up with "does not answer" while the first is only starting; and
every file handed over reaches the running client, as its log of hand-overs
shows (in whatever order the starts came); once each hand-over is carried
out (raised, its file read), Game, Exit ends it cleanly."""

import os
import re
import signal
import subprocess
import sys

import harness
import move_timing
from harness import check, wait_until

USER = "tester"
STARTS = 10
WITH_FILES = 7
GAME = """[Event "Start {n}"]
[White "Ann"]
[Black "Bob"]
[Result "*"]

1. e4 e5 *
"""


def handed_over(log_path):
    """The files the client's log says other starts handed over."""
    text = harness.read_text(log_path) or ""
    return set(re.findall(r"(?m)^  (/.*)$", text))


def carried_out(log_path):
    """How many hand-overs the client has carried out: raised, and its first file opening."""
    text = harness.read_text(log_path) or ""
    return len(re.findall(r"(?m)^(?:Raised by another start$|Files handed over by another start: )", text))


def opened(c, log_path, own):
    """Whether every file carried out (and the client's own) has been read to
    its end: while the viewer reads, the frame takes no keys."""
    text = harness.read_text(log_path) or ""
    names = {os.path.basename(path) for path in
             re.findall(r"(?m)^Files handed over by another start: (.*)$", text) + own}
    read = set(re.findall(r"(?m)^PGN viewer: (.*\.pgn): \d+ games?$", move_timing.console_text(c)))
    return names <= read


def ten_at_once(c, round_number):
    files = []
    for n in range(WITH_FILES):
        path = os.path.join(c.base, f"round {round_number} game {n}.pgn")
        with open(path, "w") as f:
            f.write(GAME.format(n=n))
        files.append(path)
    arguments = [[path] for path in files] + [[] for _ in range(STARTS - WITH_FILES)]
    starts = []
    for n, extra in enumerate(arguments):
        log_path = os.path.join(c.artifacts, f"round-{round_number}-start-{n}.log")
        with open(log_path, "w") as log:
            process = subprocess.Popen([*c.command, *extra], cwd=c.base, env=c.env, stdout=log,
                                       stderr=subprocess.STDOUT, start_new_session=True)
        starts.append((process, extra, log_path))

    def ended():
        return [s for s in starts if s[0].poll() is not None]
    try:
        wait_until(lambda: len(ended()) >= STARTS - 1, 120, "all but one start to end", step=0.1)
        running = [s for s in starts if s[0].poll() is None]
        check(len(running) == 1, f"exactly one client runs: {len(running)}")
        winner = running[0]
        for process, extra, log_path in ended():
            check(process.returncode == 0,
                  f"a start that handed over ends with status 0: {process.returncode}, {harness.read_text(log_path)}")
        c.process = winner[0]
        c.frame = c.wait_window("^Rookwell$", 30)
        wait_until(lambda: len(c.windows("^Rookwell$")) == 1, 10, "one frame")
        losers = {extra[0] for process, extra, _ in ended() if extra}
        wait_until(lambda: losers <= handed_over(winner[2]), 60,
                   f"every handed file in the client's log: {losers} in {handed_over(winner[2])}")
        check(not handed_over(winner[2]) - losers, "only the files of other starts were handed over")
        asked = [r for r in c.prompts() if "already running" in r[2]]
        check(not asked, f"no start says Rookwell is already running: {asked}")
        check(len(c.windows("^Rookwell$")) == 1, "still one frame")
        # While a file handed over is read the frame takes no keys: Game,
        # Exit waits until every start has been served and its file read
        # (an exit during the reading is the exit-while-opening session's).
        wait_until(lambda: carried_out(winner[2]) >= len(ended()), 60,
                   f"every hand-over carried out: {carried_out(winner[2])} of {len(ended())}")
        wait_until(lambda: opened(c, winner[2], winner[1]), 60, "every file carried out read")
    finally:
        for process, _, _ in starts:
            if process.poll() is None and process is not c.process:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    # Game, Exit as a user ends it, whatever of the files is still opening:
    # a clean end, and the next round starts without a crash left behind.
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly once the files handed over are open")
    check(not os.path.exists(os.path.join(c.folder, "users", USER, "running.marker")),
          "no crash is left for the next round")


def steps(c):
    # The user exists: the starts race for the client, not for a new profile.
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first run ends")
    for round_number in (1, 2):
        ten_at_once(c, round_number)


if __name__ == "__main__":
    sys.exit(harness.run("ten-starts", steps, user=USER, debug=True, window=(40, 40, 900, 700)))
