#!/usr/bin/env python3
"""A game by e-mail ended by resignation: Alice opens with 1.d4, Bob's
client is started with her turn and he resigns with his answer; both
sides keep the game as 1-0. Each then finds the other in Your Opponents,
with the address the other's profile carried."""

import os
import sys

import email_play as ep
import harness
from harness import check


def steps(a, b):
    cb = b.client
    history = []
    ep.open_game(a, b, history, "d4")

    path, _ = ep.take_mail(b, a)
    cb.start(path)
    ep.answer(b, "Opponent's Profile", 0, "alt+y")
    b.see_board(flipped=True)
    ep.shows(b, history, "b-sees-d4")
    played_b = b.played()
    seen = len(cb.prompts())
    cb.menu("a", "r")
    ep.answer(b, "Resign", seen, "alt+y", contains="Are you sure?")
    ep.close_game_over(b)
    ep.send(b)
    pgn = ep.result_of_last_game(b, played_b)
    check(pgn["header"].get("Result") == "1-0", f"Bob's resignation gives 1-0: {pgn['header']}")
    check(pgn["moves"] == history, f"Bob keeps the moves played: {pgn['moves']}")

    played_a = a.played()
    path, mail = ep.take_mail(a, b)
    check(mail["subject"] == "[Rookwell] Move 1", f"Bob answers move 1: {mail['subject']}")
    seen = ep.open_turn(a, path)
    seen = ep.answer(a, "Game Over", seen, contains="Opponent resigns")
    ep.answer(a, "Opponent's Profile", seen, "alt+y")
    ep.close_game_over(a)
    ep.shows(a, history, "a-won")
    pgn = ep.result_of_last_game(a, played_a)
    check(pgn["header"].get("Result") == "1-0", f"Alice wins by resignation: {pgn['header']}")

    for p, other in ((a, b), (b, a)):
        stored = harness.wait_until(lambda: [n for n in p.opponents() if n.endswith(".cfg")], 10,
                                    f"{p.user} to store the opponent")
        check(len(stored) == 1, f"{p.user} stores one opponent: {p.opponents()}")
        profile = harness.read_config(os.path.join(p.client.folder, "users", p.user, "opponents", stored[0]))
        check(profile.get("profile.email") == other.address, f"{p.user} knows {other.user}'s address: {profile}")
        ep.your_opponents(p)
    ep.quit_all(a, b)


if __name__ == "__main__":
    sys.exit(ep.main("email-resign", steps))
