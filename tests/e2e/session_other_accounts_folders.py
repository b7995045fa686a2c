#!/usr/bin/env python3
"""No folder of another account holds what a client writes, nor is made by it.
Root started as sudo -E leaves it, with HOME and the XDG folders naming the
home of an account that never ran Rookwell: nothing appears in that home; the
settings, the user's folder, the log and the libraries' caches go below
root's own home, and the log says why. That account then starts it with
XDG_DATA_HOME naming a shared folder (1777) where another account made
rookwell/ and its users/ (0777): nothing is written there; the user's files
and the lock go to the account's own ~/.local/share/rookwell, and the log says
why. With that one open to others too, the start stops and says so. Needs
root, to make the accounts, and a mount namespace, to give root a home of the
session's."""

import glob
import os
import pwd
import subprocess
import sys

import harness
from harness import check, wait_until


def tree(folder):
    """Every path below folder with its owner and mode."""
    found = []
    for top, folders, files in os.walk(folder):
        for name in sorted(folders + files):
            path = os.path.join(top, name)
            info = os.lstat(path)
            found.append((os.path.relpath(path, folder), info.st_uid, oct(info.st_mode)))
    return sorted(found)


def logs_say(data, text):
    return any(text in (harness.read_text(p) or "") for p in glob.glob(os.path.join(data, "logs", "*")))


def root_under_sudo(c, account_home):
    """Root with the account's HOME and XDG folders: its own home (/root, a
    folder of the session's in this mount namespace) takes everything."""
    root_home = os.path.join(c.base, "home of root")
    os.makedirs(root_home, mode=0o700)
    command = c.command
    c.command = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                 'mount --bind "$0" /root && exec "$@"', root_home, command[-1]]
    try:
        c.start()
        c.menu("g", "x")
        check(c.wait_exit() == 0, "root's run ends cleanly")
    finally:
        c.command = command
    check(tree(account_home) == [], f"nothing was made in the account's home: {tree(account_home)}")
    data = os.path.join(root_home, ".local", "share", "rookwell")
    check(os.path.isfile(os.path.join(root_home, ".config", "Rookwell Lite.conf")),
          "root's settings are in root's own home")
    check(glob.glob(os.path.join(data, "users", "*", "user.cfg")), f"root's user is in {data}")
    check(logs_say(data, f"The home {account_home} (HOME) is not used: {account_home} belongs to another account."),
          "the log says why HOME was not used")
    check(logs_say(data, "Your games and settings are kept in /root/.local/share/rookwell/"),
          "the log names root's own data folder")
    everything = [path for path, uid, _ in tree(root_home)]
    check(all(uid == 0 for _, uid, _ in tree(root_home)) and everything, "root's files are root's")


def shared_data_home(c, other):
    """The account with XDG_DATA_HOME a shared folder where another account made rookwell/."""
    shared = os.path.join(c.base, "shared")
    os.makedirs(shared)
    os.chmod(shared, 0o1777)
    entry = pwd.getpwnam(other)
    for folder in ("rookwell", "rookwell/users"):
        path = os.path.join(shared, folder)
        os.makedirs(path)
        os.chown(path, entry.pw_uid, entry.pw_gid)
        os.chmod(path, 0o777)
    before = tree(shared)
    kept = c.env["XDG_DATA_HOME"]
    c.env["XDG_DATA_HOME"] = shared
    try:
        c.start()
        locks = wait_until(lambda: glob.glob(os.path.join(c.data, "instances", "*.lock")), 30,
                           "the lock in the account's own data folder")
        c.menu("g", "x")
        check(c.wait_exit() == 0, "the account's run ends cleanly")
        check(tree(shared) == before, f"nothing was written into the other account's folder: {tree(shared)}")
        check(glob.glob(os.path.join(c.data, "users", "*", "user.cfg")), f"the user's folder is in {c.data}")
        check(logs_say(c.data, f"The data folder {shared}/rookwell (XDG_DATA_HOME) is not used: "),
              "the log says why the shared folder was not used")
        check(logs_say(c.data, f"Your games and settings are kept in {c.data}/"),
              "the log names the account's own data folder")
        check(locks, "the lock is beside the account's own data")

        # Its own data folder open to others too: there is none, and the start says so.
        os.chmod(c.data, 0o777)
        seen = len(c.prompts())
        c.start(wait_frame=False)
        index, record = c.wait_prompt(caption="Problem", after=seen, timeout=30)
        check(record[2].startswith("Rookwell cannot start.\n\nNo folder of this account can hold its games and "
                                   "settings.") and f"{c.data} can be written by other accounts" in record[2],
              f"the start says why it cannot go on: {record}")
        c.answer(record[1])
        c.wait_exit()
        check(not c.windows("^Rookwell$"), "no frame came")
        check(tree(shared) == before, "nothing was written into the other account's folder then either")
    finally:
        c.env["XDG_DATA_HOME"] = kept
        if os.path.isdir(c.data):
            os.chmod(c.data, 0o700)


def steps(c):
    open(os.path.join(c.folder, "installed.txt"), "w").close()
    other = f"rwother{os.getpid()}"[:30]
    subprocess.run(["userdel", other], capture_output=True)
    subprocess.run(["useradd", "--no-create-home", "--home-dir", "/nonexistent", "--shell", "/usr/sbin/nologin",
                    "--user-group", other], check=True, capture_output=True)
    try:
        root_under_sudo(c, c.home)
        shared_data_home(c, other)
    finally:
        subprocess.run(["userdel", other], capture_output=True)


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("other-accounts-folders: skipped: only root can make the accounts and run as root")
        sys.exit(0)
    if subprocess.run(["unshare", "--mount", "--propagation", "private", "true"], capture_output=True).returncode:
        print("other-accounts-folders: skipped: no mount namespace can be made here")
        sys.exit(0)
    sys.exit(harness.run("other-accounts-folders", steps, account="rwhome", window=(40, 40, 900, 700)))
