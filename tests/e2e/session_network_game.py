#!/usr/bin/env python3
"""Two real clients play a network game over loopback: each in its own
program folder and on its own X server, both set to the same free port.
The first hosts as White from the Start Network Game dialog, the second
joins 127.0.0.1; both boards are read off the screen after every move and
checked against chess.js; the profiles land in both opponents folders; a
draw offer is declined and answered on the other side; killing the joiner
tells the host at once that its opponent has gone."""

import os
import sys

import harness
import network
from harness import check

MOVES_EACH = 10


def steps(host, guest):
    match = network.Match(host, guest)
    match.begin()
    network.shows(host, match.host_board, match.host_empty, [], "host-start")
    network.shows(guest, match.guest_board, match.guest_empty, [], "guest-start")
    for ply in range(2 * MOVES_EACH):
        print(match.play(ply)["san"], flush=True)
    network.shows(host, match.host_board, match.host_empty, match.history, "host-after-moves")

    # Each side has stored the other's profile.
    for client, user in ((host, "host"), (guest, "guest")):
        folder = os.path.join(client.folder, "users", user, "opponents")
        harness.wait_until(lambda: os.path.isdir(folder) and any(n.endswith(".cfg") for n in os.listdir(folder)),
                           10, f"{user} to store the opponent's profile")

    # A draw offered by the host and declined by the guest.
    seen_host, seen_guest = len(host.prompts()), len(guest.prompts())
    host.menu("a", "d")
    host.wait_prompt(caption="Offer Draw", after=seen_host)
    host.answer("Offer Draw", "alt+y")
    index, record = guest.wait_prompt(caption="Draw offered", after=seen_guest)
    check(record[2] == "Your opponent has offered you a draw.\nDo you wish to accept?", f"the offer: {record}")
    guest.answer("Draw offered", "alt+n")
    index, record = host.wait_prompt(caption="Opponent's response", after=seen_host)
    check(record[2].endswith(" declines your offer of a draw."), f"the answer: {record}")
    host.answer("Opponent's response")

    # The guest goes away: the host is told at once.
    seen_host = len(host.prompts())
    guest.kill()
    index, record = host.wait_prompt(caption="Network", after=seen_host, timeout=10)
    check(record[2].startswith("Opponent has disconnected!"), f"the host is told: {record}")
    host.answer("Network")


if __name__ == "__main__":
    sys.exit(network.run("network-game", steps))
