#!/usr/bin/env python3
"""A hostile peer joins a real client's network game and floods it: a
thousand draw offers, new-game and take-back requests in one burst, then
5 MB of chat in 8 KB lines and ten thousand short chat lines. The client
puts one question of each kind to its user, its menus keep opening while
the chat pours in, it reads the whole flood (a last draw offer behind it
is asked), and its memory stays bounded."""

import socket
import struct
import threading
import time

import harness
import network
from harness import check

PROTOCOL, CHAT, NEW_GAME, NEW_GAME_DECLINED, OFFER_DRAW, DRAW_DECLINED, TAKE_BACK = 2, 5, 7, 8, 18, 23, 24
# Generous: the client's whole resident set after the flood.
MEMORY_LIMIT_KB = 300 * 1024


def frame(kind, payload=b""):
    return struct.pack("<II", len(payload) + 4, kind) + payload


def chat(name, text):
    return frame(CHAT, name + b"\0" + text + b"\0")


def memory_kb(pid):
    """(VmHWM, VmRSS) of the process, in kB."""
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmHWM", "VmRSS"):
                values[key] = int(rest.split()[0])
    return values["VmHWM"], values["VmRSS"]


class Peer:
    """The hostile side of the connection: records the frame types it gets."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.received = []
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        data = b""
        self.sock.settimeout(None)
        while True:
            try:
                chunk = self.sock.recv(65536)
            except OSError:
                return
            if not chunk:
                return
            data += chunk
            while len(data) >= 8:
                length, kind = struct.unpack("<II", data[:8])
                if len(data) < 4 + length:
                    break
                data = data[4 + length:]
                with self.lock:
                    self.received.append(kind)

    def count(self, kind):
        with self.lock:
            return self.received.count(kind)

    def send(self, data):
        self.sock.sendall(data)

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


def menu_opens(client, name):
    """Options, Preferences: the dialog comes (waited for, generously), then its Cancel closes it."""
    started = time.monotonic()
    client.menu("o", "p")
    dialog = client.wait_dialog("^Preferences$", 30)
    print(f"{name}: the Preferences dialog opened in {time.monotonic() - started:.2f} s")
    client.key("alt+c", window=dialog)
    client.wait_gone(dialog, 30)


def answer_question(client, caption, contains, after):
    index, record = client.wait_prompt(caption=caption, contains=contains, timeout=60, after=after)
    client.answer(caption, "alt+n")
    client.answered(index)
    return index + 1


def steps(client):
    port = network.free_port()
    network.set_port(client, port)
    client.start()
    client.key("F2")
    dialog = network.open_network_dialog(client, "h", "Start Network Game")
    client.key("alt+s", window=dialog)
    peer = harness.wait_until(lambda: connect(port), 20, "the host listening")
    try:
        # The answer a joiner gives the host's opening begins the game.
        peer.send(frame(PROTOCOL, struct.pack("<I", 2)))
        client.wait_gone(dialog, 20)
        flood(client, peer)
    finally:
        peer.close()


def connect(port):
    """The peer, once the host listens; None before."""
    try:
        return Peer(port)
    except ConnectionRefusedError:
        return None


def flood(client, peer):
    seen = len(client.prompts())
    hwm, rss = memory_kb(client.process.pid)
    print(f"before the flood: VmHWM {hwm} kB, VmRSS {rss} kB")
    burst = b""
    for _ in range(1000):
        burst += frame(OFFER_DRAW) + frame(NEW_GAME, struct.pack("<I", 1)) + frame(TAKE_BACK, struct.pack("<I", 0))
    long_line = b"x" * 8192
    chats = [chat(b"Mallory", b"%d " % i + long_line[:8180]) for i in range(640)]
    chats += [chat(b"Mallory", b"short %d" % i) for i in range(10000)]

    stop = threading.Event()
    sent = [0]
    failure = []

    def send_all():
        """The burst, 5 MB of long lines and 10,000 short ones, then more of
        the same until told to stop (at most 50 MB in all)."""
        try:
            peer.send(burst)
            rounds = 0
            while rounds == 0 or (not stop.is_set() and sent[0] < 50 << 20):
                for i in range(0, len(chats), 50):
                    block = b"".join(chats[i:i + 50])
                    peer.send(block)
                    sent[0] += len(block)
                rounds += 1
        except OSError as error:
            failure.append(error)

    sender = threading.Thread(target=send_all, daemon=True)
    sender.start()

    # One question for a thousand offers, one for a thousand new-game requests.
    seen = answer_question(client, "Draw offered", "offered you a draw", seen)
    seen = answer_question(client, "Reset Game", "Opponent requests a new game", seen)

    # The menus answer while the chat pours in.
    menu_opens(client, f"during the flood ({sent[0] >> 20} MB of chat sent)")
    hwm, rss = memory_kb(client.process.pid)
    print(f"during the flood: VmHWM {hwm} kB, VmRSS {rss} kB")
    menu_opens(client, f"during the flood, again ({sent[0] >> 20} MB sent)")
    stop.set()
    sender.join(180)
    check(not sender.is_alive(), "the client took the whole flood")
    check(not failure, f"the connection stood through the flood: {failure}")
    print(f"{sent[0] >> 20} MB of chat sent")

    # Behind the whole flood: asked only once everything before it was read.
    peer.send(frame(OFFER_DRAW))
    seen = answer_question(client, "Draw offered", "offered you a draw", seen)
    menu_opens(client, "after the flood")

    prompts = client.prompts()
    draws = [p for p in prompts if p[1] == "Draw offered"]
    new_games = [p for p in prompts if p[1] == "Reset Game" and "Opponent requests" in p[2]]
    takebacks = [p for p in prompts if p[1] == "Takeback requested"]
    check(len(draws) == 2, f"two draw questions (the burst's and the last one): {len(draws)}")
    check(len(new_games) == 1, f"one new-game question for the burst: {len(new_games)}")
    check(not takebacks, "a take-back before any move is never asked")
    harness.wait_until(lambda: peer.count(DRAW_DECLINED) == 2 and peer.count(NEW_GAME_DECLINED) == 1, 20,
                       "the peer to get one answer per question")
    check(peer.count(DRAW_DECLINED) == 2, "one declined draw per question")
    check(client.running(), "the client is still running")
    hwm, rss = memory_kb(client.process.pid)
    print(f"after the flood: VmHWM {hwm} kB, VmRSS {rss} kB")
    check(hwm < MEMORY_LIMIT_KB, f"memory stays bounded: VmHWM {hwm} kB")
    check(rss < MEMORY_LIMIT_KB, f"memory stays bounded: VmRSS {rss} kB")


if __name__ == "__main__":
    raise SystemExit(harness.run("flood", steps, window=(40, 40, 900, 700)))
