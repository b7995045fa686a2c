#!/usr/bin/env python3
"""The newest client installed over an install that an older one used as
its portable folder. `cmake --install` into a temporary prefix; the program
folder then gets what older versions kept in it for the account that ran
them: users/NAME/ with settings that hold a profile, statistics and
preferences, two played games, a game in play, an opponent and a photo, and
a board the user installed. The first start carries it all into the user's
data folder: no profile question, the start page greets the user by name,
shows the statistics and lists the played games; the settings, games and
board arrive byte for byte, the console log says what came from where, and
the program folder keeps the old files for the older version. The next
start carries nothing again and keeps what the user changed."""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

import harness
from harness import check, wait_until

USER = "tester"
NAME = "Older Bob"
BOARD = "Older Marble"
GAMES = ("Older Bob vs Fairy-Max 1.pgn", "Older Bob vs Fairy-Max 2.pgn")
SAVED = ("install_manifest.txt", "install_folders.txt")


def install(build, prefix, kept):
    """cmake --install into prefix; the build folder's own install record is kept aside and put back after."""
    for name in SAVED:
        path = os.path.join(build, name)
        if os.path.exists(path):
            shutil.copy(path, os.path.join(kept, name))
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    result = subprocess.run(["cmake", "--install", build, "--prefix", prefix], env=env, capture_output=True, text=True)
    check(result.returncode == 0, f"cmake --install --prefix {prefix}: {result.stderr}")


def restore(build, kept):
    for name in SAVED:
        path = os.path.join(build, name)
        if os.path.exists(os.path.join(kept, name)):
            shutil.copy(os.path.join(kept, name), path)
        elif os.path.exists(path):
            os.remove(path)


def older_settings(folder):
    """The settings an older client wrote for a user who made a profile and played."""
    with open(os.path.join(folder, "assets/cfg/defaultuser.cfg")) as f:
        text = f.read()
    text = text.replace("id = calculate", "id = 20240611", 1).replace('name = ""', f'name = "{NAME}"', 1)
    for key, value in (("played", 2), ("won", 1), ("lost", 1), ("drawn", 0)):
        text = re.sub(r"(?m)^(\s*" + key + r" =) 0$", rf"\g<1> {value}", text, count=1)
    text = text.replace("Preferences = {\n", "Preferences = {\n\tboard = {\n\t\tpack = " + BOARD + "\n\t}\n", 1)
    # As the client writes settings: each frame's brace on a line of its own.
    return re.sub(r"(?m)^(\s*)(.+?) = \{$", r"\1\2=\n\1{", text)


def write_older_layout(c):
    """What an older client kept in the program folder for the account that ran it."""
    user = os.path.join(c.folder, "users", USER)
    for sub in ("played games", "active games", "opponents"):
        os.makedirs(os.path.join(user, sub))
    with open(os.path.join(user, "user.cfg"), "w") as f:
        f.write(older_settings(c.folder))
    results = ("1-0", "0-1")
    for game, result in zip(GAMES, results):
        with open(os.path.join(user, "played games", game), "w") as f:
            f.write(f'[Event "Rookwell"]\n[White "{NAME}"]\n[Black "Fairy-Max"]\n[Result "{result}"]\n\n'
                    f"1. e4 e5 2. Nf3 Nc6 {result}\n")
    shutil.copy(os.path.join(c.folder, "assets/images/misc/nophoto.bmp"), os.path.join(user, "photo.bmp"))
    with open(os.path.join(user, "photo.bmp"), "ab") as f:
        f.write(b"older")
    with open(os.path.join(user, "active games", f"{NAME} vs Carla.rwg"), "wb") as f:
        f.write(b"in play \x00\xff")
    with open(os.path.join(user, "opponents", "carla.cfg"), "w") as f:
        f.write('name = "Carla"\n')
    shutil.copytree(os.path.join(c.folder, "boards", "tournament"), os.path.join(c.folder, "boards", BOARD))
    return user


def page_files(c):
    """The pages the side panel wrote for itself in the user's data folder."""
    return glob.glob(os.path.join(c.data, "html", "*", "*.htm"))


def start_page(c):
    for path in page_files(c):
        text = harness.read_text(path) or ""
        if "Welcome," in text:
            return text
    return None


def steps(c):
    c.data = os.path.join(c.home, ".local", "share", "rookwell")
    check(os.path.isfile(os.path.join(c.folder, "installed.txt")), "the program folder is an installed one")
    old = write_older_layout(c)
    program = harness.folder_digest(c.folder)
    carried = os.path.join(c.data, "users", USER)

    c.start()
    check(not any("User Profile" in (record[1] or "") for record in c.prompts()), "no profile question came")
    now, before = harness.folder_digest(carried), harness.folder_digest(old)
    check(all(now.get(name) == digest for name, digest in before.items()),
          f"the user's folder arrives whole: {sorted(now.items())} {sorted(before.items())}")
    for game in GAMES:
        with open(os.path.join(old, "played games", game), "rb") as a, \
                open(os.path.join(carried, "played games", game), "rb") as b:
            check(a.read() == b.read(), f"{game} is carried byte for byte")
    check(harness.folder_digest(os.path.join(c.data, "boards", BOARD)) ==
          harness.folder_digest(os.path.join(c.folder, "boards", BOARD)), "the installed board is carried")
    check(not os.path.exists(os.path.join(c.data, "boards", "tournament")), "the program's own board stays its own")
    page = wait_until(lambda: start_page(c), 15, "the start page written")
    check(f"Welcome, <b>{NAME}</b>" in page, "the start page greets the user by name")
    for game in GAMES:
        check(game[:-4] in page, f"the start page lists {game}")
    check(f"{NAME} vs Carla" in page, "the start page lists the game in play")
    stats = [re.search(rf"<td>{label}</td><td[^>]*><b>(\d+)</b>", page) for label in ("Games played", "Won", "Lost", "Drawn")]
    check([m.group(1) if m else None for m in stats] == ["2", "1", "1", "0"],
          f"the start page's Game Stats are the older ones: {[m.group(1) if m else None for m in stats]}")
    settings = c.settings(USER)
    check(settings.get("profile.name") == NAME, f"the profile is the older one: {settings.get('profile.name')}")
    check((settings.get("preferences.matches.played"), settings.get("preferences.matches.won"),
           settings.get("preferences.matches.lost")) == ("2", "1", "1"), "the statistics are kept")
    check(settings.get("preferences.board.pack") == BOARD, "the board chosen is kept")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the first run ends cleanly")
    log = os.path.join(c.data, "logs", "Rookwell - Console.log")
    said = harness.read_text(log) or ""
    check(f"Carried the folder of user {USER} from {old} to {carried} (" in said,
          f"the console says what was carried from where: {said[:2000]}")
    check(f"Carried the board from {os.path.join(c.folder, 'boards', BOARD)} to "
          f"{os.path.join(c.data, 'boards', BOARD)} (" in said, "the console names the carried board")
    check(harness.folder_digest(c.folder) == program, "the older version's files stay in the program folder")
    check(c.settings(USER).get("preferences.matches.played") == "2", "the exit keeps the statistics")

    # The user plays on in the newest: the next start carries nothing again.
    path = os.path.join(carried, "user.cfg")
    with open(path) as f:
        text = f.read()
    changed = re.sub(r"(?m)^(\s*played\s*=\s*)2$", r"\g<1>3", text, count=1)
    check(changed != text, "the count is found in the settings the client wrote")
    with open(path, "w") as f:
        f.write(changed)
    c.start()
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the second run ends cleanly")
    said = harness.read_text(log) or ""
    check(said.count("Carried the folder of user") <= 1, "the second start carries nothing")
    check(c.settings(USER).get("preferences.matches.played") == "3", "what the user changed is kept")
    check(harness.folder_digest(c.folder) == program, "the program folder is still as the older version left it")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build"))
    stage = tempfile.mkdtemp(prefix="rookwell-carry-")
    kept = os.path.join(stage, "kept")
    os.makedirs(kept)
    try:
        prefix = os.path.join(stage, "prefix")
        install(build, prefix, kept)
        return harness.run("older-install-carried", steps, user=USER, program=os.path.join(prefix, "lib", "rookwell"),
                           folder=os.path.join("local", "lib", "rookwell"))
    except harness.Failure as error:
        print(f"older-install-carried: FAILED ({error})")
        return 1
    finally:
        restore(build, kept)
        shutil.rmtree(stage, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
