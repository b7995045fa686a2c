#!/usr/bin/env python3
"""The board on a dense screen (GDK_SCALE=2: two device pixels to a desktop
pixel each way): the board fills its canvas as on an ordinary screen, drags
between the squares as drawn play moves, before and after the frame is
resized (the engine's answers checked against chess.js), and a board snapshot has the board's size in device
pixels, which reach the canvas's shorter side."""

import os
import sys

import game
import harness
from harness import check

SNAPSHOT_ITEM = ("g", "Up", "Up", "Up", "Up", "Return")


def bare_ranks_match(board, empty, picture):
    """The empty middle ranks show the skin's board where the full-canvas fit puts it."""
    squares = [f + r for r in "3456" for f in "abcdefgh"]
    return max(board.square_difference(empty, picture, n) for n in squares) < 12


def steps(c):
    c.start()
    board, empty, start = c.board_view()
    x, y, width, height = board.image_rect()
    # The board is the size an ordinary screen shows, in twice the pixels:
    # it reaches the canvas's shorter side, not a quarter of the canvas.
    side = min(board.width, board.height)
    check(min(width, height) >= side - 2 and x >= board.x and x + width <= board.x + board.width,
          f"the board reaches the canvas's shorter side: {width}x{height} in {board.width}x{board.height}")
    # Ranks 3 to 6 span the board's middle, in its upper half too: a board in
    # the lower left quarter would leave them black.
    check(bare_ranks_match(board, empty, start), "the squares are drawn where the canvas's full fit puts them")

    game.new_computer_game(c)
    game.away(c, board)
    harness.wait_occupied(c, board, empty, harness.START_SQUARES, "new-game")
    history = []
    mine, reply, after = game.play_and_wait_reply(c, board, history, c.settle("before-move"))
    print(f"1. {mine['san']} {reply['san']}")
    fen = harness.Oracle.position(history)["fen"]
    expected = harness.occupied_squares(fen)
    occupied = board.occupied(empty, after)
    check(occupied == expected, f"the board matches {fen}: {sorted(occupied ^ expected)} differ")

    # A smaller frame: the board fits the new canvas and the drag still
    # lands on the squares as drawn.
    before = board.width, board.height
    c.xdotool("windowsize", str(c.frame), "1240", "900")
    harness.wait_until(lambda: (c.board().width, c.board().height) != before, 10, "the canvas to follow the frame")
    board = c.board()
    empty = board.empty(c.look(), c.artifacts)
    shown = harness.wait_occupied(c, board, empty, expected, "resized")
    mine, reply, after = game.play_and_wait_reply(c, board, history, shown)
    print(f"2. {mine['san']} {reply['san']}")
    x, y, width, height = board.image_rect()
    side = min(board.width, board.height)

    # Game, Save Board Snapshot: read back in device pixels.
    seen = len(c.prompts())
    snapshot = os.path.join(c.base, "board.bmp")
    c.menu(*SNAPSHOT_ITEM)
    game.answer_file(c, seen, snapshot)
    harness.wait_until(lambda: os.path.exists(snapshot) and os.path.getsize(snapshot) > 0, 10, "the snapshot")
    shot = os.path.join(c.artifacts, "snapshot.png")
    harness.subprocess.run(["convert", snapshot, shot], check=True)
    size = harness.subprocess.run(["identify", "-format", "%w %h", shot], capture_output=True, text=True).stdout
    sw, sh = (int(v) for v in size.split())
    check(abs(sw - width) <= 1 and abs(sh - height) <= 1 and abs(min(sw, sh) - side) <= 2,
          f"the snapshot is {sw}x{sh}: the board's {width}x{height} device pixels in {board.width}x{board.height}")
    screen = c.crop(c.screenshot("for-snapshot"), x, y, sw, sh, "screen-board")
    rmse = harness.difference(shot, screen)
    check(rmse < 0.08, f"the snapshot shows the board as on the screen (RMSE {rmse:.3f})")

    game.exit_without_saving(c)


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("dense-screen", steps, user="tester", window=(10, 10, 760, 540),
                         screen=(1600, 1200), environment={"GDK_SCALE": "2"},
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
