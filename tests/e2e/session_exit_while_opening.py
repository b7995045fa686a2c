#!/usr/bin/env python3
"""Game, Exit while a PGN file handed over by a file manager is still being
opened: the user has the Game menu open as the file arrives and chooses
Exit while the viewer reads it. The client stops the reading and ends with
status 0, its settings written and no crash left for the next start. Then
the window's close box, pressed over and over while another file handed
over opens (it is refused while the viewer reads and taken as soon as the
window answers): the same clean end. The moments are read from the
client's console log (Debug on)."""

import os
import re
import sys

import harness
import move_timing
from harness import check, wait_until

USER = "tester"
NAME = "many games.pgn"
READING = "PGN viewer: reading " + NAME + "\n"
ENDED = re.compile(r"^PGN viewer: " + re.escape(NAME) +
                   r": (?:the first (\d+) games \(reading cancelled\)|(\d+) games)$", re.M)


def write_games(path, count, block=50_000):
    with open(path, "w") as f:
        chunk = "".join(f'[Event "Game {n}"]\n[White "Ann"]\n[Black "Bob"]\n[Result "*"]\n\n1. e4 e5 2. Nf3 Nc6 *\n\n'
                        for n in range(block))
        for _ in range(count // block):
            f.write(chunk)


def start_reading(c, path):
    """Hands the file over as a file manager's Open does; returns once the viewer reads it."""
    check(c.second_start(path) == 0, "the second start hands the file over")
    wait_until(lambda: READING in move_timing.console_text(c), 60, "the viewer to read the file")


def ends_cleanly(c, what):
    status = c.wait_exit(60)
    check(status == 0, f"{what}: the client ends with status 0, got {status}\n{c.log_of_run()[-3000:]}")
    check("ERROR: AddressSanitizer" not in c.log_of_run(), f"{what}: no use of freed memory")
    check(not os.path.exists(os.path.join(c.folder, "users", USER, "running.marker")),
          f"{what}: no crash is left for the next start")
    check(not [r for r in c.prompts()[c.asked_before_start:]], f"{what}: nothing was asked or told")


def exit_from_the_menu_while_reading(c, path):
    c.start()
    move_timing.consoles_aside(c)
    c.menu("g")
    # The open menu is a window of its own, named after the program.
    c.wait_window("^rookwell$", 15)
    start_reading(c, path)
    # The menu stayed open over the viewer: x is its Exit.
    c.xdotool("key", "x")
    ends_cleanly(c, "Game, Exit while the file is read")
    found = ENDED.search(move_timing.console_text(c))
    check(found and found.group(1), f"the reading was stopped by the exit: {found and found.group(0)}")


def close_box_while_opening(c, path):
    c.start()
    move_timing.consoles_aside(c)
    start_reading(c, path)

    def closed():
        if not c.running() or c.frame not in c.windows("^Rookwell$"):
            return True
        c.request_close(c.frame)
        return False
    wait_until(closed, 120, "the frame to take the close box", step=0.02)
    ends_cleanly(c, "the close box while the file opens")


def steps(c):
    # Enough games that the reading lasts well past the key on any machine.
    many = os.path.join(c.base, NAME)
    write_games(many, 1_000_000)
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")
    exit_from_the_menu_while_reading(c, many)

    fewer = os.path.join(c.base, "fewer", NAME)
    os.makedirs(os.path.dirname(fewer))
    write_games(fewer, 100_000)
    close_box_while_opening(c, fewer)

    # The next start is an ordinary one: no safe-mode question.
    c.start()
    check(not [r for r in c.prompts() if "safe mode" in r[2].lower()], "no safe-mode question")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends")


if __name__ == "__main__":
    sys.exit(harness.run("exit-while-opening", steps, user=USER, debug=True, window=(40, 40, 900, 700)))
