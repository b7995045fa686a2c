#!/usr/bin/env python3
"""The install step as a distribution's user meets it. `cmake --install`
into a prefix that is not on PATH, whose name holds blanks and letters that
are no ASCII, and which already holds another chess program with its file
types, icons and the caches of both: the program folder, the `rookwell`
command, a menu entry that desktop-file-validate accepts and that names the
command by its full path, the icon in six sizes (found through GTK despite
the older icon cache) and the file types (the defaults of xdg-mime). The
menu entry starts the client through gtk-launch; its window carries the
entry's class; that start (root's, when the session runs as root) changes
nothing in the program folder and writes nothing in the home folder but
below ~/.config and ~/.local/share. The command starts the installed client
on a PGN file. `make uninstall` then takes every file and folder of the
install away and the desktop forgets the types, while the other program
keeps its own. A staged install (DESTDIR) holds no staging path, refreshes
no database, works once moved and is removed from its stage. Into an empty
prefix the install makes no icon cache, and the icon is found all the same.
"""

import ctypes
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import harness
from harness import check, wait_until

USER = "tester"
PGN = os.path.join(harness.TESTDATA, "pgn", "kasparov-deep-blue-1997.pgn")
SIZES = (16, 32, 48, 64, 128, 256)
MIME = "{http://www.freedesktop.org/standards/shared-mime-info}"
TYPES = ("application/x-rookwell-turn", "application/x-rookwell-game")
PGN_TYPE = "application/vnd.chess-pgn"
OTHER = "other-chess"
LOOKUP = os.path.join(harness.HERE, "desktop_lookup.py")
# Variables by which xdg-mime would take the session for a named desktop's.
DESKTOP_NAMES = ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID")
PR_SET_CHILD_SUBREAPER = 36


def install(build, prefix, destdir=None):
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    if destdir:
        env["DESTDIR"] = destdir
    result = subprocess.run(["cmake", "--install", build, "--prefix", prefix], env=env, capture_output=True, text=True)
    check(result.returncode == 0, f"cmake --install --prefix {prefix}: {result.stderr}")


def uninstall(build, prefix, destdir=None):
    """make uninstall, as the README says; the lines it wrote."""
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    env["PREFIX"] = prefix
    if destdir:
        env["DESTDIR"] = destdir
    result = subprocess.run(["make", "-s", "-C", harness.SOURCE, "uninstall", f"BUILD={build}"], env=env,
                            capture_output=True, text=True)
    check(result.returncode == 0, f"make uninstall PREFIX={prefix}: {result.stdout}{result.stderr}")
    return result.stdout + result.stderr


def lines(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        return [line for line in f.read().split("\n") if line]


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    check(header[:8] == b"\x89PNG\r\n\x1a\n" and header[12:16] == b"IHDR", f"{path} is a PNG")
    return struct.unpack(">II", header[16:24])


def entry_fields(path):
    return dict(line.split("=", 1) for line in open(path, encoding="utf-8").read().splitlines() if "=" in line)


def desktop_env(env, prefix, home):
    """The environment of a desktop that names no desktop and knows the prefix's share folder, the
    home's folders and no other."""
    env = dict(env)
    for name in DESKTOP_NAMES:
        env.pop(name, None)
    env.update({"HOME": home, "XDG_DATA_DIRS": os.path.join(prefix, "share"),
                "XDG_CONFIG_HOME": os.path.join(home, ".config"), "XDG_DATA_HOME": os.path.join(home, ".local/share"),
                "XDG_CONFIG_DIRS": os.path.join(home, "no system settings")})
    return env


def lookup(env, question, subject):
    result = subprocess.run([sys.executable, LOOKUP, question, subject], env=env, capture_output=True, text=True)
    check(result.returncode == 0, f"desktop_lookup {question} {subject}: {result.stderr}")
    return result.stdout.strip()


def default_for(env, mime_type):
    """xdg-mime's default program for the type. xdg-mime cuts its list of folders at blanks: it reads the
    prefix's share folder through a link of a plain name."""
    data = env["XDG_DATA_DIRS"]
    link = os.path.join(tempfile.gettempdir(), f"rookwell-share-{os.getpid()}")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(data, link)
    try:
        result = subprocess.run(["xdg-mime", "query", "default", mime_type], env={**env, "XDG_DATA_DIRS": link},
                                capture_output=True, text=True)
    finally:
        os.remove(link)
    return result.stdout.strip()


def lived_in(prefix):
    """A prefix such as /usr: another chess program's menu entry, file type and
    icon in every size, with the MIME database, the menu's type cache and an
    icon cache made before the install."""
    share = os.path.join(prefix, "share")
    icons = os.path.join(share, "icons", "hicolor")
    os.makedirs(icons)
    with open(os.path.join(icons, "index.theme"), "w") as f:
        f.write("[Icon Theme]\nName=Hicolor\nComment=Fallback icon theme\nHidden=true\nDirectories="
                + ",".join(f"{s}x{s}/apps" for s in SIZES) + "\n")
        for size in SIZES:
            f.write(f"\n[{size}x{size}/apps]\nSize={size}\nContext=Applications\nType=Threshold\n")
    for size in SIZES:
        folder = os.path.join(icons, f"{size}x{size}", "apps")
        os.makedirs(folder)
        shutil.copy(os.path.join(harness.SOURCE, "data", "assets", "images", "icons", f"rookwell-{size}.png"),
                    os.path.join(folder, OTHER + ".png"))
    os.makedirs(os.path.join(share, "mime", "packages"))
    with open(os.path.join(share, "mime", "packages", OTHER + ".xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">\n'
                '  <mime-type type="application/x-other-chess"><comment>Other game</comment>'
                '<glob pattern="*.ocg"/></mime-type>\n</mime-info>\n')
    os.makedirs(os.path.join(share, "applications"))
    with open(os.path.join(share, "applications", OTHER + ".desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Other Chess\nExec=/bin/true %f\n"
                f"MimeType={PGN_TYPE};application/x-other-chess;\n")
    for tool in (["update-mime-database", os.path.join(share, "mime")],
                 ["update-desktop-database", os.path.join(share, "applications")],
                 ["gtk-update-icon-cache", "--quiet", icons]):
        subprocess.run(tool, check=True, capture_output=True)
    return {os.path.join(prefix, top) for top in ("", "share", "share/icons", "share/mime", "share/applications")} | {
        os.path.join(icons, f"{s}x{s}", "apps") for s in SIZES} | {icons, os.path.join(share, "mime", "packages")}


def check_installed(root, prefix):
    """The files of an install below root (the prefix, or DESTDIR + prefix), installed for prefix."""
    folder = os.path.join(root, "lib", "rookwell")
    for program in ("tavrin", "updater", "linkhop"):
        check(os.access(os.path.join(folder, program), os.X_OK), f"{program} is installed and runs")
    for data in ("cfg/app.cfg", "assets/cfg/defaultuser.cfg", "boards/large wood", "html/english", "engines",
                 "installed.txt"):
        check(os.path.exists(os.path.join(folder, data)), f"the program folder has {data}")
    for written in ("users", "logs", "live content"):
        check(not os.path.exists(os.path.join(folder, written)), f"no {written} of the build is installed")
    command = os.path.join(root, "bin", "rookwell")
    check(os.access(command, os.X_OK), "the rookwell command is installed")

    entry = os.path.join(root, "share", "applications", "rookwell.desktop")
    result = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    check(result.returncode == 0 and not result.stdout.strip(), f"desktop-file-validate: {result.stdout}")
    fields = entry_fields(entry)
    final = os.path.join(prefix, "bin", "rookwell")
    quoted = '"' + final + '"' if re.search(r"[ \t\"'\\<>~|&;$*?#()`]", final) else final
    check(fields.get("Exec") == quoted + " %F", f"the entry starts {quoted} with the files: {fields.get('Exec')}")
    check(fields.get("Icon") == "rookwell", "the entry names the icon")
    check(fields.get("StartupWMClass") == "Rookwell", f"the entry names its windows' class: {fields}")
    types = [t for t in fields.get("MimeType", "").split(";") if t]

    for size in SIZES:
        icon = os.path.join(root, "share", "icons", "hicolor", f"{size}x{size}", "apps", "rookwell.png")
        check(png_size(icon) == (size, size), f"the {size} pixel icon is {size} pixels square")

    package = ElementTree.parse(os.path.join(root, "share", "mime", "packages", "rookwell.xml")).getroot()
    globs = {t.get("type"): [g.get("pattern") for g in t.findall(MIME + "glob")]
             for t in package.findall(MIME + "mime-type")}
    check(sorted(sum(globs.values(), [])) == ["*.rwf", "*.rwg"], f"the turn and saved-game types: {globs}")
    for declared in globs:
        check(declared in types, f"the entry opens {declared}: {types}")
    check(PGN_TYPE in types, f"the entry opens PGN files: {types}")


def window_class(c, window):
    out = subprocess.run(["xprop", "-id", str(window), "WM_CLASS"], env=c.env, capture_output=True, text=True).stdout
    return re.findall(r'"([^"]*)"', out)


def home_files(home):
    """Every file below home, as paths relative to it."""
    return sorted(os.path.relpath(os.path.join(top, name), home) for top, _, names in os.walk(home) for name in names)


def wait_reaped(pid, timeout):
    """The exit status of pid, a client of ours (this process adopts what it starts), once it has ended."""
    def ended():
        done, status = os.waitpid(pid, os.WNOHANG)
        return [os.waitstatus_to_exitcode(status)] if done == pid else None
    return wait_until(ended, timeout, f"client {pid} to end")[0]


def start_from_menu_entry(c, prefix):
    """gtk-launch rookwell, with PREFIX/bin off PATH: the client of the installed folder comes up."""
    folder = os.path.join(prefix, "lib", "rookwell")
    program = harness.folder_digest(folder), sorted(top for top, _, _ in os.walk(folder))
    session_env = c.env
    c.env = desktop_env(c.env, prefix, c.home)
    c.env["XDG_DATA_DIRS"] += ":/usr/share"
    c.env["PATH"] = c.bin + ":/usr/bin:/bin"
    c.command = ["gtk-launch", "rookwell"]
    c.start()
    c.env = session_env
    pid = int(c.xdotool("getwindowpid", c.frame).strip())
    try:
        check(os.readlink(f"/proc/{pid}/exe") == os.path.join(folder, "tavrin"),
              "the menu entry runs the installed client")
        name = window_class(c, c.frame)
        check(name == ["rookwell", "Rookwell"], f"the frame's WM_CLASS is the menu entry's: {name}")
        c.menu("g", "x")
        check(wait_reaped(pid, 20) == 0, "the client started from the menu ends cleanly")
        pid = None
    finally:
        if pid is not None:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
    check((harness.folder_digest(folder), sorted(top for top, _, _ in os.walk(folder))) == program,
          f"nothing in the installed program folder changed ({'root' if os.geteuid() == 0 else 'a user'} ran it)")
    data = os.path.join(c.home, ".local", "share", "rookwell")
    login = subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
    check(os.path.isfile(os.path.join(data, "users", login, "user.cfg")), f"the user's files are in {data}")
    stray = [f for f in home_files(c.home) if not f.startswith((".config/", ".local/share/"))]
    check(not stray, f"nothing in the home folder outside ~/.config and ~/.local/share: {stray}")
    settings = harness.read_text(os.path.join(c.home, ".config", "Rookwell Lite.conf")) or ""
    check(f"user={login}" in settings, f"the desktop's settings keep the user in ~/.config: {settings!r}")


def start_with_command(c, command):
    """The command, copied with the installed folder, starts that client on a PGN file."""
    program = harness.folder_digest(c.folder), sorted(top for top, _, _ in os.walk(c.folder))
    os.makedirs(os.path.join(c.base, "usr", "bin"))
    launcher = os.path.join(c.base, "usr", "bin", "rookwell")
    shutil.copy(command, launcher)
    c.command = [launcher]
    c.start(PGN)
    c.wait_window("^(PGN Viewer|" + os.path.basename(PGN).replace(".", r"\.") + ")$", 15, besides=(c.frame,))
    c.screenshot("pgn-viewer")
    check(os.readlink(f"/proc/{c.process.pid}/exe") == os.path.join(c.folder, "tavrin"),
          "the command runs the client of the installed folder in its own place")
    data = os.path.join(c.home, ".local", "share", "rookwell")
    wait_until(lambda: os.path.isdir(os.path.join(data, "users", USER)), 10, f"the user's folder in {data}")
    c.kill()
    check((harness.folder_digest(c.folder), sorted(top for top, _, _ in os.walk(c.folder))) == program,
          "the installed folder stays as installed")


def check_removed(c, build, prefix, kept):
    """make uninstall: no file or folder of the install stays, the other program's do, and the desktop
    forgets the types."""
    manifest = lines(os.path.join(build, "install_manifest.txt"))
    made = lines(os.path.join(build, "install_folders.txt"))
    check(made and all(m.startswith(prefix + "/") or m == prefix for m in made), f"the made folders: {made}")
    said = uninstall(build, prefix)
    check(not [f for f in manifest if os.path.lexists(f)], f"every installed file is gone: {said}")
    left = [m for m in made if os.path.isdir(m) and m not in kept]
    check(not left, f"every folder the install made is gone: {left}")
    check(all(os.path.isdir(k) for k in kept), "the folders that were there before stay")
    check(os.path.isfile(os.path.join(prefix, "share", "applications", OTHER + ".desktop")),
          "the other program's entry stays")
    env = desktop_env(c.env, prefix, c.home)
    for mime_type in TYPES:
        check(default_for(env, mime_type) == "", f"xdg-mime names no program for {mime_type}")
    check(default_for(env, PGN_TYPE) == OTHER + ".desktop", "a PGN file goes to the other program again")
    check(lookup(env, "type", "game.rwg") != TYPES[1], "a saved game's name means no type any more")
    check(lookup(env, "type", "game.ocg") == "application/x-other-chess", "the other program's type is kept")
    check(lookup(env, "icon", "rookwell") == "", "GTK finds no Rookwell icon")
    check(lookup(env, "icon", OTHER).startswith(prefix), "GTK still finds the other program's icon")
    check(not os.path.exists(os.path.join(build, "install_manifest.txt")), "the manifest went with the files")


def check_staged(build, stage):
    """DESTDIR: the files the package would hold, naming only their final places; no database made in the
    stage; the tree works once moved to the prefix, and make uninstall empties the stage."""
    final = os.path.join(stage, "final Ort ü", "opt")
    package = os.path.join(stage, "package")
    install(build, final, destdir=package)
    root = package + final
    check_installed(root, final)
    for top, _, names in os.walk(package):
        for name in names:
            path = os.path.join(top, name)
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    check(package.encode() not in f.read(), f"{path} names no staging path")
    for database in ("share/mime/mime.cache", "share/applications/mimeinfo.cache",
                     "share/icons/hicolor/icon-theme.cache"):
        check(not os.path.exists(os.path.join(root, database)), f"no {database} is made in the stage")
    entry = os.path.join(root, "share", "applications", "rookwell.desktop")
    env = dict(os.environ)
    check(lookup(env, "entry", entry) == "refused", "before the move the entry's command is not there yet")
    os.makedirs(os.path.dirname(final))
    os.rename(root, final)
    check(lookup(env, "entry", os.path.join(final, "share", "applications", "rookwell.desktop")) == "accepted",
          "once moved, the entry's command is there")
    os.rename(final, root)
    uninstall(build, final, destdir=package)
    check(not [f for _, _, names in os.walk(package) for f in names], "make uninstall empties the stage")


def check_fresh(c, build, stage):
    """A prefix that holds nothing yet (as /usr/local may): the install makes no icon cache there, whose
    staleness would hide icons installed later, and GTK finds the icon through the system's theme index;
    removed, the install leaves not even the prefix."""
    prefix = os.path.join(stage, "leer", "opt")
    install(build, prefix)
    check(not os.path.exists(os.path.join(prefix, "share/icons/hicolor/icon-theme.cache")), "no icon cache is made")
    env = desktop_env(c.env, prefix, c.home)
    env["XDG_DATA_DIRS"] += ":/usr/share"
    found = lookup(env, "icon", "rookwell")
    check(found == os.path.join(prefix, "share/icons/hicolor/48x48/apps/rookwell.png"), f"GTK finds the icon: {found!r}")
    uninstall(build, prefix)
    check(not os.path.exists(prefix), "nothing of the install stays, the prefix it made included")


class KeptInstallRecord:
    """The session installs from the build folder: a developer's own install record there is put back after."""

    NAMES = ("install_manifest.txt", "install_folders.txt", "install_databases.txt", "install_place.txt")

    def __init__(self, build, stage):
        self.saved = {}
        for name in self.NAMES:
            path = os.path.join(build, name)
            if os.path.exists(path):
                self.saved[path] = os.path.join(stage, name)
                shutil.copy(path, self.saved[path])
        self.build = build

    def restore(self):
        for name in self.NAMES:
            path = os.path.join(self.build, name)
            if path in self.saved:
                shutil.copy(self.saved[path], path)
            elif os.path.exists(path):
                os.remove(path)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build"))
    stage = tempfile.mkdtemp(prefix="rookwell-install-")
    record = KeptInstallRecord(build, stage)
    # What gtk-launch starts outlives it: this process adopts it, to see it end.
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    try:
        for tool in ("gtk-launch", "xdg-mime", "xprop", "gtk-update-icon-cache", "update-mime-database",
                     "update-desktop-database", "desktop-file-validate"):
            check(shutil.which(tool), f"{tool} is not installed (scripts/install-deps installs it)")
        check_staged(build, stage)
        prefix = os.path.join(stage, "Programme für alle", "opt")
        kept = lived_in(prefix)
        env = desktop_env(os.environ, prefix, os.path.join(stage, "home"))
        check(default_for(env, PGN_TYPE) == OTHER + ".desktop", "before the install the other program opens PGN")
        install(build, prefix)
        check_installed(prefix, prefix)
        for mime_type in TYPES:
            check(default_for(env, mime_type) == "rookwell.desktop", f"xdg-mime opens {mime_type} with Rookwell")
        check(lookup(env, "type", "game.rwg") == TYPES[1], "a saved game's name gives its type")

        def steps(c):
            found = lookup(desktop_env(c.env, prefix, c.home), "icon", "rookwell")
            check(found == os.path.join(prefix, "share/icons/hicolor/48x48/apps/rookwell.png"),
                  f"GTK finds the icon despite the older icon cache: {found!r}")
            # The installed files as a user's: no update checks reaching for the network.
            harness.Client._edit(os.path.join(prefix, "lib/rookwell/assets/cfg/defaultuser.cfg"),
                                 lambda t: re.sub(r"(?m)^(\s*)(app|browser) = yes", r"\1\2 = no", t))
            start_from_menu_entry(c, prefix)
            start_with_command(c, os.path.join(prefix, "bin", "rookwell"))
            check_removed(c, build, prefix, kept)
            check_fresh(c, build, stage)
        return harness.run("install-prefix", steps, user=USER, program=os.path.join(prefix, "lib", "rookwell"),
                           folder=os.path.join("usr", "lib", "rookwell"))
    except harness.Failure as error:
        print(f"install-prefix: FAILED ({error})")
        return 1
    finally:
        record.restore()
        shutil.rmtree(stage, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
