#!/usr/bin/env python3
"""How games against the computer end and are kept: a game opened from the
user's own folder, on the board from the frame's first paint, is lost by
the engine on time and Game Over's OK keeps the PGN (with the time control
in seconds) and the statistic but never deletes the user's file; the same game ended with Game Over still open when the
program exits is kept and counted all the same; a draw offer is answered
both ways, declined by an engine that lets it pass and accepted by one that
offers back."""

import glob
import os
import sys

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"


def played_games(c):
    return sorted(glob.glob(os.path.join(c.folder, "users", USER, "played games", "*.pgn")))


def matches(c):
    s = c.settings(USER)
    return {k: s.get(f"preferences.matches.{k}", "0") for k in ("played", "won", "lost", "drawn")}


def offer_draw(c):
    """Actions, Offer Draw, Yes to "Are you sure?"; the question's index."""
    seen = len(c.prompts())
    c.menu("a", "d")
    index, record = c.wait_prompt(caption="Offer Draw", after=seen)
    c.answer("Offer Draw", "alt+y")
    return index


def win_on_time(c, path):
    """Opens the saved game, plays e2e4; the silent engine's flag falls. The Game Over window."""
    c.start(path)
    # The board was drawn and sent with the frame's map, before the loading
    # picture went: the server has shown it by the time that is gone (one
    # client's requests are carried out in order), with no event waited for.
    check(harness.shows_board(c.look()), "the board is on the screen as soon as the frame is")
    return game.flag_falls_after_e4(c)


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")

    # A saved game kept in a folder of the user's own.
    packages.install_fake(c, "Silent", packages.FEATURES)
    made = packages.saved_game(c, "silent", "Silent", local="white", seconds=3)
    own = os.path.join(c.base, "my games", "silent.rwg")
    os.makedirs(os.path.dirname(own))
    os.replace(made, own)
    kept = open(own).read()

    over = win_on_time(c, own)
    c.screenshot("won-on-time")
    # The side panel's page file says how its text is written, so the HTML
    # window reads it as UTF-8 (the result row of a mate has a dash).
    result_pages = wait_until(lambda: [p for p in glob.glob(os.path.join(c.folder, "html", "english", "page*.htm"))
                                       if "1-0, White wins on time" in open(p, errors="replace").read()],
                              10, "the side panel's result row")
    for path in result_pages:
        check('charset=utf-8"' in open(path, errors="replace").read()[:300], f"{path} names its character set")
    c.take_keyboard(over)
    c.key("Return", window=over)
    c.wait_gone(over)
    check(os.path.exists(own) and open(own).read() == kept, "the user's own saved game is not deleted")
    pgns = wait_until(lambda: played_games(c), 10, "the PGN in played games")
    text = open(pgns[0]).read()
    check('[Result "1-0"]' in text, f"the PGN says White won: {text}")
    check('[TimeControl "3"]' in text, f"the time control is in seconds: {text}")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends after OK")
    check(matches(c) == {"played": "1", "won": "1", "lost": "0", "drawn": "0"}, f"one win counted: {matches(c)}")

    # The same again; Exit with Game Over open is an OK for what is ticked.
    win_on_time(c, own)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends with Game Over open")
    check(len(played_games(c)) == 2, f"the second game's PGN is kept: {played_games(c)}")
    check(matches(c) == {"played": "2", "won": "2", "lost": "0", "drawn": "0"}, f"two wins counted: {matches(c)}")
    check(os.path.exists(own), "the user's own saved game is still there")

    # A draw offer to an engine that lets it pass: declined, the game goes on.
    packages.install_fake(c, "Stubborn", packages.FEATURES)
    c.start(packages.saved_game(c, "stubborn", "Stubborn", local="white"))
    index = offer_draw(c)
    index, record = c.wait_prompt(caption="Offer draw", after=index + 1)
    check(record[2] == "Draw declined", f"the offer is declined: {record}")
    c.answer("Offer draw")
    check(not c.windows("^Game Over$"), "the game goes on")
    # Nothing was played since the game was opened: Exit asks nothing.
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends")

    # An engine that offers back: accepted, the game ends drawn and is kept.
    packages.install_fake(c, "Agreeable", packages.FEATURES + "wait draw\nsay offer draw\n")
    c.start(packages.saved_game(c, "agreeable", "Agreeable", local="white"))
    index = offer_draw(c)
    index, record = c.wait_prompt(caption="Offer draw", after=index + 1)
    check(record[2] == "Draw accepted", f"the offer is accepted: {record}")
    c.answer("Offer draw")
    over = c.wait_window("^Game Over$", 15, besides=(c.frame,))
    c.screenshot("draw-agreed")
    c.take_keyboard(over)
    c.key("Escape", window=over)
    c.wait_gone(over)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends after the draw")
    check(matches(c)["drawn"] == "1" and matches(c)["played"] == "3", f"the draw is counted: {matches(c)}")
    check(len(played_games(c)) == 3, "the drawn game's PGN is kept")


if __name__ == "__main__":
    sys.exit(harness.run("computer-endings", steps, user=USER, debug=True, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
