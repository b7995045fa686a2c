"""Timing a move from the drop on one board to the other client having
played it, for the benchmarks: the moment is read from the receiving
client's console log (logs/"Rookwell - Console.log", written line by line
with the program setting Debug on), where the move's SAN line follows the
board's move, its animation included. The log is polled every millisecond
and the clock starts before the mouse-up is sent, so a figure is an upper
bound within a few milliseconds."""

import os
import time

import harness

CONSOLE_LOG = os.path.join("logs", "Rookwell - Console.log")


def drop(client, board, move):
    """Drags the piece of move ({"from", "to"}); the moment just before the button comes up."""
    x1, y1 = board.centre(move["from"])
    x2, y2 = board.centre(move["to"])
    client.move(x1, y1)
    client.xdotool("mousedown", 1)
    time.sleep(0.05)
    for i in range(1, 7):
        client.move(x1 + (x2 - x1) * i // 6, y1 + (y2 - y1) * i // 6)
    dropped = time.monotonic()
    client.xdotool("mouseup", 1)
    return dropped


class ConsoleLog:
    """The SAN lines a client's console log gains from the moment it is made."""

    def __init__(self, client):
        self.path = os.path.join(client.folder, CONSOLE_LOG)
        self.offset = self.size()

    def size(self):
        try:
            return os.stat(self.path).st_size
        except OSError:
            return 0

    def wait(self, san, timeout=10):
        """The moment the log first held san as a line of its own."""
        wanted = san.rstrip("+#")
        end = time.monotonic() + timeout
        seen = self.offset
        while time.monotonic() < end:
            size = self.size()
            if size != seen:
                moment = time.monotonic()
                seen = size
                with open(self.path, "rb") as f:
                    f.seek(self.offset)
                    text = f.read().decode("utf-8", "replace")
                complete = text[:text.rfind("\n") + 1]
                if any(line.strip().rstrip("+#") == wanted for line in complete.splitlines()):
                    self.offset += len(complete.encode("utf-8"))
                    return moment
            time.sleep(0.001)
        raise harness.Failure(f"{self.path} never showed {san}")


def console_text(client):
    """This run's console log (each start begins it afresh; Debug on)."""
    try:
        with open(os.path.join(client.folder, CONSOLE_LOG), errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def consoles_aside(client):
    """The console windows (shown with Debug on) moved off the frame."""
    for number, window in enumerate(client.windows("Console$|Gridmoor Log$")):
        client.xdotool("windowmove", window, 960, number * 300, check_ok=False)


def sans(moves):
    """chess.js's SAN of each move of a game in coordinate form."""
    history, names = [], []
    for text in moves:
        legal = harness.Oracle.position(history)["moves"]
        names.append(next(m["san"] for m in legal if m["from"] + m["to"] + m["promotion"] == text))
        history.append(text)
    return names
