#!/usr/bin/env python3
"""A flag falls in an online game: two real clients through the stand-in
server agree a new game on the shortest clock (one minute); White moves and
Black does not, so Black is told it has lost on time and White that it has
won; each side's statistics count the game as lost and won, on disk at once.
Then Black's client is killed: White is told its opponent has left the game
and is offered what next (no other game with the one who has gone), and
finding a new opponent opens the search."""

import re
import sys
import time

import harness
from harness import check, wait_until
import session_online_game as game
import session_online_search as online
import session_online_requests as requests


def message_seen(client, title, timeout):
    """Waits for the notice titled title (it closes itself after a while)."""
    return requests.popup(client, title, timeout)


def steps(a, b):
    white, black = game.reach_game(a, b)
    for client in (a, b):
        online.wait_log(client, r"ChPacket chpktResume", 20, client.user + "'s game to resume")
    requests.start_position(white, black)

    # White challenges to a one-minute game, the shortest clock there is; Black plays.
    marks = {client: online.mark(client) for client in (white, black)}
    seen = len(white.prompts())
    white.menu("a", "e")
    requests.confirm(white, "Reset Game", seen)
    requests.challenge(white, "1")
    online.wait_log(black, r"ChPacket chpktGameProposal", 20, "Black to get the proposal", after=marks[black])
    requests.follow(black, "New Game Propsal", 0, 2)
    online.wait_log(white, r"ChPacket chpktBeginGame", 20, "White to hear the game begins", after=marks[white])
    white, black = requests.new_game_sides(white, black, 60, marks)
    requests.start_position(white, black)

    # White opens; Black's minute runs out.
    game.MOVES = ["e2e4"]
    history = game.play_moves(white, black)
    started = time.monotonic()
    check(history == ["e2e4"], f"White moved: {history}")
    message_seen(black, "Time Up", 120)
    online.wait_log(white, r"ChPacket chpktTimeUp", 20, "White to hear Black's time is up")
    message_seen(white, "Time Up", 20)
    check(game.count(black, r"ChPacket chpktTimeUp") == 0, "the side that ran out heard no time-up")
    elapsed = time.monotonic() - started
    check(elapsed > 50, f"the flag fell after the minute, not before: {elapsed:.1f} s")
    for client in (white, black):
        requests.popup(client, "Gridmoor Options")
        check(game.count(client, r"Refused") == 0, client.user + " refused nothing: " + online.session_log(client))
        # Return in Game Over is its OK: the result is counted and written.
        requests.popup(client, "Game Over")
        requests.close_popups(client)
    # A loss on time is a loss, not a draw; the winner's side a win.
    for client, counted in ((black, "lost"), (white, "won")):
        def recorded():
            stats = client.settings(client.user)
            return stats if stats.get("preferences.matches.played") == "1" else None
        stats = wait_until(recorded, 20, client.user + "'s statistics in user.cfg")
        for key in ("won", "lost", "drawn"):
            check(stats.get("preferences.matches." + key, "0") == ("1" if key == counted else "0"),
                  f"{client.user} counted the game as {counted}: {stats}")

    # Black's client dies: White is told, and what it is offered works.
    before = online.mark(white)
    black.kill()
    online.wait_log(white, r"pktConnectionBroken|pktConnectionClosed", 30, "the link to end", after=before)
    notice = requests.popup(white, "Opponent Disconnected")
    requests.popup(white, "Gridmoor Options")
    # The notice lies over the options: it goes first.
    white.key("Return", window=notice)
    white.wait_gone(notice)
    # Another game with the one who has gone is not offered: find a new opponent is the first link.
    options = requests.follow(white, "Gridmoor Options", 0, 3, gone=False)
    # Still logged in: the search opens on its front page without logging in again.
    search = online.search_dialog(white)
    white.key("alt+c", window=search)
    # Still connected: leaving the search asks whether to be told of new players.
    alert = white.take_keyboard(requests.popup(white, "New Player Alert"))
    white.key("Return", window=alert)
    white.wait_gone(alert)
    white.wait_gone(search, 15)
    white.wait_gone(options, 15)


if __name__ == "__main__":
    sys.exit(requests.run("online-timeout", steps))
