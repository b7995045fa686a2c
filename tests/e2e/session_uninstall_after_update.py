#!/usr/bin/env python3
"""Removal of an install put over an older one, as a user updating meets it.
An older version installed a program folder without the mark of an install
for everyone, ran the desktop's databases over its menu entry and types and
recorded nothing; its users kept their profiles, logs, fetched content and
installed boards inside that folder. The newest is installed into the same
prefix with `cmake --install`; `make uninstall` then leaves the prefix as it
was before the older install: no folder, no database file of either
install, the files of older versions in the program folder gone with it.
What a user left there stays, byte for byte, and the message names it; the
prefix's own folders and another program's databases stay. `make uninstall`
with a PREFIX other than the install's own (the folder above it), or a
DESTDIR other than its own, is refused with the one to give and removes
nothing; with the install's own it removes it all. Needs no display:
nothing here is started but the tools.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import harness
from harness import check
import session_install_prefix as installs

SIZES = installs.SIZES
# Files the current program folder has that the older versions did not install.
NEWER = ("installed.txt", "engines/Stockfish")
PROGRAMS = ("tavrin", "updater", "linkhop", "gridmoor-server")
# What the users of the older version left in its program folder.
USERS_FILES = {
    "users/alice/user.cfg": "{\n  name= alice\n  board= Club Vinyl\n}\n",
    "users/alice/played games/alice vs Fairy-Max.pgn": '[White "alice"]\n[Black "Fairy-Max"]\n\n1. e4 e5 1-0\n',
    "users/alice/active games/game 1.rwg": "saved game\n",
    "users/alice/opponents/bob.cfg": "{\n  name= bob\n}\n",
    "logs/Rookwell.log": "started\n",
    "live content/live.cfg": "{\n}\n",
    "boards/Club Vinyl/info.cfg": "{\n  name= Club Vinyl\n}\n",
    "voices/Greta: slow/info.cfg": "{\n  name= Greta: slow\n}\n",
}


def listing(prefix):
    """Every file and folder below prefix (the prefix included), with the kind of each."""
    if not os.path.lexists(prefix):
        return []
    found = [("", "folder")]
    for top, folders, files in os.walk(prefix):
        for name in folders:
            found.append((os.path.relpath(os.path.join(top, name), prefix), "folder"))
        for name in files:
            found.append((os.path.relpath(os.path.join(top, name), prefix), "file"))
    return sorted(found)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def older_install(prefix, users=False):
    """What the older install left in prefix: its program folder (the data of the time, the programs,
    no mark), the command, the menu entry naming the command alone, the types and the icons, with the
    MIME database and the menu's type cache it ran and no icon cache; with users, what the users of
    the older version kept in its program folder, and what its updater and an engine it brought
    left there."""
    folder = os.path.join(prefix, "lib", "rookwell")
    source = os.path.join(harness.SOURCE, "data")
    shutil.copytree(source, folder, ignore=lambda top, names: [
        n for n in names if os.path.relpath(os.path.join(top, n), source) in NEWER])
    for program in PROGRAMS:
        write(os.path.join(folder, program), "#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(folder, program), 0o755)
    desktop = os.path.join(harness.SOURCE, "desktop")
    os.makedirs(os.path.join(prefix, "bin"), exist_ok=True)
    shutil.copy(os.path.join(desktop, "rookwell"), os.path.join(prefix, "bin", "rookwell"))
    entry = open(os.path.join(desktop, "rookwell.desktop"), encoding="utf-8").read()
    write(os.path.join(prefix, "share", "applications", "rookwell.desktop"),
          "".join(line for line in entry.splitlines(True) if not line.startswith("StartupWMClass=")))
    os.makedirs(os.path.join(prefix, "share", "mime", "packages"), exist_ok=True)
    shutil.copy(os.path.join(desktop, "rookwell.xml"), os.path.join(prefix, "share", "mime", "packages"))
    for size in SIZES:
        apps = os.path.join(prefix, "share", "icons", "hicolor", f"{size}x{size}", "apps")
        os.makedirs(apps, exist_ok=True)
        shutil.copy(os.path.join(source, "assets", "images", "icons", f"rookwell-{size}.png"),
                    os.path.join(apps, "rookwell.png"))
    for tool in (["update-mime-database", os.path.join(prefix, "share", "mime")],
                 ["update-desktop-database", os.path.join(prefix, "share", "applications")]):
        subprocess.run(tool, check=True, capture_output=True)
    # Installed a day ago: the newest install copies what differs by its time.
    then = time.time() - 86400
    for top, _, names in os.walk(prefix):
        for name in names:
            os.utime(os.path.join(top, name), (then, then))
    if users:
        for relative, text in USERS_FILES.items():
            write(os.path.join(folder, relative), text)
        write(os.path.join(folder, "updater.bak"), "the updater of an older version\n")
        write(os.path.join(folder, "engines", "Gnu Chess 5", "log.001"), "what the engine wrote\n")
    return folder


def uninstall_refused(build, prefix, destdir=None):
    """make uninstall that must fail: what it said."""
    env = dict(os.environ, PREFIX=prefix)
    env.pop("DESTDIR", None)
    if destdir:
        env["DESTDIR"] = destdir
    result = subprocess.run(["make", "-s", "-C", harness.SOURCE, "uninstall", f"BUILD={build}"], env=env,
                            capture_output=True, text=True)
    check(result.returncode != 0, f"make uninstall PREFIX={prefix} is refused: {result.stdout}{result.stderr}")
    return result.stdout + result.stderr


def over_older_into_empty(build, stage):
    """A prefix the older install made: after the newest over it and the removal, nothing of it stays,
    its databases' files included."""
    prefix = os.path.join(stage, "eigenes Präfix", ".local")
    os.makedirs(os.path.dirname(prefix))
    before = listing(prefix)
    older_install(prefix)
    check(os.path.isfile(os.path.join(prefix, "share", "mime", "mime.cache")), "the older install made a MIME database")
    installs.install(build, prefix)
    installs.check_installed(prefix, prefix)
    said = installs.uninstall(build, prefix)
    left = listing(prefix)
    check(left == before, f"the prefix is as before the older install: {left}\n{said}")
    check("removed" in said and "kept" not in said, f"the message keeps nothing: {said}")


def over_older_with_users(build, stage):
    """A lived-in prefix (another program with its databases, an empty bin, include and lib of its own,
    as /usr/local has): the older install
    and its users' files, then the newest. The removal leaves the prefix as it was with the users' files
    added, which stay byte for byte and are named; the older version's updater file goes with the
    program folder; the other program's databases stay and know nothing of Rookwell."""
    prefix = os.path.join(stage, "für alle", "usr")
    installs.lived_in(prefix)
    for own in ("bin", "include", "lib"):
        os.makedirs(os.path.join(prefix, own))
    before = listing(prefix)
    folder = older_install(prefix, users=True)
    mine = {path: digest for path, digest in harness.folder_digest(folder).items() if path in USERS_FILES}
    installs.install(build, prefix)
    said = installs.uninstall(build, prefix)
    check(harness.folder_digest(folder) == mine, f"what the users left stays byte for byte and alone: {said}")
    kept = set()
    for path in USERS_FILES:
        path = os.path.join("lib", "rookwell", path)
        kept.add((path, "file"))
        while os.path.dirname(path):
            path = os.path.dirname(path)
            kept.add((path, "folder"))
    left = listing(prefix)
    check(left == sorted(set(before) | set(kept)), "the prefix is as it was, with the users' files: "
          f"{sorted(set(left) ^ (set(before) | set(kept)))}\n{said}")
    for item in ("users", "logs", "live content", "boards/Club Vinyl", "voices/Greta: slow"):
        check(f"  {item}: " in said, f"the message names {item}: {said}")
    check(os.path.join(prefix, "lib", "rookwell") in said, f"the message names the program folder: {said}")
    mime_types = open(os.path.join(prefix, "share", "mime", "types"), encoding="utf-8").read().split()
    check(mime_types == ["application/x-other-chess"], f"the MIME database knows the other program alone: {mime_types}")
    cache = open(os.path.join(prefix, "share", "applications", "mimeinfo.cache"), encoding="utf-8").read()
    check("rookwell" not in cache and installs.OTHER in cache, f"the menu's type cache knows the other entry alone: {cache}")


def other_prefix_refused(build, stage):
    """Installed into X/local: make uninstall with X (every installed file lies below it), or with a
    DESTDIR, is refused, names the PREFIX to give and removes nothing, also for an install that did
    not record its PREFIX; with X/local (here by a link to it) it removes it all. Staged below a
    DESTDIR, the removal without it is refused and names it."""
    above = os.path.join(stage, "X Ordner")
    prefix = os.path.join(above, "local")
    os.makedirs(prefix)
    before = listing(above)
    installs.install(build, prefix)
    installed = listing(above)
    said = uninstall_refused(build, above)
    check(f"give PREFIX={prefix}" in said, f"the refusal names the install's PREFIX: {said}")
    check(listing(above) == installed, "the refused removal changed nothing")
    said = uninstall_refused(build, prefix, destdir=os.path.join(stage, "stage"))
    check("give no DESTDIR" in said, f"a DESTDIR for a live install is refused: {said}")
    check(listing(above) == installed, "the refused removal changed nothing")
    # An install recorded before its PREFIX was is known by its command.
    place = os.path.join(build, "install_place.txt")
    kept_place = open(place, encoding="utf-8", errors="surrogateescape").read()
    os.remove(place)
    said = uninstall_refused(build, above)
    check(f"give PREFIX={prefix}" in said, f"without the record the refusal names the install's PREFIX: {said}")
    check(listing(above) == installed, "the refused removal changed nothing")
    with open(place, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(kept_place)
    link = os.path.join(stage, "link to local")
    os.symlink(prefix, link)
    installs.uninstall(build, link + "/")
    left = listing(above)
    check(left == before, f"the install's own folder by another name removes it all: {left}")
    check(not os.path.exists(os.path.join(build, "install_manifest.txt")), "the records went with the files")

    # Staged, the removal without that DESTDIR is refused and names it.
    package = os.path.join(stage, "package")
    installs.install(build, prefix, destdir=package)
    staged = listing(package)
    said = uninstall_refused(build, prefix)
    check(f"DESTDIR={package}: give that DESTDIR" in said, f"the refusal names the install's DESTDIR: {said}")
    check(listing(package) == staged and listing(above) == before, "the refused removal changed nothing")
    installs.uninstall(build, prefix, destdir=package)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build"))
    stage = tempfile.mkdtemp(prefix="rookwell-uninstall-")
    record = installs.KeptInstallRecord(build, stage)
    try:
        for tool in ("update-mime-database", "update-desktop-database", "gtk-update-icon-cache"):
            check(shutil.which(tool), f"{tool} is not installed (scripts/install-deps installs it)")
        over_older_into_empty(build, stage)
        over_older_with_users(build, stage)
        other_prefix_refused(build, stage)
    except harness.Failure as error:
        print(f"uninstall-after-update: FAILED ({error})")
        return 1
    finally:
        record.restore()
        shutil.rmtree(stage, ignore_errors=True)
    print("uninstall-after-update: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
