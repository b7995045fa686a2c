#!/usr/bin/env python3
"""The Actions menu in a game against the computer: Take Back returns the
board to the position two plies before (checked against chess.js), Offer
Draw asks first, Resign ends the game with the Game Over window, whose OK
records the result in the statistics of the side panel and keeps the game's
PGN in the played games. A second game, saved, then resigned while the user
folder's disk is full (the fault point's ENOSPC): OK tells that the game
could not be kept and why, and its saved game stays."""

import os
import sys

import game
import harness
from harness import check

USER = "tester"


def stats_area(c, picture_path, name):
    """The right-hand column of the start page, where the statistics stand."""
    x, y, width, height = c.geometry(c.frame)
    return c.crop(picture_path, x + width // 2, y + height // 3, width // 2, height * 2 // 3, name)


def lose_on_a_full_disk(c, board, empty, played):
    """A new game, one move, saved with Ctrl-S; then the disk fills, and the
    game is resigned and Game Over's OK pressed."""
    game.new_computer_game(c)
    game.away(c, board)
    harness.wait_occupied(c, board, empty, harness.START_SQUARES, "second-start-position")
    history = []
    game.play_and_wait_reply(c, board, history, c.settle("second-start"))
    seen = len(c.prompts())
    c.key("ctrl+s")
    index, record = c.wait_prompt(after=seen)
    c.key("Return", window=c.wait_dialog("^" + record[1] + "$", 15))
    saved = c.answered(index)
    harness.wait_until(lambda: os.path.exists(saved), 30, f"the game saved as {saved}")
    kept = set(os.listdir(played))

    user = os.path.join(c.folder, "users", USER)
    open(os.path.join(user, "disk full"), "w").close()
    seen = len(c.prompts())
    c.menu("a", "r")
    c.answer("Resign", "alt+y")
    over = c.wait_dialog("^Game Over$", 15)
    c.key("Return", window=over)
    c.wait_gone(over)
    # The statistics cannot be written either, which is told on its own
    # first; each message is answered as it comes.
    told = None
    after = seen + 1
    while told is None:
        index, record = c.wait_prompt(after=after)
        if record[1] == "Game Not Kept":
            told = record
        c.answer(record[1])
        after = index + 1
    check("The game " in told[2] and " vs " in told[2] and "No space left on device" in told[2] and
          'saved game in "active games" is kept' in told[2], f"the loss is told with its cause: {told}")
    check(os.path.exists(saved) and os.path.getsize(saved) > 0, f"the saved game stays: {saved}")
    check(set(os.listdir(played)) == kept, f"no PGN reached the full disk: {sorted(os.listdir(played))}")
    os.remove(os.path.join(user, "disk full"))


def steps(c):
    # The fault point fills the user folder's disk while "disk full" is there.
    c.env["LD_PRELOAD"] = os.path.join(c.build, "testsupport", "librookwell_faultpoint.so")
    c.env["ROOKWELL_FAULT_FULL_FOLDER"] = os.path.join(c.folder, "users", USER)
    c.start()
    stats_before = stats_area(c, c.screenshot("start-page"), "stats-before")
    # Without a game nothing in Actions can be done: its menu does not open
    # and takes no keys, so the keys after it still reach the frame.
    c.key("alt+a", "Escape")
    board, empty, before = game.start_computer_game(c)
    history = []
    for _ in range(2):
        mine, reply, before = game.play_and_wait_reply(c, board, history, before)
        print(mine["san"], reply["san"])

    # Take back: our last move and the engine's answer go.
    c.menu("a", "t")
    expected = harness.occupied_squares(harness.Oracle.position(history[:2])["fen"])
    harness.wait_occupied(c, board, empty, expected, "taken-back-position")
    taken = c.settle("taken-back")
    history = history[:2]

    # Offer draw asks first; the engine plays on.
    seen = len(c.prompts())
    c.menu("a", "d")
    index, record = c.wait_prompt(caption="Offer Draw", after=seen)
    check(record[2] == "Are you sure?", f"Offer Draw asks first: {record}")
    c.answer("Offer Draw", "alt+y")
    # The engine's answer is told: it lets the offer pass.
    index, record = c.wait_prompt(caption="Offer draw", after=index + 1)
    check(record[2] == "Draw declined", f"the engine declines: {record}")
    c.answer("Offer draw")
    seen = index + 1
    check(not c.windows("^Game Over$"), "the engine does not take a draw this early")

    # A move still works after the offer, then Resign.
    mine, reply, before = game.play_and_wait_reply(c, board, history, taken)
    c.menu("a", "r")
    index, record = c.wait_prompt(caption="Resign", after=seen)
    check(record[2] == "Are you sure?", f"Resign asks first: {record}")
    c.answer("Resign", "alt+y")
    over = c.wait_dialog("^Game Over$", 15)
    c.screenshot("game-over", over)
    played = os.path.join(c.folder, "users", USER, "played games")
    kept = set(os.listdir(played))
    c.key("Return", window=over)
    c.wait_gone(over)

    # The start page's statistics count the lost game.
    c.key("F2")
    harness.wait_until(lambda: harness.differs(stats_before, stats_area(c, c.screenshot("start-page-after"),
                                                                        "stats-after")) > 50,
                       15, "the statistics on the start page to change", step=0.3)
    new = harness.wait_until(lambda: [n for n in set(os.listdir(played)) - kept if n.lower().endswith(".pgn")], 15,
                             "the game's PGN in the played games")
    check(len(new) == 1, f"one PGN is kept in the played games: {sorted(os.listdir(played))}")
    saved = harness.pgn_game(os.path.join(played, new[0]), 0)
    check(saved["moves"] == history, f"the kept PGN holds the moves played: {saved['moves']} / {history}")
    check(saved["header"].get("Result") == "0-1", f"the kept PGN records the resignation: {saved['header']}")

    lose_on_a_full_disk(c, board, empty, played)
    status = c.exit_answering(lambda record: "alt+n", len(c.prompts()))
    check(status == 0, "the client ends cleanly")
    settings = c.settings(USER)
    check(settings.get("preferences.matches.played") == "2", f"two games played: {settings.get('preferences.matches.played')}")
    check(settings.get("preferences.matches.lost") == "2", f"two games lost: {settings.get('preferences.matches.lost')}")
    check(settings.get("preferences.matches.won") == "0", "no game won")


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("game-actions", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
