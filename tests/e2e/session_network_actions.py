#!/usr/bin/env python3
"""The actions of a network game between two real clients: a pen stroke
drawn on one board shows on the other and is wiped there too; a take-back
is declined, then accepted and set on both boards; a draw is agreed and
both sides get the Game Over window; a new game swaps the colours (the
former joiner opens with White); a resignation ends it on both sides; a
chat line each way opens the other side's chat pane and shows there."""

import sys
import time

import harness
import network
from harness import check


def answer(client, caption, key, seen, contains=None):
    """Waits for the message caption past seen, presses key in it; the index past it."""
    index, record = client.wait_prompt(caption=caption, contains=contains, after=seen)
    client.answer(caption, key)
    return index + 1, record


def canvas(client):
    return max([w for w in client.children(client.frame) if w[3] > 100 and w[4] > 100], key=lambda w: w[3] * w[4])


def chat_input(client):
    """The chat pane's input line, at the bottom of the frame above the status bar."""
    _, x, _, _, _ = canvas(client)
    fx, fy, fw, fh = client.geometry(client.frame)
    return x + 60, fy + fh - 22 - 16


def transcript(client):
    """The chat pane's transcript: between the board canvas and the input line."""
    _, x, y, w, h = canvas(client)
    fx, fy, fw, fh = client.geometry(client.frame)
    return x, y + h + 6, w, fy + fh - 22 - 30 - (y + h + 6)


def chat(host, guest):
    """The host opens its chat pane and writes; the guest's pane opens with the line; it answers."""
    guest_height = canvas(guest)[4]
    host_height = canvas(host)[4]
    host.key("ctrl+h")
    harness.wait_until(lambda: canvas(host)[4] < host_height, 10, "the host's chat pane")
    host.click(*chat_input(host))
    host.type("hello from the host")
    host.key("Return")
    harness.wait_until(lambda: canvas(guest)[4] < guest_height, 10, "the guest's chat pane opened by the line")
    guest.screenshot("guest-chat")
    area = transcript(host)
    before = harness.Picture(host.screenshot("host-chat-before"))
    guest.click(*chat_input(guest))
    guest.type("hello from the guest")
    guest.key("Return")

    def shown():
        host.shots -= 1
        return harness.Picture(host.screenshot("host-chat-after")).mean_difference(before, *area) > 1

    harness.wait_until(shown, 10, "the guest's line in the host's transcript")


def steps(host, guest):
    match = network.Match(host, guest)
    match.begin()
    for ply in range(4):
        match.play(ply)
    hb, gb = match.host_board, match.guest_board
    before = guest.settle("guest-before-pen")

    # A stroke of the host's pen across the empty middle of the board.
    host.move(*hb.centre("a5"))
    host.xdotool("mousedown", 3)
    for square in ("b5", "c5", "d6", "e6", "f6", "g5", "h5"):
        host.move(*hb.centre(square))
        time.sleep(0.05)
    host.xdotool("mouseup", 3)
    network.away(host, hb)
    drawn = network.wait_for(lambda: gb.changed(before, guest.settle("guest-pen")) & {"c5", "d6", "e6", "f6"},
                             "the host's stroke on the guest's board")
    print("stroke seen on", sorted(drawn))
    # The middle button wipes it on both boards.
    host.click(*hb.centre("d5"), button=2)
    network.away(host, hb)
    network.wait_for(lambda: not gb.changed(before, guest.settle("guest-wiped")), "the stroke wiped")

    # Take back, declined and then accepted: White (the host) is to move,
    # so its last move and Black's answer go.
    sh, sg = len(host.prompts()), len(guest.prompts())
    host.menu("a", "t")
    sh, _ = answer(host, "Take back", "Return", sh, "Request has been sent to opponent.")
    sg, record = answer(guest, "Takeback requested", "alt+n", sg)
    check(record[2] == "Opponent requests setting the board to move 2.", f"the request: {record}")
    sh, _ = answer(host, "Opponent's response", "Return", sh, "Take back declined.")
    network.shows(guest, gb, match.guest_empty, match.history, "guest-declined")
    host.menu("a", "t")
    sh, _ = answer(host, "Take back", "Return", sh)
    sg, _ = answer(guest, "Takeback requested", "alt+y", sg)
    sh, _ = answer(host, "Opponent's response", "Return", sh, "Take back accepted.")
    match.history = match.history[:2]
    network.shows(host, hb, match.host_empty, match.history, "host-taken-back")
    network.shows(guest, gb, match.guest_empty, match.history, "guest-taken-back")
    match.play(2)

    # The guest offers a draw; the host agrees; both games are over.
    guest.menu("a", "d")
    sg, _ = answer(guest, "Offer Draw", "alt+y", sg)
    sh, _ = answer(host, "Draw offered", "alt+y", sh)
    sg, record = answer(guest, "Opponent's response", "Return", sg)
    check(record[2].endswith(" accepts your offer of a draw."), f"the answer: {record}")
    for client in (host, guest):
        over = client.wait_window("^Game Over$", 15, besides=(client.frame,))
        client.key("Return", window=over)
        client.wait_gone(over)

    # A new game in which the host plays Black.
    host.menu("a", "e")
    sh, _ = answer(host, "Reset Game", "alt+y", sh, "This will reset the board")
    index, record = host.wait_prompt(caption="Network Game", after=sh)
    check(record[0] == "choice", f"the colour is asked: {record}")
    chooser = host.wait_dialog("^Network Game$", 15)
    host.key("Down", "Return", window=chooser)
    host.wait_gone(chooser)
    sh = index + 1
    sh, _ = answer(host, "Reset Game", "Return", sh, "Request sent.")
    sg, _ = answer(guest, "Reset Game", "alt+y", sg, "Opponent requests a new game.")
    hb.flipped, gb.flipped = True, False
    match.history = []
    network.shows(host, hb, match.host_empty, [], "host-new-game")
    # The guest now moves first, as White, and the host sees it.
    match.play(1)   # an odd ply: the guest moves, the host watches
    network.shows(guest, gb, match.guest_empty, match.history, "guest-new-game")

    # The host resigns; the guest is told and both games end.
    host.menu("a", "r")
    sh, _ = answer(host, "Resign", "alt+y", sh)
    sg, _ = answer(guest, "You Win", "Return", sg, "Opponent has Resigned!")
    for client in (host, guest):
        over = client.wait_window("^Game Over$", 15, besides=(client.frame,))
        client.key("Return", window=over)
        client.wait_gone(over)

    chat(host, guest)


if __name__ == "__main__":
    sys.exit(network.run("network-actions", steps))
