#!/usr/bin/env python3
"""The toolkit's own file choosers list the player's files: Open Game shows
a saved game among the active games and Open PGN a lower-case .pgn among
the played games, each picked from the chooser's list with the keyboard
(no name typed). A question the PGN viewer asks opens owned by it and above
it in the X server's stacking order; closing the viewer as soon as it shows
closes the file without an error."""

import os
import re
import subprocess
import sys

import game
import harness
from harness import check

TWO_GAMES = """[Event "Club"]
[White "Ann"]
[Black "Bob"]
[Result "1-0"]

1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 1-0

[Event "Club"]
[White "Cid"]
[Black "Dee"]
[Result "1/2-1/2"]

1. d4 d5 2. c4 e6 1/2-1/2
"""


def pick_first_listed(c, caption):
    """In the chooser titled caption: the first entry of its file list, chosen with keys."""
    window = c.wait_dialog("^" + re.escape(caption) + "$", 15)
    # The chooser fills its list after it opens: its picture stops changing once it has.
    c.settle("chooser")
    c.key("Down", window=window)
    c.key("Return", window=window)
    c.wait_gone(window)


def stacking(c):
    """Top-level windows of the X server, bottom to top (xwininfo lists the top one first)."""
    out = subprocess.run(["xwininfo", "-root", "-children"], env=c.env, capture_output=True, text=True).stdout
    return [int(m.group(1), 16) for m in re.finditer(r"^\s+(0x[0-9a-f]+)", out, re.M)][::-1]


def frame_of(c, window):
    """The child of the root that holds window (itself without a window manager)."""
    out = subprocess.run(["xwininfo", "-tree", "-id", str(window)], env=c.env, capture_output=True, text=True).stdout
    parent = re.search(r"Parent window id: (0x[0-9a-f]+)", out)
    root = re.search(r"Root window id: (0x[0-9a-f]+)", out)
    if parent and root and parent.group(1) != root.group(1):
        return frame_of(c, int(parent.group(1), 16))
    return window


def transient_for(c, window):
    out = subprocess.run(["xprop", "-id", str(window), "WM_TRANSIENT_FOR"], env=c.env, capture_output=True,
                         text=True).stdout
    match = re.search(r"window id # (0x[0-9a-f]+)", out)
    return int(match.group(1), 16) if match else None


def steps(c):
    user = os.path.join(c.folder, "users", "tester")
    c.start()
    active = os.path.join(user, "active games")
    played = os.path.join(user, "played games")
    os.makedirs(active, exist_ok=True)
    os.makedirs(played, exist_ok=True)
    # A saved game of a kind this client does not know: opening it says so, naming its type.
    with open(os.path.join(active, "Ann vs Bob.rwg"), "w") as f:
        f.write("game = {\n\ttype = \"Listed\"\n}\n")
    with open(os.path.join(played, "club night.pgn"), "w") as f:
        f.write(TWO_GAMES)

    seen = len(c.prompts())
    c.key("ctrl+o", window=c.frame)
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file" and record[1] == "Select a game to open", f"Open Game asks for a file: {record}")
    pick_first_listed(c, record[1])
    index, record = c.wait_prompt(after=index + 1)
    check("'Listed' game type" in record[2], f"the listed saved game was opened: {record}")
    c.answer(record[1])
    seen = index + 1

    # Game, PGN, Open PGN: the lower-case file among the played games.
    game.pgn_submenu(c, "o")
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file" and record[1] == "Select a PGN to open", f"Open PGN asks for a file: {record}")
    pick_first_listed(c, record[1])
    viewer = c.wait_window(r"^PGN Viewer$", 15, besides=(c.frame,))
    seen = index + 1

    # Closing the viewer asks whether to close the file: the question is the viewer's own and above it.
    c.request_close(viewer)
    index, record = c.wait_prompt(contains="Close PGN file?", after=seen)
    question = c.wait_window(r"^PGN Viewer$", 15, besides=(c.frame, viewer))
    check(transient_for(c, question) == viewer,
          f"the question belongs to the viewer: {transient_for(c, question)} for viewer {viewer}")
    order = stacking(c)
    q, v = frame_of(c, question), frame_of(c, viewer)
    check(q in order and v in order and order.index(q) > order.index(v),
          f"the question is above the viewer: {order}")
    c.screenshot("question-over-viewer")
    c.key("alt+y", window=question)
    c.wait_gone(question)
    c.wait_gone(viewer)
    # Closed while the board was still coming up or after: either way the file is simply closed.
    check(not any("Could not" in r[2] for r in c.prompts()), f"closing the viewer is no error: {c.prompts()}")
    check(c.exit_answering(lambda record: "alt+n", index + 1) == 0, "the client ends cleanly")


if __name__ == "__main__":
    sys.exit(harness.run("file-choosers", steps, user="tester", window=(260, 40, 900, 700)))
