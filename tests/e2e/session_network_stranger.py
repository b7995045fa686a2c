#!/usr/bin/env python3
"""Strangers reach a real host before its friend does. One declares a 4 GB
frame and is dropped at once; the host listens on. The next says nothing
but a byte and keeps the seat only until the opening deadline (10 s): the
friend, who joined meanwhile and waited in the host's queue, begins its
game within the deadline and a second of the stranger's arrival and plays.
The host's user sees no box for either stranger."""

import socket
import struct
import sys
import time

import harness
import network
from harness import check

OPENING_LIMIT = 10.0
PROTOCOL, IDENTITY = 2, 11


class Stranger:
    """A raw connection to the host that reads the frames it is sent."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.data = b""

    def frames(self, count, timeout=30):
        """The types of the next count frames."""
        types = []
        end = time.monotonic() + timeout
        while len(types) < count:
            while len(self.data) >= 8 and len(self.data) >= 4 + struct.unpack("<I", self.data[:4])[0]:
                length, kind = struct.unpack("<II", self.data[:8])
                self.data = self.data[4 + length:]
                types.append(kind)
                if len(types) == count:
                    return types
            self.sock.settimeout(max(0.1, end - time.monotonic()))
            chunk = self.sock.recv(65536)
            if not chunk:
                raise harness.Failure(f"the host closed the stranger after {types}")
            self.data += chunk
        return types

    def closed_by_host(self, timeout=30):
        """Waits until the host closes the connection; True when it did."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            self.sock.settimeout(max(0.1, end - time.monotonic()))
            try:
                if not self.sock.recv(65536):
                    return True
            except socket.timeout:
                continue
            except ConnectionResetError:
                return True
        return False

    def close(self):
        self.sock.close()


def connect(port):
    try:
        return Stranger(port)
    except ConnectionRefusedError:
        return None


def steps(host, guest):
    match = network.Match(host, guest)
    dialog = network.open_network_dialog(host, "h", "Start Network Game")
    seen_host = len(host.prompts())
    host.key("alt+s", window=dialog)

    # A stranger declaring a frame of 4 GB is dropped; the seat is free again.
    bad = harness.wait_until(lambda: connect(match.port), 20, "the host listening")
    check(bad.frames(2) == [PROTOCOL, IDENTITY], "the host's opening")
    bad.sock.sendall(struct.pack("<II", 0xFFFFFFF0, 5))
    check(bad.closed_by_host(), "the stranger with the 4 GB frame is dropped")
    bad.close()

    # A silent stranger takes the seat: it is sent the opening.
    silent = Stranger(match.port)
    check(silent.frames(2) == [PROTOCOL, IDENTITY], "the host's opening to the second stranger")
    seated = time.monotonic()
    silent.sock.sendall(b"\x08")  # a byte, no frame

    # The friend joins meanwhile and waits in the host's queue.
    joining = network.open_network_dialog(guest, "j", "Join a Network Game")
    seen_guest = len(guest.prompts())
    guest.type("127.0.0.1", window=joining)
    guest.key("alt+j", window=joining)

    # The host's game begins with the friend's answer: its profile question.
    index, record = host.wait_prompt(caption="Opponent's Profile", after=seen_host, timeout=60)
    begun = time.monotonic() - seated
    print(f"the friend's game began {begun:.2f} s after the silent stranger took the seat")
    check(begun >= OPENING_LIMIT - 0.5, f"the stranger kept the seat until the deadline ({begun:.2f} s)")
    check(begun < OPENING_LIMIT + 1.0, f"the friend began within the deadline and a second ({begun:.2f} s)")
    check(index == seen_host, f"no box for either stranger: {host.prompts()[seen_host:]}")
    check(silent.closed_by_host(), "the silent stranger is dropped")
    silent.close()
    host.answer("Opponent's Profile", "alt+n")
    network.keep_profile(guest, seen_guest)
    guest.wait_gone(joining, 20)
    host.wait_gone(dialog, 20)

    for ply in range(4):
        print(match.play(ply)["san"], flush=True)
    check(len(host.prompts()) == seen_host + 1, f"the host was asked nothing more: {host.prompts()[seen_host:]}")


if __name__ == "__main__":
    sys.exit(network.run("network-stranger", steps))
