#!/usr/bin/env python3
"""A timed game against a scripted engine with three seconds on its clock:
its draw offer, then its resignation, are left open longer than that, then
declined and kept playing. Neither costs the engine its time: no flag
falls, its moves come on the board, and the clocks it is told next show its
time as before the question. Its next move, behind a flood of thinking
output, is played in its time."""

import os
import sys
import time

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
SECONDS = 3
# The engine offers a draw before its first move and resigns before its second.
# Its third move comes behind 3,000 lines of thinking (120 KB): read a few
# lines a tick, they would outlast its clock.
SCRIPT = (packages.FEATURES + "wait e2e4\nsay offer draw\nsay move e7e5\nwait g1f3\nsay resign\nsay move b8c6\n"
          "wait f1c4\nflood 3000  9 +31 1012 84210 g8f6 d2d3 f8c5 c2c3 d7d6 b1d2\nsay move g8f6\n")


def log_text(c, name):
    path = os.path.join(c.folder, "logs", name)
    return open(path, errors="replace").read() if os.path.exists(path) else ""


def played(c):
    return [line.strip() for line in log_text(c, "Rookwell - Console.log").splitlines()]


def engine_clocks(log):
    """The engine's own clock in every "time" it was told, in centiseconds."""
    return [int(line.split()[1]) for line in open(log) if line.startswith("time ")]


def leave_open(c, caption):
    """Keeps the question open past the engine's whole time: it is the stimulus, not a wait for an event."""
    window = c.wait_dialog("^" + caption + "$", 15)
    time.sleep(SECONDS + 1.5)
    check("lost on time" not in log_text(c, "AI Game - Console.log"), f"no flag falls while {caption!r} is open")
    return window


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    log = packages.install_fake(c, "Asker", SCRIPT)
    c.start(packages.saved_game(c, "asker", "Asker", local="white", seconds=SECONDS))
    board = game.the_board(c)

    game.drag(c, board, "e2e4")
    index, _ = c.wait_prompt(caption="Draw offered", contains="Accept draw?")
    window = leave_open(c, "Draw offered")
    c.key("alt+n", window=window)
    c.wait_gone(window)
    WX_NO = 8
    check(c.answered(index) == str(WX_NO), "the draw was declined")
    wait_until(lambda: "e5" in played(c), 15, "the engine's move after the declined offer")

    game.drag(c, board, "g1f3")
    index, _ = c.wait_prompt(caption="Resign", contains="Computer resigns.")
    told = engine_clocks(log)
    check(told and told[-1] > (SECONDS - 1) * 100, f"the engine's clock kept its time through the offer: {told}")
    window = leave_open(c, "Resign")
    c.key("Down", "Return", window=window)
    c.wait_gone(window)
    check(c.answered(index) == "1", "Keep playing was chosen")
    wait_until(lambda: "Nc6" in played(c), 15, "the engine's move after the resignation it took back")

    game.drag(c, board, "f1c4")
    harness.wait_for_file_content(log, lambda text: "f1c4" in text, 15, "the user's third move at the engine")
    told = engine_clocks(log)
    check(told[-1] > (SECONDS - 1) * 100, f"the engine's clock kept its time through the resignation: {told}")
    wait_until(lambda: "Nf6" in played(c) or "lost on time" in log_text(c, "AI Game - Console.log"), 30,
               "the engine's move behind its thinking")
    check("lost on time" not in log_text(c, "AI Game - Console.log"), "no flag fell")
    check("Nf6" in played(c), "the move behind the thinking was played")
    check(not c.windows("^Game Over$"), "the game goes on")

    status = c.exit_answering(lambda record: "alt+n" if "save the current game" in record[2] else "Escape",
                              len(c.prompts()), most=1)
    check(status == 0, f"the client ends with status 0, got {status}")


if __name__ == "__main__":
    sys.exit(harness.run("engine-questions", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
