#!/usr/bin/env python3
"""A real PGN file in the PGN viewer: its games listed, one stepped through in
the move list with the board checked against chess.js at every step, then
the game exported as PGN and the shown position as FEN (both read back by
chess.js), and a board snapshot compared with the screen."""

import os
import shutil
import sys

import game
import harness
from harness import check

PGN = os.path.join(harness.TESTDATA, "pgn", "kasparov-deep-blue-1997.pgn")


def steps(c):
    # The viewer opens beside the board, clear of the move list below the side panel's top.
    c.start()
    board, empty, _ = c.board_view(name="start-page-board")
    game.away(c, board)
    expected = harness.pgn_game(PGN, 0)
    check(expected["games"] == 6, "chess.js reads the six games")

    seen = game.open_pgn(c, 0, PGN)
    viewer = c.wait_window("^(PGN Viewer|" + os.path.basename(PGN).replace(".", r"\.") + ")$", 15,
                           besides=(c.frame,))
    # Beside the board, on the screen, wide enough for two long names.
    vx, vy, vw, vh = c.geometry(viewer)
    apart = (vx >= board.x + board.width or vx + vw <= board.x or vy >= board.y + board.height or
             vy + vh <= board.y)
    check(apart, f"the viewer {(vx, vy, vw, vh)} leaves the board {(board.x, board.y, board.width, board.height)} clear")
    check(vx >= 0 and vy >= 0 and vx + vw <= 1280 and vy + vh <= 1024, f"the viewer is on the screen: {(vx, vy, vw, vh)}")
    check(vw >= 360 and vh >= 200, f"the viewer is wide enough for two 20-letter names: {vw}x{vh}")
    c.key("ctrl+t")
    game.away(c, board)
    # The first game comes up at its last position.
    harness.wait_occupied(c, board, empty, harness.occupied_squares(expected["fens"][-1]), "first-game")

    # Into the move list: its last row, then Home and down row by row.
    fx, fy, fw, fh = c.geometry(c.frame)
    c.click(board.x + board.width + 60, fy + fh - 45)
    c.key("Home", window=c.frame)
    game.away(c, board)
    fens = [expected["start"]] + expected["fens"]
    targets = [harness.occupied_squares(f) for f in fens]
    plies = []

    def step_to(name, wanted):
        """The settled picture once the board shows a position of the game whose ply wanted(ply) accepts."""
        def shown(picture):
            matching = [i for i, t in enumerate(targets) if t == board.occupied(empty, picture)]
            if matching and wanted(matching[0]):
                plies.append(matching[0])
                return True
            return False
        return c.wait_settled(shown, f"{name}: a position of the game after ply {plies[-1:]}", name)
    # Home leaves the last position; each Down goes forward.
    picture = step_to("step-0", lambda ply: ply < len(targets) - 1)
    for step in range(1, 8):
        c.xdotool("key", "Down")
        picture = step_to(f"step-{step}", lambda ply: ply > plies[-1])
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
    written = harness.wait_for_file_content(fen_file, lambda text: text.strip(), 10, "the FEN file")
    fen = written.strip()
    # The game's board: the position shown, or the game's last one while the move list only shows an earlier one.
    check(fen.split()[:4] in (fens[shown_ply].split()[:4], fens[-1].split()[:4]),
          f"the FEN is a position of the game: {fen}")
    check("\n" not in written, "the FEN file is one line without a line end")

    # Save Board Snapshot (fourth from the end of the Game menu): the picture the screen shows.
    snapshot = os.path.join(c.base, "board.bmp")
    c.menu("g", "Up", "Up", "Up", "Up", "Return")
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
