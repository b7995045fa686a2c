#!/usr/bin/env python3
"""Files that reach the running client from outside, each handed over by a
second start as a file manager's Open does, while a game against the
computer is in play:
- /dev/zero named on the command line, or handed over, and a FIFO whose
  writer never writes are refused at once; the client answers on;
- a saved game: the client asks whether to save the game in play; Cancel
  keeps it on the board and in play (the engine answers the next move);
- a PGN file handed over while the Preferences are open waits until they
  close, then asks; a second PGN file handed over while that question is
  open waits for its answer; Yes saves the game through the save dialog
  into the active games, then the first file opens and the second after
  it, without a question (a viewed game has nothing to save);
- files handed over while the client is still starting are all opened once
  it has started, in the order they came;
- a PGN file handed over while the exit asks about the game in play is left
  to its start, which becomes the client once the first has ended and opens
  it."""

import os
import re
import sys

import game
import harness
from harness import check, wait_until

USER = "tester"
HANDED = "Files handed over by another start: "


def pawn_game(moves):
    """A PGN text of pawn moves ("d2d4", ...) and the squares its end holds."""
    squares = set(harness.START_SQUARES)
    text = '[White "Ann"]\n[Black "Bob"]\n\n'
    for i, move in enumerate(moves):
        squares.discard(move[:2])
        squares.add(move[2:])
        text += (f"{i // 2 + 1}. " if i % 2 == 0 else "") + move[2:] + " "
    return text + "*\n", squares


def write(c, name, text):
    path = os.path.join(c.base, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def handed_order(c):
    """The files the client says it was handed, in the order it took them."""
    return [line[len(HANDED):] for line in c.log_of_run().splitlines() if line.startswith(HANDED)]


def refused_at_once(c, board, empty, history):
    """/dev/zero and a FIFO whose writer never writes, each handed over: one
    message each; the game stays."""
    fifo = os.path.join(c.base, "pipe.pgn")
    os.mkfifo(fifo)
    writer = os.open(fifo, os.O_RDWR)
    try:
        for name, text in (("/dev/zero", "Don't know what to do with this file."),
                           ("pipe.pgn", "Could not open PGN file.")):
            seen = len(c.prompts())
            check(c.second_start(name) == 0, f"the second start with {name} ends with status 0")
            index, record = c.wait_prompt(contains=text, after=seen)
            c.answer(record[1])
            check(len(c.prompts()) == index + 1, f"one message for {name}: {c.prompts()[seen:]}")
    finally:
        os.close(writer)
    expected = harness.occupied_squares(harness.Oracle.position(history)["fen"])
    harness.wait_occupied(c, board, empty, expected, "kept-after-refusals")


def cancel_keeps_the_game(c, board, empty, history):
    """A saved game handed over: Cancel to the question keeps the game in play."""
    write(c, "viewed game.rwg", "game = {\n\ttype = PGNGame\n}\nmoves = {\n\t#0 = {\n\t\tmove = d4\n\t}\n}\n")
    seen = len(c.prompts())
    check(c.second_start("viewed game.rwg") == 0, "the second start with a saved game ends with status 0")
    index, record = c.wait_prompt(caption="End Game", contains="save the current game", after=seen)
    c.answer(record[1], "Escape")
    expected = harness.occupied_squares(harness.Oracle.position(history)["fen"])
    harness.wait_occupied(c, board, empty, expected, "kept-after-cancel")
    check(not c.windows("^PGN Viewer$"), "nothing was opened")
    # Still in play: the engine answers the next move.
    mine, reply, before = game.play_and_wait_reply(c, board, history, c.settle("kept"))
    print(mine["san"], reply["san"])
    check(len(c.prompts()) == index + 1, f"nothing more was asked: {c.prompts()[index + 1:]}")


def wait_for_preferences_then_question(c, board, empty, history):
    """A PGN file while the Preferences are open; a second one during the
    question that follows; Yes saves the game, then both open in turn."""
    club = write(c, "club night.pgn", pawn_game(["e2e4", "e7e5"])[0])
    text, second_squares = pawn_game(["d2d4", "d7d5", "c2c4"])
    second = write(c, "second.pgn", text)
    c.menu("o", "p")
    preferences = c.wait_dialog("^Preferences$", 15)
    seen = len(c.prompts())
    check(c.second_start("club night.pgn") == 0, "the second start with a PGN file ends with status 0")
    wait_until(lambda: "wait until the open window closes: " + club in c.log_of_run(), 20,
               "the client to say the file waits for the Preferences")
    check(len(c.prompts()) == seen, f"nothing is asked while the Preferences are open: {c.prompts()[seen:]}")
    check(preferences in c.windows("^Preferences$"), "the Preferences stay open")
    c.key("alt+c", window=preferences)
    c.wait_gone(preferences)

    index, record = c.wait_prompt(caption="End Game", contains="save the current game", after=seen)
    check(index == seen, f"the question is the first thing asked: {c.prompts()[seen:]}")
    # The second start ends once the running client has taken its file.
    check(c.second_start("second.pgn") == 0, "the second start during the question ends with status 0")
    check(not c.windows("^PGN Viewer$"), "nothing opens while the question is open")
    c.answer(record[1], "alt+y")
    index, record = c.wait_prompt(after=index + 1)
    check(record[0] == "file" and record[1] == "Save game", f"Yes asks where to save: {record}")
    c.key("Return", window=c.wait_dialog("^Save game$", 15))
    saved = c.answered(index)
    wait_until(lambda: os.path.exists(saved), 30, f"the game saved as {saved}")
    active = os.path.join(c.folder, "users", USER, "active games")
    check(os.path.dirname(saved) == active, f"the game is kept in the active games: {saved}")
    kept = harness.read_config(saved)
    check(kept.get("game.type") == "AIGame", f"the saved game is the game against the computer: {kept}")
    moves = re.findall(r"(?mi)^\s*move\s*=", harness.read_text(saved))
    check(len(moves) == len(history), f"the saved game holds the {len(history)} moves played: {len(moves)}")

    # The club file opened, then the second one in its place, unasked.
    wait_until(lambda: handed_order(c)[-2:] == [club, second], 30, "both files to be taken in order")
    harness.wait_occupied(c, board, empty, second_squares, "second-file-on-the-board", timeout=30)
    asked = [r for r in c.prompts()[index + 1:] if "save the current game" in r[2]]
    check(not asked, f"the viewed game is not asked about: {asked}")


def handed_during_the_start(c):
    """Three files handed over while the client is still starting; each is
    opened after the start-up, in the order they came."""
    files, last = [], None
    for i, pawn in enumerate("abh"):
        text, last = pawn_game([f"{pawn}2{pawn}4"])
        files.append(write(c, f"during start {i + 1}.pgn", text))
    c.start(wait_frame=False)
    # The loading picture comes once the client has claimed the program folder.
    c.wait_window("^Splash$", 30)
    for path in files:
        check(c.second_start(os.path.basename(path)) == 0, f"the start with {path} ends with status 0")
    c.frame = c.wait_window("^Rookwell$", 30)
    c.wait_started()
    wait_until(lambda: handed_order(c) == files, 60, f"the three files in their order: {handed_order(c)}")
    board = game.the_board(c)
    game.away(c, board)
    harness.wait_occupied(c, board, board.empty(c.look(), c.artifacts), last, "last-file-handed", timeout=30)
    game.exit_closing_pgn(c, len(c.prompts()))


def handed_during_the_exit(c):
    """A PGN file handed over while Game, Exit asks about the game in play:
    the closing client leaves it to its start, which waits, becomes the
    client once the first has ended, and opens it."""
    text, squares = pawn_game(["g2g4"])
    path = write(c, "at the exit.pgn", text)
    c.start()
    board, empty, before = game.start_computer_game(c)
    game.play_and_wait_reply(c, board, [], before)
    seen = len(c.prompts())
    c.menu("g", "x")
    index, record = c.wait_prompt(contains="save the current game", after=seen)
    beside = c.start_beside(os.path.basename(path))
    wait_until(lambda: "put back while the window closes" in c.log_of_run(), 30,
               "the closing client to leave the file to its start")
    check(beside.poll() is None, "the start waits while the client closes")
    c.answer(record[1], "alt+n")
    check(c.wait_exit() == 0, "the first client ends")
    c.adopt(beside)
    board = game.the_board(c)
    game.away(c, board)
    harness.wait_occupied(c, board, board.empty(c.look(), c.artifacts), squares, "opened-after-the-exit",
                          timeout=30)
    game.exit_closing_pgn(c, len(c.prompts()))


def steps(c):
    # Named on the command line, /dev/zero is refused at once and the client comes up.
    c.start("/dev/zero")
    index, record = c.wait_prompt(caption="Rookwell File", contains="Don't know what to do with this file.")
    c.answer(record[1])

    board, empty, before = game.start_computer_game(c)
    history = []
    mine, reply, before = game.play_and_wait_reply(c, board, history, before)
    print(mine["san"], reply["san"])
    refused_at_once(c, board, empty, history)
    cancel_keeps_the_game(c, board, empty, history)
    wait_for_preferences_then_question(c, board, empty, history)
    game.exit_closing_pgn(c, len(c.prompts()))

    handed_during_the_start(c)
    handed_during_the_exit(c)


if __name__ == "__main__":
    if not harness.Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        sys.exit(1)
    sys.exit(harness.run("files-from-outside", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")]))
