#!/usr/bin/env python3
"""A scripted engine that thinks aloud: ten megabytes of thinking before
each of its moves, at forty moves in two minutes. The client reads it as
fast as the engine writes: no flag falls in eight moves; each move is on the
board within a second of the engine writing it (that write returns once the
client has read all before it but what the pipe holds); the menus open
while a flood pours in; and the client's memory stays bounded. The times go
to flood-times.txt for the benchmark."""

import os
import re
import sys
import time

import engine_packages as packages
import game
import harness
from harness import Oracle, check, wait_until

USER = "tester"
FLOOD_LINES = 100000
# A hundred bytes of the kind engines write while they think.
THINKING = "9 +23 512 1234567 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 e8g8 h2h3"
GAME = [("e2e4", "e7e5"), ("g1f3", "b8c6"), ("f1c4", "f8c5"), ("d2d3", "g8f6"), ("b1c3", "d7d6"),
        ("c1e3", "c5b6"), ("d1d2", "c8e6"), ("h2h3", "h7h6")]
# Once read, the move is the client's to show at once; a second allows for the machine's load.
MOVE_SHOWN_WITHIN = 1.0
# Catches a client frozen by the flood, not a slow machine: the times go to the benchmark.
MENU_BOUND = 20.0
MEMORY_GROWTH_LIMIT_KB = 150 * 1024
SAN = re.compile(r"^(O-O(-O)?|[KQRBN]?[a-h]?[1-8]?x?[a-h][1-8](=[QRBN])?)[+#]?$")


def played(c):
    path = os.path.join(c.folder, "logs", "Rookwell - Console.log")
    text = open(path, errors="replace").read() if os.path.exists(path) else ""
    return [line.strip() for line in text.splitlines() if SAN.match(line.strip())]


def notes(log):
    """{move: the engine's clock when its write of the move returned}."""
    found = {}
    for line in open(log, errors="replace"):
        parts = line.split()
        if len(parts) == 3 and parts[0] == "note":
            found[parts[1]] = float(parts[2])
    return found


def lost_on_time(c):
    path = os.path.join(c.folder, "logs", "AI Game - Console.log")
    return os.path.exists(path) and "lost on time" in open(path, errors="replace").read()


def memory_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def menu_opens(c):
    """Options, Preferences: seconds until its dialog shows; Cancel closes it."""
    started = time.monotonic()
    c.menu("o", "p")
    dialog = c.wait_dialog("^Preferences$", MENU_BOUND * harness.SLOWDOWN)
    took = time.monotonic() - started
    c.key("alt+c", window=dialog)
    c.wait_gone(dialog, 30)
    return took


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    history = [m for pair in GAME for m in pair]
    # chess.js names each move of the scripted game (and finds them all legal).
    positions = Oracle.line(history)
    expected = [next(m["san"] for m in before["moves"] if m["from"] + m["to"] == move)
                for before, move in zip(positions, history)]
    script = packages.FEATURES + "".join(f"wait {mine}\nflood {FLOOD_LINES} {THINKING}\nsay move {reply}\n"
                                         f"note {reply}\n" for mine, reply in GAME)
    log = packages.install_fake(c, "Thinker", script)
    c.start(packages.saved_game(c, "thinker", "Thinker", local="white", seconds=120, moves=40))
    board = game.the_board(c)
    before_kb = memory_kb(c.process.pid)
    delays, menus = [], []
    for number, (mine, reply) in enumerate(GAME, 1):
        shown = len(played(c))
        moved = time.monotonic()
        game.drag(c, board, mine)
        wait_until(lambda: len(played(c)) > shown or lost_on_time(c), 30, f"our move {mine} on the board")
        if number == 1:
            # The first flood is under way: the engine has read our move and not yet written its own.
            wait_until(lambda: mine in open(log).read().split(), 30, f"the engine to read {mine}")
            took = menu_opens(c)
            during = reply not in notes(log)
            menus.append(took)
            print(f"the Preferences dialog opened in {took:.2f} s, {'during' if during else 'after'} the flood")
        seen = wait_until(lambda: (len(played(c)) > shown + 1 and time.monotonic()) or lost_on_time(c), 120,
                          f"the engine's move {reply} on the board", step=0.005)
        check(not lost_on_time(c), f"no flag falls before the engine's move {number}")
        wrote = wait_until(lambda: notes(log).get(reply), 10, f"the engine's note of {reply}")
        delays.append(seen - wrote)
        print(f"move {number}: {reply} on the board {seen - moved:.2f} s after ours, "
              f"{seen - wrote:.3f} s after the engine wrote it")
    grown = memory_kb(c.process.pid) - before_kb
    print(f"the client grew by {grown // 1024} MB reading {len(GAME) * FLOOD_LINES * (len(THINKING) + 1) >> 20} MB")
    with open(os.path.join(c.artifacts, "flood-times.txt"), "w") as f:
        f.write("menu\t" + "\t".join(f"{t * 1000:.1f}" for t in menus) + "\n")
        f.write("move shown\t" + "\t".join(f"{t * 1000:.1f}" for t in delays) + "\n")
    check(all(d < MOVE_SHOWN_WITHIN for d in delays), f"each move is on the board within a second: {delays}")
    check(grown < MEMORY_GROWTH_LIMIT_KB, f"the client's memory stays bounded: grew by {grown} kB")
    check(played(c) == expected, f"the board played the engine's moves: {played(c)}")
    check(not lost_on_time(c) and not c.windows("^Game Over$"), "the game is still on")
    game.exit_without_saving(c)


if __name__ == "__main__":
    if not Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("engine-flood", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
