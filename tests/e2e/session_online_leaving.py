#!/usr/bin/env python3
"""Leaving online games, as players do, with two real clients and the
stand-in server on loopback. The server greets each login with an
administrator's message, which opens over the search and closes with Escape
or Return without starting a search. During a game, Play Online asks first
whether to resign, and No keeps the game. The server is lost mid-game: both
sides are told the game ends without a result, and keep it as "*". With a
new server the two meet again, and Play Online during the game, answered
Yes, resigns: the opponent is told, and the leaver's game is kept as lost.
Exit then asks whether to disconnect from the server."""

import os
import re
import signal
import sys

import harness
from harness import check, wait_until
import session_online_game as game
import session_online_search as online
import session_online_requests as requests

OPENING = ["e2e4", "e7e5"]
MOTD = "<b>Welcome</b> to the stand-in server."


def close_admin_message(client, key, dialog):
    """The administrator's message over the search: key closes it, and starts no search."""
    box = client.wait_window("^Message from Admin$", 20, besides=(client.frame, dialog))
    client.focus(box)
    client.key(key, window=box)
    client.wait_gone(box, 15)


def meet(a, b, keys):
    """Both open the search, close the greeting with their key, find each other and
    start a game; (white, black)."""
    dialogs, searches = {}, {}
    for client in (a, b):
        before = online.mark(client)
        searches[client] = game.count(client, r"pktSearching")
        client.menu("g", "p")
        dialogs[client] = online.search_dialog(client)
        online.wait_log(client, r"pktLoggedInOK", 20, client.user + " to log in", after=before)
        close_admin_message(client, keys[client], dialogs[client])
    marks = {client: online.mark(client) for client in (a, b)}
    for client in (a, b):
        client.key("alt+f", window=dialogs[client])
        online.wait_log(client, r"pktSearching", 20, client.user + "'s search to be taken", after=marks[client])
    for client in (a, b):
        # Had the key that closed the greeting started a search, the Find button would
        # have been off: this search would not be the one taken.
        check(game.count(client, r"pktSearching") == searches[client] + 1,
              client.user + " searched once: " + online.session_log(client)[marks[client]:])
    colours = {}
    for client in (a, b):
        agreed = online.wait_log(client, r"Game agreed with \d+: playing (\w+), (\w+), clock (\d+) s", 60,
                                 client.user + "'s game", after=marks[client])
        colours[client] = agreed.group(1)
    check(set(colours.values()) == {"white", "black"}, f"opposite colours: {colours}")
    for client in (a, b):
        client.wait_gone(dialogs[client], 20)
        online.wait_log(client, r"ChPacket chpktResume", 20, client.user + "'s game to resume", after=marks[client])
    white = a if colours[a] == "white" else b
    black = b if white is a else a
    requests.start_position(white, black)
    history = game.play_moves(white, black)
    check(history == OPENING, f"the opening was played: {history}")
    return white, black


def ask_to_leave(client, answer):
    """Play Online during the game: the game asks first; answer is the key pressed."""
    seen = len(client.prompts())
    client.menu("g", "p")
    index, record = client.wait_prompt(caption="Play Online", after=seen)
    check("Do you want to resign?" in record[2], "leaving asks about resigning: " + repr(record))
    client.answer("Play Online", answer)
    return index


def steps(a, b):
    harness.PROFILE_NAME = "Anna"
    a.start()
    harness.PROFILE_NAME = "Bruno"
    b.start()
    white, black = meet(a, b, {a: "Escape", b: "Return"})

    # Play Online during the game asks; No keeps the game and opens no search.
    resigns = game.count(black, r"ChPacket chpktResign")
    ask_to_leave(white, "alt+n")

    # The server is lost mid-game: both are told the game ends without a result
    # and keep it as unfinished; No above left it running, and sent no resignation.
    seen = {client: len(client.prompts()) for client in (white, black)}
    game.run.server.send_signal(signal.SIGKILL)
    game.run.server.wait(15)
    for client in (white, black):
        client.wait_prompt(caption="Disconnected", contains="without a result", after=seen[client], timeout=20)
        client.answer("Disconnected")
        game.kept_unfinished(client)
        requests.close_popups(client)
    check(game.count(black, r"ChPacket chpktResign") == resigns, "No sent no resignation")
    check(not [w for w in white.windows("^Find An Opponent Online$") if w != white.frame], "No opened no search")

    # A new server; the two meet again. Leaving this game by Play Online, with Yes, resigns it.
    game.run.restart()
    # Bruno logs in first this time: where a server numbers its logins from 1 again,
    # neither is then given the id the other keeps away from.
    white, black = meet(b, a, {a: "Return", b: "Escape"})
    before = online.mark(black)
    kept = len(game.played_games(white))
    ask_to_leave(white, "alt+y")
    online.wait_log(black, r"ChPacket chpktResign", 20, "the resignation to arrive", after=before)
    requests.popup(black, "Game Over")
    # The leaver's game is over, lost, and kept; the search opens.
    search = online.search_dialog(white)
    over = white.wait_window("^Game Over$", 20, besides=(white.frame, search))
    white.key("alt+c", window=search)
    alert = requests.popup(white, "New Player Alert")
    white.focus(alert)
    white.key("Return", window=alert)
    white.wait_gone(search, 15)
    white.focus(over)
    white.key("Return", window=over)
    white.wait_gone(over)
    files = wait_until(lambda: (lambda f: f if len(f) > kept else None)(game.played_games(white)), 20,
                       "the resigned game to be kept")
    with open(files[-1], errors="replace") as f:
        pgn = f.read()
    check(re.search(r'\[Result "(1-0|0-1)"\]', pgn) and '[Result "0-1"]' in pgn,
          "the game is kept as White's loss: " + pgn[:400])
    stats = wait_until(lambda: (lambda s: s if s.get("preferences.matches.played") == "1" else None)(
        white.settings(white.user)), 20, "the loss to be counted")
    check(stats.get("preferences.matches.lost") == "1", f"counted as lost: {stats}")

    # Exit after the finished online game asks about the connection it still holds.
    seen = len(white.prompts())
    white.menu("g", "x")
    white.wait_prompt(caption="End Game", contains="Disconnect from the Gridmoor server?", after=seen)
    white.answer("End Game", "alt+y")
    check(white.wait_exit() == 0, "the client ends cleanly")


if __name__ == "__main__":
    sys.exit(game.run("online-leaving", steps, moves=OPENING, motd=MOTD))
