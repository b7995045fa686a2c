"""Playing by e-mail with two real clients: each has its own program folder,
display and user, and a mail command that drops every mail into the other
player's inbox (tests/e2e/mail_inbox.py). Turns go out through the turn
window's Send and come in through Game, Open RWF."""

import os
import re
import shutil
import subprocess
import tempfile
import time

import harness
from harness import Failure, Oracle, check, occupied_squares, wait_until
from mail_inbox import wait_mail

TURN_WINDOW = "^Send Email - Rookwell$|^Rookwell - Send Email"
# Where turn windows are put, off the board of a frame at 40, 40, 900 x 680.
TURN_PLACE = (40, 740)


class Player:
    """One client with its user, address, inbox and board."""

    def __init__(self, build, session, user, address):
        self.user = user
        self.address = address
        self.client = harness.Client(build, session, user=user, window=(40, 40, 900, 680),
                                     defaults=[("ShowLegalMoves", "no"), ("ShowLastMove", "no"),
                                               ("email", f'"{address}"')])
        self.inbox = os.path.join(self.client.base, "inbox")
        self.board = None
        self.empty = None
        self.read = 0

    def deliver_to(self, other):
        """Mails of this client go to the other's inbox."""
        c = self.client
        mailer = os.path.join(harness.HERE, "mail_inbox.py")
        harness.Client._edit(os.path.join(c.folder, "cfg/app.cfg"),
                             lambda t: re.sub(r'(?m)^(\s*command\s*=\s*)"xdg-email"', r'\1"' + mailer + '"', t))
        c.env["ROOKWELL_MAILBOX"] = other.inbox

    def see_board(self, flipped=False):
        c = self.client
        self.board = c.board()
        self.board.flipped = flipped
        away(self)
        self.empty = self.board.empty(c.settle("board"), c.artifacts)

    def opponents(self):
        folder = os.path.join(self.client.folder, "users", self.user, "opponents")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def played(self):
        folder = os.path.join(self.client.folder, "users", self.user, "played games")
        return sorted(n for n in os.listdir(folder) if n.lower().endswith(".pgn")) if os.path.isdir(folder) else []


def away(p):
    b = p.board
    p.client.move(b.x + b.width + 40, b.y + 40)


def turn_window(p, timeout=15):
    """The turn window, moved off the board."""
    c = p.client
    window = c.wait_window(TURN_WINDOW, timeout, besides=(c.frame,))
    c.xdotool("windowmove", "--sync", window, *TURN_PLACE, check_ok=False)
    return window


def clear_board(p):
    """Moves every turn window off the board."""
    c = p.client
    for window in c.windows(TURN_WINDOW):
        if window != c.frame and c.geometry(window)[:2] != TURN_PLACE:
            c.xdotool("windowmove", "--sync", window, *TURN_PLACE, check_ok=False)


def shows(p, history, name):
    """Waits until the board shows the position after history (chess.js's)."""
    expected = occupied_squares(Oracle.position(history)["fen"])

    def board_clear():
        try:
            clear_board(p)
            return True
        except (Failure, KeyError):
            # A turn window that went while it was moved: the next look
            # finds the new one.
            return False
    harness.wait_occupied(p.client, p.board, p.empty, expected, name, 25, prepare=board_clear)


def drag(p, history, san, check_board=False):
    """Plays san (checked legal by chess.js) on the board with the mouse; the
    other side checks the board when the turn arrives."""
    position = Oracle.position(history)
    moves = [m for m in position["moves"] if m["san"] == san]
    check(moves, f"{san} is legal after {history}")
    m = moves[0]
    p.client.drag(*p.board.centre(m["from"]), *p.board.centre(m["to"]))
    away(p)
    history.append(m["from"] + m["to"] + m.get("promotion", ""))
    if check_board:
        shows(p, history, "moved-" + san)
    return m


def choose_email(p):
    """Send in the turn window, Email in the choice; the count of prompts before."""
    c = p.client
    window = c.take_keyboard(turn_window(p))
    seen = len(c.prompts())
    c.key("alt+s", window=window)
    choice = c.wait_dialog(r"^Send or Save\?$", 15, besides=(c.frame, window))
    c.key("alt+e", window=choice)
    return seen


def send(p):
    """Sends the turn by e-mail; the turn is in the other inbox."""
    c = p.client
    seen = choose_email(p)
    c.wait_prompt(caption="Send mail successful", after=seen, timeout=30)
    c.answer("Send mail successful")


def take_mail(p, other):
    """The next mail in p's inbox: its attachment's path and the mail."""
    p.read += 1
    mail = wait_mail(p.inbox, p.read, timeout=30 * harness.SLOWDOWN)
    check(mail["to"] == [p.address], f"the mail is addressed to {p.address}: {mail['to']}")
    check(len(mail["kept"]) == 1 and mail["kept"][0].endswith(".rwf"), f"one turn file attached: {mail['kept']}")
    # Saved where the file chooser is quick to reach.
    path = os.path.join(p.client.base, f"t{p.read}.rwf")
    shutil.copyfile(os.path.join(mail["folder"], mail["kept"][0]), path)
    return path, mail


def open_turn(p, path):
    """Game, Open RWF, and the file; the index of the prompts past the chooser."""
    c = p.client
    seen = len(c.prompts())
    c.menu("g", "r")
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file", f"a file is asked for: {record}")
    c.choose_file(record[1], path)
    return index + 1


def answer(p, caption, after, key="Return", contains=None):
    c = p.client
    index, record = c.wait_prompt(caption=caption, contains=contains, after=after, timeout=20)
    c.answer(caption, key)
    return index + 1


def offer_draw(p):
    """Actions, Offer Draw, Yes: ticked in the turn window, sent with the turn."""
    c = p.client
    seen = len(c.prompts())
    c.menu("a", "d")
    answer(p, "Offer Draw", seen, "alt+y", contains="Are you sure?")


def close_game_over(p):
    c = p.client
    over = c.wait_dialog("^Game Over$", 15)
    c.key("Return", window=over)
    c.wait_gone(over)


def result_of_last_game(p, before):
    """The Result tag of the PGN kept for the game that ended after before."""
    new = wait_until(lambda: [n for n in p.played() if n not in before], 15, f"{p.user}'s played game")
    path = os.path.join(p.client.folder, "users", p.user, "played games", new[0])
    return harness.pgn_game(path, 0)


def run_two(session, steps):
    """Runs steps(a, b) with two players; exit status 0 when it passed."""
    import sys
    import traceback
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build")
    started = time.monotonic()
    players = []
    try:
        a = Player(build, session + "-a", "alice", "alice@example.org")
        players.append(a)
        b = Player(build, session + "-b", "bob", "bob@example.org")
        players.append(b)
        a.deliver_to(b)
        b.deliver_to(a)
        steps(a, b)
    except Exception as error:
        for p in players:
            try:
                p.client.screenshot("failure")
            except Exception:
                pass
            print(p.user, "prompts:", p.client.prompts(), file=sys.stderr)
        traceback.print_exc()
        print(f"{session}: FAILED ({error})")
        return 1
    finally:
        for p in players:
            p.client.close()
    print(f"{session}: passed in {time.monotonic() - started:.1f} s")
    return 0


def main(session, steps):
    """The exit status of run_two, after checking chess.js is there."""
    if not Oracle.available():
        print("chess.js is not in build/oracle: run scripts/install-deps")
        return 1
    return run_two(session, steps)


def open_game(a, b, history, san):
    """Alice's client starts a game against Bob's address and sends san."""
    a.client.start()
    a.client.key("F2")
    start_email_game(a, "Bob", b.address)
    a.see_board()
    turn_window(a)
    drag(a, history, san)
    send(a)


def quit_all(*players):
    """Game, Exit in every client; each must end cleanly."""
    for p in players:
        p.client.menu("g", "x")
        check(p.client.wait_exit() == 0, f"{p.user}'s client ends cleanly")


def start_without_mail_program(p):
    """p's client starts with a mail program that is not there, on the board view."""
    c = p.client
    harness.Client._edit(os.path.join(c.folder, "cfg/app.cfg"),
                         lambda t: re.sub(r'(?m)^(\s*command\s*=\s*)"[^"]*"', r'\1"/nonexistent/mail-program"', t))
    c.start()
    c.key("F2")
    c.board()


def save_without_mail_program(p, path):
    """Send, Email: no mail program; Yes to saving instead, and the path."""
    c = p.client
    seen = choose_email(p)
    seen = answer(p, "Send Mail", seen, contains="Couldn't find your default mail application!")
    seen = answer(p, "Send Mail", seen, "alt+y", contains="save the turn file instead")
    index, record = c.wait_prompt(after=seen)
    check(record[0] == "file" and record[3] is None, f"a place for the turn is asked: {record}")
    c.choose_file(record[1], path)
    harness.wait_until(lambda: os.path.exists(path), 10, "the saved turn")
    c.wait_window(r"^Rookwell - Send Email \(Saved\)$", 10, besides=(c.frame,))


def start_email_game(p, name, address):
    """Game, Start Email Game: the opponent's name and address, White, OK."""
    c = p.client
    c.menu("g", "e")
    dialog = c.wait_dialog("^Email Game$", 15)
    c.type(name, window=dialog)
    c.key("Tab", window=dialog)
    c.type(address, window=dialog)
    c.key("alt+o", window=dialog)
    c.wait_gone(dialog)


def your_opponents(p):
    """Options, Opponents (the mnemonic is shared: it selects, Return opens),
    a picture of the dialog, OK."""
    c = p.client
    c.menu("o", "o")
    c.xdotool("key", "Return")
    dialog = c.wait_dialog("^Your Opponents$", 15)
    c.screenshot(f"{p.user}-opponents", dialog)
    c.key("alt+o", window=dialog)
    c.wait_gone(dialog)


# Turn files made by hand, as another client (or someone pretending to be
# one) would write them.

def quote(value):
    return '"' + re.sub(r'(["\\|])', r"\\\1", str(value)) + '"'


def frame(name, keys, depth):
    """One frame of the settings text: name=, {, its keys, }."""
    tabs = "\t" * depth
    lines = [f"{tabs}{name}=", tabs + "{"]
    for key, value in keys:
        if isinstance(value, list):
            lines += frame(key, value, depth + 1)
        else:
            lines.append(f"{tabs}\t{key}= {quote(value)}")
    lines.append(tabs + "}")
    return lines


def move_cfg(white, black, moves, move, sender, game_keys=(), resign="no", offerdraw="no"):
    """move.cfg of a turn: white and black are (id, name) of each side, sender
    the turn's own id."""
    game = [("game", [("type", "EmailGame")] + list(game_keys)),
            ("White", [("ID", white[0]), ("name", white[1]), ("type", "CEmailPlayer")]),
            ("Black", [("ID", black[0]), ("name", black[1]), ("type", "CLocalPlayer")])]
    if moves:
        game.append(("Moves", [("#%d" % i, [("Move", m), ("Time", "1000")]) for i, m in enumerate(moves)]))
    lines = ["; auto-generated"]
    for key, value in (("move", move), ("offerdraw", offerdraw), ("resign", resign), ("from", "bob@example.org"),
                       ("id", sender)):
        lines.append(f"{key}= {quote(value)}")
    lines += frame("game", game, 0)
    # Numbered frames are written bare: "=" then "{".
    lines = [re.sub(r"^(\t*)#\d+=$", r"\1=", line) for line in lines]
    return "\r\n".join(lines) + "\r\n"


def pack_turn(client, name, cfg, message=""):
    """The turn file name in the client's base folder, holding cfg as its
    move.cfg; its path."""
    tool = os.path.join(client.build, "foundation", "tools", "rwpack")
    work = tempfile.mkdtemp(prefix="turn-", dir=client.base)
    os.makedirs(os.path.join(work, "contents"))
    with open(os.path.join(work, "contents.cfg"), "w", newline="") as f:
        f.write('contents=\r\n{\r\n\tmajor= "Rookwell"\r\n\tminor= "Email"\r\n}\r\n'
                'description= "A move sent by email"\r\n')
    with open(os.path.join(work, "contents", "move.cfg"), "w", newline="") as f:
        f.write(cfg)
    with open(os.path.join(work, "contents", "message.txt"), "w") as f:
        f.write(message)
    path = os.path.join(client.base, name)
    subprocess.run([tool, "pack", "-n", "email", path, work], check=True, stdout=subprocess.DEVNULL)
    return path


def copies(p):
    """The user's copies of e-mail games: file name -> text."""
    folder = os.path.join(p.client.folder, "users", p.user, "active games")
    names = sorted(n for n in os.listdir(folder) if re.fullmatch(r"email \w+\.rwg", n)) if os.path.isdir(folder) else []
    out = {}
    for n in names:
        with open(os.path.join(folder, n), encoding="utf-8", errors="replace") as f:
            out[n] = f.read()
    return out


def wait_copies(p, ready, timeout, what):
    """The user's copies once ready(copies) holds. A copy is written when the
    user moves and again when the turn leaves: a check reads the state it
    needs, never the first version of the file."""
    last = [{}]

    def state():
        last[0] = copies(p)
        return last[0] if ready(last[0]) else None
    try:
        return wait_until(state, timeout, what)
    except Failure:
        raise Failure(f"timed out waiting for {what}; the copies: {last[0]}")


def copy_value(text, key):
    """The value of key= in a copy's text (the first such line), or None."""
    m = re.search(r'(?m)^\s*' + re.escape(key) + r'=\s*"?([^"\r\n]*)"?\s*$', text)
    return m.group(1) if m else None
