#!/usr/bin/env python3
"""Two players play online: the stand-in server on loopback and two real
clients, each with its own user and screen. Both find each other through
Play Online and play a timed game by dragging pieces: every move appears on
the other board as chess.js says it should. They chat both ways. Then one
client is killed, and the other says its opponent has left the game: the
unfinished game is kept in "played games" as "*" and counted as nothing."""

import os
import re
import signal
import sys
import time
import traceback

import harness
from harness import Oracle, check, move_squares, wait_until
import session_online_search as online

# Ten moves a side of a quiet opening: no castling, no captures, so each
# move changes exactly its two squares.
MOVES = ["e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "d2d3", "f8c5", "c2c3", "d7d6",
         "b1d2", "a7a6", "h2h3", "h7h6", "a2a4", "c8e6", "d1e2", "d8d7", "b2b4", "c5b6"]


def count(client, pattern):
    return len(re.findall(pattern, online.session_log(client)))


def board_still(client, board, timeout=20):
    """A picture once the board's squares stop changing (the clock beside it never does)."""
    previous = client.look()
    end = time.monotonic() + timeout * harness.SLOWDOWN
    while time.monotonic() < end:
        time.sleep(0.1)
        current = client.look()
        if not board.changed(previous, current, threshold=2):
            return current
        previous = current
    return previous


def reach_game(a, b):
    harness.PROFILE_NAME = "Anna"
    a.start()
    harness.PROFILE_NAME = "Bruno"
    b.start()
    dialogs = {}
    for client in (a, b):
        client.menu("g", "p")
        dialogs[client] = online.search_dialog(client)
        online.wait_log(client, r"pktLoggedInOK", 20, client.user + " to log in")
    a.key("alt+f", window=dialogs[a])
    online.wait_log(a, r"pktSearching", 20, "anna's search to be taken")
    b.key("alt+f", window=dialogs[b])
    colours = {}
    for client in (a, b):
        agreed = online.wait_log(client, r"Game agreed with \d+: playing (\w+), (\w+), clock (\d+) s", 60,
                                 client.user + "'s game")
        colours[client] = agreed.group(1)
    check(set(colours.values()) == {"white", "black"}, f"opposite colours: {colours}")
    for client in (a, b):
        client.wait_gone(dialogs[client], 20)
    white = a if colours[a] == "white" else b
    black = b if white is a else a
    return white, black


def boards(white, black):
    found = {}
    for client, flipped in ((white, False), (black, True)):
        def shown():
            client.focus(client.frame)
            try:
                return client.board()
            except harness.Failure:
                return None
        board = wait_until(shown, 20, client.user + "'s board; windows " + repr(client.children(client.frame)))
        board.flipped = flipped
        found[client] = board
    return found


def wait_start_position(white, black):
    """Both boards show the start position, so every later change is a move's."""
    board = boards(white, black)
    for client in (white, black):
        empty = board[client].empty(client.look(), client.artifacts)
        harness.wait_occupied(client, board[client], empty, harness.START_SQUARES, client.user + "-start-position", 30)


def play_moves(white, black):
    history = []
    previous = set()
    positions = Oracle.line(MOVES)
    for ply, move in enumerate(MOVES):
        legal = {m["from"] + m["to"]: m for m in positions[ply]["moves"]}
        check(move in legal, f"{move} is legal after {history}")
        mover, receiver = (white, black) if ply % 2 == 0 else (black, white)
        # The chat pane may still be opening under the board: where the squares are is read each time.
        board = boards(white, black)
        before = board_still(receiver, board[receiver])
        forwards = count(receiver, r"ChPacket chpktMove")
        mover.drag(*board[mover].centre(move[:2]), *board[mover].centre(move[2:4]))
        mover.move(board[mover].x + board[mover].width + 40, board[mover].y + 40)
        wait_until(lambda: count(receiver, r"ChPacket chpktMove") > forwards, 20,
                   f"{receiver.user} to receive {move}")
        expected = move_squares(legal[move])
        seen = []

        def arrived():
            seen[:] = sorted(board[receiver].changed(before, board_still(receiver, board[receiver])))
            # The last move's marks leave the squares of the move before.
            return expected <= set(seen) <= expected | previous
        try:
            wait_until(arrived, 30, f"{move} on {receiver.user}'s board")
        except harness.Failure:
            receiver.keep(receiver.look(), f"not-arrived-{ply}")
            raise harness.Failure(f"{move} on {receiver.user}'s board: squares changed {seen}")
        history.append(move)
        previous = expected
    return history


def chat(sender, receiver, text):
    """Types a line into the chat pane under the board and sends it with Return."""
    board = sender.board()
    x0, y0, width, height = sender.geometry(sender.frame)
    chats = count(receiver, r"pktChat \(#141\)")
    # The input line is the chat pane's last row, above the status bar.
    sender.click(board.x + 60, y0 + height - 48)
    sender.type(text)
    sender.key("Return")
    wait_until(lambda: count(receiver, r"pktChat \(#141\)") > chats, 20, f"{receiver.user} to get the chat line")


def steps(a, b):
    white, black = reach_game(a, b)
    board = boards(white, black)
    for client in (a, b):
        online.wait_log(client, r"ChPacket chpktResume", 20, client.user + "'s game to resume")

    wait_start_position(white, black)
    history = play_moves(white, black)
    check(not Oracle.position(history)["over"], "the game goes on")
    for client in (white, black):
        check(count(client, r"Refused") == 0, client.user + " refused nothing: " + online.session_log(client))

    chat(white, black, "good luck")
    chat(black, white, "thanks")

    # The black player's client dies: the white player is told.
    before = online.mark(white)
    black.kill()
    online.wait_log(white, r"pktConnectionBroken|pktConnectionClosed", 30, "the link to end", after=before)
    white.wait_window("^Opponent Disconnected$", 20, besides=(white.frame,))
    white.wait_window("^Gridmoor Options$", 20, besides=(white.frame,))
    kept_unfinished(white)


def played_games(client):
    folder = os.path.join(client.folder, "users", client.user, "played games")
    return sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".pgn")) \
        if os.path.isdir(folder) else []


def kept_unfinished(client, before=0):
    """The game that ended for want of an opponent goes through Game Over: OK keeps
    it as "*" (one more file than before) and counts nothing."""
    over = client.wait_window("^Game Over$", 20, besides=(client.frame,))
    client.focus(over)
    client.key("Return", window=over)
    client.wait_gone(over)
    files = wait_until(lambda: (lambda f: f if len(f) > before else None)(played_games(client)), 20,
                       client.user + "'s played game")
    with open(files[-1], errors="replace") as f:
        pgn = f.read()
    check('[Result "*"]' in pgn, client.user + " kept the game as unfinished: " + pgn[:400])
    check(client.settings(client.user).get("preferences.matches.played", "0") in ("", "0"),
          client.user + " counted no result: " + repr(client.settings(client.user)))


def run(name, session_steps, moves=None, motd=None):
    """Two clients and the server on loopback; session_steps(a, b) drives them. With
    motd the server greets each login with that administrator's message. While the
    steps run, run.server is the server's process and run.restart() starts a new one
    on the same port."""
    global MOVES
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build")
    started = time.monotonic()
    clients = []
    server = None
    run.starts = None
    if moves is not None:
        MOVES = moves
    try:
        check(Oracle.available(), "chess.js is installed in build/oracle")
        port = online.free_port()
        for user, location in (("anna", '"Chile"'), ("bruno", '"Peru"')):
            # Opponents are not kept here: no question about the profile
            # comes during the match (the search session answers one).
            client = harness.Client(build, name + "-" + user, debug=True, user=user,
                                    defaults=(("location", location), ("storeopponents", "no")))
            client.user = user
            clients.append(client)
        for client in clients:
            online.point_at_server(client, port)
        extra = ()
        if motd is not None:
            path = os.path.join(clients[0].artifacts, "motd.htm")
            with open(path, "w") as f:
                f.write(motd)
            extra = ("--motd", path)
        server = online.start_server(build, port, clients[0].artifacts, extra)
        run.server = server
        starts = [server]
        run.starts = starts

        def restart():
            check(run.server.poll() is not None, "the server before has ended")
            run.server = online.start_server(build, port, clients[0].artifacts, extra,
                                             f"gridmoor-server-{len(starts)}.log")
            starts.append(run.server)
            return run.server
        run.restart = restart
        session_steps(*clients)
    except Exception as error:
        for client in clients:
            try:
                client.screenshot("failure")
                print(client.user, "prompts:", client.prompts(), file=sys.stderr)
                print(client.user, "log:", online.session_log(client)[-3000:], file=sys.stderr)
            except Exception:
                pass
        traceback.print_exc()
        print(f"{name}: FAILED ({error})")
        return 1
    finally:
        for client in clients:
            client.close()
        for started_server in getattr(run, "starts", None) or ([server] if server is not None else []):
            if started_server.poll() is None:
                started_server.send_signal(signal.SIGTERM)
                started_server.wait(15)
    print(f"{name}: passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(run("online-game", steps))
