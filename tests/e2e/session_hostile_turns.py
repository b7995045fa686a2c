#!/usr/bin/env python3
"""Hostile e-mail turns opened in the real client. Alice takes Bob's
invitation (in the turn file's own format, without a game id), plays 1.e4
and saves her answer (no mail program), which leaves her own copy of the
game. Then "Bob" sends turns made by hand: one whose newest move is Alice's
colour, an acceptance of a draw she never offered (the offer forged in the
file), one that rewrites her 1.e4, one with a 64 KB name, rewrites whose
sender's side is "0" or empty, and turns of another game from EVIL99 posing
as Bob (a resignation, Fool's mate). Each is refused with a message that
says why; the board keeps 1.e4, no file of the user or of the program folder
changes, and nobody joins the opponents. Bob's honest answer 1...e5 is then
taken as usual. Alice drags 2.Nf3 and keeps it unsent: turns that would play
a move for her are refused, her unsent move stays on the board and in her
copy, and once it has left Bob's honest 2...Nc6 is taken."""

import os
import re
import sys
import time

import email_play as ep
import harness
from harness import check

BOB = "B0B0B0B0"


def pack(client, name, alice, moves, move, message="", black_name="Bob", black_id=BOB, sender=BOB,
         game_keys=(), resign="no"):
    """A turn from "Bob" (Black) to Alice (White)."""
    cfg = ep.move_cfg((alice, "Alice"), (black_id, black_name), moves, move, sender, game_keys, resign)
    return ep.pack_turn(client, name, cfg, message)


def chooser(p, after):
    """Game, Open RWF: the file chooser's prompt index and record. A word of
    the file handler that may still follow the last refusal is answered
    first."""
    c = p.client
    while True:
        c.menu("g", "r")
        index, record = c.wait_prompt(after=after)
        if record[0] == "message" and "Could not restore this game!" in record[2]:
            c.answer(record[1])
            after = index + 1
            continue
        check(record[0] == "file", f"a file is asked for: {record}")
        return index, record


def open_turn(p, path, after):
    """Opens the turn file path; the index past the chooser."""
    index, record = chooser(p, after)
    p.client.choose_file(record[1], path)
    return index + 1


def settle(p, after):
    """Every message of a refusal answered (the file chooser opens only then,
    and is closed again); the index past it."""
    index, record = chooser(p, after)
    p.client.answer(record[1], "Escape")
    return index + 1


def digest_outside_users(folder):
    return {k: v for k, v in harness.folder_digest(folder).items() if not k.startswith("users" + os.sep)}


def refuse_all(p, files, after, history):
    """Opens each (name, path, reason): refused saying reason, the board as
    history; the index past the last."""
    c = p.client
    for name, path, reason in files:
        seen = open_turn(p, path, after)
        index, shown = c.wait_prompt(after=seen)
        check(shown[0] == "message" and "refused" in shown[2] and reason in shown[2],
              f"{name} is refused saying {reason!r}: {shown[:3]}")
        check(len(shown[2]) < 400, f"{name}: the message stays short ({len(shown[2])} characters)")
        check("M" * 41 not in shown[2], f"{name}: no remote name in the message")
        c.answer(shown[1])
        after = settle(p, index + 1)
        ep.shows(p, history, "after-" + name)
        print(name, "refused:", shown[2].replace("\n", " "))
    return after


def only_copy(a):
    copies = ep.copies(a)
    check(len(copies) == 1, f"one copy of the game with Bob: {sorted(copies)}")
    return next(iter(copies.items()))


def steps(a, b):
    c = a.client
    ep.start_without_mail_program(a)
    alice = c.settings(a.user).get("profile.id", "")
    check(re.fullmatch(r"[A-Za-z0-9]{1,32}", alice) is not None, f"Alice has a plain id: {alice!r}")

    # Bob's invitation: Alice opens the game with White.
    seen = open_turn(a, pack(c, "invitation.rwf", alice, [], "You Start"), len(c.prompts()))
    a.see_board()
    ep.turn_window(a)
    history = []
    ep.drag(a, history, "e4", check_board=True)
    ep.save_without_mail_program(a, os.path.join(c.base, "answer.rwf"))
    user = os.path.join(c.folder, "users", a.user)
    ep.wait_copies(a, lambda found: len(found) == 1 and ep.copy_value(*found.values(), "sent") == "1", 30,
                   "Alice's own copy of the sent game")
    copy_name, _ = only_copy(a)

    fools = dict(moves=["f3", "e5", "g4", "Qh4#"], move="Qh4#", black_id="EVIL99", sender="EVIL99",
                 game_keys=[("gameid", "F00F01")])
    hostile = [
        ("own-colour.rwf", dict(moves=["e4", "e5", "Nf3"], move="Nf3"), "one of yours"),
        ("forged-acceptance.rwf", dict(moves=["e4"], move="Accept draw",
                                       game_keys=[("drawoffer", [("colour", "white"), ("ply", "1")])]),
         "did not offer"),
        ("rewritten.rwf", dict(moves=["d4", "e5"], move="e5"), "differ from the game you are playing with"),
        ("long-name.rwf", dict(moves=["c4", "c5"], move="c5", black_name="M" * 65536, message="x" * 65536),
         "differ from the game you are playing with"),
        # Sides that name nobody pass no check.
        ("sender-zero.rwf", dict(moves=["c4", "c5", "Nc3", "Nc6"], move="Nc6", black_id="0"),
         "not the player of the side"),
        ("sender-empty.rwf", dict(moves=["c4", "c5", "Nc3", "Nc6"], move="Nc6", black_id=""),
         "not the player of the side"),
        # Another game's turns never stand in for this one.
        ("evil-resigns.rwf", dict(moves=["e4", "e5"], move="e5", black_id="EVIL99", sender="EVIL99",
                                  game_keys=[("gameid", "F00F00")], resign="yes"), "neither received nor sent"),
        ("fools-mate.rwf", fools, "neither received nor sent"),
    ]
    files = [(name, pack(c, name, alice, **turn), reason) for name, turn, reason in hostile]
    before_user = harness.folder_digest(user)
    before_program = digest_outside_users(c.folder)
    after = refuse_all(a, files, len(c.prompts()), history)
    check(harness.folder_digest(user) == before_user, "no file of the user changed")
    check(digest_outside_users(c.folder) == before_program, "no file of the program folder changed")
    check(not a.opponents(), f"nobody joined the opponents: {a.opponents()}")

    # Bob's honest answer continues the game Alice keeps.
    seen = open_turn(a, pack(c, "honest.rwf", alice, ["e4", "e5"], "e5"), after)
    history.append("e7e5")
    ep.shows(a, history, "honest-answer")
    check(not [r for r in c.prompts()[seen:] if "refused" in r[2]], f"the honest turn is taken: {c.prompts()[seen:]}")
    ep.wait_copies(a, lambda found: len(found) == 1 and ep.copy_value(*found.values(), "received") == "2", 30,
                   "the answer in Alice's copy")

    # Alice's 2.Nf3, not sent: no turn may play a move for her meanwhile.
    ep.drag(a, history, "Nf3", check_board=True)
    ep.wait_copies(a, lambda found: len(found) == 1 and re.search(r'Move=\s*"?Nf3', *found.values()), 30,
                   "the unsent move in Alice's copy")
    check(only_copy(a)[0] == copy_name, "the same copy")
    unsent = [
        ("unsent-rewrite.rwf", dict(moves=["e4", "e5", "Nc3", "Nc6"], move="Nc6"), "neither received nor sent"),
        ("unsent-own.rwf", dict(moves=["e4", "e5", "Nc3"], move="Nc3"), "one of yours"),
        ("unsent-unnamed.rwf", dict(moves=["e4", "e5", "Nc3"], move=""), "one of yours"),
    ]
    files = [(name, pack(c, name, alice, **turn), reason) for name, turn, reason in unsent]
    before_user = harness.folder_digest(user)
    before_program = digest_outside_users(c.folder)
    after = refuse_all(a, files, seen, history)
    check(harness.folder_digest(user) == before_user, "no file of the user changed")
    check(digest_outside_users(c.folder) == before_program, "no file of the program folder changed")

    # Once 2.Nf3 has left, Bob's honest answer to it is taken.
    ep.save_without_mail_program(a, os.path.join(c.base, "answer2.rwf"))
    ep.wait_copies(a, lambda found: len(found) == 1 and ep.copy_value(*found.values(), "sent") == "3", 30,
                   "the sent move in Alice's copy")
    seen = open_turn(a, pack(c, "honest2.rwf", alice, ["e4", "e5", "Nf3", "Nc6"], "Nc6"), len(c.prompts()))
    history.append("b8c6")
    ep.shows(a, history, "honest-answer-2")
    check(not [r for r in c.prompts()[seen:] if "refused" in r[2]], f"the honest turn is taken: {c.prompts()[seen:]}")
    check(only_copy(a)[0] == copy_name, "still the one copy")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly")


def main():
    import traceback
    from harness import Oracle
    if not Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        return 1
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build")
    started = time.monotonic()
    player = None
    try:
        player = ep.Player(build, "hostile-turns", "alice", "alice@example.org")
        steps(player, None)
    except Exception as error:
        if player:
            try:
                player.client.screenshot("failure")
            except Exception:
                pass
            print("prompts:", player.client.prompts(), file=sys.stderr)
        traceback.print_exc()
        print(f"hostile-turns: FAILED ({error})")
        return 1
    finally:
        if player:
            player.client.close()
    print(f"hostile-turns: passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
