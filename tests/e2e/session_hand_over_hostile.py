#!/usr/bin/env python3
"""Local programs that write to the running client's hand-over socket, and
runtime folders that are not the user's own:
- two half messages that break off, a length of about 4 GB with 15 bytes
  behind it, a 512 MiB message sent as fast as the socket takes it, and a
  peer that stalls: each is refused and told so (the large ones before the
  socket's buffers are through), the client's memory stays within its
  bound, a real second start's PGN reaches it meanwhile, and it answers the
  keyboard afterwards;
- 4,000 connections that break off: every one is counted, in a line a
  second at most;
- a name handed over by a raw writer that holds a line break and a line
  of the client's own shape: standard error and the console each give it
  as one escaped line;
- an $XDG_RUNTIME_DIR that others may write (mode 1777), with a socket
  planted there under the name older clients used: the client serves from
  a folder of its own elsewhere, nothing reaches the planted socket, and a
  second start still hands its file over;
- as after su, an $XDG_RUNTIME_DIR of another account (root's, which the
  session's account cannot enter): the start comes up, and a second start
  hands its file over (needs root, to make the account)."""

import glob
import os
import re
import socket
import struct
import sys
import time
import zlib

import game
import harness
from harness import check, wait_until

USER = "tester"
GAME = """[Event "Handed over"]
[White "Cleo"]
[Black "Dan"]
[Result "0-1"]

1. f3 e5 2. g4 Qh4# 0-1
"""
MiB = 1 << 20


def socket_of(c):
    """The hand-over socket the running client recorded in its lock."""
    def recorded():
        for lock in glob.glob(os.path.join(c.env["XDG_DATA_HOME"], "rookwell", "instances", "*.lock")):
            text = harness.read_text(lock) or ""
            if text.endswith("\n") and text.startswith("/"):
                return text.strip()
        return None
    return wait_until(recorded, 30, "the client's socket in its lock")


def connect(path):
    peer = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    peer.connect(path)
    return peer


def answer_of(peer, timeout=60):
    """The client's answer: "accepted", "refused: why", or "closed"."""
    peer.settimeout(timeout * harness.SLOWDOWN)
    data = b""
    try:
        while len(data) < 4 or len(data) < 4 + struct.unpack("<I", data[:4])[0]:
            piece = peer.recv(4096)
            if not piece:
                return "closed"
            data += piece
    except (ConnectionResetError, BrokenPipeError):
        return "closed"
    payload = data[4:4 + struct.unpack("<I", data[:4])[0]]
    if payload == b"rookwell-accepted\0":
        return "accepted"
    tag = b"rookwell-refused\0"
    return "refused: " + payload[len(tag):].decode() if payload.startswith(tag) else repr(payload)


def peak_memory_kib(c):
    with open(f"/proc/{c.process.pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))


def hand_over_a_pgn(c, name):
    pgn = os.path.join(c.base, name)
    with open(pgn, "w") as f:
        f.write(GAME)
    c.own(pgn)
    check(c.second_start(pgn, limit=90) == 0, "a second start with a PGN file ends with status 0")
    wait_until(lambda: c.windows("^(PGN Viewer|" + name.replace(".", "\\.") + ")$"), 20,
               "the running client to open the PGN")
    check(not [r for r in c.prompts() if "already running" in r[2]], f"no second start complains: {c.prompts()}")


BROKE_OFF = "A hand-over broke off after "
HANDED = "Files handed over by another start"


def broken_off(c):
    """The lines about connections that broke off, and how many they count."""
    lines = [line for line in c.log_of_run().splitlines() if line.startswith(BROKE_OFF)]
    counts = [re.search(r" \((\d+) times since the last such line\)\.$", line) for line in lines]
    return lines, sum(int(m.group(1)) if m else 1 for m in counts)


def many_broken_connections(c, path, earlier):
    """4,000 connections that send part of a length's message and close."""
    earlier_lines = len(broken_off(c)[0])
    began = time.monotonic()
    for _ in range(4000):
        peer = connect(path)
        peer.sendall(struct.pack("<I", 100) + b"xy")
        peer.close()
    wait_until(lambda: broken_off(c)[1] >= earlier + 4000 or None, 60, "every broken connection to be counted")
    seconds = time.monotonic() - began
    lines, count = broken_off(c)
    check(count == earlier + 4000, f"each broken connection is counted once: {count}")
    check(len(lines) <= earlier + seconds + 2, f"{len(lines)} lines in {seconds:.1f} s: {lines[-5:]}")
    check(lines[-1].startswith(BROKE_OFF + "6 bytes"), f"the counted line tells the last one: {lines[-1]}")
    print(f"4,000 broken connections: {len(lines) - earlier_lines} lines in {seconds:.1f} s")


def forged_name(c, path):
    """A name with a line break and a line of the client's own shape behind
    it, handed over by a raw writer: one line each, escaped."""
    name = os.path.join(c.base, "club\n" + HANDED + ": forged.pgn")
    with open(name, "w") as f:
        f.write(GAME)
    c.own(name)
    peer = connect(path)
    payload = b"rookwell-files\0" + name.encode() + b"\0"
    peer.sendall(struct.pack("<I", len(payload)) + payload)
    check(answer_of(peer) == "accepted", "the raw writer's hand-over is taken")
    peer.close()
    escaped = name.replace("\n", "\\x0a")
    wait_until(lambda: (HANDED + ": " + escaped) in c.log_of_run().splitlines() or None, 30,
               "the client to tell the name it was handed")
    wait_until(lambda: c.windows("^(PGN Viewer|club.*)$"), 20, "the running client to open the PGN")
    lines = c.log_of_run().splitlines()
    check((HANDED + ": forged.pgn") not in lines, "no line of the client's own shape is forged")
    told = [line for line in lines if "forged.pgn" in line]
    check(told == ["  " + escaped, HANDED + ": " + escaped], f"the name is one escaped line each time: {told}")
    return escaped


def console_lines(c):
    return (harness.read_text(os.path.join(c.folder, "logs", "Rookwell - Console.log")) or "").splitlines()


def answers_the_keyboard(c):
    dialog = harness.open_preferences(c)
    c.key("alt+c", window=dialog)
    c.wait_gone(dialog)


def hostile_peers(c):
    c.start()
    path = socket_of(c)
    check(path.startswith(c.env["XDG_RUNTIME_DIR"] + "/"), f"the user's own runtime folder is used: {path}")
    before = peak_memory_kib(c)
    for _ in range(2):
        peer = connect(path)
        peer.sendall(struct.pack("<I", 100) + b"x" * 15)
        peer.close()
    peer = connect(path)
    peer.sendall(struct.pack("<I", 0xFFFFFFF0) + b"x" * 15)
    answer = answer_of(peer)
    check(answer.startswith("refused: what it was sent is longer"), f"about 4 GB announced is refused: {answer}")
    peer.close()

    peer = connect(path)
    peer.sendall(struct.pack("<I", 512 * MiB))
    peer.setblocking(False)
    sent, piece = 0, b"x" * MiB
    end = time.monotonic() + 60 * harness.SLOWDOWN
    while sent < 512 * MiB and time.monotonic() < end:
        try:
            sent += peer.send(piece)
        except BlockingIOError:
            # The client reads no more: its answer is waiting, or comes.
            import select
            readable, _, _ = select.select([peer], [], [], 1)
            if readable:
                break
        except (BrokenPipeError, ConnectionResetError):
            break
    peer.setblocking(True)
    answer = answer_of(peer)
    check(answer.startswith("refused: what it was sent is longer"), f"512 MiB announced is refused: {answer}")
    check(sent < 64 * MiB, f"refused before it was read: {sent // MiB} MiB went out")
    peer.close()
    grown = peak_memory_kib(c) - before
    check(grown < 64 * 1024, f"the client's memory stays within its bound: {grown} KiB more at the peak")

    stalled = connect(path)
    stalled.sendall(b"\x10\x00")
    hand_over_a_pgn(c, "club night.pgn")
    answer = answer_of(stalled)
    check(answer == "refused: what it was sent did not arrive in time", f"the stalled peer is dropped: {answer}")
    stalled.close()
    answers_the_keyboard(c)
    many_broken_connections(c, path, broken_off(c)[1])
    escaped = forged_name(c, path)
    game.exit_closing_pgn(c, len(c.prompts()))
    lines = console_lines(c)
    told = [line for line in lines if "forged.pgn" in line]
    check((HANDED + ": forged.pgn") not in lines and all("\\x0a" in line for line in told),
          f"the console gives the name as one escaped line wherever it tells it: {told}")
    check([line for line in told if line.startswith(HANDED)] == [HANDED + ": " + escaped],
          f"the console tells the hand-over once: {told}")


def shared_runtime_folder(c):
    shared = os.path.join(c.base, "shared runtime")
    os.makedirs(shared)
    os.chmod(shared, 0o1777)
    # The names an older client used there, as another account would plant them.
    name = "rookwell-%u-%08x" % (os.getuid(), zlib.crc32(os.path.realpath(c.folder).encode()))
    planted = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    planted.bind(os.path.join(shared, name + ".socket"))
    planted.listen(8)
    planted.setblocking(False)
    with open(os.path.join(shared, name + ".lock"), "w") as f:
        f.write("1")
    c.env["XDG_RUNTIME_DIR"] = shared
    c.start()
    path = socket_of(c)
    check(not path.startswith(shared + "/"), f"a runtime folder others may write is not used: {path}")
    hand_over_a_pgn(c, "shared.pgn")
    try:
        planted.accept()
        raise harness.Failure("a start connected to the planted socket")
    except BlockingIOError:
        pass
    planted.close()
    game.exit_closing_pgn(c, len(c.prompts()))


def runtime_folder_of_another_account(build):
    if os.geteuid() != 0:
        print("another account's runtime folder: skipped (needs root, to make the account)")
        return
    c = harness.Client(build, "hand-over-hostile-su", user=USER, window=(40, 40, 900, 700), account="handover")
    try:
        # As after su from root's session: root's private folder, which the
        # account cannot enter.
        theirs = os.path.join(c.base, "root runtime")
        os.makedirs(theirs, mode=0o700)
        c.env["XDG_RUNTIME_DIR"] = theirs
        c.start()
        path = socket_of(c)
        check(not path.startswith(theirs + "/"), f"another account's runtime folder is not used: {path}")
        hand_over_a_pgn(c, "after su.pgn")
        game.exit_closing_pgn(c, len(c.prompts()))
    finally:
        c.close()


def steps(c):
    hostile_peers(c)
    shared_runtime_folder(c)
    runtime_folder_of_another_account(c.build)


if __name__ == "__main__":
    sys.exit(harness.run("hand-over-hostile", steps, user=USER, window=(40, 40, 900, 700)))
