#!/usr/bin/env python3
"""A PGN whose game holds an illegal move: the viewer comes up and says
"Illegal move: Z0"; SIGTERM while that message is open ends the client with
status 0, its settings written and no crash left for the next start; the
same with the viewer showing the game after the message was answered."""

import os
import signal
import sys

import game
import harness
from harness import check, wait_until

USER = "tester"
BROKEN = """[Event "Club night"]
[White "Ann"]
[Black "Bob"]
[Result "*"]

1. e4 e5 2. Nf3 Z0 *
"""


def settings_time(c):
    return os.path.getmtime(os.path.join(c.folder, "users", USER, "user.cfg"))


def marker(c):
    return os.path.join(c.folder, "users", USER, "running.marker")


def open_broken(c, path):
    """Opens the PGN; the index of the "Illegal move" message and its window."""
    seen = game.open_pgn(c, len(c.prompts()), path)
    index, record = c.wait_prompt(caption="Open PGN", contains="Illegal move", after=seen)
    check("Z0" in record[2], f"the message names the move: {record[2]!r}")
    window = c.wait_window("^Open PGN$", 15, besides=(c.frame,))
    return index, window


def ends_on_term(c, what):
    before = settings_time(c)
    c.process.send_signal(signal.SIGTERM)
    status = c.wait_exit(30)
    check(status == 0, f"SIGTERM {what} ends the client with status 0, got {status}")
    check(settings_time(c) > before, f"the settings are written at SIGTERM {what}")
    check(not os.path.exists(marker(c)), f"no crash is left for the next start after SIGTERM {what}")


def steps(c):
    path = os.path.join(c.base, "broken game.pgn")
    with open(path, "w") as f:
        f.write(BROKEN)
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    for attempt in range(3):
        c.start()
        open_broken(c, path)
        c.screenshot(f"illegal-move-{attempt}")
        ends_on_term(c, "with the viewer's message open")

    # Answered, the viewer shows the moves before the bad one; SIGTERM then.
    c.start()
    index, window = open_broken(c, path)
    c.key("Return", window=window)
    c.wait_gone(window)
    wait_until(lambda: c.windows("^(PGN Viewer|broken game\\.pgn)$"), 15, "the viewer")
    ends_on_term(c, "with the viewer open")

    # The next start is an ordinary one: no safe-mode question.
    c.start()
    check(not [r for r in c.prompts() if "safe mode" in r[2].lower()], "no safe-mode question after SIGTERM")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends")


if __name__ == "__main__":
    sys.exit(harness.run("pgn-viewer-signal", steps, user=USER, window=(260, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
