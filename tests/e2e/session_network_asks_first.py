#!/usr/bin/env python3
"""Host a Game and Join a Game over a game against the computer with moves
played: each asks first whether to save it. Cancel keeps the game and opens
no dialog; No opens the dialog, and cancelling that leaves the game in play
with its moves, unsaved; Yes saves it (asking where the first time, into
the same file after), then opens the dialog. The game goes on with the
engine after each, and the client ends without asking once all is saved."""

import os
import re
import sys

import game
import harness
from harness import check

USER = "tester"
QUESTION = "Do you wish to save the current game?"
# The answers as the prompt log writes them: the toolkit's button codes.
YES, NO, CANCEL = "2", "8", "16"


def saved_moves(path):
    """The moves a saved game holds, in order: the Move of each entry of its
    Moves frame (the entries are unnamed, which read_config folds into one)."""
    moves, frames, pending = [], [], None
    with open(path, errors="replace") as f:
        for raw in f:
            line = raw.strip()
            if line == "{":
                frames.append(pending or "")
                pending = None
            elif line == "}":
                frames.pop() if frames else None
            elif "=" in line:
                name, _, value = (part.strip().strip('"') for part in line.partition("="))
                if not value:
                    pending = name.lower()
                elif frames[:1] == ["moves"] and name.lower() == "move":
                    moves.append(value)
    return moves


def sans(history):
    """The moves of history as the board writes them."""
    return [next(m["san"] for m in position["moves"] if m["from"] + m["to"] + m.get("promotion", "") == move)
            for position, move in zip(harness.Oracle.line(history), history)]


def ask(c, item):
    """Game, Network Game, and the item; the save question it asks, as (index, record)."""
    seen = len(c.prompts())
    c.menu("g", "n", item)
    index, record = c.wait_prompt(after=seen)
    check(record[:3] == ("message", "End Game", QUESTION), f"the command asks to save first: {record}")
    return index, record


def cancel_dialog(c, title):
    """The network dialog, once it is up, cancelled with its Cancel button."""
    dialog = c.wait_dialog("^" + re.escape(title) + "$", 15)
    c.key("alt+c", window=dialog)
    c.wait_gone(dialog, 15)


def still_in_play(c, board, empty, history, name):
    """The board shows the moves played, and the engine answers the next."""
    expected = harness.occupied_squares(harness.Oracle.position(history)["fen"])
    harness.wait_occupied(c, board, empty, expected, name)
    mine, reply, _ = game.play_and_wait_reply(c, board, history, c.settle(name))
    print(name, mine["san"], reply["san"])


def leave_for(c, item, title, board, empty, history, saved):
    """Cancel, No and Yes to the question of one network command. saved is
    the game's file, or None before its first save; the file after Yes."""
    # Cancel: no dialog. The next question comes from the frame's own menu,
    # which a modal dialog would have kept from the keyboard.
    index, record = ask(c, item)
    c.answer(record[1], "Escape")
    check(c.answered(index) == CANCEL, f"the question was cancelled: {c.prompts()[index]}")
    index, record = ask(c, item)
    check(not c.windows("^" + re.escape(title) + "$"), f"Cancel opened no {title} dialog")

    # No: the dialog opens; cancelled, the game is kept as it was, unsaved.
    c.answer(record[1], "alt+n")
    check(c.answered(index) == NO, f"No was answered: {c.prompts()[index]}")
    cancel_dialog(c, title)
    still_in_play(c, board, empty, history, f"kept-after-no-{item}")
    if saved:
        check(len(saved_moves(saved)) < len(history), f"No saved nothing: {saved_moves(saved)}")

    # Yes: saved before the dialog opens.
    index, record = ask(c, item)
    c.answer(record[1], "alt+y")
    check(c.answered(index) == YES, f"Yes was answered: {c.prompts()[index]}")
    if saved is None:
        index, record = c.wait_prompt(after=index + 1)
        check(record[0] == "file" and record[2].endswith("/active games/"),
              f"the first save asks where, in the active games: {record}")
        c.key("Return", window=c.wait_dialog("^" + re.escape(record[1]) + "$", 15))
        saved = c.answered(index)
        check(saved.endswith(".rwg"), f"a game file is chosen: {saved}")
    # The answer is written as the chooser closes; the save follows it.
    played = sans(history)
    harness.wait_until(lambda: os.path.exists(saved) and saved_moves(saved) == played, 30,
                       f"the game with its moves {played} saved in {saved}")
    cancel_dialog(c, title)
    check(len(c.prompts()) == index + 1, f"nothing else was asked: {c.prompts()[index + 1:]}")
    expected = harness.occupied_squares(harness.Oracle.position(history)["fen"])
    harness.wait_occupied(c, board, empty, expected, f"kept-after-yes-{item}")
    return saved


def steps(c):
    c.start()
    board, empty, before = game.start_computer_game(c)
    history = []
    for _ in range(2):
        mine, reply, before = game.play_and_wait_reply(c, board, history, before)
        print(mine["san"], reply["san"])

    saved = leave_for(c, "h", "Start Network Game", board, empty, history, None)
    # Moves after the save make the game unsaved again.
    still_in_play(c, board, empty, history, "after-host")
    saved = leave_for(c, "j", "Join a Network Game", board, empty, history, saved)

    # All is saved: the client ends without a question.
    seen = len(c.prompts())
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends")
    check(len(c.prompts()) == seen, f"nothing was asked on the way out: {c.prompts()[seen:]}")
    check(saved_moves(saved) == sans(history), f"the saved game holds every move: {saved_moves(saved)}")


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("network-asks-first", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
