#!/usr/bin/env python3
"""A game against the computer: five moves dragged on the board, each answered
by the engine (read off the board and checked against chess.js), the clock
charged with the time used, the move list following the game, and sound
effects written by the disk audio driver. Before it, the board left without
a game stays quiet, and the game's first sound is still heard."""

import os
import sys
import time

import game
import harness
from harness import check


def audible_bytes(path, start=0):
    """How many bytes of the raw audio after start are not silence."""
    with open(path, "rb") as f:
        f.seek(start)
        data = f.read()
    return len(data) - data.count(0)


def panel(c, board, picture):
    """The side panel beside the board, as a rectangle of the picture."""
    fx, fy, fw, fh = c.geometry(c.frame)
    return board.x + board.width + 2, board.y, fx + fw - board.x - board.width - 4, board.height


def steps(c):
    c.start()
    board, empty, _ = c.board_view()

    # With nothing to do the sound device closes and the client sleeps: ten
    # seconds cost it next to no processor time.
    harness.wait_until(lambda: not any(name.startswith("SDLAudio") for name in c.thread_names()), 20,
                       "the idle sound device to close")
    before = c.cpu_seconds()
    time.sleep(10)
    idle = c.cpu_seconds() - before
    print(f"ten idle seconds on the board: {idle:.2f} CPU s")
    check(idle < 0.05, f"ten idle seconds on the board cost {idle:.2f} CPU s")
    quiet = os.path.getsize(c.audio_file)

    game.new_computer_game(c)
    harness.wait_until(lambda: audible_bytes(c.audio_file, quiet) > 1000, 10, "the new game's gong after the quiet")
    # The move list is shown beside the board; a timed game shows its clock
    # by itself.
    c.key("ctrl+t")
    game.away(c, board)
    harness.wait_occupied(c, board, empty, harness.START_SQUARES, "start-position")
    start = c.settle("start")

    check(os.path.exists(c.audio_file), "the disk audio driver writes its file")
    sound_start = os.path.getsize(c.audio_file)

    history = []
    before = start
    px, py, pw, ph = panel(c, board, start)
    for number in range(1, 6):
        heard = os.path.getsize(c.audio_file)
        mine, reply, after = game.play_and_wait_reply(c, board, history, before)
        harness.wait_until(lambda: audible_bytes(c.audio_file, heard) > 1000, 10, f"move {number} to be heard")
        print(f"{number}. {mine['san']} {reply['san']}")
        check(before.mean_difference(after, px, py, pw, ph) > 0.05, f"the side panel follows move {number}")
        before = after

    # The board shows exactly the position chess.js reached.
    occupied = board.occupied(empty, before)
    fen = harness.Oracle.position(history)["fen"]
    expected = harness.occupied_squares(fen)
    check(occupied == expected, f"the board matches {fen}: {sorted(occupied ^ expected)} differ")
    c.screenshot("after-five-moves", c.frame)
    # The clocks head the side panel: White's time has been charged.
    check(start.mean_difference(before, px, py, pw, 60) > 1, "the clock shows the time used")

    grown = os.path.getsize(c.audio_file) - sound_start
    check(grown > 0, "the audio output grows while the game is played")

    # Ending leaves the game in the user's hands: the close asks about saving.
    game.exit_without_saving(c)


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("computer-game", steps, audio="disk", user="tester", window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
