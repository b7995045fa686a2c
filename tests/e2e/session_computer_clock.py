#!/usr/bin/env python3
"""A timed game against an engine that greets: the clock is on the screen
from the start without View, Clock, its frame marks the side whose time
runs and moves over with each move, and the engine's greeting stands off
the main window so its status bar stays readable. While a side thinks, the
clock is drawn when its text changes, once a second (a five-minute game
does not blink its five-minute mark at the start), and nothing else is drawn
while nothing changes. While the engine thinks, the client wakes a few
times a second, not at every tenth of one: the engine's output wakes it."""

import os
import sys

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
MARK = (230, 150, 30)
GREETING = "say tellics say Hello from the test engine"
# The clock's face, as its picture is: each drawing of it damages this much.
FACE = (160, 46)
# A measuring window, and what it may hold: the seconds rolling over and the
# frame moving, never four drawings a second of a blinking time.
WINDOW = 4.0
MOST_FACES = 8
# Wakeups of the client's GUI thread in a window of the engine's turn: the
# game tick twice a second, the clock's second and its drawing leave room;
# a tick polling ten times a second would pass it.
MOST_WAKEUPS = 30


def mark_centre(c, name):
    """The mean x of the clock's running-side frame on the screen, or None."""
    picture = harness.Picture(c.screenshot(name))
    fx, fy, fw, fh = c.geometry(c.frame)
    xs = []
    # The clock heads the side panel: the frame's upper part is enough.
    for y in range(max(0, fy), min(picture.height, fy + fh // 3)):
        row = picture.pixels[(y * picture.width + fx) * 3:(y * picture.width + fx + fw) * 3]
        for x in range(0, len(row) - 2, 3):
            if all(abs(row[x + i] - MARK[i]) <= 8 for i in range(3)):
                xs.append(fx + x // 3)
    return sum(xs) / len(xs) if len(xs) > 100 else None


def clock_face(rectangle):
    return tuple(rectangle[2:]) == FACE


def faces(drawn):
    return sum(clock_face(r[1:]) for r in drawn)


def wakeups(c):
    """How often the client's GUI thread has gone to sleep and been woken so far."""
    with open(f"/proc/{c.process.pid}/status") as f:
        return sum(int(line.split(":")[1]) for line in f if line.startswith("voluntary_ctxt_switches"))


def overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    # The engine takes its time over its reply, so Black's turn is seen.
    packages.install_fake(c, "Greeter", packages.FEATURES + f"{GREETING}\nwait go\nsleep 14000\nsay move e7e5\n")
    c.start(packages.saved_game(c, "greeter", "Greeter", local="white", seconds=300))
    board = game.the_board(c)
    greeting = c.wait_window("^Message from Greeter$", 20, besides=(c.frame,))
    check(not overlaps(c.geometry(greeting), c.geometry(c.frame)),
          f"the greeting {c.geometry(greeting)} stands off the main window {c.geometry(c.frame)}")

    white = wait_until(lambda: mark_centre(c, "white-to-move"), 15, "the clock with White's box marked")
    updates = harness.ScreenUpdates(c.display.name)
    c.drag(*board.centre("e2"), *board.centre("e4"))
    game.away(c, board)
    # Black's time starts at its five minutes: no reminder to blink.
    drawn = faces(updates.during(WINDOW))
    check(1 <= drawn <= MOST_FACES, f"the clock was drawn {drawn} times in {WINDOW} s of Black's first turn")
    # Once the move's sound has ended (it keeps the tick at its full pace),
    # the engine thinks on: nothing but its flag and its output to wait for.
    wait_until(lambda: not any(n.startswith("SDLAudio") for n in c.thread_names()), 20, "the sound device to close")
    console = os.path.join(c.folder, "logs", "Rookwell - Console.log")
    woken = wakeups(c)
    updates.during(WINDOW)
    woken = wakeups(c) - woken
    print(f"the client woke {woken} times in {WINDOW} s of the engine's turn")
    with open(console) as f:
        check("\ne5\n" not in f.read(), "the engine's reply came after the measuring window")
    check(woken <= MOST_WAKEUPS, f"the client woke {woken} times in {WINDOW} s of the engine's turn")
    black = wait_until(lambda: (lambda x: x if x and x > white + 40 else None)(mark_centre(c, "black-to-move")),
                       15, "the mark to move to Black's box")
    harness.wait_for_file_content(console, lambda text: "\ne5\n" in text, 30, "the engine's reply")
    wait_until(lambda: (lambda x: x if x and x < black - 40 else None)(mark_centre(c, "white-again")),
               15, "the mark to come back to White's box")
    # The reply has been shown and the user thinks: only the clock is drawn,
    # and the client costs little.
    updates.wait_quiet(1.5, 20, "the board to finish the reply's drawing", ignore=clock_face)
    cpu = c.cpu_seconds()
    drawn = updates.during(WINDOW)
    cpu = c.cpu_seconds() - cpu
    others = [r[1:] for r in drawn if not clock_face(r[1:])]
    check(not others, f"nothing but the clock is drawn while the user thinks: {others[:5]}")
    check(2 <= faces(drawn) <= MOST_FACES, f"the clock was drawn {faces(drawn)} times in {WINDOW} s of White's turn")
    check(cpu < 0.5, f"the client used {cpu:.2f} processor seconds in {WINDOW} s of the user's turn")
    updates.close()
    c.menu("g", "x")
    index, record = c.wait_prompt(contains="save the current game")
    c.answer(record[1], "alt+n")
    check(c.wait_exit() == 0, "the client ends")


if __name__ == "__main__":
    sys.exit(harness.run("computer-clock", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
