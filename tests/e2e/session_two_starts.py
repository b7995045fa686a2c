#!/usr/bin/env python3
"""One client per program folder, and nothing the user did not confirm or
finish is lost at the end of a session:
- the profile's Browse, then Cancel, leaves the old photo;
- a second start without files only raises the running client; a second
  start naming a PGN file hands it to the running client, which opens it;
  each second start ends at once, with no safe-mode question, and the first
  keeps running with its crash marker;
- a logout (SIGHUP, handled as SIGTERM) with a game in play that was never
  saved keeps it in the active games without asking; the next start lists
  it and opens it as it was."""

import os
import signal
import sys

import game
import harness
from harness import check, wait_until

USER = "tester"
CLUB = """[Event "Club night"]
[White "Ann"]
[Black "Bob"]
[Result "1-0"]

1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0
"""


def user_file(c, *names):
    return os.path.join(c.folder, "users", USER, *names)


def safe_mode_questions(c):
    return [r for r in c.prompts() if "safe mode" in r[2].lower()]


def browse_then_cancel(c):
    photo = user_file(c, "photo.bmp")
    with open(photo, "rb") as f:
        old = f.read()
    c.menu("o", "r")
    dialog = harness.profile_dialog(c)
    before = c.screenshot("profile-before", dialog)
    seen = len(c.prompts())
    c.key("alt+b", window=dialog)
    game.answer_file(c, seen, os.path.join(harness.TESTDATA, "pngsuite", "basn2c08.png"))
    # The picked photo is shown in the dialog before anything is decided.
    wait_until(lambda: harness.differs(before, c.screenshot("profile-picked", dialog)) > 500, 15,
               "the picked photo in the dialog", step=0.2)
    c.key("alt+c", window=c.take_keyboard(dialog))
    c.wait_gone(dialog)
    with open(photo, "rb") as f:
        check(f.read() == old, "Cancel leaves the old photo")
    check(not [n for n in os.listdir(user_file(c)) if n.startswith(".photo.bmp")], "no temporary of the photo")


def steps(c):
    c.start()
    browse_then_cancel(c)

    marker = user_file(c, "running.marker")
    check(os.path.exists(marker), "the running client has its crash marker")
    check(c.second_start() == 0, "a second start without files ends with status 0")
    pgn = os.path.join(c.base, "club night.pgn")
    with open(pgn, "w") as f:
        f.write(CLUB)
    check(c.second_start("club night.pgn") == 0, "a second start with a PGN file ends with status 0")
    wait_until(lambda: c.windows("^(PGN Viewer|club night\\.pgn)$"), 20, "the running client to open the PGN")
    check(c.running(), "the first client runs on")
    check(os.path.exists(marker), "the second starts leave the running client's crash marker")
    check(not safe_mode_questions(c), f"no safe-mode question: {c.prompts()}")
    game.exit_closing_pgn(c, len(c.prompts()))
    check(not os.path.exists(marker), "the crash marker goes at the exit")

    # A game in play, never saved, at the end of the session.
    c.start()
    check(not safe_mode_questions(c), "no safe-mode question at the next start")
    board, empty, before = game.start_computer_game(c)
    history = []
    mine, reply, before = game.play_and_wait_reply(c, board, history, before)
    print(mine["san"], reply["san"])
    asked = len(c.prompts())
    c.process.send_signal(signal.SIGHUP)
    check(c.wait_exit(30) == 0, "SIGHUP ends the client with status 0")
    check(len(c.prompts()) == asked, f"nothing is asked at SIGHUP: {c.prompts()[asked:]}")
    active = user_file(c, "active games")
    kept = [n for n in os.listdir(active) if n.endswith(".rwg")]
    check(len(kept) == 1 and harness.read_config(os.path.join(active, kept[0])).get("game.type") == "AIGame",
          f"the game is kept in the active games: {os.listdir(active)}")

    # The next start lists it; a click opens it as it was left.
    c.start()
    check(not safe_mode_questions(c), "no safe-mode question after SIGHUP")
    game.open_first_active_game(c, empty, history)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends; the reopened game has nothing new to save")


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("two-starts", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
