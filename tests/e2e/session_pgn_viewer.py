#!/usr/bin/env python3
"""A real PGN file in the PGN viewer: its games listed, one stepped through in
the move list with the board checked against chess.js at every step, then
the game exported as PGN and the shown position as FEN (both read back by
chess.js), and a board snapshot compared with the screen."""

import os
import shutil
import sys
import time

import game
import harness
from harness import check

PGN = os.path.join(harness.TESTDATA, "pgn", "kasparov-deep-blue-1997.pgn")


def steps(c):
    # The frame stands clear of the viewer, which opens at the top left.
    c.start()
    c.key("F2")
    time.sleep(1)
    board = c.board()
    game.away(c, board)
    empty = board.empty(c.settle("start-page-board"), c.artifacts)
    expected = harness.pgn_game(PGN, 0)
    check(expected["games"] == 6, "chess.js reads the six games")

    seen = game.open_pgn(c, 0, PGN)
    c.wait_window("^(PGN Viewer|" + os.path.basename(PGN).replace(".", r"\.") + ")$", 15, besides=(c.frame,))
    c.key("ctrl+t")
    game.away(c, board)
    final = c.settle("first-game")
    shown = board.occupied(empty, final)
    check(shown == harness.occupied_squares(expected["fens"][-1]),
          f"the first game comes up at its last position: {sorted(shown ^ harness.occupied_squares(expected['fens'][-1]))}")

    # Into the move list: its last row, then Home and down row by row.
    fx, fy, fw, fh = c.geometry(c.frame)
    c.click(board.x + board.width + 60, fy + fh - 45)
    c.key("Home", window=c.frame)
    game.away(c, board)
    fens = [expected["start"]] + expected["fens"]
    targets = [harness.occupied_squares(f) for f in fens]
    plies = []
    for step in range(8):
        picture = c.settle(f"step-{step}")
        shown = board.occupied(empty, picture)
        matching = [i for i, t in enumerate(targets) if t == shown]
        check(matching, f"step {step} shows a position of the game: {sorted(shown)}")
        plies.append(matching[0])
        c.xdotool("key", "Down")
        time.sleep(0.3)
    check(plies == sorted(plies) and plies[-1] > plies[0], f"stepping goes forward through the game: {plies}")
    shown_ply = plies[-1]
    # The same position every time: a picture to compare.
    x, y, w, h = board.image_rect()
    position = c.crop(picture.path, x, y, w, h, "position-after-steps")
    harness.match_reference(c, position, f"pgn-step-ply-{shown_ply}", tolerance=0.05)

    # Export PGN and FEN: chess.js reads them back.
    exported = os.path.join(c.base, "exported game.pgn")
    game.pgn_submenu(c, "e")
    seen = game.answer_file(c, seen, exported)
    harness.wait_until(lambda: os.path.exists(exported) and os.path.getsize(exported) > 0, 10, "the PGN file")
    again = harness.pgn_game(exported, 0)
    shutil.copy(exported, c.artifacts)
    check(again["moves"] == expected["moves"], "the exported PGN holds the game's moves")
    for tag in ("White", "Black", "Result"):
        check(again["header"].get(tag) == expected["header"].get(tag),
              f"the exported PGN keeps {tag}: {again['header'].get(tag)!r}, was {expected['header'].get(tag)!r}")

    fen_file = os.path.join(c.base, "position.fen")
    c.menu("g", "f")
    seen = game.answer_file(c, seen, fen_file)
    harness.wait_until(lambda: os.path.exists(fen_file) and os.path.getsize(fen_file) > 0, 10, "the FEN file")
    fen = open(fen_file).read().strip()
    # The game's board: the position shown, or the game's last one while the move list only shows an earlier one.
    check(fen.split()[:4] in (fens[shown_ply].split()[:4], fens[-1].split()[:4]),
          f"the FEN is a position of the game: {fen}")
    check("\n" not in open(fen_file).read(), "the FEN file is one line without a line end")

    # Save Board Snapshot (fourth from the end of the Game menu): the picture the screen shows.
    snapshot = os.path.join(c.base, "board.bmp")
    c.key("alt+g")
    for k in ("Up", "Up", "Up", "Up", "Return"):
        c.xdotool("key", k)
        time.sleep(0.25)
    seen = game.answer_file(c, seen, snapshot)
    harness.wait_until(lambda: os.path.exists(snapshot) and os.path.getsize(snapshot) > 0, 10, "the snapshot")
    shot = os.path.join(c.artifacts, "snapshot.png")
    harness.subprocess.run(["convert", snapshot, shot], check=True)
    size = harness.subprocess.run(["identify", "-format", "%w %h", shot], capture_output=True, text=True).stdout
    sw, sh = (int(v) for v in size.split())
    screen = c.crop(c.screenshot("for-snapshot"), board.image_rect()[0], board.image_rect()[1], sw, sh, "screen-board")
    rmse = harness.difference(shot, screen)
    check(rmse < 0.08, f"the snapshot shows the board as on the screen (RMSE {rmse:.3f})")

    game.exit_closing_pgn(c, seen)


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("pgn-viewer", steps, user="tester", window=(260, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
