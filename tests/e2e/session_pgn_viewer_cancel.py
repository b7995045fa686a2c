#!/usr/bin/env python3
"""A PGN file of millions of short games, more than the viewer reads before
the user acts. While it reads, Escape stops the reading: the games read so
far stay listed, the viewer says the list holds only those, and it answers
as before (Escape again asks to close the file). Then, in a second run,
SIGTERM while the viewer reads ends the client with status 0, its settings
written and no crash left, the reading stopped short of the file's end.
The moments are read from the client's console log (Debug on)."""

import os
import re
import signal
import sys
import time

import game
import harness
import move_timing
from harness import check, wait_until

USER = "tester"
GAMES = 3_000_000
NAME = "many games.pgn"
READING = "PGN viewer: reading " + NAME
ENDED = re.compile(r"^PGN viewer: " + re.escape(NAME) +
                   r": (?:the first (\d+) games \(reading cancelled\)|(\d+) games)$", re.M)


def write_games(path, count, block=100_000):
    with open(path, "w") as f:
        for start in range(0, count, block):
            f.write("".join(f'[White "W{i}"]\n[Black "B{i}"]\n\n1. e4 e5 *\n\n'
                            for i in range(start, min(count, start + block))))


def wait_reading(c):
    """Waits until the viewer has begun to read; its window."""
    wait_until(lambda: READING + "\n" in move_timing.console_text(c), 60, "the viewer to begin reading")
    return c.wait_window("^PGN Viewer$", 15, besides=(c.frame,))


def ended(c):
    """How the reading ended: (games listed, whether it was cut short), or None while it reads."""
    match = ENDED.search(move_timing.console_text(c))
    if not match:
        return None
    return (int(match.group(1)), True) if match.group(1) else (int(match.group(2)), False)


def settings_time(c):
    return os.path.getmtime(os.path.join(c.folder, "users", USER, "user.cfg"))


def steps(c):
    path = os.path.join(c.base, NAME)
    write_games(path, GAMES)

    # Escape while it reads.
    c.start()
    move_timing.consoles_aside(c)
    seen = game.open_pgn(c, len(c.prompts()), path)
    viewer = wait_reading(c)
    c.key("Escape", window=viewer)
    listed, cut = wait_until(lambda: ended(c), 300, "the reading to end")
    c.screenshot("cancelled")
    check(cut, f"Escape stops the reading: {listed} of {GAMES} games listed, not cut short")
    check(0 < listed < GAMES, f"the games read so far are kept: {listed} of {GAMES}")
    check(not [r for r in c.prompts()[seen:] if r[0] != "file"], f"nothing is asked: {c.prompts()[seen:]}")
    # The first game comes up on the board; the viewer then answers as it
    # does after a whole file: Escape asks to close it.
    c.board()
    c.settle("first-game")
    c.key("Escape", window=viewer)
    index, record = c.wait_prompt(caption="PGN Viewer", contains="Close PGN file?", after=seen)
    c.answer(record[1], "alt+y", besides=(c.frame, viewer))
    c.wait_gone(viewer)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly after the cancelled reading")

    # SIGTERM while it reads.
    c.start()
    move_timing.consoles_aside(c)
    before = settings_time(c)
    game.open_pgn(c, len(c.prompts()), path)
    wait_reading(c)
    check(ended(c) is None, "the viewer is still reading when the signal comes")
    sent = time.monotonic()
    c.process.send_signal(signal.SIGTERM)
    # Generous: it only catches a client that reads on to the end.
    status = c.wait_exit(60)
    took = time.monotonic() - sent
    print(f"SIGTERM while reading: ended in {took:.1f} s", file=sys.stderr)
    check(status == 0, f"SIGTERM while the viewer reads ends the client with status 0, got {status}")
    check(settings_time(c) > before, "the settings are written at SIGTERM while the viewer reads")
    check(not os.path.exists(os.path.join(c.folder, "users", USER, "running.marker")),
          "no crash is left for the next start")
    result = ended(c)
    check(result is not None and result[1] and result[0] < GAMES,
          f"the reading stopped at the signal, not at the file's end: {result}")


if __name__ == "__main__":
    sys.exit(harness.run("pgn-viewer-cancel", steps, user=USER, debug=True, window=(260, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
