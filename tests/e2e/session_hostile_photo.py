#!/usr/bin/env python3
"""A photo bomb in the real client: Alice's turn carries a profile whose
photo.bmp is a 64-byte run-length BMP claiming 26000 x 26000 pixels. Bob
opens it and keeps the profile: the photo is not stored, the side panel's
pictures (in Bob's user folder) are small, and the client stays under
300 MB. A bomb already in Bob's opponents folder (as an older version stored
it) is read by Your Opponents under the same limit. Nothing in the program
folder's pages changes."""

import os
import struct
import subprocess
import sys
import tempfile

import email_play as ep
import harness
from harness import check

PEAK_LIMIT_KB = 300 * 1024


def rle_bomb(width, height):
    """An 8-bit run-length BMP claiming width x height: 64 bytes."""
    header = struct.pack("<2sIHHI", b"BM", 64, 0, 0, 62)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, 2, 0, 0, 2, 0)
    return header + info + b"\0\0\0\0\xff\xff\xff\0" + b"\0\1"


def peak_kb(client):
    """The highest resident size the client process has had, in kB."""
    with open(f"/proc/{client.process.pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def rwpack(p, *arguments):
    tool = os.path.join(p.client.build, "foundation", "tools", "rwpack")
    subprocess.run([tool, *arguments], check=True, stdout=subprocess.DEVNULL)


def with_bomb_profile(p, source):
    """Alice's turn with her profile's photo replaced by the bomb."""
    c = p.client
    work = tempfile.mkdtemp(prefix="turn-", dir=c.base)
    rwpack(p, "extract", source, work)
    profile_file = os.path.join(work, "contents", "Profile.rwf")
    check(os.path.exists(profile_file), f"the turn carries a profile: {os.listdir(os.path.join(work, 'contents'))}")
    profile = tempfile.mkdtemp(prefix="profile-", dir=c.base)
    rwpack(p, "extract", profile_file, profile)
    with open(os.path.join(profile, "contents", "photo.bmp"), "wb") as f:
        f.write(rle_bomb(26000, 26000))
    os.remove(profile_file)
    rwpack(p, "pack", "-n", "profile", profile_file, profile)
    path = os.path.join(c.base, "bomb.rwf")
    rwpack(p, "pack", "-n", "email", path, work)
    return path


def steps(a, b):
    """Alice plays 1.e4 and saves her turn; Bob opens the turn with the bomb."""
    c = a.client
    ep.start_without_mail_program(a)
    history = []
    ep.start_email_game(a, "Bob", b.address)
    a.see_board()
    ep.turn_window(a)
    ep.drag(a, history, "e4", check_board=True)
    good = os.path.join(c.base, "saved.rwf")
    ep.save_without_mail_program(a, good)
    bomb = with_bomb_profile(a, good)
    c.menu("g", "x")
    check(c.wait_exit() == 0, "Alice's client ends cleanly")

    d = b.client
    d.start()
    d.key("F2")
    b.see_board(flipped=True)
    pages = os.path.join(d.folder, "html")
    # The side panel's own pages are written again whenever it is rebuilt,
    # as it is when a received turn adds a game to Active Games.
    generated = ("english/page.htm", "english/page2.htm", "english/_layout2.htm")
    before = harness.folder_digest(pages, skip=generated)
    seen = ep.open_turn(b, bomb)
    index, record = d.wait_prompt(contains="profile", after=seen, timeout=30)
    check(record[0] == "message", f"Bob is asked about the profile: {record}")
    d.answer(record[1], "alt+y")
    ep.turn_window(b)
    ep.shows(b, history, "bomb-turn")
    check(d.running(), "Bob's client is alive after the turn")
    folder = os.path.join(d.folder, "users", b.user, "opponents")
    stored = harness.wait_until(lambda: [n for n in b.opponents() if n.endswith(".cfg")], 15, "Alice's profile")
    check(not [n for n in b.opponents() if n.endswith(".bmp")], f"the bomb is not stored: {b.opponents()}")
    user = os.path.join(d.folder, "users", b.user)
    for name in ("white.bmp", "black.bmp"):
        path = os.path.join(user, name)
        check(os.path.exists(path) and os.path.getsize(path) < 65536, f"the side panel's {name} is a small picture")
    check(peak_kb(d) < PEAK_LIMIT_KB, f"Bob's client peaked at {peak_kb(d)} kB")
    print("bomb in a turn: profile kept without its photo; peak", peak_kb(d), "kB")

    # As an older version stored it: the bomb beside the profile. The side
    # panel and Your Opponents read it under the limit.
    with open(os.path.join(folder, stored[0][:-4] + ".bmp"), "wb") as f:
        f.write(rle_bomb(26000, 26000))
    ep.your_opponents(b)
    check(d.running(), "Bob's client is alive after Your Opponents")
    check(peak_kb(d) < PEAK_LIMIT_KB, f"Bob's client peaked at {peak_kb(d)} kB")
    after = harness.folder_digest(pages, skip=generated)
    check(after == before, f"no picture of the program folder's pages changed: "
                           f"{sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))}")
    ep.quit_all(b)


if __name__ == "__main__":
    sys.exit(ep.main("hostile-photo", steps))
