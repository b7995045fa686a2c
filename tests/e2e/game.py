"""Playing on the board of the real client: moves dragged with the mouse, the
engine's answers read off the board picture and checked against chess.js."""

import time

import harness
from harness import Failure, Oracle, check, move_squares, wait_until

# Quiet developing moves, tried in order; the first legal one is played.
PREFERRED = ["e2e4", "g1f3", "f1c4", "b1c3", "d2d3", "e1g1", "h2h3", "a2a3", "c1e3", "d1e2"]


def new_computer_game(c):
    """Game, Start Game Versus Computer, OK with the dialog's defaults (the engine plays Black)."""
    c.menu("g", "c")
    dialog = c.wait_dialog("^New AI Game$", 15)
    c.key("alt+o", window=dialog)
    c.wait_gone(dialog, 20)


def start_computer_game(c):
    """The board view and a new game against the computer at its start:
    (the board, its empty picture, its picture at the start)."""
    board, empty, _ = c.board_view()
    new_computer_game(c)
    away(c, board)
    harness.wait_occupied(c, board, empty, harness.START_SQUARES, "start-position")
    return board, empty, c.settle("start")


# Where the start page puts its first active game, from the frame's corner
# (the frame opens at 900 x 700): the Active Games box heads the left column.
FIRST_ACTIVE_GAME = (282, 132)


def open_first_active_game(c, empty, history):
    """Clicks the first active game the start page lists, once the page shows
    it; the board, once it shows the position after history."""
    fx, fy, _, _ = c.geometry(c.frame)
    harness.wait_reference(c, lambda: c.screenshot("start-page-with-game", c.frame), "start-page-active-game",
                           tolerance=0.1)
    c.click(fx + FIRST_ACTIVE_GAME[0], fy + FIRST_ACTIVE_GAME[1])
    board = c.board()
    away(c, board)
    expected = harness.occupied_squares(Oracle.position(history)["fen"])
    harness.wait_occupied(c, board, empty, expected, "reopened-position")
    return board


def open_pgn(c, after, path):
    """Game, PGN, Open PGN, and the file."""
    pgn_submenu(c, "o")
    return answer_file(c, after, path)


def exit_closing_pgn(c, seen):
    """Game, Exit: Yes to closing the PGN file, No to anything else asked past index seen; the client ends."""
    status = c.exit_answering(lambda record: "alt+y" if "Close PGN" in record[2] else "alt+n", seen)
    check(status == 0, "the client ends cleanly")


def exit_without_saving(c):
    """Game, Exit with a game in play: No to saving it; the client ends."""
    seen = len(c.prompts())
    c.menu("g", "x")
    _, record = c.wait_prompt(contains="save the current game", after=seen)
    c.answer(record[1], "alt+n")
    check(c.wait_exit() == 0, "the client ends after the question")


def pgn_submenu(c, mnemonic):
    """Game, PGN (a submenu without a mnemonic, third from the end), and the item of mnemonic."""
    c.menu("g", "Up", "Up", "Up", "Right", mnemonic)


def answer_file(c, after, path):
    """Answers the next file question with path; the index past it."""
    index, record = c.wait_prompt(after=after)
    check(record[0] == "file", f"a file is asked for, got {record}")
    c.choose_file(record[1], path)
    return index + 1


def the_board(c):
    """The board canvas, after switching to the board view when the browser shows."""
    try:
        return c.board()
    except Failure:
        c.key("F2")
        return c.board()


def away(c, board):
    """The pointer leaves the board, so no square is highlighted under it."""
    c.move(board.x + board.width + 40, board.y + 40)


def flag_falls_after_e4(c):
    """With a game against a silent engine at its start, White to move: e2e4,
    the engine's flag falls; the Game Over window."""
    board = the_board(c)
    drag(c, board, "e2e4")
    return c.wait_window("^Game Over$", 40, besides=(c.frame,))


def game_over_past_picture(c, besides):
    """The Game Over window of a game mated or stalemated on the board, holding
    the keyboard. The end's picture comes up over it a moment later and takes
    the keyboard, so a key sent before that could reach the picture; the
    picture is waited for and goes as Game Over takes the keyboard back."""
    over = c.wait_window("^Game Over$", 30, besides=besides)

    def picture_with_keyboard():
        focus = c.focused()
        return focus if focus in c.windows("^Splash Window$") else None
    picture = wait_until(picture_with_keyboard, 20, "the end's picture over Game Over to take the keyboard")
    c.take_keyboard(over)
    c.wait_gone(picture)
    return over


def drag(c, board, move):
    """Plays a move given as from and to squares by a drag, then moves the pointer away."""
    c.drag(*board.centre(move[:2]), *board.centre(move[2:4]))
    away(c, board)


def choose(position):
    legal = {m["from"] + m["to"]: m for m in position["moves"]}
    for text in PREFERRED:
        if text in legal:
            return legal[text]
    quiet = [m for m in position["moves"] if "c" not in m["flags"] and "e" not in m["flags"]]
    return (quiet or position["moves"])[0]


def play_and_wait_reply(c, board, history, before, timeout=40):
    """Drags our move, then waits until the board shows it and the engine's reply.

    Returns (our move, the reply, the picture after both); history gets both."""
    position = Oracle.position(history)
    check(not position["over"], "the game is not over yet")
    mine = choose(position)
    c.drag(*board.centre(mine["from"]), *board.centre(mine["to"]))
    away(c, board)
    ours = move_squares(mine)
    after_ours = Oracle.position(history + [mine["from"] + mine["to"]])
    replies = after_ours["moves"]
    end = time.monotonic() + timeout * harness.SLOWDOWN
    seen = set()
    while time.monotonic() < end:
        picture = c.settle(f"after-{len(history) // 2 + 1}")
        changed = board.changed(before, picture)
        seen = changed
        if changed == ours and not after_ours["over"]:
            continue                         # the engine is still thinking
        matches = [m for m in replies if ours | move_squares(m) == changed]
        if len(matches) == 1:
            reply = matches[0]
            history += [mine["from"] + mine["to"], reply["from"] + reply["to"] + reply["promotion"]]
            return mine, reply, picture
        if not ours <= changed:
            raise Failure(f"our move {mine['san']} is not on the board: squares changed {sorted(changed)}")
        time.sleep(0.3)
    raise Failure(f"no answer of the engine to {mine['san']}: squares changed {sorted(seen)}")
