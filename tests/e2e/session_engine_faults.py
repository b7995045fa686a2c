#!/usr/bin/env python3
"""Games against engines that fail: one that greets twice and crashes after
"go", one that writes a megabyte without a line end, one that writes ten
thousand lines at once, one that never answers on a clock, and one that
ignores the end of its input and SIGTERM. During each the client answers a
key at once, says what happened once, and ends with status 0, its settings
saved and no engine left running, by Game, Exit or by SIGTERM, with a
message window, a question, the Game Over window or a plain message box open.
The key response times are written to key-times.txt for the benchmark."""

import os
import signal
import sys
import time

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
# Catches a client frozen by the engine's output, not a slow machine: the
# measured times go to the benchmark.
KEY_BOUND = 20.0
GREETING = "say tellics say Hello from the test engine"


def key_response(c, name, times):
    """Seconds from Ctrl-M (the move dialog) to its window, and back."""
    found = []
    for want_shown in (True, False):
        # A window that comes up meanwhile (an engine's greeting) would take the key.
        c.take_keyboard(c.frame)
        start = time.monotonic()
        c.xdotool("key", "--clearmodifiers", "ctrl+m")
        wait_until(lambda: bool(c.windows("^Enter Move$")) == want_shown, 30,
                   "the move dialog to " + ("open" if want_shown else "close"), step=0.005)
        found.append(time.monotonic() - start)
    times.append((name, found))
    print(f"key response {name}: " + " ".join(f"{t * 1000:.0f} ms" for t in found))
    check(max(found) < KEY_BOUND, f"{name}: the client answers a key at once: {found}")


def questions(c, first):
    return [r for r in c.prompts() if r[1] == "Chess engine" and r[2].startswith(first + "\n")]


def settings_time(c):
    return os.path.getmtime(os.path.join(c.folder, "users", USER, "user.cfg"))


def ends_cleanly(c, how, before):
    """The client ends by how ("exit" or "term") with status 0, settings saved, no engine left."""
    started = time.monotonic()
    if how == "term":
        c.process.send_signal(signal.SIGTERM)
        status = c.wait_exit(30)
    else:
        # Only whether to save the game may be asked.
        status = c.exit_answering(lambda record: "alt+n" if "save the current game" in record[2] else "Escape",
                                  before, most=1)
    print(f"{how}: ended in {time.monotonic() - started:.1f} s")
    check(status == 0, f"the client ends with status 0 after {how}, got {status}")
    wait_until(lambda: not packages.processes_under(os.path.join(c.folder, "engines")), 10,
               "every engine to be gone")


def restore(c, path):
    c.start(path)
    c.frame = c.wait_window("^Rookwell$", 30)


def steps(c):
    times = []
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    # An engine that greets twice and dies after "go": the greeting shows
    # once, the question comes once; cancelled, the game ends and the
    # client answers keys; Exit with the greeting open ends the program.
    packages.install_fake(c, "Crash", packages.FEATURES + f"{GREETING}\n{GREETING}\nwait go\nexit 3\n")
    crash = packages.saved_game(c, "crash", "Crash")
    restore(c, crash)
    asked = wait_until(lambda: questions(c, "The chess engine has stopped."), 20, "the engine's end to be told")
    # One listing: a box the toolkit maps again while it places it is
    # briefly missing from a second one.
    greetings = wait_until(lambda: c.windows("^Message from Crash$"), 10, "the greeting")
    check(len(greetings) == 1, f"the greeting shows once: {len(greetings)}")
    window = c.wait_dialog("^Chess engine$", 15)
    c.key("Escape", window=window)
    c.wait_gone(window)
    check(c.answered(len(c.prompts()) - 1) == "-1", "the question was cancelled")
    key_response(c, "after a crash", times)
    check(len(questions(c, "The chess engine has stopped.")) == 1, "the question came once")
    before = settings_time(c)
    ends_cleanly(c, "exit", len(c.prompts()))
    check(settings_time(c) > before, "the settings are saved at Exit")

    # The same again, ended by SIGTERM while the question is open.
    seen = len(questions(c, "The chess engine has stopped."))
    restore(c, crash)
    wait_until(lambda: len(questions(c, "The chess engine has stopped.")) > seen, 20, "the question again")
    c.wait_window("^Chess engine$", 15, besides=(c.frame,))
    before = settings_time(c)
    ends_cleanly(c, "term", len(c.prompts()))
    check(settings_time(c) > before, "the settings are saved at SIGTERM with a question open")

    # A megabyte without a line end, then a move.
    packages.install_fake(c, "Blob", packages.FEATURES + f"{GREETING}\nwait ping\nwait go\nblob 1048576\nraw \\nmove e2e4\\n\n")
    restore(c, packages.saved_game(c, "blob", "Blob"))
    # The greeting comes before the flood, and with it a window of its own.
    wait_until(lambda: c.windows("^Message from Blob$"), 10, "the greeting")
    key_response(c, "during a megabyte without a line end", times)
    console = os.path.join(c.folder, "logs", "Rookwell - Console.log")
    harness.wait_for_file_content(console, lambda text: "\ne4\n" in text, 30, "the engine's move after its flood")
    before = settings_time(c)
    ends_cleanly(c, "term", len(c.prompts()))
    check(settings_time(c) > before, "the settings are saved at SIGTERM with a message window open")

    # Ten thousand lines at once: keys are answered while they are read, and
    # Exit does not wait for the rest.
    packages.install_fake(c, "Lines", packages.FEATURES + "wait go\nflood 10000 thinking about it\nsay move e2e4\n")
    restore(c, packages.saved_game(c, "lines", "Lines"))
    log = os.path.join(c.folder, "engines", "Lines", "engine.log")
    harness.wait_for_file_content(log, lambda text: "go" in text.split(), 20, "the engine to be asked for its move")
    key_response(c, "during ten thousand lines", times)
    before = settings_time(c)
    ends_cleanly(c, "exit", len(c.prompts()))
    check(settings_time(c) > before, "the settings are saved at Exit during a flood")

    # An engine that never answers loses on time once its clock runs; the
    # Game Over window is open when SIGTERM comes.
    packages.install_fake(c, "Silent", packages.FEATURES)
    restore(c, packages.saved_game(c, "silent", "Silent", local="white", seconds=4))
    board = game.the_board(c)
    c.drag(*board.centre("e2"), *board.centre("e4"))
    game.away(c, board)
    key_response(c, "while the engine is silent", times)
    over = c.wait_window("^Game Over$", 30, besides=(c.frame,))
    check(over, "the silent engine's flag falls")
    ai_log = os.path.join(c.folder, "logs", "AI Game - Console.log")
    check("Black lost on time" in open(ai_log, errors="replace").read(), "Black lost on time")
    check(not questions(c, "The chess engine does not answer."), "a clock settles a silence by its flag")
    before = settings_time(c)
    ends_cleanly(c, "term", len(c.prompts()))
    check(settings_time(c) > before, "the settings are saved at SIGTERM with Game Over open")

    # An engine deaf to its end: SIGTERM with the desktop's own message box
    # open (Game, End Game asks first) ends the client, and the engine is
    # killed.
    packages.install_fake(c, "Deaf", packages.FEATURES + "deaf\n")
    restore(c, packages.saved_game(c, "deaf", "Deaf"))
    key_response(c, "with a deaf engine", times)
    seen = len(c.prompts())
    c.menu("g", "d")
    c.wait_prompt(caption="End Game", after=seen)
    c.wait_window("^End Game$", 15, besides=(c.frame,))
    before = settings_time(c)
    ends_cleanly(c, "term", len(c.prompts()))
    check(settings_time(c) > before, "the settings are saved at SIGTERM with a message box open")

    with open(os.path.join(c.artifacts, "key-times.txt"), "w") as f:
        for name, found in times:
            f.write(f"{name}\t" + "\t".join(f"{t * 1000:.1f}" for t in found) + "\n")


if __name__ == "__main__":
    sys.exit(harness.run("engine-faults", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
