#!/usr/bin/env python3
"""PGN files as they are found. A file whose first game is a set-up puzzle,
followed by two ordinary games, opens: the user is told why the puzzle
cannot be shown, and the viewer lists all three. Choosing the puzzle tells
the user again and leaves the board as it was; choosing an ordinary game
shows it (positions checked against chess.js). Then pgn-extract's ECO file,
which begins with a comment, opens with its 2,014 games listed and the
first one shown. Counts are read from the client's console log (Debug on)."""

import os
import shutil
import sys

import game
import harness
import move_timing
from harness import check, wait_until

USER = "tester"
ECO = "/usr/share/pgn-extract/eco.pgn"
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
PUZZLES = """[Event "Puzzle 1"]
[White "White to mate"]
[Black "in one"]
[SetUp "1"]
[FEN "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"]
[Result "*"]

1. Rd8# *

[Event "Game 2"]
[White "Ann"]
[Black "Bob"]
[Result "1-0"]

1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Bxc6 dxc6 1-0

[Event "Game 3"]
[White "Cy"]
[Black "Dee"]
[Result "0-1"]

1. d4 d5 2. c4 dxc4 3. e3 b5 0-1
"""
REFUSED = ("Game 1 (White to mate vs in one) cannot be shown: "
           "games from a set-up position are not supported.")


def wait_listed(c, name, count):
    line = f"PGN viewer: {name}: {count} games\n"
    wait_until(lambda: line in move_timing.console_text(c), 120, f"the viewer to list {count} games of {name}; log: {move_timing.console_text(c)[-400:]}")


def steps(c):
    path = os.path.join(c.base, "puzzles.pgn")
    with open(path, "w") as f:
        f.write(PUZZLES)
    finals = {n: harness.pgn_game(path, n)["fens"][-1] for n in (1, 2)}

    c.start()
    move_timing.consoles_aside(c)

    # Opened, the set-up first game is told, and the file stays open.
    seen = game.open_pgn(c, len(c.prompts()), path)
    index, record = c.wait_prompt(caption="Open PGN", after=seen)
    check(record[2] == REFUSED, f"the puzzle is named with the reason: {record[2]!r}")
    c.answer("Open PGN", besides=(c.frame,))
    seen = index + 1
    viewer = c.wait_window("^PGN Viewer$", 15, besides=(c.frame,))
    wait_listed(c, "puzzles.pgn", 3)
    board = c.board()
    empty = board.empty(c.look(), c.artifacts)

    def wait_shows(fen, what):
        harness.wait_occupied(c, board, empty, harness.occupied_squares(fen), f"the board to show {what}", 30)

    def still_shows(fen, what):
        shown = board.occupied(empty, c.settle(what))
        check(shown == harness.occupied_squares(fen), f"the board still shows {what}: {sorted(shown)}")

    def choose_puzzle(key):
        c.key(key, window=viewer)
        index, record = c.wait_prompt(caption="PGN Viewer", after=seen)
        check(record[2] == REFUSED, f"choosing the puzzle tells why: {record[2]!r}")
        c.answer("PGN Viewer", besides=(c.frame, viewer))
        check(c.running() and viewer in c.windows(), "the viewer stays open")
        return index + 1

    game.away(c, board)
    wait_shows(START, "the viewer's empty board")
    # The list: the puzzle (first row), then the second game.
    seen = choose_puzzle("Down")
    still_shows(START, "the start position")
    c.key("Down", window=viewer)
    wait_shows(finals[1], "game 2")
    seen = choose_puzzle("Up")
    still_shows(finals[1], "game 2")
    c.key("End", window=viewer)
    wait_shows(finals[2], "game 3")
    check(not [r for r in c.prompts()[seen:]], f"ordinary games are shown without a word: {c.prompts()[seen:]}")

    # A file that begins with a comment: every game listed, the first shown.
    if os.path.exists(ECO):
        eco = os.path.join(c.base, "eco.pgn")
        shutil.copy(ECO, eco)
        seen = game.open_pgn(c, len(c.prompts()), eco)
        wait_listed(c, "eco.pgn", 2014)
        viewer = c.wait_window("^PGN Viewer$", 15, besides=(c.frame,))
        wait_shows(harness.Oracle.position(["b2b4"])["fen"], "1. b4")
        check(not [r for r in c.prompts()[seen:]], f"the ECO file opens without a word: {c.prompts()[seen:]}")
    else:
        print(f"{ECO} is not installed: the ECO file is not opened", file=sys.stderr)

    game.exit_closing_pgn(c, seen)


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("pgn-viewer-setup", steps, user=USER, debug=True, window=(260, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
