#!/usr/bin/env python3
"""Turns that must be taken although the user's copies of other games
stand beside them. Alice starts a game against Bob's address and offers a
draw with her very first move, 1.e4; Bob's client accepts. Before Alice
opens his acceptance, a turn in the turn file's own format (no game id)
from Bob's id opens a second game, Bob's 1.d4: it is taken, and Alice's copy
of the first game stays as it was. Then Bob's acceptance of the first game
is taken: both clients end it 1/2-1/2, and Alice's copy of the second game
is still there."""

import re
import sys

import email_play as ep
from harness import check


def sent_with_offer(found):
    """One copy, holding the sent move and the draw offer made with it."""
    return len(found) == 1 and all(ep.copy_value(t, "sent") == "1" and ep.copy_value(t, "ply") == "1"
                                   for t in found.values())


def steps(a, b):
    history = []
    ca, cb = a.client, b.client
    ca.start()
    ca.key("F2")
    ep.start_email_game(a, "Bob", b.address)
    a.see_board()
    ep.turn_window(a)
    ep.drag(a, history, "e4")
    ep.offer_draw(a)
    ep.send(a)
    (first_copy, first_text), = ep.wait_copies(a, sent_with_offer, 30,
                                               "Alice's copy to hold the sent move and the offer").items()

    # Bob accepts with his first turn.
    path, _ = ep.take_mail(b, a)
    played_b = b.played()
    cb.start(path)
    # His profile question comes once the turn was taken.
    seen = ep.answer(b, "Draw Offered", 0, "alt+y")
    ep.answer(b, "Opponent's Profile", seen, "alt+y")
    ep.close_game_over(b)
    b.see_board(flipped=True)
    ep.shows(b, history, "b-drawn")
    ep.send(b)
    pgn = ep.result_of_last_game(b, played_b)
    check(pgn["header"].get("Result") == "1/2-1/2", f"Bob's game is drawn: {pgn['header']}")
    acceptance, _ = ep.take_mail(a, b)

    # Meanwhile a second game from Bob, as a client that names no game
    # writes it: Bob White with 1.d4, Alice not known yet.
    bob = cb.settings(b.user).get("profile.id", "")
    check(re.fullmatch(r"[A-Za-z0-9]{1,32}", bob) is not None, f"Bob has a plain id: {bob!r}")
    second = ep.pack_turn(ca, "second.rwf", ep.move_cfg((bob, "Bob"), ("0", ""), ["d4"], "d4", bob))
    seen = ep.open_turn(a, second)
    a.board.flipped = True
    ep.shows(a, ["d2d4"], "a-second-game")
    refused = [r for r in ca.prompts()[seen:] if "refused" in r[2]]
    check(not refused, f"the second game is taken: {refused}")
    both = ep.wait_copies(a, lambda found: len(found) == 2, 30, "a copy of the second game beside the first")
    check(both.get(first_copy) == first_text, "the first game's copy is as it was")
    (second_copy, _), = [(n, t) for n, t in both.items() if n != first_copy]

    # Bob's acceptance of the first game: the offer stands in Alice's copy.
    played_a = a.played()
    seen = ep.open_turn(a, acceptance)
    seen = ep.answer(a, "Game Over", seen, contains="accepted your draw offer")
    # Bob's first turn brings his profile.
    ep.answer(a, "Opponent's Profile", seen, "alt+y")
    ep.close_game_over(a)
    a.board.flipped = False
    ep.shows(a, history, "a-drawn")
    pgn = ep.result_of_last_game(a, played_a)
    check(pgn["header"].get("Result") == "1/2-1/2", f"Alice's game is drawn: {pgn['header']}")
    check(pgn["moves"] == history, f"Alice keeps the moves played: {pgn['moves']}")
    ep.wait_copies(a, lambda found: list(found) == [second_copy], 30, "only the second game's copy left")
    ep.quit_all(a, b)


if __name__ == "__main__":
    sys.exit(ep.main("email-two-games", steps))
