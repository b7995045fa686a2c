"""Scripted sessions of the real client.

Each session copies the assembled program folder into a fresh temporary
folder, starts a private X server and the real `tavrin` as a separate
process, and drives it only through the X server's input (XTEST through
xdotool): keys, menu mnemonics, mouse clicks and drags. What the client
says in its message boxes is read from the prompt log it writes when
ROOKWELL_PROMPT_LOG is set; pictures are taken with ImageMagick's import.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
TESTDATA = os.path.join(os.path.dirname(SOURCE), "shared", "testdata")
REFERENCE = os.path.join(HERE, "reference")


# The name a new user of the sessions gives in the profile dialog.
PROFILE_NAME = "Test Player"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(done, timeout, what, step=0.05):
    """Polls done() until it gives a true value; fails naming what after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = done()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(step)


class Display:
    """A private Xvfb with GLX, found through -displayfd."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "+extension", "GLX", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        check(number.strip(), "Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Client:
    """One session: a program folder, an X server and the client process."""

    def __init__(self, build, session, audio="dummy", debug=False, user=None, defaults=(), window=None,
                 folder="program folder", home="home", locale="C.UTF-8"):
        self.build = os.path.abspath(build)
        self.session = session
        self.artifacts = os.path.join(self.build, "e2e-artifacts", session)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.base = tempfile.mkdtemp(prefix="rookwell-e2e-")
        # A space in the path, as a real installation may have (folder may
        # name more: letters that are no ASCII, a folder below another).
        self.folder = os.path.join(self.base, folder)
        program = os.path.join(self.build, "program")
        check(os.access(os.path.join(program, "tavrin"), os.X_OK), program + "/tavrin is not built")
        shutil.copytree(program, self.folder, symlinks=True,
                        ignore=shutil.ignore_patterns("users", "logs", "live content"))
        self.home = os.path.join(self.base, home)
        self.bin = os.path.join(self.base, "bin")
        os.makedirs(self.home)
        os.makedirs(self.bin)
        self.opened = os.path.join(self.base, "opened")
        self.prompt_log = os.path.join(self.base, "prompts.log")
        self.audio_file = os.path.join(self.base, "audio.raw")
        # No update checks: they would reach for the network.
        self._edit(os.path.join(self.folder, "assets/cfg/defaultuser.cfg"),
                   lambda t: re.sub(r"(?m)^(\s*)(app|browser) = yes", r"\1\2 = no", t))
        # Settings of a new user: (key, value) pairs of the defaults file.
        for key, value in defaults:
            self._edit(os.path.join(self.folder, "assets/cfg/defaultuser.cfg"),
                       lambda t: re.sub(r"(?m)^(\s*" + re.escape(key) + r"\s*=).*$", r"\1 " + value, t))
        if window:
            # Where a new user's frame opens: x, y, width, height.
            block = "\twindow = {\n" + "".join(f"\t\t{k} = {v}\n" for k, v in zip(("x", "y", "width", "height"), window)) + "\t}\n"
            self._edit(os.path.join(self.folder, "assets/cfg/defaultuser.cfg"),
                       lambda t: t.replace("Preferences = {\n", "Preferences = {\n" + block, 1))
        extra = []
        if debug:
            self._edit(os.path.join(self.folder, "cfg/app.cfg"),
                       lambda t: t.replace("Debug = no", "Debug = yes"))
        if user:
            extra.append(f"setuser = {user}")
        if extra:
            with open(os.path.join(self.folder, "cfg/app.cfg"), "a") as f:
                f.write("\n" + "\n".join(extra) + "\n")
        # Web pages and mails are recorded instead of opened.
        for tool in ("xdg-open", "xdg-email"):
            path = os.path.join(self.bin, tool)
            with open(path, "w") as f:
                f.write(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{self.opened}'\n")
            os.chmod(path, 0o755)
        self.display = Display()
        self.env = dict(os.environ)
        for key in ("WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(key, None)
        self.env.update({
            "DISPLAY": self.display.name,
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local/share"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_RUNTIME_DIR": self.base,
            "PATH": self.bin + ":/usr/games:/usr/bin:/bin",
            "GDK_BACKEND": "x11",
            "NO_AT_BRIDGE": "1",
            "GTK_THEME": "Adwaita",
            "LANG": locale,
            "LC_ALL": locale,
            "SDL_AUDIODRIVER": audio,
            "SDL_DISKAUDIOFILE": self.audio_file,
            "SDL_DISKAUDIODELAY": "10",
            "ROOKWELL_PROMPT_LOG": self.prompt_log,
        })
        self.process = None
        self.frame = None
        self.runs = 0
        self.shots = 0

    @staticmethod
    def _edit(path, change):
        with open(path) as f:
            text = f.read()
        with open(path, "w") as f:
            f.write(change(text))

    # ------------------------------------------------------------ process

    def start(self, *arguments, wait_frame=True, close_splash=True):
        self.runs += 1
        out = open(os.path.join(self.artifacts, f"tavrin-{self.runs}.log"), "w")
        self.process = subprocess.Popen([os.path.join(self.folder, "tavrin"), *arguments],
                                        cwd=self.base, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        out.close()
        if wait_frame:
            # A new user is asked for a profile before the frame comes: a name and OK.
            first = wait_until(lambda: self.windows(r"^(Rookwell|Rookwell - User Profile.*)$"), 30, "the client")
            if any(self.window_name(w).startswith("Rookwell - User Profile") for w in first):
                dialog = profile_dialog(self)
                self.type(PROFILE_NAME, window=dialog)
                self.key("alt+o", window=dialog)
                self.wait_gone(dialog)
            self.frame = self.wait_window("^Rookwell$", 30)
            # The start-up yields for a second before it finishes, then
            # (without files to open) shows the title splash.
            time.sleep(1.5)
            if close_splash and not arguments:
                self.close_splash()
        return self.process

    def splash(self, timeout=3):
        try:
            return self.wait_window("^Splash Window$", timeout)
        except Failure:
            return None

    def close_splash(self, timeout=3):
        """Clicks the title splash away, when one comes."""
        window = self.splash(timeout)
        if window:
            x, y, width, height = self.geometry(window)
            self.click(x + width // 2, y + height // 2)
            self.wait_gone(window)
        return window

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the client did not end")

    def kill(self):
        if self.running():
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()

    def close(self):
        self.kill()
        self.display.close()
        shutil.rmtree(self.base, ignore_errors=True)

    # ------------------------------------------------------------ windows

    def xdotool(self, *arguments, check_ok=True):
        result = subprocess.run(["xdotool", *map(str, arguments)], env=self.env, capture_output=True, text=True)
        if check_ok and result.returncode != 0 and result.stderr.strip():
            raise Failure("xdotool " + " ".join(map(str, arguments)) + ": " + result.stderr.strip())
        return result.stdout

    def windows(self, name="."):
        """Viewable windows whose name matches, as ids."""
        out = self.xdotool("search", "--onlyvisible", "--name", name, check_ok=False)
        return [int(w) for w in out.split()]

    def window_name(self, window):
        return self.xdotool("getwindowname", window, check_ok=False).strip()

    def wait_window(self, name, timeout=10, besides=()):
        """A viewable window whose name matches and which is not one of besides."""
        def find():
            found = [w for w in self.windows(name) if w not in besides]
            return found[-1] if found else None
        return wait_until(find, timeout, f"a window named {name!r}")

    def wait_gone(self, window, timeout=10):
        wait_until(lambda: window not in self.windows(), timeout, f"window {window} to close")

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window, check_ok=False)

    # ------------------------------------------------------------ input

    def key(self, *keys, window=None, pause=0.25):
        self.focus(window or self.frame)
        for k in keys:
            self.xdotool("key", "--clearmodifiers", k)
            time.sleep(pause)

    def type(self, text, window=None):
        self.focus(window or self.frame)
        self.xdotool("type", "--delay", "20", text)

    def menu(self, *mnemonics):
        """Opens a menu of the frame by its Alt mnemonic and follows item mnemonics."""
        self.key("alt+" + mnemonics[0])
        time.sleep(0.3)
        for m in mnemonics[1:]:
            self.xdotool("key", m)
            time.sleep(0.3)

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def move(self, x, y):
        # xdotool's --sync waits for motion, so a move to where the pointer is already would stall.
        if self.pointer() != (x, y):
            self.xdotool("mousemove", "--sync", x, y)

    def click(self, x, y, button=1):
        self.move(x, y)
        time.sleep(0.1)
        self.xdotool("click", button)
        time.sleep(0.2)

    def drag(self, x1, y1, x2, y2, steps=12):
        self.move(x1, y1)
        time.sleep(0.15)
        self.xdotool("mousedown", 1)
        time.sleep(0.15)
        for i in range(1, steps + 1):
            self.move(x1 + (x2 - x1) * i // steps, y1 + (y2 - y1) * i // steps)
            time.sleep(0.03)
        time.sleep(0.15)
        self.xdotool("mouseup", 1)
        time.sleep(0.3)

    # ------------------------------------------------------------ dialogs

    def prompts(self):
        """What the client has asked so far: (kind, caption, text, answer or None)."""
        if not os.path.exists(self.prompt_log):
            return []
        records = []
        with open(self.prompt_log, errors="replace") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t")
                if parts[0] == "answer" and records:
                    records[-1][3] = parts[1] if len(parts) > 1 else ""
                elif len(parts) >= 3:
                    records.append([parts[0], parts[1], "\t".join(parts[2:]).replace("\\n", "\n"), None])
        return [tuple(r) for r in records]

    def wait_prompt(self, caption=None, contains=None, timeout=15, after=0):
        """The first record past index after that matches; its index and record."""
        def find():
            for i, record in enumerate(self.prompts()):
                if i < after:
                    continue
                if caption is not None and record[1] != caption:
                    continue
                if contains is not None and contains not in record[2]:
                    continue
                return i, record
            return None
        return wait_until(find, timeout, f"a message {caption!r} saying {contains!r}; seen: {self.prompts()}")

    def answered(self, index, timeout=10):
        """The answer given to question index, once the client has written it down."""
        return wait_until(lambda: len(self.prompts()) > index and self.prompts()[index][3], timeout,
                          f"the answer to question {index}")

    def answer(self, caption, key="Return", besides=None):
        """Presses key in the open dialog whose title is caption; waits for it to close."""
        besides = besides if besides is not None else (self.frame,)
        window = self.wait_window("^" + re.escape(caption) + "$", 15, besides=besides)
        time.sleep(0.3)
        self.key(key, window=window)
        self.wait_gone(window)
        return window

    def choose_file(self, caption, path):
        """Types a path into the toolkit's file chooser titled caption and accepts it."""
        window = self.wait_window("^" + re.escape(caption) + "$", 15, besides=(self.frame,))
        time.sleep(0.5)
        self.key("ctrl+l", window=window)
        # A save dialog offers a name with only its stem selected: all of it goes.
        self.key("ctrl+a", window=window)
        self.type(path, window=window)
        time.sleep(0.3)
        self.key("Return", window=window)
        self.wait_gone(window)

    # ------------------------------------------------------------ pictures

    def settle(self, name, timeout=10):
        """A picture of the screen once two pictures in a row are alike (animations done)."""
        previous = Picture(self.screenshot(name))
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            time.sleep(0.3)
            self.shots -= 1
            current = Picture(self.screenshot(name))
            if current.pixels == previous.pixels:
                return current
            previous = current
        return previous

    def screenshot(self, name, window=None):
        """Saves a picture of the screen (or of one window) under the artifacts folder."""
        self.shots += 1
        path = os.path.join(self.artifacts, f"{self.shots:02d}-{name}.png")
        # The toolkit's dialogs come out black when taken by their own window: the screen is cut instead.
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if window is not None:
            x, y, width, height = self.geometry(window)
            subprocess.run(["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", path], check=True)
        return path

    def crop(self, path, x, y, width, height, name):
        out = os.path.join(self.artifacts, name + ".png")
        subprocess.run(["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", out], check=True)
        return out

    def children(self, window):
        """Child windows of window as (id, x, y, width, height), x and y on the screen."""
        out = subprocess.run(["xwininfo", "-tree", "-id", str(window)], env=self.env, capture_output=True,
                             text=True).stdout
        found = []
        for match in re.finditer(r"^\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", out, re.M):
            found.append((int(match.group(1), 16), int(match.group(4)), int(match.group(5)),
                          int(match.group(2)), int(match.group(3))))
        return found

    def board(self, skin="large wood"):
        """Where the squares of the board canvas are on the screen."""
        # The canvas's GL window is made when the board is first shown, after the driver loads.
        canvases = []

        def shown():
            canvases[:] = [w for w in self.children(self.frame) if w[3] > 100 and w[4] > 100]
            return bool(canvases)

        wait_until(shown, 20, "the board canvas is on the screen", step=0.2)
        return Board(max(canvases, key=lambda w: w[3] * w[4]), os.path.join(self.folder, "boards", skin))

    def settings(self, user):
        """The user's settings file as dotted lower-case keys."""
        return read_config(os.path.join(self.folder, "users", user, "user.cfg"))


class Board:
    """The squares of a board skin drawn centred in the canvas at the largest zoom up to 1."""

    def __init__(self, canvas, skin_folder):
        self.image_size = None
        _, self.x, self.y, self.width, self.height = canvas
        info = read_config(os.path.join(skin_folder, "info.cfg"))
        image = os.path.join(skin_folder, "graphics", info.get("board.image", "board.png"))
        size = subprocess.run(["identify", "-format", "%w %h", image], capture_output=True, text=True).stdout
        image_width, image_height = (int(v) for v in size.split()[:2])
        self.image_size = (image_width, image_height)
        self.image_path = image
        border = int(info.get("board.border", "0") or 0)
        left, top = float(info["board.topleft.x"]), float(info["board.topleft.y"])
        right, bottom = float(info["board.bottomright.x"]), float(info["board.bottomright.y"])
        self.zoom = min(1.0, self.width / (image_width + border), self.height / (image_height + border))
        self.square = (right - left) / 8 * self.zoom
        self.centre_x = self.x + self.width // 2
        self.centre_y = self.y + self.height // 2
        self.flipped = False

    def empty(self, like, artifacts):
        """A picture of the skin's bare board where the canvas draws it, the size of the picture like."""
        x, y, w, h = self.image_rect()
        out = os.path.join(artifacts, "bare-board.png")
        subprocess.run(["convert", "-size", f"{like.width}x{like.height}", "xc:black", "(", self.image_path,
                        "-resize", f"{w}x{h}!", ")", "-geometry", f"+{x}+{y}", "-composite", out], check=True)
        return Picture(out)

    def image_rect(self):
        """The board picture's rectangle on the screen: x, y, width, height."""
        width = int(round(self.image_size[0] * self.zoom))
        height = int(round(self.image_size[1] * self.zoom))
        return self.centre_x - width // 2, self.centre_y - height // 2, width, height

    def centre(self, name):
        """The screen point at the middle of a square such as "e2"."""
        file, rank = ord(name[0]) - ord("a"), int(name[1]) - 1
        if self.flipped:
            file, rank = 7 - file, 7 - rank
        return (int(round(self.centre_x + (file - 3.5) * self.square)),
                int(round(self.centre_y + (3.5 - rank) * self.square)))

    def crop_box(self, name, inset=0.2):
        """The middle part of a square in picture coordinates of a screen shot."""
        x, y = self.centre(name)
        half = int(self.square * (0.5 - inset))
        return x - half, y - half, 2 * half, 2 * half

    SQUARES = [f + r for r in "12345678" for f in "abcdefgh"]

    def occupied(self, empty, picture, threshold=12):
        """The squares that differ from the empty board: those with a piece."""
        return {n for n in self.SQUARES if self.square_difference(empty, picture, n) > threshold}

    def square_difference(self, a, b, name):
        """The mean difference (0 to 255) of one square's middle in two pictures."""
        x, y, w, h = self.crop_box(name)
        return a.mean_difference(b, x, y, w, h)

    def changed(self, a, b, threshold=12):
        """The squares whose middle differs between two pictures."""
        return {n for n in self.SQUARES if self.square_difference(a, b, n) > threshold}


class Picture:
    """A screen shot's pixels, read through ImageMagick as binary PPM."""

    def __init__(self, path):
        data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout
        fields, index = [], 0
        while len(fields) < 4:
            while data[index:index + 1].isspace():
                index += 1
            if data[index:index + 1] == b"#":
                index = data.index(b"\n", index)
                continue
            end = index
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[index:end])
            index = end
        check(fields[0] == b"P6", "a binary PPM picture")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[index + 1:]
        self.path = path

    def mean_difference(self, other, x, y, width, height):
        total, count = 0, 0
        for row in range(max(0, y), min(self.height, y + height), 2):
            start = (row * self.width + max(0, x)) * 3
            end = (row * self.width + min(self.width, x + width)) * 3
            a, b = self.pixels[start:end], other.pixels[start:end]
            total += sum(abs(p - q) for p, q in zip(a, b))
            count += len(a)
        return total / count if count else 0.0


class Oracle:
    """chess.js, run by node, as the second opinion on positions and legal moves."""

    FOLDER = os.path.join(SOURCE, "build", "oracle", "node_modules", "chess.js")

    @classmethod
    def available(cls):
        return shutil.which("node") is not None and os.path.exists(os.path.join(cls.FOLDER, "package.json"))

    @classmethod
    def position(cls, moves):
        import json
        out = subprocess.run(["node", os.path.join(HERE, "oracle.js"), cls.FOLDER, *moves],
                             capture_output=True, text=True, check=True).stdout
        result = json.loads(out)
        check("error" not in result, result.get("error", ""))
        return result


def pgn_game(path, index):
    """chess.js's reading of one game of a PGN file: header, FEN after each ply, moves."""
    import json
    out = subprocess.run(["node", os.path.join(HERE, "oracle.js"), Oracle.FOLDER, "--pgn", path, str(index)],
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)


def occupied_squares(fen):
    """The squares a FEN's placement puts a piece on."""
    squares = set()
    for rank_index, row in enumerate(fen.split()[0].split("/")):
        file_index = 0
        for ch in row:
            if ch.isdigit():
                file_index += int(ch)
            else:
                squares.add("abcdefgh"[file_index] + str(8 - rank_index))
                file_index += 1
    return squares


def move_squares(move):
    """The squares a move changes on the board picture."""
    squares = {move["from"], move["to"]}
    if "k" in move["flags"] or "q" in move["flags"]:
        rank = move["from"][1]
        squares |= {"h" + rank, "f" + rank} if "k" in move["flags"] else {"a" + rank, "d" + rank}
    if "e" in move["flags"]:
        squares.add(move["to"][0] + move["from"][1])
    return squares


def board_package(client, path, name, source="tournament", change=None):
    """Packs a copy of an installed board as a board package; change(folder) may alter the copy."""
    work = tempfile.mkdtemp(prefix="package-", dir=client.base)
    with open(os.path.join(work, "contents.cfg"), "w") as f:
        f.write('contents = {\n\tmajor = "Rookwell Lite"\n\tminor = board\n}\n'
                f'description = "{name}, a board made by the tests"\n')
    board = os.path.join(work, "contents", name)
    shutil.copytree(os.path.join(client.folder, "boards", source), board)
    if change:
        change(board)
    tool = os.path.join(client.build, "foundation", "tools", "rwpack")
    subprocess.run([tool, "pack", path, work], check=True, stdout=subprocess.DEVNULL)
    return path


def png_header_only(path, width, height):
    """A PNG whose header claims width x height over one row of data."""
    import struct
    import zlib

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(b"\x00" * 64)) + chunk(b"IEND", b""))


def folder_digest(folder, skip=()):
    """Every file below folder with the hash of its bytes."""
    import hashlib
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder)
            if relative in skip:
                continue
            with open(path, "rb") as f:
                found[relative] = hashlib.sha1(f.read()).hexdigest()
    return found


def read_config(path):
    """Reads the settings format (frames of "key= value" in braces) into dotted lower-case keys."""
    keys, frames, pending = {}, [], None
    with open(path, errors="replace") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line == "{":
                frames.append(pending or "")
                pending = None
                continue
            if line == "}":
                frames.pop() if frames else None
                continue
            name, _, value = line.partition("=")
            name, value = name.strip().strip('"'), value.strip()
            if not value:
                pending = name.lower()
                continue
            keys[".".join(frames + [name.lower()])] = value.strip('"')
    return keys


def difference(a, b):
    """The normalised RMSE of two pictures of one size (0 same, 1 opposite)."""
    result = subprocess.run(["compare", "-metric", "RMSE", a, b, "null:"], capture_output=True, text=True)
    match = re.search(r"\(([\d.e+-]+)\)", result.stderr)
    if not match:
        raise Failure(f"compare {a} {b}: {result.stderr.strip()}")
    return float(match.group(1))


def differs(a, b, fuzz=10):
    """How many pixels differ by more than fuzz percent."""
    result = subprocess.run(["compare", "-metric", "AE", "-fuzz", f"{fuzz}%", a, b, "null:"],
                            capture_output=True, text=True)
    match = re.match(r"\s*([\d.e+]+)", result.stderr)
    if not match:
        raise Failure(f"compare {a} {b}: {result.stderr.strip()}")
    return int(float(match.group(1)))


def match_reference(client, picture, name, tolerance=0.06):
    """Compares a picture with tests/e2e/reference/NAME.png; ROOKWELL_E2E_UPDATE=1 writes it instead."""
    reference = os.path.join(REFERENCE, name + ".png")
    if os.environ.get("ROOKWELL_E2E_UPDATE") == "1" or not os.path.exists(reference):
        if os.environ.get("ROOKWELL_E2E_UPDATE") != "1":
            raise Failure(f"no reference picture {reference} (run with ROOKWELL_E2E_UPDATE=1 to make it)")
        shutil.copyfile(picture, reference)
        return 0.0
    rmse = difference(picture, reference)
    check(rmse <= tolerance, f"{picture} differs from {reference}: RMSE {rmse:.3f} > {tolerance}")
    return rmse


def run(session, steps, **options):
    """Runs one session's steps(client); prints the outcome; exit status 0 when it passed."""
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build")
    started = time.monotonic()
    client = None
    try:
        client = Client(build, session, **options)
        steps(client)
    except Exception as error:
        if client is not None:
            try:
                client.screenshot("failure")
            except Exception:
                pass
            print("prompts:", client.prompts(), file=sys.stderr)
        traceback.print_exc()
        print(f"{session}: FAILED ({error})")
        return 1
    finally:
        if client is not None:
            client.close()
    print(f"{session}: passed in {time.monotonic() - started:.1f} s")
    return 0


# ---------------------------------------------------------------- dialogs
# Places inside the client's dialogs, from their layouts under the stock GTK
# theme (Adwaita, 96 dpi): the Preferences notebook's Board tab, the rows of
# its list of installed boards, and its OK and Cancel buttons.

PREFERENCES_BOARD_TAB = (128, 23)
PREFERENCES_FIRST_BOARD = (66, 92)
PREFERENCES_ROW = 23


def open_preferences(client):
    """Options, Preferences; the dialog's window, on its Board page."""
    client.menu("o", "p")
    dialog = client.wait_window("^Preferences$", 15, besides=(client.frame,))
    time.sleep(0.8)
    x, y, _, _ = client.geometry(dialog)
    client.click(x + PREFERENCES_BOARD_TAB[0], y + PREFERENCES_BOARD_TAB[1])
    time.sleep(0.6)
    return dialog


def choose_board_row(client, dialog, row):
    x, y, _, _ = client.geometry(dialog)
    client.click(x + PREFERENCES_FIRST_BOARD[0], y + PREFERENCES_FIRST_BOARD[1] + row * PREFERENCES_ROW)
    time.sleep(0.8)


def installed_boards(client):
    """The names the Board page lists, in its order."""
    folder = os.path.join(client.folder, "boards")
    return sorted((n for n in os.listdir(folder) if os.path.isdir(os.path.join(folder, n))), key=str.lower)


def profile_dialog(client, timeout=15):
    """Closes the first-run introduction when it comes; the profile dialog's window."""
    intro = client.wait_window(r"^Rookwell - User Profile( \(.*\))?$", timeout, besides=(client.frame,))
    if not client.window_name(intro).endswith(")"):
        time.sleep(0.5)
        client.key("Return", window=intro)
        client.wait_gone(intro)
        intro = client.wait_window(r"^Rookwell - User Profile \(", timeout, besides=(client.frame,))
    time.sleep(0.8)
    return intro
