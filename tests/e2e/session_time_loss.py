#!/usr/bin/env python3
"""Timed games against the default engine, restored from saved games with
short clocks: the user lets the clock run out and loses on time; then the
engine is killed, restarted from the question that follows, answers a move,
and (stopped by the test) loses on time to the user. Each end comes through
the Game Over window, and the client ends cleanly after it."""

import glob
import os
import re
import shutil
import signal
import sys

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
ENGINE = "Gnu Chess 5"


def log_text(c, name):
    path = os.path.join(c.folder, "logs", name)
    return open(path, errors="replace").read() if os.path.exists(path) else ""


def engine_moves(c):
    """The moves the engines of this run wrote, from their consoles' logs."""
    moves = []
    for path in sorted(glob.glob(os.path.join(c.folder, "logs", "*polyglot*.log"))):
        moves += [line.split()[1] for line in open(path, errors="replace") if line.startswith("move ")]
    return moves


SAN = re.compile(r"^(O-O(-O)?|[KQRBN]?[a-h]?[1-8]?x?[a-h][1-8](=[QRBN])?)[+#]?$")


def played(c):
    """The moves the board made in this run, from the application's console."""
    return [line.strip() for line in log_text(c, "Rookwell - Console.log").splitlines() if SAN.match(line.strip())]


def engines(c):
    return packages.engine_processes(c, "polyglot") + packages.engine_processes(c, "gnuchess")


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    # Six seconds each: the user answers the engine's reply too late.
    c.start(packages.saved_game(c, "lose", ENGINE, local="white", seconds=6, depth=1))
    board = game.the_board(c)
    game.drag(c, board, "e2e4")
    wait_until(lambda: engine_moves(c), 30, "the engine's reply")
    over = c.wait_window("^Game Over$", 30, besides=(c.frame,))
    c.screenshot("lost-on-time")
    check("White lost on time" in log_text(c, "AI Game - Console.log"), "White lost on time")
    c.key("Return", window=over)
    c.wait_gone(over)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends after the game lost on time")
    check(not engines(c) if c.process.poll() is None else True, "no engine is left")

    # The engine dies before its first move; the question restarts it. The
    # package is the default one without resting, which would wake the engine
    # the test stops below.
    awake = packages.awake_copy(c, ENGINE)
    packages.forget_adapter_log(c)
    c.start(packages.saved_game(c, "win", awake, local="white", seconds=20, depth=1))
    board = game.the_board(c)
    first = wait_until(lambda: engines(c), 20, "the engine to run")
    packages.signal_all(first, signal.SIGKILL)
    index, record = c.wait_prompt(caption="Chess engine", contains="The chess engine has stopped.")
    question = c.wait_dialog("^Chess engine$", 15)
    c.key("Return", window=question)
    c.wait_gone(question)
    check(c.answered(index) == "0", "the engine is restarted")
    second = wait_until(lambda: [p for p in engines(c) if p not in first], 20, "a fresh engine")
    game.drag(c, board, "e2e4")
    reply = wait_until(lambda: engine_moves(c), 30, "the fresh engine's reply")
    print("the fresh engine answers", reply[0])

    # Stopped, the fresh engine cannot answer again: Black's flag falls.
    wait_until(lambda: len(played(c)) >= 2, 20, "the reply on the board")
    stopped = engines(c)
    packages.signal_all(stopped, signal.SIGSTOP)
    game.drag(c, board, "g1f3")
    over = c.wait_window("^Game Over$", 40, besides=(c.frame,))
    c.screenshot("won-on-time")
    check("Black lost on time" in log_text(c, "AI Game - Console.log"), "Black lost on time")
    check(not [r for r in c.prompts() if r[1] == "Chess engine" and r[2].startswith("The chess engine does not")],
          "a running clock settles the silence")
    packages.signal_all(stopped, signal.SIGCONT)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends with the Game Over window open")
    wait_until(lambda: not [p for p in first + second if os.path.exists(f"/proc/{p}")
                            and open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()[0] != "Z"], 10,
               "every engine to be gone")


if __name__ == "__main__":
    sys.exit(harness.run("time-loss", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
