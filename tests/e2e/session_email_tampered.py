#!/usr/bin/env python3
"""Without a mail program a turn is saved instead: the user is told and
offered the file chooser, and the saved turn is whole. Then received turns
that were tampered with: an illegal newest move, a move that is not the
game's last, a player id that climbs out of the opponents folder, a cut-off
file. Each is refused with a message; the board keeps its position and no
file of the user changes."""

import os
import re
import subprocess
import sys
import tempfile

import email_play as ep
import harness
from harness import check


def repack(p, source, name, change):
    """The turn file source unpacked, its move.cfg changed, packed again."""
    tool = os.path.join(p.client.build, "foundation", "tools", "rwpack")
    work = tempfile.mkdtemp(prefix="turn-", dir=p.client.base)
    subprocess.run([tool, "extract", source, work], check=True, stdout=subprocess.DEVNULL)
    move = os.path.join(work, "contents", "move.cfg")
    with open(move) as f:
        text = f.read()
    changed = change(text)
    check(changed != text, f"{name}: the change applies to {text!r}")
    with open(move, "w") as f:
        f.write(changed)
    path = os.path.join(p.client.base, name)
    subprocess.run([tool, "pack", "-n", "email", path, work], check=True, stdout=subprocess.DEVNULL)
    return path


def steps(a, b):
    """Alice plays 1.e4 without a mail program and keeps her own turn file to
    tamper with; Bob's client is never started."""
    c = a.client
    ep.start_without_mail_program(a)
    history = []
    ep.start_email_game(a, "Bob", b.address)
    a.see_board()
    ep.turn_window(a)
    ep.drag(a, history, "e4", check_board=True)
    good = os.path.join(c.base, "saved.rwf")
    ep.save_without_mail_program(a, good)

    tampered = {
        "illegal.rwf": repack(a, good, "illegal.rwf", lambda t: re.sub(r"(?i)(move\s*=\s*)e4", r"\1Ke2", t)),
        "other-move.rwf": repack(a, good, "other-move.rwf", lambda t: re.sub(r"(?m)^(move\s*=\s*)e4", r"\1d4", t, 1)),
        "climbing-id.rwf": repack(a, good, "climbing-id.rwf",
                                  lambda t: re.sub(r"(?m)^(id\s*=\s*)\S+", r'\1"../../cfg/app"', t, 1)),
    }
    with open(good, "rb") as f:
        whole = f.read()
    truncated = os.path.join(c.base, "truncated.rwf")
    with open(truncated, "wb") as f:
        f.write(whole[:len(whole) * 2 // 3])
    tampered["truncated.rwf"] = truncated

    # Each refusal as the user reads it: one message, with its reason.
    refused = "This turn file was refused:\n\n{}\n\nNothing was changed."
    expected = {
        "illegal.rwf": ("Problem", refused.format("Move 1 of the turn is not legal.")),
        "other-move.rwf": ("Problem", refused.format("The turn's move is not the last move of its game.")),
        "climbing-id.rwf": ("Problem",
                            refused.format("The turn names a player by an id that is not a plain profile id.")),
        "truncated.rwf": ("Rookwell File", "Don't know what to do with this file."),
    }
    user = os.path.join(c.folder, "users", a.user)
    before = harness.folder_digest(user)
    for name, path in tampered.items():
        seen = ep.open_turn(a, path)
        index, record = c.wait_prompt(after=seen)
        caption, text = expected[name]
        check(record[0] == "message" and record[1] == caption and record[2] == text,
              f"{name} is refused with {caption!r} {text!r}: {record}")
        c.answer(record[1])
        ep.shows(a, history, "after-" + name)
        # No second message follows the refusal: a window opened next is
        # what the board's check found, never another prompt.
        check(not c.prompts()[index + 1:], f"{name}: one message only: {c.prompts()[index + 1:]}")
        print(name, "refused:", record[2].replace("\n", " "))
    check(harness.folder_digest(user) == before, "no file of the user changed")
    check(not [n for n in a.opponents()], f"nobody joined the opponents: {a.opponents()}")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly")


if __name__ == "__main__":
    sys.exit(ep.main("email-tampered", steps))
