#!/usr/bin/env python3
"""A client killed while Game Over's OK keeps a won game: once at the sync of
the game's PGN, once at the rename that puts it in place. Each next start
finds the game in "played games" and counts it in the statistics, once;
a start after that changes neither."""

import glob
import os
import signal
import sys

import engine_packages as packages
import game
import harness
from harness import check

USER = "tester"
# The fault point's exit status.
STOPPED = 86


def played_games(c):
    return sorted(glob.glob(os.path.join(c.folder, "users", USER, "played games", "*.pgn")))


def temporaries(c):
    return glob.glob(os.path.join(c.folder, "users", USER, "played games", ".*"))


def matches(c):
    s = c.settings(USER)
    return {k: s.get(f"preferences.matches.{k}", "0") for k in ("played", "won", "lost", "drawn")}


def counted(n):
    return {"played": str(n), "won": str(n), "lost": "0", "drawn": "0"}


def start_stopped_at(c, call, path):
    """Opens the saved game with the fault point set to end the client at
    the first call on a path that holds "/played games/"."""
    c.env.update({"LD_PRELOAD": os.path.join(c.build, "testsupport", "librookwell_faultpoint.so"),
                  "ROOKWELL_FAULT_CALL": call, "ROOKWELL_FAULT_PATH": "/played games/"})
    try:
        c.start(path)
    finally:
        for key in ("LD_PRELOAD", "ROOKWELL_FAULT_CALL", "ROOKWELL_FAULT_PATH"):
            c.env.pop(key, None)


def start_after_kill(c):
    """A start that finds the last run ended unclean: No to safe mode, OK to
    the word after it; then the frame and the title splash as ever."""
    seen = len(c.prompts())
    c.start(wait_frame=False)
    index, record = c.wait_prompt(caption="Safe Mode", contains="did not close properly", after=seen, timeout=30)
    c.answer("Safe Mode", "alt+n")
    c.wait_prompt(caption="Safe Mode", after=index + 1)
    c.answer("Safe Mode")
    c.frame = c.wait_window("^Rookwell$", 30)
    c.wait_started()
    c.asked_before_start = len(c.prompts())
    c.close_splash()


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")
    packages.install_fake(c, "Silent", packages.FEATURES)

    for n, call in enumerate(("fsync", "rename"), 1):
        # The silent engine's flag falls after the user's first move.
        start_stopped_at(c, call, packages.saved_game(c, f"silent-{call}", "Silent", local="white", seconds=3))
        over = game.flag_falls_after_e4(c)
        c.take_keyboard(over)
        c.key("Return", window=over)
        check(c.wait_exit() == STOPPED, f"the client is ended at the {call} of the game's PGN")
        check(len(played_games(c)) == n - 1 and temporaries(c),
              f"the PGN is written but not in place: {played_games(c)}, {temporaries(c)}")
        # What the killed client's engine may leave is ours to end.
        for pid in packages.processes_under(os.path.join(c.folder, "engines")):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        start_after_kill(c)
        c.menu("g", "x")
        check(c.wait_exit() == 0, f"the start after the {call} ends")
        check(len(played_games(c)) == n and not temporaries(c),
              f"the start put the game in place: {played_games(c)}, {temporaries(c)}")
        text = open(played_games(c)[-1]).read()
        check('[Result "1-0"]' in text and text.rstrip().endswith("1-0"), f"the kept game is whole: {text}")
        check(matches(c) == counted(n), f"the kept game is counted once after the {call}: {matches(c)}")

    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "a last start ends")
    check(len(played_games(c)) == 2 and matches(c) == counted(2),
          f"a start after the sweep counts nothing again: {played_games(c)}, {matches(c)}")


if __name__ == "__main__":
    sys.exit(harness.run("game-over-killed", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
