#!/usr/bin/env python3
"""Two people play by e-mail, each at a client of their own. Alice starts a
game as White against Bob's address; Bob's client is started with her
attachment and shows 1.e4; four turns go each way (Alice offers a draw,
Bob declines; she offers again and he accepts: both end 1/2-1/2). Every
board is compared with chess.js."""

import sys

import email_play as ep
from harness import check


def first_game(a, b):
    history = []
    cb = b.client
    ep.open_game(a, b, history, "e4")
    path, mail = ep.take_mail(b, a)
    check(mail["subject"] == "[Rookwell] Invitation", f"the first turn invites: {mail['subject']}")
    check(mail["kept"] == ["move 1 (white).rwf"], f"the first turn's name: {mail['kept']}")

    # Bob's client starts with the attachment; his profile question comes
    # after the turn was taken.
    cb.start(path)
    seen = ep.answer(b, "Opponent's Profile", 0, "alt+y")
    # Black's board is seen from Black's side.
    b.see_board(flipped=True)
    ep.shows(b, history, "b-sees-e4")
    ep.turn_window(b)
    ep.drag(b, history, "e5")
    ep.send(b)

    path, mail = ep.take_mail(a, b)
    check(mail["subject"] == "[Rookwell] Move 1", f"Bob answers move 1: {mail['subject']}")
    seen_a = ep.open_turn(a, path)
    seen_a = ep.answer(a, "Opponent's Profile", seen_a, "alt+y")
    ep.shows(a, history, "a-sees-e5")

    # Alice moves and offers a draw with the move; Bob declines and plays on.
    ep.drag(a, history, "Nf3")
    ep.offer_draw(a)
    ep.send(a)
    path, mail = ep.take_mail(b, a)
    check(mail["subject"] == "[Rookwell] Move 2", f"Alice's second move: {mail['subject']}")
    seen = ep.open_turn(b, path)
    seen = ep.answer(b, "Draw Offered", seen, "alt+n")
    ep.shows(b, history, "b-sees-nf3")
    ep.drag(b, history, "Nc6")
    ep.send(b)

    path, _ = ep.take_mail(a, b)
    ep.open_turn(a, path)
    ep.shows(a, history, "a-sees-nc6")
    ep.drag(a, history, "Bc4")
    ep.send(a)

    path, _ = ep.take_mail(b, a)
    ep.open_turn(b, path)
    ep.shows(b, history, "b-sees-bc4")
    ep.drag(b, history, "Bc5")
    ep.send(b)

    # Alice offers again with her fourth move; Bob accepts with his fourth
    # turn: both games end drawn.
    path, _ = ep.take_mail(a, b)
    ep.open_turn(a, path)
    ep.shows(a, history, "a-sees-bc5")
    ep.drag(a, history, "d3")
    ep.offer_draw(a)
    ep.send(a)

    played_a, played_b = a.played(), b.played()
    path, _ = ep.take_mail(b, a)
    seen = ep.open_turn(b, path)
    ep.answer(b, "Draw Offered", seen, "alt+y")
    ep.close_game_over(b)
    ep.shows(b, history, "b-drawn")
    ep.send(b)
    pgn = ep.result_of_last_game(b, played_b)
    check(pgn["header"].get("Result") == "1/2-1/2", f"Bob's game is drawn: {pgn['header']}")
    check(pgn["moves"] == history, f"Bob keeps the moves played: {pgn['moves']}")

    path, _ = ep.take_mail(a, b)
    seen_a = ep.open_turn(a, path)
    ep.answer(a, "Game Over", seen_a, contains="accepted your draw offer")
    ep.close_game_over(a)
    ep.shows(a, history, "a-drawn")
    pgn = ep.result_of_last_game(a, played_a)
    check(pgn["header"].get("Result") == "1/2-1/2", f"Alice's game is drawn: {pgn['header']}")
    check(pgn["moves"] == history, f"Alice keeps the moves played: {pgn['moves']}")


def steps(a, b):
    first_game(a, b)
    ep.quit_all(a, b)


if __name__ == "__main__":
    sys.exit(ep.main("email-game", steps))
