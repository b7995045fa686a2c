#!/usr/bin/env python3
"""Two real clients play a network game over loopback: each in its own
program folder and on its own X server, both set to the same free port.
The first hosts as White from the Start Network Game dialog, the second
joins 127.0.0.1; both boards are read off the screen after every move and
checked against chess.js; the profiles land in both opponents folders; a
draw offer is declined and answered on the other side; killing the joiner
tells the host at once that its opponent has gone."""

import os
import re
import socket
import sys
import time

import harness
from harness import Oracle, check

PREFERRED_WHITE = ["e2e4", "g1f3", "f1c4", "b1c3", "d2d3", "e1g1", "h2h3", "a2a3", "c1e3", "d1e2", "f1e1", "a1b1"]
PREFERRED_BLACK = ["e7e5", "b8c6", "g8f6", "f8c5", "d7d6", "e8g8", "h7h6", "a7a6", "c8e6", "d8e7", "f8e8", "a8b8"]
MOVES_EACH = 10


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def set_port(client, port):
    client._edit(os.path.join(client.folder, "cfg/app.cfg"),
                 lambda t: re.sub(r"(?m)^(network = \{\s*\n\s*port = )\d+", r"\g<1>" + str(port), t))


def choose(position, preferred):
    legal = {m["from"] + m["to"]: m for m in position["moves"]}
    for text in preferred:
        if text in legal:
            return legal[text]
    quiet = [m for m in position["moves"] if "c" not in m["flags"] and "e" not in m["flags"]]
    return (quiet or position["moves"])[0]


def shows(client, board, empty, history, name, timeout=20):
    """Waits until the board on the screen holds the pieces chess.js places after history."""
    expected = harness.occupied_squares(Oracle.position(history)["fen"])
    seen = set()
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        seen = board.occupied(empty, client.settle(name))
        if seen == expected:
            return
        time.sleep(0.2)
    raise harness.Failure(f"{name}: board shows {sorted(seen ^ expected)} differently from chess.js")


def away(client, board):
    client.move(board.x + board.width + 40, board.y + 40)


def open_network_dialog(client, item, title):
    client.menu("g", "n", item)
    return client.wait_window("^" + re.escape(title) + "$", 15, besides=(client.frame,))


def steps(host, guest):
    port = free_port()
    for client in (host, guest):
        set_port(client, port)
        client.start()
        client.key("F2")           # the board view
    host_board = host.board()
    guest_board = guest.board()
    guest_board.flipped = True     # the joiner plays Black, seen from its side
    host_empty = host_board.empty(host.settle("host-board"), host.artifacts)
    guest_empty = guest_board.empty(guest.settle("guest-board"), guest.artifacts)

    # The host starts listening as White; the guest joins at 127.0.0.1.
    dialog = open_network_dialog(host, "h", "Start Network Game")
    time.sleep(0.5)
    host.key("alt+s", window=dialog)
    joining = open_network_dialog(guest, "j", "Join a Network Game")
    time.sleep(0.5)
    guest.type("127.0.0.1", window=joining)
    guest.key("alt+j", window=joining)
    host.wait_gone(dialog, 20)
    guest.wait_gone(joining, 20)

    history = []
    shows(host, host_board, host_empty, history, "host-start")
    shows(guest, guest_board, guest_empty, history, "guest-start")

    for ply in range(2 * MOVES_EACH):
        mover, board, other, other_board, other_empty = (
            (host, host_board, guest, guest_board, guest_empty) if ply % 2 == 0 else
            (guest, guest_board, host, host_board, host_empty))
        position = Oracle.position(history)
        check(not position["over"], "the game goes on")
        move = choose(position, PREFERRED_WHITE if ply % 2 == 0 else PREFERRED_BLACK)
        mover.drag(*board.centre(move["from"]), *board.centre(move["to"]))
        away(mover, board)
        history.append(move["from"] + move["to"] + move.get("promotion", ""))
        shows(other, other_board, other_empty, history, f"{'guest' if ply % 2 == 0 else 'host'}-{ply + 1}")
        print(move["san"], flush=True)
    shows(host, host_board, host_empty, history, "host-after-moves")

    # Each side has stored the other's profile.
    for client, user in ((host, "host"), (guest, "guest")):
        folder = os.path.join(client.folder, "users", user, "opponents")
        stored = [n for n in os.listdir(folder)] if os.path.isdir(folder) else []
        check(any(n.endswith(".cfg") for n in stored), f"{user} stored the opponent's profile: {stored}")

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


def main():
    if not Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        return 1
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build")
    started = time.monotonic()
    clients = []
    try:
        options = dict(window=(40, 40, 900, 700), defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")])
        clients.append(harness.Client(build, "network-game-host", user="host", **options))
        clients.append(harness.Client(build, "network-game-guest", user="guest", **options))
        steps(*clients)
    except Exception as error:
        import traceback
        for client in clients:
            try:
                client.screenshot("failure")
            except Exception:
                pass
            print(client.session, "prompts:", client.prompts(), file=sys.stderr)
        traceback.print_exc()
        print(f"network-game: FAILED ({error})")
        return 1
    finally:
        for client in clients:
            client.close()
    print(f"network-game: passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
