#!/usr/bin/env python3
"""Hostile e-mail turns opened in the real client. Alice takes Bob's
invitation, plays 1.e4 and saves her answer (no mail program), which leaves
her own record of the game. Then "Bob" sends turns made by hand: one whose
newest move is Alice's colour, an acceptance of a draw she never offered
(the offer forged in the file), one that rewrites her 1.e4, and one with a
64 KB name. Each is refused with a message that says why; the board keeps
1.e4, no file of the user or of the program folder changes, and nobody
joins the opponents. Bob's honest answer 1...e5 is then taken as usual."""

import os
import re
import subprocess
import sys
import tempfile
import time

import email_play as ep
import harness
from harness import check

BOB = "B0B0B0B0"


def quote(value):
    return '"' + re.sub(r'(["\\|])', r"\\\1", str(value)) + '"'


def frame(name, keys, depth):
    """One frame of the settings text: name=, {, its keys, }."""
    tabs = "\t" * depth
    lines = [f"{tabs}{name}=", tabs + "{"]
    for key, value in keys:
        if isinstance(value, list):
            lines += frame(key, value, depth + 1)
        else:
            lines.append(f"{tabs}\t{key}= {quote(value)}")
    lines.append(tabs + "}")
    return lines


def move_cfg(alice, moves, move, black_name="Bob", game_keys=()):
    """move.cfg of a turn from Bob (Black) to Alice (White)."""
    game = [("game", [("type", "EmailGame")] + list(game_keys)),
            ("White", [("ID", alice), ("name", "Alice"), ("type", "CEmailPlayer")]),
            ("Black", [("ID", BOB), ("name", black_name), ("type", "CLocalPlayer")])]
    if moves:
        game.append(("Moves", [("#%d" % i, [("Move", m), ("Time", "1000")]) for i, m in enumerate(moves)]))
    lines = ["; auto-generated"]
    for key, value in (("move", move), ("offerdraw", "no"), ("resign", "no"), ("from", "bob@example.org"),
                       ("id", BOB)):
        lines.append(f"{key}= {quote(value)}")
    lines += frame("game", game, 0)
    # Numbered frames are written bare: "=" then "{".
    lines = [re.sub(r"^(\t*)#\d+=$", r"\1=", line) for line in lines]
    return "\r\n".join(lines) + "\r\n"


def pack(client, name, alice, moves, move, message="", **keys):
    tool = os.path.join(client.build, "foundation", "tools", "rwpack")
    work = tempfile.mkdtemp(prefix="hostile-", dir=client.base)
    os.makedirs(os.path.join(work, "contents"))
    with open(os.path.join(work, "contents.cfg"), "w", newline="") as f:
        f.write('contents=\r\n{\r\n\tmajor= "Rookwell"\r\n\tminor= "Email"\r\n}\r\n'
                'description= "A move sent by email"\r\n')
    with open(os.path.join(work, "contents", "move.cfg"), "w", newline="") as f:
        f.write(move_cfg(alice, moves, move, **keys))
    with open(os.path.join(work, "contents", "message.txt"), "w") as f:
        f.write(message)
    path = os.path.join(client.base, name)
    subprocess.run([tool, "pack", "-n", "email", path, work], check=True, stdout=subprocess.DEVNULL)
    return path


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
    record = os.path.join(user, "active games", f"email {BOB}.rwg")
    harness.wait_until(lambda: os.path.exists(record), 10, "Alice's own record of the game")

    hostile = [
        ("own-colour.rwf", dict(moves=["e4", "e5", "Nf3"], move="Nf3"), "one of yours"),
        ("forged-acceptance.rwf", dict(moves=["e4"], move="Accept draw",
                                       game_keys=[("drawoffer", [("colour", "white"), ("ply", "1")])]),
         "did not offer"),
        ("rewritten.rwf", dict(moves=["d4", "e5"], move="e5"), "differ from the game you are playing with"),
        ("long-name.rwf", dict(moves=["c4", "c5"], move="c5", black_name="M" * 65536, message="x" * 65536),
         "differ from the game you are playing with"),
    ]
    files = [(name, pack(c, name, alice, **turn), reason) for name, turn, reason in hostile]
    before_user = harness.folder_digest(user)
    before_program = digest_outside_users(c.folder)
    after = len(c.prompts())
    for name, path, reason in files:
        seen = open_turn(a, path, after)
        index, shown = c.wait_prompt(after=seen)
        check(shown[0] == "message" and "refused" in shown[2] and reason in shown[2],
              f"{name} is refused saying {reason!r}: {shown[:3]}")
        check(len(shown[2]) < 400, f"{name}: the message stays short ({len(shown[2])} characters)")
        check("M" * 41 not in shown[2], f"{name}: no remote name in the message")
        c.answer(shown[1])
        after = settle(a, index + 1)
        ep.shows(a, history, "after-" + name)
        print(name, "refused:", shown[2].replace("\n", " "))
    check(harness.folder_digest(user) == before_user, "no file of the user changed")
    check(digest_outside_users(c.folder) == before_program, "no file of the program folder changed")
    check(not a.opponents(), f"nobody joined the opponents: {a.opponents()}")

    # Bob's honest answer continues the game Alice keeps.
    seen = open_turn(a, pack(c, "honest.rwf", alice, ["e4", "e5"], "e5"), after)
    history.append("e7e5")
    ep.shows(a, history, "honest-answer")
    check(not [r for r in c.prompts()[seen:] if "refused" in r[2]], f"the honest turn is taken: {c.prompts()[seen:]}")
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
