#!/usr/bin/env python3
"""Two players find each other online: the stand-in server on loopback and
two real clients, each with its own user and screen. One chooses Game, Play
Online, the other the start page's "Play online" link; both press Find
Opponent, are matched, see the other's details (text from the other machine
shows as text, never as markup), count down into the game with opposite
colours and the same clock, and keep each other's profile. Killing the
server ends the session and leaves the client usable."""

import os
import re
import signal
import socket
import subprocess
import sys
import time
import traceback

import harness
import network
from harness import check, wait_until

# The opponent's location comes from another machine as it was typed: as
# markup it would draw a large red block on the page.
RED_BLOCK = '"<table bgcolor=#ff0000 width=260 height=90><tr><td>Nowhere</td></tr></table>"'


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(build, port, artifacts, extra=(), log_name="gridmoor-server.log"):
    program = os.path.join(os.path.abspath(build), "program", "gridmoor-server")
    check(os.access(program, os.X_OK), program + " is not built")
    log = open(os.path.join(artifacts, log_name), "w")
    server = subprocess.Popen([program, "--listen", "127.0.0.1", "--port", str(port), *extra],
                              stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    log.close()

    def listening():
        check(server.poll() is None, "the server ended at start")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            return False
    wait_until(listening, 15, "the server to listen")
    return server


def point_at_server(client, port):
    path = os.path.join(client.folder, "cfg", "app.cfg")
    with open(path) as f:
        text = f.read()
    text, count = re.subn(r"(gridmoor = \{[^}]*?port = )\d+", r"\g<1>" + str(port), text)
    check(count == 1, "the program settings name the server's port")
    text = re.sub(r"(gridmoor = \{[^}]*?server = )\"[^\"]*\"", r'\1"127.0.0.1"', text)
    with open(path, "w") as f:
        f.write(text)


def session_log(client):
    path = os.path.join(client.folder, "logs", "Gridmoor Log.log")
    if not os.path.exists(path):
        return ""
    with open(path, errors="replace") as f:
        return f.read()


def mark(client):
    """Where the session log ends now: waits given it see only what comes later."""
    return len(session_log(client))


def wait_log(client, pattern, timeout, what, after=0):
    """The first line matching pattern past the mark after (0: the whole log)."""
    return wait_until(lambda: re.search(pattern, session_log(client)[after:]), timeout, what)


def start_client(build, name, user, location):
    client = harness.Client(build, "online-search-" + name, debug=True, user=user,
                            defaults=(("location", location),))
    return client


def launchpad_link(client, row):
    """The screen point of the launchpad's link number row (0 first): the
    right column's lines of link-coloured text, top to bottom."""
    shot = harness.Picture(client.screenshot("start-page", client.frame))
    width = shot.width

    def link_pixels(y):
        xs = []
        for x in range(width // 2, width):
            i = (y * width + x) * 3
            r, g, b = shot.pixels[i], shot.pixels[i + 1], shot.pixels[i + 2]
            if b > r + 40 and b > g + 20:
                xs.append(x)
        return xs
    lines, current = [], None
    for y in range(shot.height):
        xs = link_pixels(y)
        if len(xs) > 15:
            if current and y - current[1] <= 2:
                current[1] = y
                current[2] = min(current[2], xs[0])
            else:
                current = [y, y, xs[0]]
                lines.append(current)
    check(len(lines) > row, f"the launchpad shows its links: {lines}")
    top, bottom, left = lines[row]
    x0, y0, _, _ = client.geometry(client.frame)
    return x0 + left + 12, y0 + (top + bottom) // 2


def red_area(path):
    picture = harness.Picture(path)
    count = 0
    for i in range(0, len(picture.pixels), 3 * 3):
        r, g, b = picture.pixels[i], picture.pixels[i + 1], picture.pixels[i + 2]
        if r > 230 and g < 40 and b < 40:
            count += 1
    return count


def selected_area(path):
    """Pixels in the toolkit's colour of selected text (a strong blue)."""
    picture = harness.Picture(path)
    count = 0
    for i in range(0, len(picture.pixels), 3):
        r, g, b = picture.pixels[i], picture.pixels[i + 1], picture.pixels[i + 2]
        if b > 150 and b > r + 60 and b > g + 30:
            count += 1
    return count


def log_takes_keys(client, dialog):
    """The session's log window, beside the open search, selects its text on Ctrl+A."""
    log = client.wait_window("^Gridmoor Log$", 10, besides=(client.frame, dialog))
    # Clear of the dialog, which stands over the middle of the frame.
    client.xdotool("windowmove", "--sync", log, 960, 800, check_ok=False)
    x, y, width, height = client.geometry(log)
    before = selected_area(client.screenshot("log-beside-search", log))
    client.click(x + width // 2, y + height // 2)
    client.key("ctrl+a", window=log)
    wait_until(lambda: selected_area(client.screenshot("log-selected", log)) > before + 300, 10,
               "the log window to select its text while the search is open")


def search_dialog(client):
    return client.wait_window("^Find An Opponent Online$", 20, besides=(client.frame,))


def steps(build, a, b, port):
    harness.PROFILE_NAME = "Anna & Co"
    a.start()
    harness.PROFILE_NAME = "Bruno"
    b.start()

    # Anna by the menu, Bruno by the start page's link: both reach the search.
    a.menu("g", "p")
    dialog_a = search_dialog(a)
    wait_log(a, r"pktLoggedInOK", 20, "Anna to log in")
    log_takes_keys(a, dialog_a)
    x, y = launchpad_link(b, 1)  # "Play online"
    b.click(x, y)
    dialog_b = search_dialog(b)
    wait_log(b, r"pktLoggedInOK", 20, "Bruno to log in")
    found_page = a.screenshot("logged-in", dialog_a)

    seen_a, seen_b = len(a.prompts()), len(b.prompts())
    a.key("alt+f", window=dialog_a)
    wait_log(a, r"pktSearching", 20, "Anna's search to be taken")
    b.key("alt+f", window=dialog_b)

    # Matched: each has the other's profile, kept after a Yes and shown on the page.
    wait_log(a, r"ChPacket chpktProfile", 30, "Bruno's profile at Anna's")
    wait_log(b, r"ChPacket chpktProfile", 30, "Anna's profile at Bruno's")
    network.keep_profile(a, seen_a)
    network.keep_profile(b, seen_b)
    shown = wait_until(lambda: harness.differs(found_page, a.screenshot("opponent", dialog_a)) > 2000 and
                       a.screenshot("opponent", dialog_a), 10, "Anna's page to show her opponent")
    check(red_area(shown) < 50, "the opponent's location shows as text, not as markup")
    picture = os.path.join(a.folder, "opponent.bmp")
    check(os.path.exists(picture) and open(picture, "rb").read(2) == b"BM", "the opponent's picture is written for the page")

    # The countdown ends in the same game on both sides.
    agreed_a = wait_log(a, r"Game agreed with \d+: playing (\w+), (\w+), clock (\d+) s", 40, "Anna's game")
    agreed_b = wait_log(b, r"Game agreed with \d+: playing (\w+), (\w+), clock (\d+) s", 40, "Bruno's game")
    check({agreed_a.group(1), agreed_b.group(1)} == {"white", "black"},
          f"opposite colours: {agreed_a.group(0)} / {agreed_b.group(0)}")
    check(agreed_a.group(2, 3) == agreed_b.group(2, 3) == ("timed", "900"),
          f"the same clock: {agreed_a.group(0)} / {agreed_b.group(0)}")

    # Each keeps the other's profile.
    for client, other in ((a, "Bruno"), (b, "Anna &amp; Co")):
        user = client.user
        folder = os.path.join(client.folder, "users", user, "opponents")
        stored = wait_until(lambda: [n for n in os.listdir(folder) if n.endswith(".cfg")] if os.path.isdir(folder)
                            else None, 10, user + "'s stored opponent")
        check(len(stored) == 1, f"{user} stored one opponent: {stored}")
        with open(os.path.join(folder, stored[0]), errors="replace") as f:
            text = f.read()
        check(other.replace("&amp;", "&") in text, f"{user} stored {other}: {text}")
        check(os.path.exists(os.path.join(folder, stored[0][:-4] + ".bmp")), f"{user} stored a picture")

    # The search ends in the online game; where this build has none to play,
    # the client says so and the search stays open.
    for client, dialog in ((a, dialog_a), (b, dialog_b)):
        def settled():
            told = [r for r in client.prompts() if r[1] == "Play Online"]
            return "told" if told else ("gone" if dialog not in client.windows() else None)
        if wait_until(settled, 15, "the game or the word that there is none") == "told":
            client.answer("Play Online")

    # The server goes: the session ends, the open search says so, the client goes on.
    shots = {client: client.screenshot("before-server-gone", dialog)
             for client, dialog in ((a, dialog_a), (b, dialog_b)) if dialog in client.windows()}
    server = steps.server
    server.send_signal(signal.SIGTERM)
    server.wait(15)
    wait_log(a, r"Disconnected", 20, "Anna's session to end")
    wait_log(b, r"Disconnected", 20, "Bruno's session to end")
    for client, dialog in ((a, dialog_a), (b, dialog_b)):
        if client in shots:
            wait_until(lambda: harness.differs(shots[client], client.screenshot("server-gone", dialog)) > 500, 10,
                       "the search to show that the server went")
    for client, dialog in ((a, dialog_a), (b, dialog_b)):
        if dialog in client.windows():
            client.key("alt+c", window=dialog)
            client.wait_gone(dialog, 15)
    for client, dialog in ((a, dialog_a), (b, dialog_b)):
        if client not in shots:
            # The game in play says that its connection is gone.
            client.wait_prompt(caption="Disconnected", timeout=20)
            client.answer("Disconnected")
    for client in (a, b):
        for notice in client.windows("^Disconnected from Server$"):
            client.key("Return", window=notice)
        # Options, Gridmoor Preferences still opens and closes.
        client.menu("o", "g")
        preferences = client.wait_window("^Gridmoor Preferences$", 15, besides=(client.frame,))
        client.key("alt+c", window=preferences)
        client.wait_gone(preferences, 15)
        client.menu("g", "x")
        check(client.wait_exit() == 0, "the client ends cleanly")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build")
    started = time.monotonic()
    clients = []
    server = None
    try:
        port = free_port()
        a = start_client(build, "anna", "anna", '"Chile"')
        clients.append(a)
        a.user = "anna"
        b = start_client(build, "bruno", "bruno", RED_BLOCK)
        clients.append(b)
        b.user = "bruno"
        for client in clients:
            point_at_server(client, port)
        server = start_server(build, port, a.artifacts)
        steps.server = server
        steps(build, a, b, port)
    except Exception as error:
        for client in clients:
            try:
                client.screenshot("failure")
                print(client.session, "prompts:", client.prompts(), file=sys.stderr)
                print(client.session, "log:", session_log(client)[-3000:], file=sys.stderr)
            except Exception:
                pass
        traceback.print_exc()
        print(f"online-search: FAILED ({error})")
        return 1
    finally:
        for client in clients:
            client.close()
        if server is not None and server.poll() is None:
            server.kill()
            server.wait()
    print(f"online-search: passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
