#!/usr/bin/env python3
"""The default engine (PolyGlot and GNU Chess, stopped while the user
thinks) never outlives its client, however the client ends: killed with
SIGKILL in the user's turn while the engine rests, killed while the engine
thinks, killed while an engine that never rests waits awake in the user's
turn (GNU Chess, its adapter gone, hangs on rather than end), and left
without its X server (the client ends on the lost display). Each time every engine process of the client goes, adapter and
engine alike; they are found by their working folder in the client's
program folder, since nothing else ties them to the client once it is
gone."""

import os
import signal
import subprocess
import sys

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
ENGINE = "Gnu Chess 5"
# Generous: the kernel ends them at once, a loaded machine takes its time.
GONE_WITHIN = 20


def engine_processes(c):
    return packages.processes_working_in(os.path.join(c.folder, "engines"))


def ps(pids):
    if not pids:
        return ""
    return subprocess.run(["ps", "-o", "pid,ppid,pgid,sid,stat,cmd", "-p", ",".join(map(str, pids))],
                          capture_output=True, text=True).stdout


def both_running(c):
    found = engine_processes(c)
    names = {name for state, name in found.values()}
    return found if {"polyglot", "gnuchess"} <= names else None


def start_game(c, name, seconds, depth, engine=ENGINE):
    """Opens a new saved game against engine; after a client that was killed, No to safe mode first."""
    seen = len(c.prompts())
    path = packages.saved_game(c, name, engine, local="white", seconds=seconds, depth=depth)
    packages.forget_adapter_log(c)
    if c.runs > 1 and c.process.returncode != 0:
        c.start(path, wait_frame=False)
        index, _ = c.wait_prompt(caption="Safe Mode", after=seen, timeout=30)
        c.answer("Safe Mode", "alt+n")
        c.wait_prompt(caption="Safe Mode", contains="If this problem persists", after=index + 1, timeout=30)
        c.answer("Safe Mode")
        c.frame = c.wait_window("^Rookwell$", 30)
        c.wait_started()
    else:
        c.start(path)
    board = game.the_board(c)
    wait_until(lambda: both_running(c), 30, "the adapter and its engine to run")
    return board


def check_all_gone(c, before, how):
    """The engine processes of before are gone soon after the client ended by how."""
    def left():
        now = engine_processes(c)
        return {pid: now[pid] for pid in before if pid in now}
    try:
        wait_until(lambda: not left(), GONE_WITHIN, f"every engine process to end after {how}")
    except harness.Failure:
        staying = left()
        packages.signal_all(list(staying), signal.SIGKILL)
        raise harness.Failure(f"engine processes outlived the client ({how}):\n{ps(list(staying))}")
    check(not engine_processes(c), f"no engine process of the client is left after {how}")
    print(f"{how}: every engine process ended")


def rests_in_the_users_turn(c):
    """A game at its start, e2e4 played and answered: the engine stopped (state T) in the user's turn."""
    board = start_game(c, "resting", 600, 1)
    game.drag(c, board, "e2e4")
    wait_until(lambda: "\nmove " in packages.adapter_log(c), 30, "the engine's reply")
    return wait_until(lambda: (lambda f: f if all(s == "T" for s, _ in f.values()) else None)(both_running(c) or {}),
                      30, "the engine to rest in the user's turn")


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    # SIGKILL in the user's turn, the engine resting.
    resting = rests_in_the_users_turn(c)
    print("resting before the kill:\n" + ps(list(resting)))
    os.kill(c.process.pid, signal.SIGKILL)
    c.process.wait()
    check_all_gone(c, resting, "SIGKILL in the user's turn")

    # SIGKILL while the engine thinks on a long clock.
    board = start_game(c, "thinking", 3600, None)
    game.drag(c, board, "e2e4")
    wait_until(lambda: ">usermove e2e4" in packages.adapter_log(c) or ">e2e4" in packages.adapter_log(c), 30,
               "the move to reach the engine")
    thinking = both_running(c)
    check(thinking and not any(s == "T" for s, _ in thinking.values()), f"the engine runs: {thinking}")
    os.kill(c.process.pid, signal.SIGKILL)
    c.process.wait()
    check_all_gone(c, thinking, "SIGKILL while the engine thinks")

    # SIGKILL in the user's turn, the engine awake and waiting.
    board = start_game(c, "awake", 600, 1, engine=packages.awake_copy(c, ENGINE))
    replies = packages.adapter_log(c).count("\nmove ")
    game.drag(c, board, "e2e4")
    wait_until(lambda: packages.adapter_log(c).count("\nmove ") > replies, 30, "the engine's reply")
    awake = both_running(c)
    check(awake and not any(s == "T" for s, _ in awake.values()), f"the engine waits awake: {awake}")
    os.kill(c.process.pid, signal.SIGKILL)
    c.process.wait()
    check_all_gone(c, awake, "SIGKILL in the user's turn, the engine awake")

    # The X server goes in the user's turn: the client ends on its own.
    resting = rests_in_the_users_turn(c)
    c.display.process.kill()
    c.display.process.wait()
    status = c.wait_exit(60)
    print(f"the client ended with status {status} when its display went")
    check_all_gone(c, resting, "the loss of the X server")


if __name__ == "__main__":
    sys.exit(harness.run("engine-lifetime", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
