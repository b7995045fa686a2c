#!/usr/bin/env python3
"""The requests of an online game between two real clients through the
stand-in server: a take-back is allowed and both boards go back; a draw
offer is declined, then accepted, and both games end; from the Game Over
window a new game is proposed and accepted, and the two boards show
opposite colours, which the first move confirms; then a resignation ends
that game on both sides."""

import re
import sys

import harness
from harness import check, wait_until
import session_online_game as game
import session_online_search as online

OPENING = ["e2e4", "e7e5"]

# Popups of the online game: messages that close themselves, and the windows
# left over from one step that would lie over the board in the next.
POPUP_TITLES = ("Opponent's Response", "Offer Draw", "Request Take-back", "Request Sent", "New Game", "Resign",
                "Game Over", "Gridmoor Options", "Time Up", "Opponent Disconnected", "Please Wait")


def popup(client, title, timeout=20):
    return client.wait_window("^" + re.escape(title) + "$", timeout, besides=(client.frame,))


def close_popups(client):
    """Closes every online-game popup still open, so the board is clear."""
    for title in POPUP_TITLES:
        for window in client.windows("^" + re.escape(title) + "$"):
            if window == client.frame:
                continue
            client.key("Return", window=window)
            client.wait_gone(window)


def links(client, window):
    """Screen points of the links in an HTML popup, top to bottom and left to right:
    runs of link-coloured text, split where the text between them is not a link."""
    x0, y0, _, _ = client.geometry(window)
    shot = harness.Picture(client.screenshot("popup", window))
    width = shot.width

    def link_xs(y):
        xs = []
        for x in range(width):
            i = (y * width + x) * 3
            r, g, b = shot.pixels[i], shot.pixels[i + 1], shot.pixels[i + 2]
            if b > r + 80 and b > g + 80:
                xs.append(x)
        return xs
    lines, current = [], None
    for y in range(shot.height):
        xs = link_xs(y)
        if len(xs) > 3:
            if current and y - current[1] <= 2:
                current[1] = y
                current[2].update(xs)
            else:
                current = [y, y, set(xs)]
                lines.append(current)
    found = []
    for top, bottom, xs in lines:
        runs = []
        for x in sorted(xs):
            if runs and x - runs[-1][1] <= 12:
                runs[-1][1] = x
            else:
                runs.append([x, x])
        found.extend((x0 + (a + b) // 2, y0 + (top + bottom) // 2) for a, b in runs)
    return found


def follow(client, title, index, count, gone=True):
    """Clicks link number index (of count) in the popup titled title; waits for it to close
    unless what the link opens holds it; the popup."""
    window = popup(client, title)
    client.focus(window)
    points = wait_until(lambda: (lambda p: p if len(p) == count else None)(links(client, window)), 10,
                        f"the {count} links of {title!r}")
    client.click(*points[index])
    if gone:
        client.wait_gone(window, 15)
    return window


def confirm(client, caption, seen):
    """Says yes to the question caption asked past index seen; the index past it."""
    index, _ = client.wait_prompt(caption=caption, after=seen)
    client.answer(caption, "alt+y")
    return index + 1


def request(client, keys, caption, sent_title):
    """Asks through the Actions menu; while the last request is under ten seconds old
    the game says to wait, and the request is made again once that notice is closed."""
    while True:
        close_popups(client)
        seen = len(client.prompts())
        client.menu("a", keys)
        if caption:
            confirm(client, caption, seen)

        def outcome():
            for title in (sent_title, "Please Wait"):
                found = [w for w in client.windows("^" + re.escape(title) + "$") if w != client.frame]
                if found:
                    return title, found[-1]
            return None
        title, window = wait_until(outcome, 20, f"{client.user}'s request to be sent or held")
        if title == sent_title:
            return
        client.key("Return", window=window)
        client.wait_gone(window)


def challenge(client, minutes):
    """Fills in the Send Challenge dialog for a timed game of minutes and sends it."""
    dialog = client.take_keyboard(popup(client, "Send Challenge"))
    client.key("Tab", window=dialog)
    client.key("ctrl+a", window=dialog)
    client.type(minutes, window=dialog)
    client.key("alt+s", window=dialog)
    client.wait_gone(dialog)


def wait_packet(client, name, before):
    wait_until(lambda: game.count(client, r"ChPacket " + name + r"\b") > before, 20,
               f"{client.user} to receive {name}")


def white_at_bottom(client, board):
    """Whether the board shows White at the bottom: a1's rook lighter than h8's as drawn unflipped."""
    picture = game.board_still(client, board)

    def brightness(square):
        flipped, board.flipped = board.flipped, False
        x, y, w, h = board.crop_box(square, inset=0.1)
        board.flipped = flipped
        total, count = 0, 0
        for row in range(y, y + h):
            start, end = (row * picture.width + x) * 3, (row * picture.width + x + w) * 3
            total += sum(picture.pixels[start:end])
            count += end - start
        return total / count
    return brightness("a1") > brightness("h8") + 10


def new_game_sides(a, b, clock, marks):
    """The colours both sides agreed for the new game, as (white, black): opposite,
    on the same clock, each board turned for its own colour. marks: each client's
    session log mark from before the game was proposed."""
    sides = {}
    for client in (a, b):
        found = online.wait_log(client, r"New game: playing (\w+), (\w+), clock (\d+) s", 20,
                                client.user + "'s new game", after=marks[client])
        check(found.group(2, 3) == ("timed", str(clock)), f"{client.user}'s clock: {found.group(0)}")
        sides[client] = found.group(1)
    check(sorted(sides.values()) == ["black", "white"], f"opposite colours: {sides}")
    for client in (a, b):
        close_popups(client)
    white = a if sides[a] == "white" else b
    black = b if white is a else a
    board = game.boards(white, black)
    for client in (white, black):
        wait_until(lambda: white_at_bottom(client, board[client]) == (client is white), 20,
                   f"{client.user}'s board turned for {sides[client]}")
    return white, black


def start_position(white, black):
    for client in (white, black):
        close_popups(client)
    game.wait_start_position(white, black)


def steps(a, b):
    white, black = game.reach_game(a, b)
    for client in (a, b):
        online.wait_log(client, r"ChPacket chpktResume", 20, client.user + "'s game to resume")
    start_position(white, black)
    history = game.play_moves(white, black)
    check(history == OPENING, f"the opening was played: {history}")

    # White asks to take both moves back; Black allows it; both boards are back at the start.
    answers = game.count(white, r"ChPacket chpktTakeback")
    request(white, "t", None, "Request Take-back")
    follow(black, "Take-back Requested", 0, 2)
    wait_packet(white, "chpktTakeback", answers)
    popup(white, "Opponent's Response")
    start_position(white, black)
    history = game.play_moves(white, black)

    # Black offers a draw: declined, then accepted.
    answers = game.count(black, r"ChPacket chpktDraw")
    request(black, "d", "Offer Draw", "Offer Draw")
    follow(white, "Draw Offer", 1, 2)
    wait_packet(black, "chpktDraw", answers)
    popup(black, "Opponent's Response")
    answers = game.count(black, r"ChPacket chpktDraw")
    request(black, "d", "Offer Draw", "Offer Draw")
    follow(white, "Draw Offer", 0, 2)
    wait_packet(black, "chpktDraw", answers)
    for client in (white, black):
        popup(client, "Gridmoor Options")

    # White proposes another five-minute game from the Game Over window; Black plays.
    for client in (white, black):
        for title in POPUP_TITLES:
            if title != "Gridmoor Options":
                for window in client.windows("^" + re.escape(title) + "$"):
                    if window != client.frame:
                        client.key("Return", window=window)
                        client.wait_gone(window)
    marks = {client: online.mark(client) for client in (white, black)}
    options = follow(white, "Gridmoor Options", 0, 4, gone=False)
    challenge(white, "5")
    white.wait_gone(options)
    popup(white, "Request Sent")
    proposals = game.count(black, r"ChPacket chpktGameProposal")
    check(proposals >= 1, "Black got the proposal")
    follow(black, "New Game Propsal", 0, 2)
    wait_packet(white, "chpktBeginGame", 0)
    popup(white, "Opponent's Response")
    popup(black, "New Game")

    # The colours the two agreed show on the boards, and White's move goes to Black.
    white, black = new_game_sides(white, black, 300, marks)
    start_position(white, black)
    history = game.play_moves(white, black)
    check(history == OPENING, f"the new game's opening was played: {history}")

    # Black resigns: White wins; both games are over.
    resigns = game.count(white, r"ChPacket chpktResign")
    # The resigning side's game is over at once: what next is asked.
    request(black, "r", "Resign", "Gridmoor Options")
    wait_packet(white, "chpktResign", resigns)
    popup(white, "Game Over")
    popup(white, "Gridmoor Options")
    for client in (white, black):
        check(game.count(client, r"Refused") == 0, client.user + " refused nothing: " + online.session_log(client))


def run(name, session_steps):
    return game.run(name, session_steps, moves=OPENING)


if __name__ == "__main__":
    sys.exit(run("online-requests", steps))
