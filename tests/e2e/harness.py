"""Scripted sessions of the real client.

Each session copies the assembled program folder into a fresh temporary
folder, starts a private X server and the real `tavrin` as a separate
process, and drives it only through the X server's input (XTEST through
xdotool): keys, menu mnemonics, mouse clicks and drags. What the client
says in its message boxes is read from the prompt log it writes when
ROOKWELL_PROMPT_LOG is set; the screen is read from the X server, and kept
pictures are written with ImageMagick.

Every step waits for an event (a window, a prompt, a file's content, what
the screen shows), never for a time: the bounds of the waits only stop a
hung client.
"""

import ctypes
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
# Beside the source tree, or where ROOKWELL_TESTDATA says (a checkout kept elsewhere).
TESTDATA = os.environ.get("ROOKWELL_TESTDATA") or os.path.join(os.path.dirname(SOURCE), "shared", "testdata")
REFERENCE = os.path.join(HERE, "reference")


# The name a new user of the sessions gives in the profile dialog.
PROFILE_NAME = "Test Player"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# A bound on a wait only stops a hung client; it never measures speed. A
# loaded machine is several times slower than a quiet one, so every bound is
# stretched by this factor, and a wait still returns as soon as its event comes.
SLOWDOWN = float(os.environ.get("ROOKWELL_E2E_SLOWDOWN", "3"))


def wait_until(done, timeout, what, step=0.05):
    """Polls done() until it gives a true value; fails naming what after
    timeout seconds (stretched by SLOWDOWN)."""
    end = time.monotonic() + timeout * SLOWDOWN
    while True:
        value = done()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(step)


def read_text(path):
    """The file's text, or None while it is not there."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return None


def wait_for_file_content(path, predicate, timeout, what):
    """The file's text once predicate(text) holds: a file the client writes
    more than once is read in the state a check needs, not as it first
    appears."""
    def ready():
        text = read_text(path)
        return [text] if text is not None and predicate(text) else None
    return wait_until(ready, timeout, what)[0]


class Display:
    """A private Xvfb with GLX, found through -displayfd; with auth (an
    authority file) it lets in only clients that show its cookie."""

    def __init__(self, width=1280, height=1024, auth=None, reset=False):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "+extension", "GLX", *([] if reset else ["-noreset"]),
             *(["-auth", auth] if auth else [])],
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


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


# Xlib's own handler ends the process at an error: a window that went just
# before a message to it was sent is no failure of the session.
IGNORE_X_ERROR = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda display, error: 0)


class Client:
    """One session: a program folder, an X server and the client process."""

    def __init__(self, build, session, audio="dummy", debug=False, user=None, defaults=(), window=None,
                 folder="program folder", home="home", locale="C.UTF-8", environment=None, screen=(1280, 1024),
                 program=None, account=None, reset=False):
        self.build = os.path.abspath(build)
        self.session = session
        self.artifacts = os.path.join(self.build, "e2e-artifacts", session)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.base = tempfile.mkdtemp(prefix="rookwell-e2e-")
        # A space in the path, as a real installation may have (folder may
        # name more: letters that are no ASCII, a folder below another).
        self.folder = os.path.join(self.base, folder)
        # The program folder copied is the build's, or an installed one.
        program = program or os.path.join(self.build, "program")
        check(os.access(os.path.join(program, "tavrin"), os.X_OK), program + "/tavrin is not built")
        shutil.copytree(program, self.folder, symlinks=True,
                        ignore=shutil.ignore_patterns("users", "logs", "live content"))
        self.home = os.path.join(self.base, home)
        self.bin = os.path.join(self.base, "bin")
        os.makedirs(self.home)
        os.makedirs(self.bin)
        # The client's temporary files (the copies a mail program is given,
        # a runtime folder where none of the user's is) go with the session.
        self.temp = os.path.join(self.base, "tmp")
        os.makedirs(self.temp)
        os.chmod(self.temp, 0o1777)
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
        # reset: the server resets whenever its last client leaves, as a bare one does.
        self.display = Display(*screen, reset=reset)
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
            "TMPDIR": self.temp,
            "PATH": self.bin + ":/usr/games:/usr/bin:/bin",
            "GDK_BACKEND": "x11",
            "NO_AT_BRIDGE": "1",
            "GTK_THEME": "Adwaita",
            "LANG": locale,
            "LC_ALL": locale,
            "SDL_AUDIODRIVER": audio,
            "SDL_DISKAUDIOFILE": self._audio_pipe() if audio == "disk" else self.audio_file,
            "SDL_DISKAUDIODELAY": "10",
            "ROOKWELL_PROMPT_LOG": self.prompt_log,
        })
        # Variables of the session's own (GDK_SCALE for a dense screen, say).
        self.env.update(environment or {})
        # Device pixels of the screen to one pixel of the desktop: window sizes
        # in the settings are desktop pixels, the X server's are device pixels.
        self.scale = int(self.env.get("GDK_SCALE") or 1)
        # The command that starts the client (a session may start it through a launcher).
        self.command = [os.path.join(self.folder, "tavrin")]
        # Where the client keeps users, logs and installed packages.
        self.data = self.folder
        self.account = None
        if account:
            self._run_as_account(account)
        self.process = None
        self.beside = []
        self.frame = None
        self.reader = None
        self.runs = 0
        self.shots = 0

    def _run_as_account(self, name):
        """The client runs as an account made for the session, from a program
        folder of root's that it may only read, as an install for every user
        leaves it; it keeps its own files below its home."""
        check(os.geteuid() == 0, "only root can make an account for the session")
        self.account = f"{name}{os.getpid()}"[:30]
        subprocess.run(["userdel", self.account], capture_output=True)
        subprocess.run(["useradd", "--no-create-home", "--home-dir", self.home, "--shell", "/usr/sbin/nologin",
                        "--user-group", self.account], check=True, capture_output=True)
        entry = pwd.getpwnam(self.account)
        os.chmod(self.base, 0o755)
        for top, folders, files in os.walk(self.folder):
            os.chown(top, 0, 0)
            os.chmod(top, 0o755)
            for name in files:
                path = os.path.join(top, name)
                os.chown(path, 0, 0, follow_symlinks=False)
                if not os.path.islink(path):
                    os.chmod(path, 0o755 if os.access(path, os.X_OK) else 0o644)
        runtime = os.path.join(self.base, "runtime")
        os.makedirs(runtime, mode=0o700)
        for path in (self.prompt_log, self.opened, self.audio_file):
            open(path, "a").close()
        for path in (self.home, runtime, self.prompt_log, self.opened, self.audio_file):
            os.chown(path, entry.pw_uid, entry.pw_gid)
        self.env["XDG_RUNTIME_DIR"] = runtime
        self.env["USER"] = self.env["LOGNAME"] = self.account
        self.data = os.path.join(self.home, ".local", "share", "rookwell")
        self.command = ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}", "--init-groups", "--",
                        *self.command]

    def own(self, path):
        """Gives a file or folder the session made to the account the client runs as."""
        if self.account:
            entry = pwd.getpwnam(self.account)
            for top, folders, files in os.walk(path) if os.path.isdir(path) else [(path, [], [])]:
                os.chown(top, entry.pw_uid, entry.pw_gid)
                for name in files:
                    os.chown(os.path.join(top, name), entry.pw_uid, entry.pw_gid)

    def _audio_pipe(self):
        """The client closes its sound device after a quiet spell and opens it
        for the next sound, and the disk driver starts its file afresh at each
        opening: the driver writes into a pipe, and every opening's output is
        appended to audio_file."""
        pipe = os.path.join(self.base, "audio.fifo")
        os.mkfifo(pipe)
        open(self.audio_file, "wb").close()

        def collect():
            while True:
                try:
                    source = os.open(pipe, os.O_RDONLY)
                except OSError:
                    return
                with open(self.audio_file, "ab") as out:
                    while True:
                        data = os.read(source, 65536)
                        if not data:
                            break
                        out.write(data)
                        out.flush()
                os.close(source)
        threading.Thread(target=collect, daemon=True).start()
        return pipe

    def cpu_seconds(self):
        """The client's own processor time so far (user and system), in seconds."""
        with open(f"/proc/{self.process.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def thread_names(self):
        names = []
        for task in os.listdir(f"/proc/{self.process.pid}/task"):
            try:
                with open(f"/proc/{self.process.pid}/task/{task}/comm") as f:
                    names.append(f.read().strip())
            except OSError:
                pass
        return names

    @staticmethod
    def _edit(path, change):
        with open(path) as f:
            text = f.read()
        with open(path, "w") as f:
            f.write(change(text))

    # ------------------------------------------------------------ process

    def start(self, *arguments, wait_frame=True, close_splash=True):
        self.runs += 1
        self.asked_before_start = len(self.prompts())
        out = open(os.path.join(self.artifacts, f"tavrin-{self.runs}.log"), "w")
        self.process = subprocess.Popen([*self.command, *arguments],
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
            self.wait_started()
            if close_splash and not arguments:
                self.close_splash()
        return self.process

    def second_start(self, *arguments, limit=30):
        """Starts the program again beside the running client, from the
        session's folder, as a file manager's Open does; its exit status
        once it has ended (the bound, in seconds, only stops one that hangs)."""
        self.second_starts = getattr(self, "second_starts", 0) + 1
        log = open(os.path.join(self.artifacts, f"second-start-{self.second_starts}.log"), "w")
        second = subprocess.Popen([*self.command, *arguments], cwd=self.base, env=self.env,
                                  stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        try:
            return second.wait(limit * SLOWDOWN)
        except subprocess.TimeoutExpired:
            os.killpg(second.pid, signal.SIGKILL)
            second.wait()
            raise Failure("the second start did not end")

    def start_beside(self, *arguments):
        """Starts the program again beside the running client without waiting
        for its end: a start that becomes the client itself once the running
        one has gone (adopt). Its output is the next run's log."""
        out = open(os.path.join(self.artifacts, f"tavrin-{self.runs + 1}.log"), "w")
        process = subprocess.Popen([*self.command, *arguments], cwd=self.base, env=self.env,
                                   stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        out.close()
        self.beside.append(process)
        return process

    def adopt(self, process):
        """A start beside (start_beside) is the client now: its frame, once it has started."""
        self.runs += 1
        self.asked_before_start = len(self.prompts())
        self.process = process
        self.frame = self.wait_window("^Rookwell$", 30)
        self.wait_started()

    def log_of_run(self):
        """What the client of the last start wrote to its standard output and error."""
        return read_text(os.path.join(self.artifacts, f"tavrin-{self.runs}.log")) or ""

    def wait_started(self, timeout=30):
        """The start-up's loading picture stands until the start-up has yielded
        for its second and is done; without files to open the title splash
        comes next."""
        wait_until(lambda: not self.windows("^Splash$"), timeout, "the start-up's loading picture to go")

    def splash(self, timeout=30):
        try:
            return self.wait_window("^Splash Window$", timeout)
        except Failure:
            return None

    def close_splash(self, timeout=30):
        """Clicks the title splash away: a start without files shows it, unless
        a question asked at the start (an update, say) comes first and takes
        the focus, which closes it. The splash, or None after such a question."""
        asked = self.asked_before_start

        def splash_or_question():
            if len(self.prompts()) > asked:
                return "asked"
            found = self.windows("^Splash Window$")
            return found[-1] if found else None
        window = wait_until(splash_or_question, timeout, "the title splash or a question")
        if window != "asked":
            try:
                x, y, width, height = self.geometry(window)
            except Failure:
                window = "asked"    # gone as a question took the focus
        if window == "asked" or len(self.prompts()) > asked:
            wait_until(lambda: not self.windows("^Splash Window$"), timeout, "the title splash to go")
            return None
        self.click(x + width // 2, y + height // 2)
        self.wait_gone(window)
        return window

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout * SLOWDOWN)
        except subprocess.TimeoutExpired:
            raise Failure("the client did not end")

    def exit_answering(self, key_for, after=0, most=5):
        """Game, Exit; each question asked on the way out (past index after) is
        answered with the key key_for(record) gives. The exit status."""
        self.menu("g", "x")
        for _ in range(most):
            def asked_or_ended():
                if not self.running():
                    return "ended"
                records = self.prompts()
                return records[after] if len(records) > after else None
            record = wait_until(asked_or_ended, 20, f"the client to end or ask; asked {self.prompts()[after:]}")
            if record == "ended":
                break
            self.answer(record[1], key_for(record))
            after += 1
        return self.wait_exit()

    def kill(self):
        for process in [self.process] + self.beside:
            if process is not None and process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()

    def close(self):
        self.kill()
        if self.reader:
            self.reader.close()
        self.display.close()
        shutil.rmtree(self.base, ignore_errors=True)
        if self.account:
            subprocess.run(["userdel", self.account], capture_output=True)

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

    def wait_dialog(self, name, timeout=15, besides=None):
        """A window whose name matches, besides the frame (or besides), once it
        holds the keyboard: the keys sent next reach it."""
        window = self.wait_window(name, timeout, besides=besides if besides is not None else (self.frame,))
        return self.take_keyboard(window, timeout)

    def take_keyboard(self, window, timeout=15):
        """Gives window the keyboard and waits until the X server says it has it; the window."""
        def holds_focus():
            self.focus(window)
            return self.focused() == window
        wait_until(holds_focus, timeout, f"window {window} to take the keyboard")
        return window

    def focused(self):
        """The top-level window holding the X input focus, or None."""
        out = self.xdotool("getwindowfocus", check_ok=False).strip()
        return int(out) if out.isdigit() else None

    def wait_gone(self, window, timeout=10):
        wait_until(lambda: window not in self.windows(), timeout, f"window {window} to close")

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def request_close(self, window):
        """What a window manager sends when the window's close button is clicked: WM_DELETE_WINDOW."""
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XSetErrorHandler(IGNORE_X_ERROR)
        display = x.XOpenDisplay(self.display.name.encode())
        check(display, "the X server can be reached")
        event = ClientMessage()
        event.type = 33  # ClientMessage
        event.window = window
        event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.format = 32
        event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        x.XFlush(display)
        x.XCloseDisplay(display)

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window, check_ok=False)

    # ------------------------------------------------------------ input

    def key(self, *keys, window=None, pause=0.05):
        """Presses keys in window (the frame without one), paced as typed; what they
        start is waited for by the caller."""
        self.focus(window or self.frame)
        for k in keys:
            self.xdotool("key", "--clearmodifiers", k)
            time.sleep(pause)

    def type(self, text, window=None):
        self.focus(window or self.frame)
        self.xdotool("type", "--delay", "20", text)

    def menu(self, *keys):
        """Opens a menu of the frame by its Alt mnemonic and follows the keys after it
        (item mnemonics, arrows) in one xdotool run: the toolkit takes them in order,
        each once the menu the key before opened is up."""
        self.focus(self.frame)
        self.xdotool("key", "--clearmodifiers", "alt+" + keys[0], *keys[1:])

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
        """Presses at x1, y1, moves there in steps and lets go at x2, y2, paced as a
        hand moves: one xdotool run, whose events reach the X server in order."""
        chain = ["mousemove", x1, y1, "sleep", 0.15, "mousedown", 1, "sleep", 0.15]
        for i in range(1, steps + 1):
            chain += ["mousemove", x1 + (x2 - x1) * i // steps, y1 + (y2 - y1) * i // steps, "sleep", 0.03]
        self.xdotool(*chain, "sleep", 0.15, "mouseup", 1)

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
        window = self.wait_dialog("^" + re.escape(caption) + "$", 15, besides)
        self.key(key, window=window)
        self.wait_gone(window)
        return window

    def choose_file(self, caption, path):
        """Types a path into the toolkit's file chooser titled caption and accepts it."""
        window = self.wait_dialog("^" + re.escape(caption) + "$", 15)
        self.key("ctrl+l", window=window)
        # A save dialog offers a name with only its stem selected: all of it goes.
        self.key("ctrl+a", window=window)
        self.type(path, window=window)
        # The chooser looks the typed folder up as it comes; Return is taken once it is done.
        self.wait_still(window)
        self.key("Return", window=window)
        self.wait_gone(window)

    # ------------------------------------------------------------ pictures

    def settle(self, name, timeout=10):
        """A picture of the screen once two pictures in a row are alike (animations done),
        kept under the artifacts folder."""
        previous = self.look()
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            time.sleep(0.3)
            current = self.look()
            if current.pixels == previous.pixels:
                break
            previous = current
        return self.keep(previous, name)

    def wait_still(self, window, timeout=15):
        """Waits until the window's part of the screen is the same in two looks in a row."""
        x, y, width, height = self.geometry(window)
        previous = [None]

        def still():
            picture = self.look()
            rows = b"".join(picture.pixels[(r * picture.width + max(0, x)) * 3:
                                           (r * picture.width + min(picture.width, x + width)) * 3]
                            for r in range(max(0, y), min(picture.height, y + height)))
            same = rows == previous[0]
            previous[0] = rows
            return same
        wait_until(still, timeout, f"window {window} to be still", step=0.2)

    def wait_settled(self, ready, what, name, timeout=15):
        """A settled picture of the screen (see settle) for which ready(picture) holds:
        a check of what the screen shows after an action waits for it this way."""
        found = []

        def good():
            picture = self.settle(name)
            if ready(picture):
                found.append(picture)
                return True
            return False
        wait_until(good, timeout, what, step=0.1)
        return found[-1]

    def board_view(self, skin="large wood", name="board-view", opened=False):
        """The board view once its canvas shows the pieces of a new game:
        (the board, a picture of the bare board, the settled screen). F2
        brings it from the start page; opened says the client brings it up
        itself, for a game it opens, and F2 is not pressed: it switches
        between the two views, and after the opening it would go back to
        the start page."""
        if opened:
            wait_until(lambda: shows_board(self.look()), 20, "the board of the game opened")
        else:
            self.key("F2")
        board = self.board(skin)
        empty = board.empty(self.look(), self.artifacts)
        wait_occupied(self, board, empty, START_SQUARES, name)
        return board, empty, self.settle(name)

    def keep(self, picture, name):
        """Writes a picture read with look under the artifacts folder as PNG; the picture."""
        self.shots += 1
        path = os.path.join(self.artifacts, f"{self.shots:02d}-{name}.png")
        subprocess.run(["convert", "ppm:-", path], input=b"P6\n%d %d\n255\n" % (picture.width, picture.height) +
                       picture.pixels, check=True)
        picture.path = path
        return picture

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

    def look(self):
        """The screen as a Picture, read from the X server without a file."""
        if self.reader is None:
            self.reader = ScreenReader(self.display.name)
        return self.reader.picture()

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
        return Board(max(canvases, key=lambda w: w[3] * w[4]), os.path.join(self.folder, "boards", skin),
                     self.scale)

    def settings(self, user):
        """The user's settings file as dotted lower-case keys."""
        return read_config(os.path.join(self.data, "users", user, "user.cfg"))


class Board:
    """The squares of a board skin drawn centred in the canvas at the largest zoom up to the
    screen's pixel scale (1 on an ordinary screen); everything in screen (device) pixels."""

    # Each skin's picture size, read once: the board is looked up again after every move.
    IMAGE_SIZES = {}

    def __init__(self, canvas, skin_folder, scale=1):
        self.image_size = None
        _, self.x, self.y, self.width, self.height = canvas
        info = read_config(os.path.join(skin_folder, "info.cfg"))
        image = os.path.join(skin_folder, "graphics", info.get("board.image", "board.png"))
        if image not in Board.IMAGE_SIZES:
            size = subprocess.run(["identify", "-format", "%w %h", image], capture_output=True, text=True).stdout
            Board.IMAGE_SIZES[image] = tuple(int(v) for v in size.split()[:2])
        image_width, image_height = Board.IMAGE_SIZES[image]
        self.image_size = (image_width, image_height)
        self.image_path = image
        border = int(info.get("board.border", "0") or 0)
        left, top = float(info["board.topleft.x"]), float(info["board.topleft.y"])
        right, bottom = float(info["board.bottomright.x"]), float(info["board.bottomright.y"])
        self.zoom = min(float(scale), self.width / (image_width + border), self.height / (image_height + border))
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


class ScreenReader:
    """The pixels of an X server's screen, read straight from the server
    (XGetImage): no program to start and no file to encode, so a session can
    look at the board as often as its waits need."""

    class XImage(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                    ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_char)),
                    ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                    ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                    ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]

    def __init__(self, display_name):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(self.XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.POINTER(self.XImage)]
        x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x = x
        self.display = x.XOpenDisplay(display_name.encode())
        check(self.display, "the X server can be reached for pictures")
        self.root = x.XDefaultRootWindow(self.display)
        self.width, self.height = x.XDisplayWidth(self.display, 0), x.XDisplayHeight(self.display, 0)

    def picture(self):
        """The whole screen as a Picture (RGB, one byte a channel)."""
        z_pixmap, all_planes = 2, 0xFFFFFFFF
        image = self.x.XGetImage(self.display, self.root, 0, 0, self.width, self.height, all_planes, z_pixmap)
        check(bool(image), "the screen's pixels could be read")
        try:
            i = image.contents
            check(i.bits_per_pixel == 32 and i.byte_order == 0 and i.bytes_per_line == 4 * i.width,
                  f"a 32-bit little-endian screen: {i.bits_per_pixel} bits, order {i.byte_order}")
            raw = ctypes.string_at(i.data, i.bytes_per_line * i.height)
        finally:
            self.x.XDestroyImage(image)
        rgb = bytearray(self.width * self.height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = raw[2::4], raw[1::4], raw[0::4]
        return Picture.of_pixels(self.width, self.height, bytes(rgb))

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.display)
            self.display = None


class ScreenUpdates:
    """What any client draws on an X server's screen, as the server reports
    it (DAMAGE on the root window): one rectangle (x, y, width, height) a
    drawing request, collected with the time it was read."""

    class Rectangle(ctypes.Structure):
        _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                    ("height", ctypes.c_ushort)]

    class Notify(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("drawable", ctypes.c_ulong), ("damage", ctypes.c_ulong),
                    ("level", ctypes.c_int), ("more", ctypes.c_int), ("timestamp", ctypes.c_ulong)]

    RAW_RECTANGLES = 0

    def __init__(self, display_name):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        damage = ctypes.cdll.LoadLibrary("libXdamage.so.1")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        damage.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                                 ctypes.POINTER(ctypes.c_int)]
        damage.XDamageCreate.restype = ctypes.c_ulong
        damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        self.x = x
        self.display = x.XOpenDisplay(display_name.encode())
        check(self.display, "the X server can be reached for its drawing")
        base, error = ctypes.c_int(), ctypes.c_int()
        check(damage.XDamageQueryExtension(self.display, ctypes.byref(base), ctypes.byref(error)),
              "the X server reports drawing (DAMAGE)")
        self.notify = base.value
        damage.XDamageCreate(self.display, x.XDefaultRootWindow(self.display), self.RAW_RECTANGLES)
        x.XFlush(self.display)
        self.area_offset = ctypes.sizeof(self.Notify)

    def collect(self):
        """The rectangles drawn since the last call: [(time, x, y, width, height)]."""
        found = []
        event = (ctypes.c_long * 24)()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, event)
            if ctypes.cast(event, ctypes.POINTER(ctypes.c_int))[0] != self.notify:
                continue
            area = self.Rectangle.from_buffer(event, self.area_offset)
            found.append((time.monotonic(), area.x, area.y, area.width, area.height))
        return found

    def during(self, seconds, step=0.02):
        """The rectangles drawn over a measuring window of seconds from now."""
        self.collect()
        found, end = [], time.monotonic() + seconds
        while time.monotonic() < end:
            time.sleep(step)
            found += self.collect()
        return found + self.collect()

    def wait_quiet(self, quiet, timeout, what, ignore=lambda rectangle: False):
        """Waits until nothing but what ignore accepts is drawn for quiet seconds."""
        last = time.monotonic()

        def still():
            nonlocal last
            if any(not ignore(r[1:]) for r in self.collect()):
                last = time.monotonic()
            return time.monotonic() - last >= quiet

        wait_until(still, timeout, what)

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.display)
            self.display = None


class Picture:
    """A screen shot's pixels (RGB), read through ImageMagick as binary PPM
    from a file, or straight from the screen (Client.look)."""

    @classmethod
    def of_pixels(cls, width, height, pixels, path=None):
        picture = cls.__new__(cls)
        picture.width, picture.height, picture.pixels, picture.path = width, height, pixels, path
        return picture

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

    @classmethod
    def line(cls, moves):
        """The position before each of moves and after the last: one run of node for a whole line."""
        import json
        out = subprocess.run(["node", os.path.join(HERE, "oracle.js"), cls.FOLDER, "--line", *moves],
                             capture_output=True, text=True, check=True).stdout
        result = json.loads(out)
        check(isinstance(result, list), result.get("error", "") if isinstance(result, dict) else out)
        return result


def pgn_game(path, index):
    """chess.js's reading of one game of a PGN file: header, FEN after each ply, moves."""
    import json
    out = subprocess.run(["node", os.path.join(HERE, "oracle.js"), Oracle.FOLDER, "--pgn", path, str(index)],
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)


# Where the pieces of a new game stand.
START_SQUARES = {f + r for f in "abcdefgh" for r in "1278"}


def shows_board(picture):
    """Whether the screen shows a board of the standard skin: many samples of
    its saturated browns (the start page, the splash and a bare frame have
    few)."""
    pixels, found = picture.pixels, 0
    for i in range(0, len(pixels) - 2, 3 * 97):
        r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
        found += r - b > 50 and r > g
    return found > 200


def wait_occupied(client, board, empty, expected, name, timeout=20, prepare=None):
    """The screen once the board has pieces on exactly the squares expected (a
    piece still sliding only delays the match); empty is the bare board's
    picture. prepare() runs before each look and may say False to look again
    later. On a timeout the last picture is kept as name."""
    seen = [set(), None]

    def same():
        if prepare is not None and not prepare():
            return None
        seen[1] = client.look()
        seen[0] = board.occupied(empty, seen[1])
        return seen[1] if seen[0] == expected else None
    try:
        return wait_until(same, timeout, name, step=0.2)
    except Failure:
        if seen[1] is not None:
            client.keep(seen[1], name)
        raise Failure(f"{name}: the board has pieces on {sorted(seen[0])}, expected {sorted(expected)}; "
                      f"differing: {sorted(seen[0] ^ expected)}")


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


def wait_reference(client, take, name, tolerance=0.06, timeout=15):
    """Takes pictures with take() (a path) until one is within tolerance of the
    reference picture name (a page still drawing only delays the match), then
    compares it as match_reference does; its path."""
    reference = os.path.join(REFERENCE, name + ".png")
    if os.environ.get("ROOKWELL_E2E_UPDATE") != "1" and os.path.exists(reference):
        try:
            wait_until(lambda: difference(take(), reference) <= tolerance, timeout, f"the screen to match {name}",
                       step=0.2)
        except Failure:
            pass
    picture = take()
    match_reference(client, picture, name, tolerance)
    return picture


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
    dialog = client.wait_dialog("^Preferences$", 15)
    first_page = client.screenshot("preferences", dialog)
    x, y, width, height = client.geometry(dialog)
    client.click(x + PREFERENCES_BOARD_TAB[0], y + PREFERENCES_BOARD_TAB[1])
    # Its rows are clicked next: the Board page must be on the screen.
    wait_until(lambda: differs(first_page, client.screenshot("preferences-board", dialog)) > width * height // 20,
               15, "the Board page of the preferences", step=0.2)
    return dialog


def choose_board_row(client, dialog, row):
    x, y, _, _ = client.geometry(dialog)
    client.click(x + PREFERENCES_FIRST_BOARD[0], y + PREFERENCES_FIRST_BOARD[1] + row * PREFERENCES_ROW)


def installed_boards(client):
    """The names the Board page lists, in its order."""
    names = set()
    for top in {client.folder, client.data}:
        folder = os.path.join(top, "boards")
        if os.path.isdir(folder):
            names.update(n for n in os.listdir(folder) if os.path.isdir(os.path.join(folder, n)))
    return sorted(names, key=str.lower)


def profile_dialog(client, timeout=15):
    """Closes the first-run introduction when it comes; the profile dialog's window."""
    intro = client.wait_dialog(r"^Rookwell - User Profile( \(.*\))?$", timeout)
    if not client.window_name(intro).endswith(")"):
        client.key("Return", window=intro)
        client.wait_gone(intro)
        intro = client.wait_dialog(r"^Rookwell - User Profile \(", timeout)
    return intro
