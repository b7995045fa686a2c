#!/usr/bin/env python3
"""A timed game against the installed default engine (GNU Chess behind
PolyGlot), 40 moves in one minute, the user's moves chosen by Stockfish and
dragged on the board: the engine's console shows "time" and "otim" before
each of its moves, every move is legal by chess.js, and no flag falls
before move 20."""

import glob
import os
import re
import subprocess
import sys
import time

import engine_packages as packages
import game
import harness
from harness import Oracle, check, wait_until

USER = "tester"
ENGINE = "Gnu Chess 5"
MOVES = 20
STOCKFISH = "/usr/games/stockfish"
SAN = re.compile(r"^(O-O(-O)?|[KQRBN]?[a-h]?[1-8]?x?[a-h][1-8](=[QRBN])?)[+#]?$")


class Chooser:
    """Stockfish at a few milliseconds a move, so the game lasts."""

    def __init__(self):
        self.process = subprocess.Popen([STOCKFISH], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                        bufsize=1)
        self.send("uci")
        self.until("uciok")

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def until(self, prefix):
        while True:
            line = self.process.stdout.readline()
            check(line, "Stockfish answers")
            if line.startswith(prefix):
                return line.split()

    def choose(self, history):
        self.send("position startpos moves " + " ".join(history))
        self.send("go movetime 30")
        best = self.until("bestmove")[1]
        if len(best) == 4:
            return best
        # A promotion would need the promotion dialog: another move is played.
        plain = [m["from"] + m["to"] for m in Oracle.position(history)["moves"] if not m.get("promotion")]
        self.send("go movetime 30 searchmoves " + " ".join(plain))
        return self.until("bestmove")[1]

    def close(self):
        self.send("quit")
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()


def drag(c, board, move):
    """The move dragged by one xdotool run: the user's clock runs meanwhile."""
    (x1, y1), (x2, y2) = board.centre(move[:2]), board.centre(move[2:4])
    c.xdotool("mousemove", str(x1), str(y1), "sleep", "0.1", "mousedown", "1", "sleep", "0.1",
              "mousemove", str((x1 + x2) // 2), str((y1 + y2) // 2), "sleep", "0.05",
              "mousemove", str(x2), str(y2), "sleep", "0.1", "mouseup", "1")
    game.away(c, board)


def log_lines(c, pattern):
    lines = []
    for path in sorted(glob.glob(os.path.join(c.folder, "logs", pattern))):
        lines += open(path, errors="replace").read().splitlines()
    return lines


def engine_moves(c):
    return [line.split()[1] for line in log_lines(c, "*polyglot*.log") if line.startswith("move ")]


def played(c):
    """The moves the board made, from the application's console."""
    return [line.strip() for line in log_lines(c, "Rookwell - Console.log") if SAN.match(line.strip())]


def clocks_before_moves(c):
    """For each engine move, the clocks it was told since its last move: [(time, otim)] in centiseconds."""
    told, found = {}, []
    for line in log_lines(c, "*polyglot*.log"):
        word, _, value = line.partition(" ")
        if word in (">time", ">otim"):
            told[word[1:]] = int(value)
        elif word == "move":
            found.append((told.get("time"), told.get("otim")))
            told = {}
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def report(c):
    """What the game's console and the engine's clocks say, for a failure's message."""
    told = clocks_before_moves(c)
    return ("; ".join(log_lines(c, "AI Game - Console.log")[-3:]) +
            f"; the engine's clocks before its last moves: {told[-3:]}")


def game_over(c):
    text = "\n".join(log_lines(c, "AI Game - Console.log"))
    return "lost on time" in text or c.windows("^Game Over$")


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    c.start(packages.saved_game(c, "clocks", ENGINE, local="white", seconds=60, moves=40))
    board = game.the_board(c)
    engines = wait_until(lambda: packages.engine_processes(c, "polyglot"), 20, "the engine to run")
    engines += packages.engine_processes(c, "gnuchess")
    chooser = Chooser()
    history = []
    started = time.monotonic()
    try:
        for number in range(1, MOVES + 1):
            move = chooser.choose(history)
            drag(c, board, move)
            wait_until(lambda: len(played(c)) > len(history) or game_over(c), 15, f"our move {number} {move}")
            check(not game_over(c), f"no flag falls before our move {number}: {report(c)}")
            history.append(move)
            replies = wait_until(lambda: engine_moves(c)[len(history) // 2:] or game_over(c), 30,
                                 f"the engine's reply to {move}")
            check(not game_over(c), f"no flag falls before the engine's move {number}: {report(c)}")
            wait_until(lambda: len(played(c)) > len(history), 15, f"the engine's move {replies[0]} on the board")
            history.append(replies[0])
    finally:
        chooser.close()
    print(f"{MOVES} moves each in {time.monotonic() - started:.1f} s: {' '.join(played(c))}")
    # chess.js replays the whole game: every move was legal.
    check(not Oracle.position(history)["over"], "the game is still on")

    told = clocks_before_moves(c)
    check(len(told) == MOVES, f"the engine made {MOVES} moves: {len(told)}")
    missing = [i + 1 for i, (t, o) in enumerate(told) if t is None or o is None]
    check(not missing, f"time and otim came before every engine move; not before moves {missing}")
    spent = [told[i][0] - told[i + 1][0] for i in range(len(told) - 1)]
    print("the engine's clock before its moves (cs):", " ".join(str(t) for t, _ in told))
    print("the user's clock then (cs):", " ".join(str(o) for _, o in told))
    check(all(t > 0 for t, _ in told) and all(s >= 0 for s in spent), f"the engine's clock only runs down: {told}")
    check(not game_over(c), "no flag fell")

    c.menu("g", "x")
    index, record = c.wait_prompt(contains="save the current game")
    c.answer(record[1], "alt+n")
    check(c.wait_exit() == 0, "the client ends")
    wait_until(lambda: not [p for p in engines if alive(p)], 10, "the engine to be gone")


if __name__ == "__main__":
    if not Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("engine-clocks", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
