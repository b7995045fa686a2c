#!/usr/bin/env python3
"""A saved network game restored into a running one between two real
clients: the host saves after four plies, plays on, then opens the saved
game; the guest agrees and both boards go back to the saved position, with
the colours the saved game gives, and play goes on from there."""

import os
import sys

import game
import network
from session_network_actions import answer


def steps(host, guest):
    match = network.Match(host, guest)
    match.begin()
    for ply in range(4):
        match.play(ply)
    saved_moves = list(match.history)
    path = os.path.join(host.base, "network game.rwg")
    sh, sg = len(host.prompts()), len(guest.prompts())
    host.key("ctrl+s")
    sh = game.answer_file(host, sh, path)
    network.wait_for(lambda: os.path.exists(path), "the saved game")
    for ply in range(4, 6):
        match.play(ply)

    host.key("ctrl+o")
    sh, _ = answer(host, "End Game", "alt+n", sh, "Do you wish to save the current game?")
    sh = game.answer_file(host, sh, path)
    sg, _ = answer(guest, "Restore board", "alt+y", sg, "Opponent requests restoring the game")
    match.history = saved_moves
    network.shows(host, match.host_board, match.host_empty, match.history, "host-restored")
    network.shows(guest, match.guest_board, match.guest_empty, match.history, "guest-restored")
    match.play(4)
    match.play(5)


if __name__ == "__main__":
    sys.exit(network.run("network-restore", steps))
