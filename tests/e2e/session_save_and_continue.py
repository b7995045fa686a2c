#!/usr/bin/env python3
"""A game against the computer saved with Ctrl-S into the active games, the
client ended and started again, the game opened from the start page's list
of active games, shown as it was left, and continued with the engine."""

import os
import sys

import game
import harness
from harness import check

USER = "tester"


def steps(c):
    c.start()
    board, empty, before = game.start_computer_game(c)
    history = []
    for _ in range(2):
        mine, reply, before = game.play_and_wait_reply(c, board, history, before)
        print(mine["san"], reply["san"])

    # Ctrl-S offers the active games folder and a name after the opponent.
    seen = len(c.prompts())
    c.key("ctrl+s")
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file" and record[2].endswith("/active games/"), f"Save asks in the active games: {record}")
    dialog = c.wait_dialog("^" + record[1] + "$", 15)
    c.key("Return", window=dialog)
    c.wait_gone(dialog)
    saved = c.answered(index)
    check(saved and saved.endswith(".rwg"), f"a game file is chosen: {saved}")
    # The answer is written down as the dialog closes; the save follows it.
    active = os.path.join(c.folder, "users", USER, "active games")
    harness.wait_until(lambda: os.listdir(active) == [os.path.basename(saved)] and os.path.exists(saved) and
                       harness.read_config(saved).get("game.type") == "AIGame", 30,
                       f"the game saved as {saved}; found {os.listdir(active)}")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends after saving (nothing left to ask)")

    # The next start lists it on the start page; a click opens it.
    c.start()
    board = game.open_first_active_game(c, empty, history)
    shown = c.settle("reopened")
    mine, reply, after = game.play_and_wait_reply(c, board, history, shown)
    print("continued:", mine["san"], reply["san"])

    game.exit_without_saving(c)


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("save-and-continue", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
