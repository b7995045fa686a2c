#!/usr/bin/env python3
"""A board package opened with Open RWF is installed after its question; in
the preferences the new board shows on the canvas when chosen, Cancel brings
the old one back, OK keeps the new one, also at the next start."""

import os
import sys

import harness
from harness import check

USER = "tester"
NAME = "Club Vinyl"


def steps(c):
    c.start()
    old, _, before = c.board_view(name="large-wood")

    package = harness.board_package(c, os.path.join(c.base, "club vinyl.rwf"), NAME, source="tournament")
    seen = len(c.prompts())
    c.menu("g", "r")
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file", f"Open RWF asks for the file: {record}")
    c.choose_file(record[1], package)
    index, record = c.wait_prompt(contains="This will install the following board", after=index + 1)
    check(f"{NAME}, a board made by the tests" in record[2], f"the question names the package: {record}")
    c.answer(record[1], "alt+y")
    index, record = c.wait_prompt(contains="Board installed successfully", after=index + 1)
    c.answer(record[1])
    seen = index + 1
    installed = os.path.join(c.folder, "boards", NAME)
    check(os.path.isfile(os.path.join(installed, "info.cfg")), "the board is installed under boards/")
    check(harness.folder_digest(installed) == harness.folder_digest(os.path.join(c.folder, "boards", "tournament")),
          "the installed files are the package's")

    # Choosing it shows it at once; Cancel brings the old board back.
    rows = harness.installed_boards(c)
    dialog = harness.open_preferences(c)
    harness.choose_board_row(c, dialog, rows.index(NAME))
    c.xdotool("mousemove", 5, 1000)
    # The squares the dialog leaves in view turn from wood to the new board's.
    dx, dy, dw, dh = c.geometry(dialog)
    visible = [n for n in old.SQUARES
               if not (dx - old.square < old.centre(n)[0] < dx + dw + old.square and
                       dy - old.square < old.centre(n)[1] < dy + dh + old.square)]
    check(len(visible) >= 8, f"some squares are in view beside the dialog: {visible}")

    def changed(preview):
        return [n for n in visible if old.square_difference(before, preview, n) > 12]
    preview = c.wait_settled(lambda p: len(changed(p)) >= len(visible) // 2,
                             f"the canvas to show the chosen board on half of {visible}", "preview")
    c.key("alt+c", window=dialog)
    c.wait_gone(dialog)
    c.wait_settled(lambda back: harness.difference(back.path, before.path) < 0.01, "Cancel to show the old board again",
                   "after-cancel")
    check(c.settings(USER).get("preferences.board.pack") in (None, "large wood"), "Cancel keeps the old board")

    dialog = harness.open_preferences(c)
    harness.choose_board_row(c, dialog, rows.index(NAME))
    c.key("alt+o", window=dialog)
    c.wait_gone(dialog)
    kept = c.wait_settled(lambda k: all(old.square_difference(k, preview, n) < 3 for n in visible),
                          "OK to keep the new board", "after-ok")
    new = c.board(NAME)
    harness.match_reference(c, c.crop(kept.path, *new.image_rect(), "club-vinyl-board"), "club-vinyl-board", 0.05)

    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly")
    check(c.settings(USER).get("preferences.board.pack") == NAME, "the new board is the user's board")
    c.start()
    c.key("F2")
    c.wait_settled(lambda again: harness.difference(again.path, kept.path) < 0.02, "the next start to show the new board",
                   "next-start")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly again")


if __name__ == "__main__":
    sys.exit(harness.run("board-package", steps, user=USER, window=(40, 40, 900, 700)))
