#!/usr/bin/env python3
"""Moves typed in Enter Move against scripted engines, and what two dialogs
show. Your Opponents without opponents has no black box where the photo
goes. Enter Move comes back with Ctrl-M after its close button and after
Escape; the user is mated through typed moves, the mate's picture comes
over Game Over and goes as Game Over takes the keyboard, and after its OK the
finished game is not offered for saving while the next one opens, where
typed moves play again. A pawn dragged to the last rank is offered White's
pieces (read off the screen). Copy PGN after text was selected in Display
PGN puts the current game on the clipboard, not the earlier game."""

import subprocess
import sys

import engine_packages as packages
import game
import harness
from harness import check, wait_for_file_content

USER = "tester"
# The engine plays Black and mates at once: 1.f3 e5 2.g4 Qh4#.
MATER = packages.FEATURES + "wait f2f3\nsay move e7e5\nwait g2g4\nsay move d8h4\n"
# The engine plays Black and lets a pawn through to g8.
PROMOTER = (packages.FEATURES + "wait e2e4\nsay move f7f5\nwait e4f5\nsay move g7g6\n"
            "wait f5g6\nsay move a7a6\nwait g6h7\nsay move a6a5\n")
PIECE_GREY = (204, 204, 204)


def open_entry(c):
    """Ctrl-M in the frame; the Enter Move window, moved off the board, once it holds the keyboard."""
    c.key("ctrl+m")
    entry = c.wait_dialog("^Enter Move$")
    check(c.running(), "the client lives")
    c.xdotool("windowmove", "--sync", entry, 960, 800)
    return entry


def type_move(c, entry, text, log, sent, board, empty, gone, come):
    """Types a move and Return in Enter Move; waits until the engine is told it
    and the board shows its answer: pieces gone from the start position's
    squares gone and standing on the squares come."""
    c.type(text, window=entry)
    c.key("Return", window=entry)
    wait_for_file_content(log, lambda t: sent in t.split("\n"), 20, f"the engine to be told {sent} after {text}")
    game.away(c, board)
    harness.wait_occupied(c, board, empty, harness.START_SQUARES - set(gone) | set(come), "after-" + text)


def clipboard(c, selection="clipboard"):
    return subprocess.run(["xclip", "-selection", selection, "-o"], env=c.env, capture_output=True, text=True,
                          timeout=20).stdout


def copy_pgn(c, seen):
    """Game, PGN, Copy PGN; its message answered. The prompt index past it."""
    game.pgn_submenu(c, "c")
    index, record = c.wait_prompt(caption="Copy PGN", after=seen)
    check("placed on the clipboard" in record[2], f"the copy is told: {record}")
    c.answer("Copy PGN")
    return index + 1


def pixels_of(c, window, colour):
    """How many pixels of the window's part of the screen are of colour (three bytes)."""
    x, y, width, height = c.geometry(window)
    picture = c.look()
    row = picture.width * 3
    return sum(picture.pixels[py * row + x * 3:py * row + (x + width) * 3][i:i + 3] == colour
               for py in range(y, y + height) for i in range(0, width * 3, 3))


def white_in_piece_pictures(c, window):
    """Pure white pixels among the promotion pictures: inside the box of the pictures' grey background."""
    x, y, width, height = c.geometry(window)
    picture = c.look()
    grey = [(px, py) for py in range(y, y + height) for px in range(x, x + width)
            if tuple(picture.pixels[(py * picture.width + px) * 3:(py * picture.width + px) * 3 + 3]) == PIECE_GREY]
    check(len(grey) > 500, f"the piece pictures are on the screen ({len(grey)} grey pixels)")
    left, right = min(p[0] for p in grey), max(p[0] for p in grey)
    top, bottom = min(p[1] for p in grey), max(p[1] for p in grey)
    return sum(1 for py in range(top, bottom + 1) for px in range(left, right + 1)
               if picture.pixels[(py * picture.width + px) * 3:(py * picture.width + px) * 3 + 3] == b"\xff\xff\xff")


def steps(c):
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first start ends")
    mater_log = packages.install_fake(c, "Mater", MATER)
    promoter_log = packages.install_fake(c, "Promoter", PROMOTER)
    promoter = packages.saved_game(c, "promoter", "Promoter", local="white")
    c.start(packages.saved_game(c, "mater", "Mater", local="white"))
    board, empty, _ = c.board_view(name="mater-start", opened=True)

    # Your Opponents without opponents: no black box where the photo goes
    # (the pointer kept off it, so no black tooltip comes up).
    c.move(1275, 1019)
    c.menu("o", "o")
    c.xdotool("key", "Return")
    opponents = c.wait_dialog("^Your Opponents$", 15)
    c.wait_still(opponents)
    c.screenshot("no-opponents", opponents)
    black = pixels_of(c, opponents, b"\x00\x00\x00")
    check(black < 1000, f"the photo's place is not a black box ({black} black pixels)")
    c.key("alt+o", window=opponents)
    c.wait_gone(opponents)

    # The close button hides the window; Ctrl-M brings it back, as does it after Escape.
    entry = open_entry(c)
    c.screenshot("enter-move", entry)
    c.request_close(entry)
    c.wait_gone(entry)
    entry = open_entry(c)
    c.key("Escape", window=entry)
    c.wait_gone(entry)
    entry = open_entry(c)

    # Mated through typed moves; Game Over's OK.
    type_move(c, entry, "f3", mater_log, "f2f3", board, empty, ("f2", "e7"), ("f3", "e5"))
    type_move(c, entry, "g4", mater_log, "g2g4", board, empty, ("f2", "e7", "g2", "d8"), ("f3", "e5", "g4", "h4"))
    over = game.game_over_past_picture(c, besides=(c.frame, entry))
    c.key("Return", window=over)
    c.wait_gone(over)
    seen = copy_pgn(c, len(c.prompts()))
    check("Qh4#" in clipboard(c), "the mated game is on the clipboard")

    # The next game: the finished one is not offered for saving.
    c.key("ctrl+o")
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file", f"Open Game asks for the file at once, not {record}")
    c.choose_file(record[1], promoter)
    seen = index + 1
    board, empty, _ = c.board_view(name="promoter-start", opened=True)
    for text, sent, gone, come in (("e4", "e2e4", ("e2", "f7"), ("e4", "f5")),
                                   ("exf5", "e4f5", ("e2", "f7", "g7"), ("f5", "g6")),
                                   ("fxg6", "f5g6", ("e2", "f7", "g7", "a7"), ("g6", "a6")),
                                   ("gxh7", "g6h7", ("e2", "f7", "g7", "a7"), ("a5",))):
        type_move(c, entry, text, promoter_log, sent, board, empty, gone, come)

    # White's pieces to promote to.
    c.drag(*board.centre("h7"), *board.centre("g8"))
    promotion = c.wait_window("^Pawn Promotion$", 15, besides=(c.frame, entry))
    c.wait_still(promotion)
    c.screenshot("promotion", promotion)
    white = white_in_piece_pictures(c, promotion)
    check(white > 50, f"White is offered white pieces ({white} white pixels)")
    c.take_keyboard(promotion)
    c.key("Escape", window=promotion)
    c.wait_gone(promotion)
    wait_for_file_content(promoter_log, lambda t: "h7g8q" in t.split("\n"), 20, "the promotion to a queen")

    # Text selected in Display PGN, then Copy PGN: the clipboard holds this game.
    game.pgn_submenu(c, "d")
    shown = c.wait_window("^Display PGN$", 15, besides=(c.frame, entry))
    c.wait_still(shown)
    x, y, width, height = c.geometry(shown)
    c.screenshot("display-pgn", shown)
    c.drag(x + 30, y + 35, x + width // 2, y + height // 2)
    selected = harness.wait_until(lambda: clipboard(c, "primary"), 15, "the selection to be made")
    check("Event" in selected, f"the selection is the text dragged over: {selected!r}")
    seen = copy_pgn(c, len(c.prompts()))
    copied = clipboard(c)
    check("exf5" in copied and "hxg8=Q" in copied and "Qh4#" not in copied,
          f"the clipboard holds the current game: {copied!r}")
    check(copied.lstrip().startswith("[Event "), f"the whole PGN, not the selection: {copied[:80]!r}")

    status = c.exit_answering(lambda record: "alt+n" if "save the current game" in record[2] else "Escape", seen)
    check(status == 0, "the client ends cleanly")


if __name__ == "__main__":
    sys.exit(harness.run("move-entry", steps, user=USER, window=(40, 40, 900, 700),
                         defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"), ("enable", "no")]))
