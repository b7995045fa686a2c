#!/usr/bin/env python3
"""Malformed input from outside: a truncated package named on the command
line and opened with Open RWF, PGN files of garbage opened with Open PGN, and
a photo whose picture claims absurd dimensions chosen in the profile. Each
gives a clear message, the client goes on, and nothing the user had is lost
(the photo file included)."""

import os
import shutil
import sys

import game
import harness
from harness import check

USER = "tester"


def expect_message(c, after, caption, texts):
    """The next message is captioned caption and says one of texts; Return closes it."""
    index, record = c.wait_prompt(caption=caption, after=after)
    check(any(t in record[2] for t in texts), f"{caption}: a clear message, got {record[2]!r}")
    c.answer(caption)
    check(c.running(), f"the client goes on after {record[2]!r}")
    return index + 1


def choose_file(c, after, path):
    """Answers the next file question with path; the index past it."""
    index, record = c.wait_prompt(after=after)
    check(record[0] == "file", f"a file is asked for, got {record}")
    c.choose_file(record[1], path)
    return index + 1


def steps(c):
    # A first run leaves the user's folder as it stands; a PGN of the user's own is in played games.
    c.start()
    played = os.path.join(c.folder, "users", USER, "played games")
    shutil.copy(os.path.join(harness.TESTDATA, "pgn", "kasparov-deep-blue-1997.pgn"), played)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first run ends cleanly")
    # The played-games index is a cache of the labels, renewed as the folder changes.
    kept_as_is = ("user.cfg", "played games.idx")
    user_before = harness.folder_digest(os.path.join(c.folder, "users", USER), skip=kept_as_is)
    boards_before = harness.folder_digest(os.path.join(c.folder, "boards"))
    settings_before = c.settings(USER)

    # A package cut off half way, named on the command line and opened with Open RWF.
    whole = harness.board_package(c, os.path.join(c.base, "whole.rwf"), "Cut Board")
    truncated = os.path.join(c.base, "truncated.rwf")
    with open(whole, "rb") as f:
        data = f.read()
    with open(truncated, "wb") as f:
        f.write(data[: len(data) // 2])
    c.start(truncated)
    seen = expect_message(c, 0, "Rookwell File", ["Don't know what to do with this file", "Could not"])
    c.menu("g", "r")
    seen = choose_file(c, seen, truncated)
    seen = expect_message(c, seen, "Rookwell File", ["Don't know what to do with this file", "Could not"])
    check(not os.path.exists(os.path.join(c.folder, "boards", "Cut Board")), "nothing of the cut package is installed")

    # PGN of garbage: one with a move that cannot be played, one of random bytes.
    bad_move = os.path.join(c.base, "bad move.pgn")
    with open(bad_move, "wb") as f:
        f.write(b'[Event "broken"]\n[White "\xff\xfe"]\n\n1. e4 e5 2. Qxz9 Nf6 {never closed\n')
    noise = os.path.join(c.base, "noise.pgn")
    with open(noise, "wb") as f:
        f.write(bytes((i * 7919 + 13) % 256 for i in range(20000)))
    for path in (bad_move, noise):
        game.pgn_submenu(c, "o")
        seen = choose_file(c, seen, path)
        index, record = c.wait_prompt(after=seen)
        check(record[0] == "message" and record[1] in ("Open PGN", "Open"), f"a PGN message, got {record}")
        if path == bad_move:
            check(record[2].startswith("Illegal move: Qxz9\n\n") and record[2].endswith("move 2 (White)."),
                  f"the move that cannot be played is named, with its game and place: {record}")
        check(record[2].startswith("Illegal move: ") or "Could not open PGN" in record[2], f"a clear PGN message: {record}")
        c.answer(record[1])
        seen = index + 1
        check(c.running(), "the client goes on after a bad PGN")

    # A photo whose header claims 100000 x 100000 pixels, chosen in the profile.
    absurd = os.path.join(c.base, "absurd.png")
    harness.png_header_only(absurd, 100000, 100000)
    c.menu("o", "r")
    dialog = harness.profile_dialog(c)
    c.key("alt+b", window=dialog)
    seen = choose_file(c, seen, absurd)
    seen = expect_message(c, seen, "Error", ["Could not read image!"])
    c.key("alt+c", window=dialog)
    c.wait_gone(dialog)

    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly after all that")
    check(harness.folder_digest(os.path.join(c.folder, "users", USER), skip=kept_as_is) == user_before,
          "the user's files are as they were")
    boards_after = harness.folder_digest(os.path.join(c.folder, "boards"))
    check({k: v for k, v in boards_after.items() if not k.startswith("absurd/")} == boards_before,
          "the installed boards are as they were")
    settings = c.settings(USER)
    check(settings.get("supplied photo") != "yes", "the unreadable photo is not taken")
    check(settings.get("profile.name") == harness.PROFILE_NAME, "the profile keeps its name")
    check(settings.get("preferences.board.pack") in (None, "large wood"), "the board is the one the user had")
    for key in ("preferences.matches.played", "preferences.matches.won", "preferences.view.showcoords"):
        check(settings.get(key) == settings_before.get(key), f"{key} is kept: {settings_before.get(key)!r} then {settings.get(key)!r}")


if __name__ == "__main__":
    sys.exit(harness.run("malformed-input", steps, user=USER, window=(40, 40, 900, 700)))
