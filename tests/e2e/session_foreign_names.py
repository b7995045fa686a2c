#!/usr/bin/env python3
"""A user outside English and ASCII: the client lives in a program folder
whose path has letters that are no ASCII, the home folder ($HOME, which no
password entry names) and the desktop's user have such names too, and the
client is started from another folder, as a file manager's "Open with"
does. In the C locale, in a UTF-8 locale that is not installed and in
installed ones it starts, finds its program folder and the user its home
names, opens the file named on its command line (one in a folder with
accents given relative to where it was started, one whose name holds a byte
that is no UTF-8), and its Open RWF chooser starts in the desktop folder the
XDG user folders name."""

import os
import shutil
import signal
import sys

import harness
from harness import check, wait_until

FOLDER = os.path.join("Schach Spiele", "\u00c9checs \u00fc")
HOME = "J\u00fcrgen Gr\u00f6\u00df"
USER = "Zo\u00eb \u00d1\u00fa\u00f1ez"
DESKTOP = "\u0420\u0430\u0431\u043e\u0447\u0438\u0439 \u0441\u0442\u043e\u043b"
DOWNLOADS = "T\u00e9l\u00e9chargements"
PGN = os.path.join(harness.TESTDATA, "pgn", "kasparov-deep-blue-1997.pgn")
# "Partie \xfc.pgn", as an old archive names it: a byte that is no UTF-8.
LATIN1_NAME = os.fsdecode(b"Partie \xfc.pgn")

# (locale, file named on the command line): the C locale, a UTF-8 one that
# is not installed, whatever the machine has of German, and UTF-8 itself.
RUNS = (
    ("C", os.path.join(DOWNLOADS, "Partie \u00fc.pgn")),
    ("C", LATIN1_NAME),
    ("POSIX", LATIN1_NAME),
    ("xx_XX.UTF-8", os.path.join(DOWNLOADS, "Partie \u00fc.pgn")),
    ("de_DE.UTF-8", LATIN1_NAME),
    ("C.UTF-8", LATIN1_NAME),
)


def prepare(c):
    """The user's files: the desktop's settings in $HOME naming the user, the
    user's folder with a finished profile, the XDG desktop folder and the
    games to open."""
    with open(os.path.join(c.home, ".Rookwell Lite"), "w", encoding="utf-8") as f:
        f.write(f"user={USER}\n")
    os.makedirs(os.path.join(c.home, ".config"))
    os.makedirs(os.path.join(c.home, DESKTOP))
    with open(os.path.join(c.home, ".config", "user-dirs.dirs"), "w", encoding="utf-8") as f:
        f.write(f'XDG_DESKTOP_DIR="$HOME/{DESKTOP}"\n')
    user = os.path.join(c.folder, "users", USER)
    os.makedirs(user)
    with open(os.path.join(c.folder, "assets", "cfg", "defaultuser.cfg"), encoding="utf-8") as f:
        settings = f.read().replace("id = calculate", "id = 0E0E0E0E").replace('name = ""', f'name = "{USER}"', 1)
    with open(os.path.join(user, "user.cfg"), "w", encoding="utf-8") as f:
        f.write(settings)
    os.makedirs(os.path.join(c.base, DOWNLOADS))
    with open(PGN, "rb") as f:
        games = f.read()
    for name in (os.path.join(DOWNLOADS, "Partie \u00fc.pgn"), LATIN1_NAME):
        with open(os.path.join(c.base, name), "wb") as f:
            f.write(games)


def console_log(c):
    logs = os.path.join(c.folder, "logs")
    if not os.path.isdir(logs):
        return ""
    text = ""
    for name in os.listdir(logs):
        if name.endswith(".log") and "Console" in name:
            with open(os.path.join(logs, name), "rb") as f:
                text += f.read().decode("utf-8", "replace")
    return text


def run_once(c, locale, file, check_chooser):
    c.env["LANG"] = locale
    c.env["LC_ALL"] = locale
    before = len(c.prompts())
    shutil.rmtree(os.path.join(c.folder, "logs"), ignore_errors=True)
    c.start(file, wait_frame=False)
    c.frame = c.wait_window("^Rookwell$", 30)
    # The start-up found its program folder from its own file, started elsewhere.
    wait_until(lambda: "App path is " + c.folder + "/\n" in console_log(c), 20,
               f"the console to name the program folder under {locale}")
    # The user the settings file in $HOME names, with that user's folder.
    check(os.path.exists(os.path.join(c.folder, "users", USER, "running.marker")),
          f"the user named in $HOME's settings runs under {locale}")
    check(os.listdir(os.path.join(c.folder, "users")) == [USER],
          f"no other user folder: {os.listdir(os.path.join(c.folder, 'users'))}")
    # The file opens in the PGN viewer.
    c.wait_window(r"^(PGN Viewer|Partie .*\.pgn)$", 30, besides=(c.frame,))
    said = [r for r in c.prompts()[before:] if r[0] == "message"]
    check(not said, f"nothing is refused under {locale} for {file!r}: {said}")
    if check_chooser:
        after = len(c.prompts())
        c.menu("g", "r")
        index, record = c.wait_prompt(after=after)
        check(record[0] == "file" and record[2] == os.path.join(c.home, DESKTOP),
              f"the Open RWF chooser starts on the desktop folder, got {record}")
        chooser = c.wait_window("^" + record[1] + "$", 15, besides=(c.frame,))
        c.key("Escape", window=chooser)
        c.wait_gone(chooser)
    # The desktop ending the session: the client closes as its close box does.
    c.process.send_signal(signal.SIGTERM)
    check(c.wait_exit() == 0, f"the client ends cleanly under {locale}")


def steps(c):
    prepare(c)
    for number, (locale, file) in enumerate(RUNS):
        run_once(c, locale, file, check_chooser=number == 0)


if __name__ == "__main__":
    sys.exit(harness.run("foreign-names", steps, debug=True, folder=FOLDER, home=HOME, locale="C"))
