"""Two real clients joined in a network game over loopback, for the sessions
and the benchmark: each in its own program folder and on its own X server,
both set to the same free port; the first hosts as White, the second joins
127.0.0.1."""

import os
import re
import socket
import sys
import time
import traceback

import harness
from harness import Oracle, check

PREFERRED_WHITE = ["e2e4", "g1f3", "f1c4", "b1c3", "d2d3", "e1g1", "h2h3", "a2a3", "c1e3", "d1e2", "f1e1", "a1b1"]
PREFERRED_BLACK = ["e7e5", "b8c6", "g8f6", "f8c5", "d7d6", "e8g8", "h7h6", "a7a6", "c8e6", "d8e7", "f8e8", "a8b8"]


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
    harness.wait_occupied(client, board, empty, expected, name, timeout)


def away(client, board):
    client.move(board.x + board.width + 40, board.y + 40)


def open_network_dialog(client, item, title):
    """The dialog, once it holds the keyboard: its keys reach it, not the frame."""
    client.menu("g", "n", item)
    return client.wait_dialog("^" + re.escape(title) + "$", 15)


def keep_profile(client, after):
    """Yes to the question every received profile gets before it is stored."""
    index, record = client.wait_prompt(caption="Opponent's Profile", after=after, timeout=20)
    check(record[2].startswith("Would you like to add (or update) ") and
          record[2].endswith("'s profile to your opponent list?"), f"the profile question: {record}")
    client.answer("Opponent's Profile", "alt+y")
    return index + 1


def board_of(client):
    """The client's board once its canvas is on the screen (it comes with the board view)."""
    harness.wait_until(lambda: [c for c in client.children(client.frame) if c[3] > 100 and c[4] > 100],
                       15, "the board canvas")
    return client.board()


class Match:
    """The two clients after the game has begun, with their boards."""

    def __init__(self, host, guest, start_guest=True):
        self.host, self.guest = host, guest
        self.port = free_port()
        self.history = []
        set_port(host, self.port)
        set_port(guest, self.port)
        host.start()
        host.key("F2")           # the board view
        self.host_board = board_of(host)
        self.host_empty = self.host_board.empty(host.settle("host-board"), host.artifacts)
        if start_guest:
            guest.start()
            guest.key("F2")
            self.look_at_guest()

    def look_at_guest(self):
        self.guest_board = board_of(self.guest)
        self.guest_board.flipped = True     # the joiner plays Black, seen from its side
        self.guest_empty = self.guest_board.empty(self.guest.settle("guest-board"), self.guest.artifacts)

    def begin(self, join=True):
        """The host starts listening as White; the guest joins at 127.0.0.1 (when join)."""
        dialog = open_network_dialog(self.host, "h", "Start Network Game")
        seen_host = len(self.host.prompts())
        self.host.key("alt+s", window=dialog)
        self.host_dialog = dialog
        if join:
            joining = open_network_dialog(self.guest, "j", "Join a Network Game")
            seen_guest = len(self.guest.prompts())
            self.guest.type("127.0.0.1", window=joining)
            self.guest.key("alt+j", window=joining)
            keep_profile(self.guest, seen_guest)
            self.guest.wait_gone(joining, 20)
            keep_profile(self.host, seen_host)
        self.host.wait_gone(dialog, 20)

    def sides(self, ply):
        """(mover, its board, the other, its board, its empty board) for a ply of the host's White."""
        if ply % 2 == 0:
            return self.host, self.host_board, self.guest, self.guest_board, self.guest_empty
        return self.guest, self.guest_board, self.host, self.host_board, self.host_empty

    def play(self, ply, history=None):
        """Drags the next move on the mover's board; waits until the other board shows it."""
        history = self.history if history is None else history
        mover, board, other, other_board, other_empty = self.sides(ply)
        position = Oracle.position(history)
        check(not position["over"], "the game goes on")
        move = choose(position, PREFERRED_WHITE if ply % 2 == 0 else PREFERRED_BLACK)
        mover.drag(*board.centre(move["from"]), *board.centre(move["to"]))
        away(mover, board)
        history.append(move["from"] + move["to"] + move.get("promotion", ""))
        shows(other, other_board, other_empty, history, f"{'guest' if ply % 2 == 0 else 'host'}-{ply + 1}")
        return move


def run(name, steps, **options):
    """Runs steps(host, guest) with two fresh clients (options for harness.Client
    besides the window and defaults); exit status 0 when it passed."""
    if not Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        return 1
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build")
    started = time.monotonic()
    clients = []
    try:
        options = dict(options, window=(40, 40, 900, 700),
                       defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no")])
        clients.append(harness.Client(build, name + "-host", user="host", **options))
        clients.append(harness.Client(build, name + "-guest", user="guest", **options))
        steps(*clients)
    except Exception as error:
        for client in clients:
            try:
                client.screenshot("failure")
            except Exception:
                pass
            print(client.session, "prompts:", client.prompts(), file=sys.stderr)
        traceback.print_exc()
        print(f"{name}: FAILED ({error})")
        return 1
    finally:
        for client in clients:
            client.close()
    print(f"{name}: passed in {time.monotonic() - started:.1f} s")
    return 0


def wait_for(done, what, timeout=15):
    """Polls done() (which takes its own pictures) until it gives a true value."""
    return harness.wait_until(done, timeout, what, step=0.1)
