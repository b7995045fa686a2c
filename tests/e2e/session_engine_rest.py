#!/usr/bin/env python3
"""The default engine (PolyGlot and GNU Chess, which spins while it waits)
rests once nothing is owed to it, however its game ends: after the user
resigns in their turn and in the engine's, after the user loses on time, and
after End Game. The engine processes' share of a core is measured from /proc
over ten seconds with the Game Over window (or the empty board) showing:
under 1 %."""

import os
import sys
import time

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
ENGINE = "Gnu Chess 5"
WINDOW = 10.0
RESTING = 0.01


def engine_processes(c):
    return list(packages.processes_working_in(os.path.join(c.folder, "engines")))


def cpu_seconds(pid):
    """User and system time of pid, None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def core_share(pids, seconds):
    """The share of one core the processes used over the next seconds (one that ends counts what it had)."""
    before = {pid: cpu_seconds(pid) or 0.0 for pid in pids}
    started = time.monotonic()
    time.sleep(seconds)     # the measuring window itself, not a wait for an event
    used = 0.0
    for pid, at_start in before.items():
        now = cpu_seconds(pid)
        used += (now if now is not None else at_start) - at_start
    return used / (time.monotonic() - started)


def answered_moves(c):
    return packages.adapter_log(c).count("\nmove ")


def start(c, name, seconds, depth):
    """A new saved game against the engine, the user White; the board and the engine's processes."""
    packages.forget_adapter_log(c)
    c.start(packages.saved_game(c, name, ENGINE, local="white", seconds=seconds, depth=depth))
    board = game.the_board(c)
    pids = wait_until(lambda: (lambda p: p if len(p) >= 2 else None)(engine_processes(c)), 30,
                      "the adapter and its engine to run")
    return board, pids


def play_and_wait(c, board, move):
    replies = answered_moves(c)
    game.drag(c, board, move)
    wait_until(lambda: answered_moves(c) > replies, 60, f"the engine's reply to {move}")


def resign(c):
    seen = len(c.prompts())
    c.menu("a", "r")
    c.wait_prompt(caption="Resign", contains="Are you sure?", after=seen)
    c.answer("Resign", "alt+y")
    c.wait_window("^Game Over$", 30, besides=(c.frame,))


def measure(c, pids, after):
    share = core_share(pids, WINDOW)
    print(f"after {after}: the engine uses {share * 100:.2f} % of a core")
    check(share < RESTING, f"the engine rests after {after}: {share * 100:.2f} % of a core")


def leave(c):
    """Game, Exit, No to saving: the client ends."""
    status = c.exit_answering(lambda record: "alt+n" if "save" in record[2] else "Return", len(c.prompts()))
    check(status == 0, "the client ends")


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    # Resigned in the user's turn: the engine, woken for the result, rests again.
    board, pids = start(c, "resign-own-turn", 600, 1)
    play_and_wait(c, board, "e2e4")
    resign(c)
    measure(c, pids, "a resignation in the user's turn")
    leave(c)

    # Resigned while the engine thinks on a long clock: it stops and rests.
    board, pids = start(c, "resign-engine-turn", 3600, None)
    game.drag(c, board, "e2e4")
    wait_until(lambda: ">usermove e2e4" in packages.adapter_log(c), 30, "the move to reach the engine")
    resign(c)
    measure(c, pids, "a resignation in the engine's turn")
    check("unknown command): result" not in packages.adapter_log(c), "the adapter takes the result as one")
    leave(c)

    # The user's flag falls.
    board, pids = start(c, "on-time", 8, 1)
    play_and_wait(c, board, "e2e4")
    c.wait_window("^Game Over$", 60, besides=(c.frame,))
    check("White lost on time" in open(os.path.join(c.folder, "logs", "AI Game - Console.log")).read(),
          "White lost on time")
    measure(c, pids, "a loss on time")
    leave(c)

    # End Game: the engine is let go (it quits) and nothing of it runs.
    board, pids = start(c, "end-game", 600, 1)
    play_and_wait(c, board, "e2e4")
    seen = len(c.prompts())
    c.menu("g", "d")
    index, _ = c.wait_prompt(caption="End Game", contains="End the current game?", after=seen)
    c.answer("End Game", "alt+y")
    c.wait_prompt(caption="End Game", contains="Do you wish to save the current game?", after=index + 1)
    c.answer("End Game", "alt+n")
    measure(c, pids, "End Game")
    wait_until(lambda: not set(pids) & set(engine_processes(c)), 20, "the engine to end after End Game")
    leave(c)


if __name__ == "__main__":
    sys.exit(harness.run("engine-rest", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
