#!/usr/bin/env python3
"""The client installed for every user of the machine: the program folder is
root's, mode 755, and another account starts it. That user's profile,
settings, console log, played games and packages are kept below
$XDG_DATA_HOME/rookwell, which the console names; a board package installs
there and is listed beside the program's boards; a game played to its end
and a changed preference are both found at the next start; nothing is
written into the program folder. Before that, a data folder that cannot be
made is named by its full path, and one of root's gives way to the account's
own. Needs root, to make the account."""

import glob
import os
import sys

import engine_packages as packages
import game
import harness
from harness import check, wait_until

USER = "tester"
NAME = "Club Vinyl"


def install_board(c):
    """Game, Open RWF with a new board package; Yes, then OK to its success."""
    package = harness.board_package(c, os.path.join(c.base, "club vinyl.rwf"), NAME, source="tournament")
    seen = len(c.prompts())
    c.menu("g", "r")
    index, record = c.wait_prompt(after=seen)
    c.choose_file(record[1], package)
    index, record = c.wait_prompt(contains="This will install the following board", after=index + 1)
    c.answer(record[1], "alt+y")
    index, record = c.wait_prompt(contains="Board installed successfully", after=index + 1)
    c.answer(record[1])


def data_folder_cannot_be_made(c):
    """$XDG_DATA_HOME names a file: the start says which folder could not be
    made, by its full path, and ends. Then a folder of root's, which the
    account may not write: the account's own data folder is used instead, and
    the log says why."""
    kept = c.env["XDG_DATA_HOME"]
    blocked = os.path.join(c.base, "data is a file")
    open(blocked, "w").close()
    read_only = os.path.join(c.base, "data of root")
    os.makedirs(read_only, mode=0o755)
    try:
        c.env["XDG_DATA_HOME"] = blocked
        seen = len(c.prompts())
        c.start(wait_frame=False)
        index, record = c.wait_prompt(caption="Problem", after=seen, timeout=30)
        check(record[2].startswith(f'Rookwell could not prepare the folder of the user "{USER}".') and
              f'The folder "{blocked}/rookwell/users" could not be made.' in record[2],
              f"the start names the data folder it could not make: {record}")
        c.answer(record[1])
        c.wait_exit()
        check(not c.windows("^Rookwell$"), "no frame came")

        c.env["XDG_DATA_HOME"] = read_only
        c.start()
        c.menu("g", "x")
        check(c.wait_exit() == 0, "the start in the account's own data folder ends cleanly")
        check(not os.listdir(read_only), "nothing was made in root's folder")
        logs = glob.glob(os.path.join(c.data, "logs", "*"))
        check(any(f"The data folder {read_only}/rookwell (XDG_DATA_HOME) is not used: {read_only} belongs to "
                  "another account." in harness.read_text(p) for p in logs),
              f"the log says why root's folder was not used: {logs}")
    finally:
        c.env["XDG_DATA_HOME"] = kept


def steps(c):
    log = os.path.join(c.base, "engine.log")
    packages.install_fake(c, "Silent", packages.FEATURES, log=log)
    c.own(log)
    saved = packages.saved_game(c, "silent", "Silent", local="white", seconds=3)
    program = harness.folder_digest(c.folder), sorted(top for top, _, _ in os.walk(c.folder))
    data_folder_cannot_be_made(c)

    # A new user; a board package and the choice of its board.
    c.start()
    check(os.path.isfile(os.path.join(c.data, "users", USER, "user.cfg")),
          f"the new user's folder is in {c.data}")
    old, _, before = c.board_view(name="large-wood")
    install_board(c)
    check(os.path.isfile(os.path.join(c.data, "boards", NAME, "info.cfg")), "the board is installed in the user's folder")
    rows = harness.installed_boards(c)
    check("large wood" in [r.lower() for r in rows] and NAME in rows, f"both folders' boards are listed: {rows}")
    dialog = harness.open_preferences(c)
    harness.choose_board_row(c, dialog, rows.index(NAME))
    c.key("alt+o", window=dialog)
    c.wait_gone(dialog)
    kept = c.wait_settled(lambda k: harness.difference(k.path, before.path) > 0.01, "the new board on the canvas",
                          "new-board")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first run ends cleanly")
    check(c.settings(USER).get("preferences.board.pack") == NAME, "the new board is the user's board")
    logs = glob.glob(os.path.join(c.data, "logs", "*"))
    check(any(f"Your games and settings are kept in {c.data}/" in harness.read_text(p) for p in logs),
          f"the console names the user's data folder: {logs}")

    # A game against the computer to its end: the silent engine loses on time.
    c.start(saved)
    over = game.flag_falls_after_e4(c)
    c.take_keyboard(over)
    c.key("Return", window=over)
    c.wait_gone(over)
    played = os.path.join(c.data, "users", USER, "played games")
    pgns = wait_until(lambda: glob.glob(os.path.join(played, "*.pgn")), 10, "the played game's PGN")
    check('[Result "1-0"]' in harness.read_text(pgns[0]), "the PGN says White won")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends after the game")

    # The next start finds the board chosen, the game and its count.
    c.start()
    c.key("F2")
    c.wait_settled(lambda again: harness.difference(again.path, kept.path) < 0.02, "the next start to show the new board",
                   "next-start")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the last run ends cleanly")
    check(glob.glob(os.path.join(played, "*.pgn")) == pgns, "the played game is still kept")
    check(c.settings(USER).get("preferences.matches.played") == "1", "the game is counted")
    check(c.settings(USER).get("preferences.board.pack") == NAME, "the board is still the user's")
    check((harness.folder_digest(c.folder), sorted(top for top, _, _ in os.walk(c.folder))) == program,
          "nothing in the program folder changed")


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("installed-for-all: skipped: only root can make the account that runs the client")
        sys.exit(0)
    sys.exit(harness.run("installed-for-all", steps, user=USER, account="rwplayer", window=(40, 40, 900, 700)))
